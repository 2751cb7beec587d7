#include "image/part_probe.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "device/eeprom_types.h"
#include "image/image_layout.h"

namespace veltra::image {

namespace {

std::string Address(uint32_t address) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%04X", static_cast<unsigned>(address));
  return text;
}

// The header at 0 repeats at partSize: writes the byte there inverted and reads it at 0, then
// puts it back. On a part of that size both addresses are one byte.
PartProbe::Outcome WriteTest(device::VendorTransport& transport, uint32_t partSize,
                             uint8_t original) {
  uint8_t test = static_cast<uint8_t>(~original);
  uint8_t atZero = original;
  uint8_t there = original;
  const bool tested = transport.EepromTransfer(true, partSize, &test, 1) != 0 &&
                      transport.EepromTransfer(false, 0, &atZero, 1) != 0 &&
                      transport.EepromTransfer(false, partSize, &there, 1) != 0;
  // Put back whatever the test got to, even after a failed transfer.
  uint8_t restore = original;
  const bool restored = transport.EepromTransfer(true, partSize, &restore, 1) != 0;
  if (!tested || !restored) return PartProbe::Outcome::kReadFailed;
  if (atZero == test) return PartProbe::Outcome::kSmallerPart;
  if (there == test) return PartProbe::Outcome::kNoSmallerPart;
  // The byte did not stay (a write-protected part): nothing tells the two apart.
  return PartProbe::Outcome::kRepeats;
}

}  // namespace

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
    if (there != atZero) continue;
    if (cancelled()) return probe;
    probe.outcome = WriteTest(transport, type.size, atZero[0]);
    // A copy at this size on a larger part says nothing of a larger size's place.
    if (probe.outcome == PartProbe::Outcome::kNoSmallerPart) continue;
    if (probe.outcome != PartProbe::Outcome::kReadFailed) probe.partSize = type.size;
    return probe;
  }
  return probe;
}

std::string TypeName(uint32_t size) {
  const std::optional<device::EepromType> type = device::EepromTypeBySize(size);
  return type ? std::string(type->name) : "EEPROM of " + std::to_string(size) + " bytes";
}

std::string PartName(uint32_t size) {
  // Every type's name begins with S, read "ess".
  return "an " + TypeName(size);
}

std::string SmallerPartText(uint32_t chosenSize, uint32_t partSize) {
  return "The EEPROM is " + PartName(partSize) + ", not the chosen " + TypeName(chosenSize) +
         ": a byte written at address " + Address(partSize) +
         " came back at address 0x0000. It was put back; nothing else was written.";
}

std::string RepeatingPartText(uint32_t chosenSize, uint32_t partSize) {
  return "The EEPROM may be " + PartName(partSize) + ", not the chosen " + TypeName(chosenSize) +
         ": its first " + std::to_string(kHeaderReadLength) + " bytes read again at address " +
         Address(partSize) +
         ", and a test byte written there did not stay. An image rolled over into " +
         PartName(chosenSize) + " reads so too.";
}

}  // namespace veltra::image
