#pragma once

#include <algorithm>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "backend/simulated_backend.h"
#include "device/channel.h"
#include "device/eeprom_types.h"
#include "device/transport.h"
#include "image/message_sink.h"
#include "platform/sim/sim_system.h"
#include "platform/vendor_packet.h"

namespace veltra::image::testing {

// A connected simulated chip, set up for tests as every front end sets up its device, whose
// transport is set to its EEPROM's size.
struct SimulatedChip {
  explicit SimulatedChip(sim::EepromPart part, uint8_t capability = 0x34)
      : backend({.eeprom = device::EepromTypeBySize(sim::PartInfo(part).size),
                 .capability = capability},
                backend::BackendSetup::ForTests()),
        size(sim::PartInfo(part).size),
        transferLength(size - 1) {
    connected = backend.Connect();
    system.ClearRequestLog();
  }

  std::vector<uint8_t>& Eeprom() { return device.Eeprom().Contents(); }
  // Puts bytes into the EEPROM from address 0 without a bus write.
  void Seed(std::span<const uint8_t> bytes) {
    std::copy_n(bytes.begin(), std::min(bytes.size(), Eeprom().size()), Eeprom().begin());
  }
  // Lets a write cycle finish before the next transfer.
  void Settle() { system.Clock().Advance(10'000'000); }

  backend::SimulatedBackend backend;
  sim::SimSystem& system = backend.System();
  sim::SimUsbDevice& device = backend.Device();
  device::DeviceChannel& channel = backend.Channel();
  device::VendorTransport& transport = backend.Transport();
  uint32_t size;
  uint32_t transferLength;
  bool connected = false;
};

struct RecordingSink : MessageSink {
  void ShowMessage(std::string_view text) override { texts.emplace_back(text); }
  std::vector<std::string> texts;
};

// One EEPROM chunk the I2C master was told to read or write.
struct Chunk {
  uint32_t address;
  uint32_t count;
  bool read;
  uint64_t sequence = 0;  // of the request that loads the command; not compared
  friend bool operator==(const Chunk& a, const Chunk& b) {
    return a.address == b.address && a.count == b.count && a.read == b.read;
  }
};

// The chunks of a request log: a 16-byte write at 0x80 followed by the 5-byte write at 0x90
// that starts the command.
inline std::vector<Chunk> Chunks(const std::vector<sim::RequestRecord>& log, uint32_t size) {
  std::vector<Chunk> out;
  for (size_t i = 0; i + 1 < log.size(); ++i) {
    const auto& head = log[i];
    const auto& tail = log[i + 1];
    if (head.ioctl != platform::kIoctlVendorRequest ||
        head.packet.requestCode != platform::kRequestWrite || head.packet.index != 0x80 ||
        head.packet.length != 16 || tail.packet.index != 0x90 || tail.packet.length != 5) {
      continue;
    }
    const uint8_t deviceAddress = head.data[0];
    const uint32_t high = size >= 4096 ? head.data[2] : (deviceAddress >> 1) & 0x07;
    out.push_back(
        {high << 8 | head.data[1], tail.data[3], (deviceAddress & 1) != 0, head.sequence});
  }
  return out;
}

}  // namespace veltra::image::testing
