#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "device/channel.h"
#include "device/transport.h"
#include "platform/sim/sim_system.h"
#include "platform/vendor_packet.h"

namespace veltra::testing {

// A simulated system with the default device plugged in, the driver opened and the channel
// connected, ready for transport tests.
class ConnectedChip : public ::testing::Test {
 protected:
  explicit ConnectedChip(sim::DeviceConfig config = {}) : device_(&system_.AddDevice(config)) {}

  void SetUp() override {
    ASSERT_EQ(channel_.OpenDriver(), 1);
    ASSERT_EQ(channel_.ConnectDevice(device_->Config().vid, device_->Config().pid, nullptr, nullptr,
                                     0, 0),
              1);
    system_.ClearRequestLog();
  }

  std::vector<sim::RequestRecord> VendorRequests() const {
    std::vector<sim::RequestRecord> out;
    for (const auto& r : system_.RequestLog())
      if (r.ioctl == platform::kIoctlVendorRequest) out.push_back(r);
    return out;
  }

  sim::SimSystem system_;
  sim::SimUsbDevice* device_;
  device::DeviceChannel channel_{system_.Platform()};
  device::VendorTransport transport_{channel_};
};

// One I2C command as the transport issued it: the 16-byte write at 0x80 and the 5-byte write
// at 0x90 that starts it. Retries of a chunk (the part busy programming the previous page)
// repeat the same command and are folded into one.
struct I2cCommand {
  uint8_t deviceAddress;
  uint8_t wordLow;
  uint8_t wordHigh;
  uint8_t count;
  uint8_t command;

  friend bool operator==(const I2cCommand&, const I2cCommand&) = default;
};

inline std::vector<I2cCommand> I2cCommands(const std::vector<sim::RequestRecord>& log) {
  std::vector<I2cCommand> out;
  for (size_t i = 0; i + 1 < log.size(); ++i) {
    const auto& head = log[i];
    const auto& tail = log[i + 1];
    if (head.ioctl != platform::kIoctlVendorRequest || tail.ioctl != platform::kIoctlVendorRequest)
      continue;
    if (head.packet.requestCode == platform::kRequestWrite && head.packet.index == 0x80 &&
        head.packet.length == 16 && tail.packet.requestCode == platform::kRequestWrite &&
        tail.packet.index == 0x90 && tail.packet.length == 5) {
      const I2cCommand command{head.data[0], head.data[1], head.data[2], tail.data[3],
                               tail.data[4]};
      if (out.empty() || !(out.back() == command)) out.push_back(command);
    }
  }
  return out;
}

}  // namespace veltra::testing
