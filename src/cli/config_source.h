#pragma once

#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

#include "cli/command_options.h"
#include "cli/device_session.h"
#include "device/eeprom_types.h"
#include "document/configuration_json.h"
#include "image/configuration.h"

namespace veltra::cli {

// The inputs of the configuration commands (export, import, diff, eq-upload): an image file, a
// JSON document (a file whose name ends in .json), or the device's EEPROM (--device).

bool IsJsonPath(std::string_view path);

struct LoadedConfiguration {
  // The EEPROM the configuration is for; nullopt for a JSON document that names none when the
  // command line does not either.
  std::optional<device::EepromType> eeprom;
  // nullopt: an image without the magic "ZR" (an erased or empty EEPROM).
  std::optional<image::Configuration> configuration;
};

// How a command reports an input it cannot use: exit codes for an input that cannot be read and
// for one that is refused (malformed JSON, a value the pages refuse).
struct SourceCodes {
  int unreadable;
  int refused;
};

// Which EEPROM a JSON document is taken for when the command line names one too: the line's
// where the configuration goes onto that EEPROM, the document's where it is compared as it is.
enum class DocumentEeprom { kCommandLineFirst, kDocumentFirst };

// An image file, read for --eeprom, or a JSON document. nullopt: the reason is on err and code
// set.
std::optional<LoadedConfiguration> LoadConfigurationFile(const std::string& path,
                                                         const CommandLine& line,
                                                         DocumentEeprom eeprom, SourceCodes codes,
                                                         std::string_view prefix, std::ostream& err,
                                                         int& code);

// The configuration in the connected device's EEPROM, read as the GUI's Refresh reads it.
std::optional<LoadedConfiguration> LoadConfigurationFromDevice(DeviceSession& session,
                                                               const device::EepromType& eeprom,
                                                               std::string_view prefix,
                                                               std::ostream& err, int& code);

// The text a command names an empty image with.
std::string EmptyImageText(std::string_view what);

// Whole files the commands read are at most this long; a configuration document is far smaller.
inline constexpr uint64_t kMaxDocumentBytes = 16u << 20;

}  // namespace veltra::cli
