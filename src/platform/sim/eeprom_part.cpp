#include "platform/sim/eeprom_part.h"

#include "platform/text.h"

namespace veltra::sim {

namespace {

constexpr std::array<EepromPartInfo, 9> kParts{{
    {"24C02", 256, 8, 1, 0xA0, 0},
    {"24C04", 512, 16, 1, 0xA0, 1},
    {"24C08", 1024, 16, 1, 0xA0, 2},
    {"24C16", 2048, 16, 1, 0xA0, 3},
    {"24C32", 4096, 32, 2, 0xA8, 0},
    {"24C64", 8192, 32, 2, 0xA8, 0},
    {"24C128", 16384, 64, 2, 0xA8, 0},
    {"24C256", 32768, 64, 2, 0xA8, 0},
    {"24C512", 65536, 128, 2, 0xA8, 0},
}};

}  // namespace

const EepromPartInfo& PartInfo(EepromPart part) {
  return kParts[static_cast<size_t>(part)];
}

std::optional<EepromPart> PartFromSize(uint32_t size) {
  for (EepromPart part : kAllEepromParts) {
    if (PartInfo(part).size == size) return part;
  }
  return std::nullopt;
}

std::optional<EepromPart> PartFromName(std::string_view name) {
  if (!name.empty() && (name[0] == 'S' || name[0] == 's')) name.remove_prefix(1);
  for (EepromPart part : kAllEepromParts) {
    if (platform::EqualsIgnoreAsciiCase(name, PartInfo(part).name)) return part;
  }
  return std::nullopt;
}

}  // namespace veltra::sim
