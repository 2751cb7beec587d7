#include "platform/win32/win32_control_device.h"

#include <array>

#include "platform/vendor_packet.h"
#include "platform/windows_api.h"
#include "platform/windows_text.h"

namespace veltra::win32 {

// Only a 32-bit process can name its buffer in the packet's 32-bit address field.
static_assert(sizeof(void*) == 4, "the vendor driver takes 32-bit buffer addresses");

namespace {

class Win32ControlDevice final : public platform::ControlDevice {
 public:
  Win32ControlDevice(DeviceIoCalls& calls, void* handle) : calls_(calls), handle_(handle) {}
  ~Win32ControlDevice() override { calls_.Close(handle_); }
  Win32ControlDevice(const Win32ControlDevice&) = delete;
  Win32ControlDevice& operator=(const Win32ControlDevice&) = delete;

  bool IoControl(uint32_t code, std::span<const uint8_t> input, std::span<uint8_t> output,
                 std::span<uint8_t> dataBuffer) override {
    if (code == platform::kIoctlVendorRequest && !VendorRequestMatchesBuffer(input, dataBuffer))
      return false;
    uint32_t returned = 0;
    uint32_t error = 0;
    return calls_.DeviceIoControl(handle_, code, input.empty() ? nullptr : input.data(),
                                  static_cast<uint32_t>(input.size()),
                                  output.empty() ? nullptr : output.data(),
                                  static_cast<uint32_t>(output.size()), returned, error);
  }

 private:
  DeviceIoCalls& calls_;
  void* handle_;
};

}  // namespace

bool VendorRequestMatchesBuffer(std::span<const uint8_t> input, std::span<uint8_t> dataBuffer) {
  if (input.size() != 16 || dataBuffer.size() < platform::kVendorDataSize) return false;
  std::array<uint8_t, 16> bytes{};
  std::copy(input.begin(), input.end(), bytes.begin());
  const uintptr_t address = reinterpret_cast<uintptr_t>(dataBuffer.data());
  return platform::DecodeVendorPacket(bytes).dataAddress == address;
}

std::unique_ptr<platform::ControlDevice> Win32ControlDeviceOpener::Open(const std::u16string& path,
                                                                        bool shareReadWrite,
                                                                        uint32_t& error) {
  const uint32_t share = shareReadWrite ? FILE_SHARE_READ | FILE_SHARE_WRITE : 0;
  void* handle = calls_.Open(platform::WideText(path), GENERIC_READ | GENERIC_WRITE, share, error);
  if (handle == nullptr) return nullptr;
  return std::make_unique<Win32ControlDevice>(calls_, handle);
}

}  // namespace veltra::win32
