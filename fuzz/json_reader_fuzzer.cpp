// The input is a configuration document as 'veltra-cli import' reads it. A document the reader
// accepts is written again and read back, which must give the same configuration, and is packed
// for the EEPROM it names (an S24C512 when none); the packed image, decoded and packed again,
// must come back byte for byte.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "cli/config_json.h"
#include "device/eeprom_types.h"
#include "image/configuration.h"
#include "image/image_layout.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace veltra;
  std::string error;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::optional<cli::ConfigurationDocument> document =
      cli::ReadConfigurationJson(text, error);
  if (!document) return 0;
  const device::EepromType eeprom = document->eeprom.value_or(device::kEepromTypes.back());

  const std::string written = cli::ConfigurationJsonText(document->configuration, eeprom);
  const std::optional<cli::ConfigurationDocument> again =
      cli::ReadConfigurationJson(written, error);
  if (!again || again->configuration != document->configuration) __builtin_trap();

  const image::PackedConfiguration packed =
      image::PackConfiguration(document->configuration, eeprom.transferLength);
  if (!packed.fits) return 0;
  const std::optional<image::Configuration> read =
      image::DecodeConfiguration(image::ReadImage(packed.image, eeprom.transferLength));
  if (!read || image::CheckConfiguration(*read)) __builtin_trap();
  if (image::PackConfiguration(*read, eeprom.transferLength).image != packed.image) {
    __builtin_trap();
  }
  return 0;
}
