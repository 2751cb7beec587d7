#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

// The vendor driver's control device and its I/O control requests.
namespace veltra::platform {

class ControlDevice {
 public:
  virtual ~ControlDevice() = default;
  // DeviceIoControl. dataBuffer is the buffer that a vendor request packet names by address:
  // the packet carries only 32 bits of it, so the buffer itself travels beside the packet and a
  // back end must check that the two agree instead of dereferencing the packet field.
  virtual bool IoControl(uint32_t code, std::span<const uint8_t> input, std::span<uint8_t> output,
                         std::span<uint8_t> dataBuffer) = 0;
};

class ControlDeviceOpener {
 public:
  virtual ~ControlDeviceOpener() = default;
  // CreateFileW(path, GENERIC_READ | GENERIC_WRITE, share, OPEN_EXISTING, ...); null on failure.
  virtual std::unique_ptr<ControlDevice> Open(const std::u16string& path, bool shareReadWrite,
                                              uint32_t& error) = 0;
};

}  // namespace veltra::platform
