#include "cli/image_json.h"

#include <string>

#include "image/configuration.h"
#include "image/section_kinds.h"

namespace veltra::cli {
namespace {

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
    sections.push_back(document::Json::object({{"field", image::kSectionFields[row]},
                                               {"offset", section->place.offset},
                                               {"length", section->place.length}}));
  }
  document::Json& tails = layout["tailRecords"] = document::Json::array();
  const image::TailRecordPlaces places = image::TailRecordPlacesOf(contents);
  if (places.first) {
    tails.push_back(
        document::Json::object({{"number", 1},
                                {"field", image::kSectionFields[image::section_index::kPlaybackEq]},
                                {"offset", *places.first}}));
  }
  if (places.second) {
    tails.push_back(
        document::Json::object({{"number", 2},
                                {"field", image::kSectionFields[image::section_index::kRecordEq]},
                                {"offset", *places.second}}));
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
  return document::JsonLine(ImageJson(contents, eeprom, chip)) + "\n";
}

}  // namespace veltra::cli
