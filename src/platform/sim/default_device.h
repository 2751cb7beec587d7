#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/sim/eeprom_part.h"

// The simulated device the tool works on where no vendor driver exists, and the per-user file
// that keeps its EEPROM between runs. Shared by the GUI and the command line tool.
namespace veltra::sim {

// $XDG_DATA_HOME/veltra-config, or ~/.local/share/veltra-config when XDG_DATA_HOME is unset or
// not an absolute path. Without HOME the account's home directory from the user database.
std::string UserDataDirectory();

// <data directory>/sim-eeprom-5A52-7731-24C64.bin: one file per VID, PID and EEPROM part.
std::string DefaultImageFile(uint16_t vid, uint16_t pid, EepromPart part);

// The image a fresh EEPROM of the part gets; nullopt leaves the part erased (0xFF).
using ImageBuilder = std::function<std::optional<std::vector<uint8_t>>(uint32_t partSize)>;

// Creates path, and its directory, holding the built image when no file is there yet; an
// existing file is left as it is. Returns "" or the system's reason the file could not be made.
std::string CreateMissingImageFile(const std::string& path, EepromPart part,
                                   const ImageBuilder& build);

}  // namespace veltra::sim
