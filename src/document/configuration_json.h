#pragma once

#include <nlohmann/json.hpp>

#include <optional>
#include <string>
#include <string_view>

#include "device/eeprom_types.h"
#include "image/configuration.h"

namespace veltra::document {

// The configuration as the versioned JSON document of export and import, described in
// docs/configuration-json.md. Fields keep the order they are written in.
using Json = nlohmann::ordered_json;

inline constexpr int kConfigurationJsonFormat = 1;

struct ConfigurationDocument {
  // The EEPROM the configuration was exported from; nullopt when the document names none.
  std::optional<device::EepromType> eeprom;
  image::Configuration configuration;
};

Json ConfigurationToJson(const image::Configuration& configuration,
                         const device::EepromType& eeprom);
// Indented text, one field a line, ending in a line break.
std::string ConfigurationJsonText(const image::Configuration& configuration,
                                  const device::EepromType& eeprom);

// Reads a document: its syntax, the format number, every field's type and range, then the rules
// the pages keep (CheckConfiguration). On failure nullopt and one line in error: the syntax
// error with its line and column, or "<field>: <reason>".
std::optional<ConfigurationDocument> ReadConfigurationJson(std::string_view text,
                                                           std::string& error);

// The value on one line, without its line break; bytes of a string that are not UTF-8 become
// U+FFFD, so the line is always valid JSON.
std::string JsonLine(const Json& value);

// Whether a JSON value is the form a byte string takes: {"hex": ...} or {"base64": ...}.
bool IsBytesJson(const Json& value);
// Its bytes; nullopt when it is not one.
std::optional<std::vector<uint8_t>> BytesOfJson(const Json& value);

}  // namespace veltra::document
