#include "device/eeprom_types.h"

#include <cctype>

namespace veltra::device {

namespace {

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::toupper(static_cast<unsigned char>(a[i])) !=
        std::toupper(static_cast<unsigned char>(b[i])))
      return false;
  }
  return true;
}

}  // namespace

std::optional<EepromType> FindEepromType(std::string_view name) {
  for (const auto& type : kEepromTypes) {
    if (EqualsIgnoreCase(name, type.name) || EqualsIgnoreCase(name, type.name.substr(1)))
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
