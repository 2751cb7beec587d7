#include "backend/device_options.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "platform/text.h"

namespace veltra::backend {
namespace {

std::string Option(DeviceOption id) {
  return std::string("--") + Definition(id).name;
}

std::string HexRefusal(DeviceOption id, unsigned maximum, std::string_view value) {
  char limit[16];
  std::snprintf(limit, sizeof limit, "%X", maximum);
  return Option(id) + " needs a hexadecimal number from 0 to " + limit + ", not '" +
         std::string(value) + "'";
}

}  // namespace

std::optional<unsigned> ParseHexValue(std::string_view text, unsigned maximum) {
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
    text.remove_prefix(2);
  unsigned long long value = 0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value, 16);
  if (text.empty() || error != std::errc() || stop != end || value > maximum) return std::nullopt;
  return static_cast<unsigned>(value);
}

const DeviceOptionDefinition& Definition(DeviceOption id) {
  for (const DeviceOptionDefinition& definition : kDeviceOptions) {
    if (definition.id == id) return definition;
  }
  return kDeviceOptions.front();
}

std::string EepromTypeNames() {
  std::string names;
  for (const device::EepromType& type : device::kEepromTypes) {
    if (!names.empty()) names += ", ";
    names += type.name;
  }
  return names;
}

std::string SetDeviceOption(DeviceOption id, std::string_view value, DeviceOptions& options) {
  switch (id) {
    case DeviceOption::kVid:
    case DeviceOption::kPid: {
      const std::optional<unsigned> number = ParseHexValue(platform::TrimBlanks(value), 0xFFFF);
      if (!number) return HexRefusal(id, 0xFFFF, value);
      (id == DeviceOption::kVid ? options.vid : options.pid) = static_cast<uint16_t>(*number);
      return {};
    }
    case DeviceOption::kCapability: {
      const std::optional<unsigned> number = ParseHexValue(platform::TrimBlanks(value), 0xFF);
      if (!number) return HexRefusal(id, 0xFF, value);
      options.capability = static_cast<uint8_t>(*number);
      return {};
    }
    case DeviceOption::kEeprom: {
      const std::optional<device::EepromType> type =
          device::FindEepromType(platform::TrimBlanks(value));
      if (!type) {
        return Option(id) + " needs one of " + EepromTypeNames() + ", not '" + std::string(value) +
               "'";
      }
      options.eeprom = type;
      return {};
    }
    case DeviceOption::kLatency: {
      const std::string_view text = platform::TrimBlanks(value);
      double ms = 0;
      const char* end = text.data() + text.size();
      const auto [stop, error] = std::from_chars(text.data(), end, ms);
      // Not a number, infinite or out of range: refused before any conversion to an integer.
      if (text.empty() || error != std::errc() || stop != end || !std::isfinite(ms) || ms < 0 ||
          ms > kMaxLatencyMs) {
        return Option(id) + " needs a number of milliseconds from 0 to 1000, not '" +
               std::string(value) + "'";
      }
      options.latencyNs = static_cast<int64_t>(std::llround(ms * 1e6));
      return {};
    }
    case DeviceOption::kImage:
      if (value.empty()) return Option(id) + " needs a file name";
      options.imageFile = std::string(value);
      return {};
    case DeviceOption::kSimulated:
      options.simulated = true;
      return {};
  }
  return {};
}

std::string CheckGivenDeviceOptions(std::span<const DeviceOption> given, bool hardwareBackend) {
  if (!hardwareBackend) return {};
  if (std::find(given.begin(), given.end(), DeviceOption::kSimulated) != given.end()) return {};
  for (const DeviceOption id : given) {
    if (OnlySimulated(id)) return Option(id) + " needs " + Option(DeviceOption::kSimulated);
  }
  return {};
}

std::string DeviceOptionsHelp(size_t column, std::string_view eepromNote) {
  std::string text;
  for (const DeviceOptionDefinition& definition : kDeviceOptions) {
    std::string head = std::string("  --") + definition.name;
    if (definition.valueName != nullptr) head += std::string(" ") + definition.valueName;
    head.resize(std::max(column, head.size() + 1), ' ');
    text += head + definition.help;
    if (definition.id == DeviceOption::kEeprom) text += eepromNote;
    text += '\n';
  }
  return text;
}

}  // namespace veltra::backend
