#pragma once

#include <memory>

#include "platform/control_device.h"
#include "platform/win32/device_io_calls.h"

namespace veltra::win32 {

// The vendor driver's control device on CreateFileW and DeviceIoControl.
//
// A vendor request's packet names its data buffer by a 32-bit address that the driver writes
// through. The request is sent only when that address is the buffer handed beside the packet
// and the buffer holds the 16 bytes the driver may touch; anything else would let the driver
// write where the tool never meant it to, so it is refused (false) without a call.
class Win32ControlDeviceOpener final : public platform::ControlDeviceOpener {
 public:
  explicit Win32ControlDeviceOpener(DeviceIoCalls& calls = SystemDeviceIoCalls()) : calls_(calls) {}

  std::unique_ptr<platform::ControlDevice> Open(const std::u16string& path, bool shareReadWrite,
                                                uint32_t& error) override;

 private:
  DeviceIoCalls& calls_;
};

// Whether a vendor request may go to the driver: a 16-byte packet whose data address is the
// 16-byte (at least) data buffer itself.
bool VendorRequestMatchesBuffer(std::span<const uint8_t> input, std::span<uint8_t> dataBuffer);

}  // namespace veltra::win32
