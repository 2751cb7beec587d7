#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "backend/device_options.h"

// A production line without hardware: every *.bin file in a folder is one simulated unit with
// its own EEPROM, plugged in one after another.
namespace veltra::backend {

struct SimulatedUnit {
  std::string file;
  // A file whose name ends in "-nack.bin": its EEPROM acknowledges no write, so the failure
  // path of a line can be tried.
  bool nackWrites = false;
  // Goes into the unit's interface path, so each unit has its own.
  std::string instance;
};

// The folder's *.bin files in name order; the reason in error when the folder cannot be read.
std::vector<SimulatedUnit> FindSimulatedUnits(const std::string& folder, std::string& error);

// The options of the simulated device that is this unit: base's, with the unit's EEPROM file and
// interface path. An empty unit file is made an erased EEPROM of base's type first: "" or the
// reason it could not be.
std::string UnitOptions(const DeviceOptions& base, const SimulatedUnit& unit,
                        DeviceOptions& options);

}  // namespace veltra::backend
