// The input is a configuration document as 'veltra-cli import' reads it. A document the reader
// accepts is written again and read back, which must give the same configuration, and is packed
// for the EEPROM it names (an S24C512 when none); the packed image, decoded and packed again,
// must come back byte for byte. Imported into an EEPROM that already holds an image (erased,
// zeroed or the factory image), writing only the part the packed image uses, as import
// --used-only and Save EEPROM --used-only do, must read back as the same configuration. A
// refused document is refused in one line.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "device/eeprom_types.h"
#include "document/configuration_json.h"
#include "image/configuration.h"
#include "image/factory_image.h"
#include "image/image_layout.h"

namespace {

using namespace veltra;

void Require(bool condition) {
  if (!condition) __builtin_trap();
}

// What an EEPROM of this type may hold before the import; built once per type.
const std::vector<std::vector<uint8_t>>& EarlierContents(const device::EepromType& eeprom) {
  static std::array<std::vector<std::vector<uint8_t>>, device::kEepromTypes.size()> built;
  size_t index = 0;
  while (device::kEepromTypes.at(index).size != eeprom.size)
    ++index;
  std::vector<std::vector<uint8_t>>& contents = built[index];
  if (contents.empty()) {
    contents = {std::vector<uint8_t>(eeprom.size, 0xFF), std::vector<uint8_t>(eeprom.size, 0x00)};
    if (auto factory = image::BuildFactoryImage(0x5A52, 0x7731, eeprom.size)) {
      contents.push_back(std::move(*factory));
    }
  }
  return contents;
}

void CheckUsedOnlyImport(const image::PackedConfiguration& packed,
                         const image::Configuration& configuration,
                         const device::EepromType& eeprom) {
  const uint32_t used = image::UsedImageLength(packed.total, eeprom.transferLength);
  for (std::vector<uint8_t> contents : EarlierContents(eeprom)) {
    std::copy_n(packed.image.begin(), used, contents.begin());
    const std::span<const uint8_t> image(contents.data(), eeprom.transferLength);
    const std::optional<image::Configuration> read =
        image::DecodeConfiguration(image::ReadImage(image, eeprom.transferLength));
    Require(read.has_value() && *read == configuration);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string error;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::optional<document::ConfigurationDocument> parsed =
      document::ReadConfigurationJson(text, error);
  if (!parsed) {
    Require(!error.empty() && error.find('\n') == std::string::npos);
    return 0;
  }
  const device::EepromType eeprom = parsed->eeprom.value_or(device::kEepromTypes.back());

  const std::string written = document::ConfigurationJsonText(parsed->configuration, eeprom);
  const std::optional<document::ConfigurationDocument> again =
      document::ReadConfigurationJson(written, error);
  Require(again && again->configuration == parsed->configuration);

  const image::PackedConfiguration packed =
      image::PackConfiguration(parsed->configuration, eeprom.transferLength);
  if (!packed.fits) return 0;
  const std::optional<image::Configuration> read =
      image::DecodeConfiguration(image::ReadImage(packed.image, eeprom.transferLength));
  Require(read && !image::CheckConfiguration(*read));
  Require(image::PackConfiguration(*read, eeprom.transferLength).image == packed.image);
  CheckUsedOnlyImport(packed, *read, eeprom);
  return 0;
}
