#include "device/eeprom_types.h"

#include "platform/text.h"

namespace veltra::device {

std::optional<EepromType> FindEepromType(std::string_view name) {
  for (const auto& type : kEepromTypes) {
    if (platform::EqualsIgnoreAsciiCase(name, type.name) ||
        platform::EqualsIgnoreAsciiCase(name, type.name.substr(1)))
      return type;
  }
  return std::nullopt;
}

std::optional<EepromType> EepromTypeBySize(uint32_t size) {
  for (const auto& type : kEepromTypes) {
    if (type.size == size) return type;
  }
  return std::nullopt;
}

}  // namespace veltra::device
