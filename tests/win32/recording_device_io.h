#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "platform/control_device.h"
#include "platform/vendor_packet.h"
#include "platform/win32/device_io_calls.h"
#include "platform/win32_codes.h"

namespace veltra::win32::test {

// One DeviceIoControl call as the control device made it.
struct IoCall {
  uint32_t code = 0;
  std::vector<uint8_t> input;  // the input buffer's bytes
  uint32_t outputBytes = 0;
  bool outputGiven = false;
  // A vendor request's data buffer, read through the packet's address as the driver reads it:
  // before the call for a write, after it for a read.
  std::vector<uint8_t> data;
};

// The control device's system calls, recorded. Each call is carried to a stand-in driver (the
// simulator's) as the real driver would take it: the data buffer found through the packet's
// 32-bit address. Without a stand-in, every open succeeds and every request answers `answer`.
class RecordingDeviceIo final : public DeviceIoCalls {
 public:
  explicit RecordingDeviceIo(platform::ControlDeviceOpener* driver = nullptr, bool answer = false)
      : driver_(driver), answer_(answer) {}

  void* Open(const std::wstring& path, uint32_t access, uint32_t share, uint32_t& error) override {
    opens.push_back({path, access, share});
    if (driver_ == nullptr) return &answer_;
    std::unique_ptr<platform::ControlDevice> device =
        driver_->Open(std::u16string(path.begin(), path.end()), share != 0, error);
    if (!device) return nullptr;
    void* handle = device.get();
    devices_[handle] = std::move(device);
    return handle;
  }

  bool DeviceIoControl(void* handle, uint32_t code, const void* input, uint32_t inputBytes,
                       void* output, uint32_t outputBytes, uint32_t& returned,
                       uint32_t& error) override {
    IoCall call;
    call.code = code;
    const auto* in = static_cast<const uint8_t*>(input);
    if (in != nullptr) call.input.assign(in, in + inputBytes);
    call.outputBytes = outputBytes;
    call.outputGiven = output != nullptr;
    std::span<uint8_t> data;
    platform::VendorPacket packet;
    if (code == platform::kIoctlVendorRequest && inputBytes == 16) {
      std::array<uint8_t, 16> bytes{};
      std::copy(in, in + 16, bytes.begin());
      packet = platform::DecodeVendorPacket(bytes);
      data = std::span(reinterpret_cast<uint8_t*>(static_cast<uintptr_t>(packet.dataAddress)), 16);
      if (packet.requestCode == platform::kRequestWrite)
        call.data.assign(data.begin(), data.begin() + packet.length);
    }
    returned = 0;
    bool ok = answer_;
    if (driver_ != nullptr) {
      const auto found = devices_.find(handle);
      ok = found != devices_.end() &&
           found->second->IoControl(code, std::span(in, in == nullptr ? 0 : inputBytes),
                                    std::span(static_cast<uint8_t*>(output), outputBytes), data);
    }
    if (ok && packet.requestCode == platform::kRequestRead && !data.empty())
      call.data.assign(data.begin(), data.begin() + packet.length);
    error = ok ? platform::error::kSuccess : platform::error::kGenFailure;
    calls.push_back(std::move(call));
    return ok;
  }

  void Close(void* handle) override { devices_.erase(handle); }

  struct OpenCall {
    std::wstring path;
    uint32_t access;
    uint32_t share;
  };
  std::vector<OpenCall> opens;
  std::vector<IoCall> calls;

 private:
  platform::ControlDeviceOpener* driver_;
  bool answer_;
  std::map<void*, std::unique_ptr<platform::ControlDevice>> devices_;
};

}  // namespace veltra::win32::test
