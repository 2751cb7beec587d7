#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "backend/simulated_backend.h"
#include "device/channel.h"
#include "device/eeprom_types.h"
#include "device/transport.h"
#include "platform/sim/sim_system.h"
#include "platform/vendor_packet.h"

namespace veltra::testing {

// The default device with the given part, set up for tests as every front end sets up its
// device, the driver opened and the channel connected, ready for transport tests.
class ConnectedChip : public ::testing::Test {
 protected:
  explicit ConnectedChip(sim::EepromPart part = sim::EepromPart::k24C64,
                         backend::SimulatedTiming timing = {})
      : backend_({.eeprom = device::EepromTypeBySize(sim::PartInfo(part).size)}, [&timing] {
          backend::BackendSetup setup = backend::BackendSetup::ForTests();
          setup.timing = timing;
          return setup;
        }()) {}

  void SetUp() override {
    ASSERT_TRUE(backend_.Connect());
    system_.ClearRequestLog();
  }

  std::vector<sim::RequestRecord> VendorRequests() const {
    std::vector<sim::RequestRecord> out;
    for (const auto& r : system_.RequestLog())
      if (r.ioctl == platform::kIoctlVendorRequest) out.push_back(r);
    return out;
  }

  backend::SimulatedBackend backend_;
  sim::SimSystem& system_ = backend_.System();
  sim::SimUsbDevice* device_ = &backend_.Device();
  device::DeviceChannel& channel_ = backend_.Channel();
  device::VendorTransport& transport_ = backend_.Transport();
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
