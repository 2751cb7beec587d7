#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "platform/sim/sim_system.h"
#include "platform/vendor_packet.h"
#include "platform/win32_codes.h"

// Talks to the simulated driver the way the tool does: real packets through IoControl.
namespace veltra::sim::test {

namespace pf = veltra::platform;

inline std::u16string NtPath(const SimUsbDevice& device) {
  std::u16string path = device.InterfacePath();
  path[1] = u'?';
  return path;
}

// UTF-16LE with the terminating zero, as the attach request carries it.
inline std::vector<uint8_t> PathBytes(std::u16string_view path) {
  std::vector<uint8_t> bytes;
  for (char16_t c : path) {
    bytes.push_back(static_cast<uint8_t>(c));
    bytes.push_back(static_cast<uint8_t>(c >> 8));
  }
  bytes.insert(bytes.end(), {0, 0});
  return bytes;
}

// The service the tool installs: demand-start kernel driver beside the tool's module.
inline pf::ServiceConfig DriverServiceConfig(SimSystem& system, bool is64 = true) {
  const std::u16string module = system.System().ModuleFileName().value_or(u"");
  pf::ServiceConfig config;
  config.name = config.displayName = kDriverServiceName;
  config.type = pf::kServiceKernelDriver;
  config.startType = pf::kServiceDemandStart;
  config.errorControl = pf::kServiceErrorNormal;
  config.binaryPath =
      module.substr(0, module.rfind(u'\\') + 1) + (is64 ? kDriverFile64 : kDriverFile32);
  return config;
}

// Creates and starts the driver service through the service manager, as the tool does.
inline void StartDriverService(SimSystem& system) {
  uint32_t error = 0;
  auto manager = system.Platform().services.OpenManager(pf::kScManagerAllAccess, error);
  ASSERT_TRUE(manager);
  auto service = manager->CreateService(DriverServiceConfig(system), pf::kServiceAllAccess, error);
  ASSERT_TRUE(service) << error;
  ASSERT_EQ(service->Start(), pf::error::kSuccess);
}

class Client {
 public:
  // Starts the driver service when it does not run yet and opens the control device.
  explicit Client(SimSystem& system, bool shareReadWrite = true) {
    if (!system.Services().Find(kDriverServiceName)) StartDriverService(system);
    uint32_t error = 0;
    device_ = system.Platform().driver.Open(kControlDevicePath, shareReadWrite, error);
    EXPECT_TRUE(device_) << "open failed: " << error;
  }

  pf::ControlDevice& Device() { return *device_; }

  bool Attach(const SimUsbDevice& device) { return AttachPath(NtPath(device)); }
  bool AttachPath(std::u16string_view ntPath) { return AttachRaw(PathBytes(ntPath)); }
  bool AttachRaw(std::span<const uint8_t> input) {
    return device_->IoControl(pf::kIoctlAttach, input, {}, {});
  }
  bool Detach() { return device_->IoControl(pf::kIoctlDetach, {}, {}, {}); }

  // Sends the packet with its data address set to the buffer, as the tool does.
  bool Send(pf::VendorPacket packet, std::span<uint8_t> buffer) {
    packet.dataAddress = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(buffer.data()));
    return SendRaw(pf::EncodeVendorPacket(packet), buffer);
  }
  bool SendRaw(std::span<const uint8_t> input, std::span<uint8_t> buffer) {
    return device_->IoControl(pf::kIoctlVendorRequest, input, {}, buffer);
  }

  bool Write(uint16_t index, std::vector<uint8_t> bytes) {
    std::array<uint8_t, 16> buffer{};
    std::copy_n(bytes.begin(), std::min<size_t>(bytes.size(), 16), buffer.begin());
    return Send(Packet(pf::kRequestWrite, index, static_cast<uint16_t>(bytes.size())), buffer);
  }
  bool Read(uint16_t index, uint16_t length, std::vector<uint8_t>& out) {
    std::array<uint8_t, 16> buffer{};
    if (!Send(Packet(pf::kRequestRead, index, length), buffer)) return false;
    out.assign(buffer.begin(), buffer.begin() + std::min<uint16_t>(length, 16));
    return true;
  }
  // One register; -1 when the request fails.
  int Register(uint8_t index) {
    std::vector<uint8_t> out;
    return Read(index, 1, out) ? out[0] : -1;
  }
  bool Probe() {
    std::array<uint8_t, 16> scratch{};
    return Send(Packet(pf::kRequestProbe, 1, 15), scratch);
  }

  static pf::VendorPacket Packet(uint8_t code, uint16_t index, uint16_t length) {
    pf::VendorPacket packet;
    packet.requestCode = code;
    packet.writeFlag = code == pf::kRequestWrite ? 1 : 0;
    packet.index = index;
    packet.length = length;
    return packet;
  }

  // ---- the chip's I2C master, driven like the transport: 16 bytes at 0x80, 5 at 0x90 --------
  bool SetMasterEnable(bool on) { return Write(0x95, {static_cast<uint8_t>(on ? 0x80 : 0x00)}); }
  bool Command(uint8_t command, uint8_t deviceAddress, uint16_t wordAddress,
               std::vector<uint8_t> data = {}, int count = -1) {
    std::array<uint8_t, 21> record{};
    record[0] = deviceAddress;
    record[1] = static_cast<uint8_t>(wordAddress);
    record[2] = static_cast<uint8_t>(wordAddress >> 8);
    std::copy_n(data.begin(), std::min<size_t>(data.size(), 16), record.begin() + 3);
    record[19] = static_cast<uint8_t>(count >= 0 ? count : static_cast<int>(data.size()));
    record[20] = command;
    return Write(0x94, {0x50}) && Write(0x80, {record.begin(), record.begin() + 16}) &&
           Write(0x90, {record.begin() + 16, record.end()});
  }
  // Polls 0x94 until not busy (the virtual clock moves by one request each poll).
  int WaitStatus(int polls = 100) {
    int status = -1;
    for (int i = 0; i < polls; ++i) {
      status = Register(0x94);
      if (status < 0 || !(status & 0x80)) break;
    }
    return status;
  }
  // A whole EEPROM read of count bytes (<= 16) into out; returns the final status.
  int EepromRead(uint8_t command, uint8_t deviceAddress, uint16_t wordAddress, int count,
                 std::vector<uint8_t>& out) {
    if (!Command(command, deviceAddress | 1, wordAddress, {}, count)) return -1;
    const int status = WaitStatus();
    if (status >= 0 && !(status & 0x01)) Read(0x83, static_cast<uint16_t>(count), out);
    return status;
  }

 private:
  std::unique_ptr<pf::ControlDevice> device_;
};

}  // namespace veltra::sim::test
