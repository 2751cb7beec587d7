#include "cli/image_json.h"

#include <array>
#include <string>

#include "image/configuration.h"
#include "image/section_kinds.h"

namespace veltra::cli {
namespace {

// Each table row's field in the document.
constexpr std::array<const char*, image::kDirectorySlotCount> kRowFields{
    "mcu",
    "audioIo",
    "strings.manufacturer",
    "strings.product",
    "strings.serial",
    "rawSections.passThrough4",
    "rawSections.passThrough5",
    "rawSections.passThrough6",
    "rawSections.ocString",
    "rawSections.passThrough8",
    "playbackEq",
    "recordEq",
};

document::Json LayoutJson(const image::ImageContents& contents, uint32_t transferLength) {
  document::Json layout = document::Json::object();
  layout["transferLength"] = transferLength;
  layout["empty"] = !contents.hasMagic;
  if (!contents.hasMagic) return layout;
  layout["dataLength"] = contents.total;
  document::Json& sections = layout["sections"] = document::Json::array();
  for (size_t row = 0; row < contents.sections.size(); ++row) {
    const std::optional<image::StoredSection>& section = contents.sections[row];
    if (!section) continue;
    sections.push_back(document::Json::object({{"field", kRowFields[row]},
                                               {"offset", section->place.offset},
                                               {"length", section->place.length}}));
  }
  document::Json& tails = layout["tailRecords"] = document::Json::array();
  const image::TailRecordPlaces places = image::TailRecordPlacesOf(contents);
  if (places.first) {
    tails.push_back(document::Json::object(
        {{"number", 1}, {"field", "playbackEq"}, {"offset", *places.first}}));
  }
  if (places.second) {
    tails.push_back(
        document::Json::object({{"number", 2}, {"field", "recordEq"}, {"offset", *places.second}}));
  }
  return layout;
}

}  // namespace

document::Json ImageJson(const image::ImageContents& contents, const device::EepromType& eeprom,
                         const std::optional<image::ChipTraits>& chip) {
  document::Json json = document::Json::object();
  if (const std::optional<image::Configuration> c = image::DecodeConfiguration(contents)) {
    json = document::ConfigurationToJson(*c, eeprom);
  } else {
    json["format"] = document::kConfigurationJsonFormat;
    json["eeprom"] = std::string(eeprom.name);
  }
  json["layout"] = LayoutJson(contents, eeprom.transferLength);
  if (chip) {
    document::Json flags = document::Json::array();
    for (bool flag : chip->capabilities)
      flags.push_back(flag ? 1 : 0);
    json["chip"] = document::Json::object({{"variant", chip->variant}, {"capabilities", flags}});
  }
  return json;
}

std::string ImageJsonLine(const image::ImageContents& contents, const device::EepromType& eeprom,
                          const std::optional<image::ChipTraits>& chip) {
  return ImageJson(contents, eeprom, chip)
             .dump(-1, ' ', false, document::Json::error_handler_t::replace) +
         "\n";
}

}  // namespace veltra::cli
