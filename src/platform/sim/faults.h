#pragma once

#include <cstdint>
#include <optional>

namespace veltra::sim {

// Faults the simulated driver and chip inject. Sequence numbers are those of RequestRecord
// (every I/O control request on the driver counts, 1-based).
struct Faults {
  uint64_t failRequest = 0;    // fail the request with this sequence number, to no effect (0: off)
  double failProbability = 0;  // fail vendor requests at random...
  uint64_t seed = 1;           // ...drawn from this seed: the same requests fail every run
  bool forceNack = false;      // the EEPROM acknowledges nothing
  bool stuckBusy = false;      // I2C commands never complete (status bit 7 stays set)
  uint64_t unplugAfter = 0;    // unplug the bound device after this request (0: off)
  // From the request with this sequence number until the I2C master is next disabled (the end
  // of the EEPROM transfer under way, or of the next one): the EEPROM acknowledges nothing /
  // I2C commands never complete (0: off). Such a fault ends with the transfer, so the device
  // serves the next one again, as after a disturbance on the bus. A NACK of a single command is
  // left out on purpose: the EEPROM already gives one while it programs each page.
  uint64_t nackFrom = 0;
  uint64_t busyFrom = 0;
  // The EEPROM's write protection from this address on, as a WP pin held high: the part
  // acknowledges the bytes written there and keeps its old ones.
  std::optional<uint32_t> writeProtectFrom;
};

}  // namespace veltra::sim
