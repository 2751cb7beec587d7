#include "image/part_probe.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "device/eeprom_types.h"
#include "image/image_layout.h"

namespace veltra::image {

PartProbe ProbeEepromPart(device::VendorTransport& transport, const std::function<bool()>& cancel) {
  const uint32_t chosenSize = transport.EepromSize();
  PartProbe probe;
  const bool anySmaller =
      std::any_of(device::kEepromTypes.begin(), device::kEepromTypes.end(),
                  [&](const device::EepromType& type) { return type.size < chosenSize; });
  if (!anySmaller) return probe;
  const auto cancelled = [&] { return cancel && (probe.cancelled = cancel()); };

  std::array<uint8_t, kHeaderReadLength> atZero{};
  if (cancelled()) return probe;
  if (transport.EepromTransfer(false, 0, atZero.data(), kHeaderReadLength) == 0) {
    probe.outcome = PartProbe::Outcome::kReadFailed;
    return probe;
  }
  probe.header = atZero;
  if (!HasMagic(atZero)) return probe;
  for (const device::EepromType& type : device::kEepromTypes) {
    if (type.size >= chosenSize) break;
    std::array<uint8_t, kHeaderReadLength> there{};
    if (cancelled()) return probe;
    if (transport.EepromTransfer(false, type.size, there.data(), kHeaderReadLength) == 0) {
      probe.outcome = PartProbe::Outcome::kReadFailed;
      return probe;
    }
    if (there == atZero) {
      probe.outcome = PartProbe::Outcome::kSmallerPart;
      probe.partSize = type.size;
      return probe;
    }
  }
  return probe;
}

std::string SmallerPartText(uint32_t chosenSize, uint32_t partSize) {
  auto name = [](uint32_t size) {
    const std::optional<device::EepromType> type = device::EepromTypeBySize(size);
    return type ? std::string(type->name) : std::to_string(size) + "-byte part";
  };
  char address[16];
  std::snprintf(address, sizeof address, "0x%04X", static_cast<unsigned>(partSize));
  return "The EEPROM is likely a " + name(partSize) + ", not the chosen " + name(chosenSize) +
         ": its first " + std::to_string(kHeaderReadLength) + " bytes read again at address " +
         address + ". Nothing was written.";
}

}  // namespace veltra::image
