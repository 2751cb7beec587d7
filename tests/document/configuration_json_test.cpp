// The configuration document: what it refuses and how, and the differences of two documents.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "document/configuration_json.h"
#include "document/document_diff.h"
#include "image/configuration.h"
#include "image/factory_image.h"
#include "image/image_layout.h"

namespace veltra::document {
namespace {

constexpr uint32_t kTransfer = 511;  // S24C04

// The factory configuration as export writes it.
Json FactoryJson() {
  const std::vector<uint8_t> image = *image::BuildFactoryImage(0x5A52, 0x7731, kTransfer + 1);
  const image::Configuration c = *image::DecodeConfiguration(image::ReadImage(image, kTransfer));
  return ConfigurationToJson(c, device::kEepromTypes[1]);
}

// A document edited one way, and the field its one line names.
struct MalformedCase {
  const char* expected;  // in the line
  std::function<void(Json&)> edit;
  const char* text = nullptr;  // the whole document instead
};

TEST(ConfigurationJson, MalformedDocumentsAreRefusedInOneLineNamingTheField) {
  const std::vector<MalformedCase> cases{
      {"parse error at line 1", nullptr, "{\"format\": 1,"},
      {"parse error", nullptr, ""},
      {"document: expected an object", nullptr, "[1, 2]"},
      {"field \"vid\" is given twice", nullptr, nullptr},
      {"format: format 2 is not one", [](document::Json& j) { j["format"] = 2; }},
      {"format: expected a number", [](document::Json& j) { j["format"] = "1"; }},
      {"eeprom: unknown EEPROM type \"S24C03\"", [](document::Json& j) { j["eeprom"] = "S24C03"; }},
      {"header.usb.colour: unknown field",
       [](document::Json& j) { j["header"]["usb"]["colour"] = 1; }},
      {"header.pid: missing", [](document::Json& j) { j["header"].erase("pid"); }},
      {"mcu: missing", [](document::Json& j) { j.erase("mcu"); }},
      {"header.usb.remoteWakeup: expected true or false",
       [](document::Json& j) { j["header"]["usb"]["remoteWakeup"] = 1; }},
      {"header.vid: expected 1 to 4 hexadecimal digits",
       [](document::Json& j) { j["header"]["vid"] = "12345"; }},
      {"header.usb.powerRange: 8 is not between 0 and 7",
       [](document::Json& j) { j["header"]["usb"]["powerRange"] = 8; }},
      {"header.audio.recordMode: expected \"synchronous\" or \"asynchronous\"",
       [](document::Json& j) { j["header"]["audio"]["recordMode"] = "async"; }},
      {"header.playbackEq.toneMaximumDb: 3.3 is not a Maximum: value",
       [](document::Json& j) { j["header"]["playbackEq"]["toneMaximumDb"] = 3.3; }},
      {"header.playbackEq: needs exactly one of toneMaximumDb and toneMaximumCode",
       [](document::Json& j) { j["header"]["playbackEq"]["toneMaximumCode"] = 0; }},
      {"playbackEq.presets.00[0]: 12.5 dB is not a step",
       [](document::Json& j) { j["playbackEq"]["presets"]["00"][0] = 12.5; }},
      {"recordEq.gainsDb[5]: 0.25 dB is not a step",
       [](document::Json& j) { j["recordEq"]["gainsDb"][5] = 0.25; }},
      {"recordEq.gainsDb: expected an array of 6 values",
       [](document::Json& j) { j["recordEq"]["gainsDb"].erase(5); }},
      {"audioIo.volumes.playback.initialDb: -62 dB is not strictly between",
       [](document::Json& j) { j["audioIo"]["volumes"]["playback"]["initialDb"] = -62; }},
      {"audioIo.volumes.micInAa.maximumDb: 40 dB is outside the hardware range -14 dB ~ 32 dB",
       [](document::Json& j) { j["audioIo"]["volumes"]["micInAa"]["maximumDb"] = 40; }},
      {"audioIo.volumes.playback.minimumDb: expected a whole number",
       [](document::Json& j) { j["audioIo"]["volumes"]["playback"]["minimumDb"] = -20.5; }},
      {"playbackEq.bands[0].centreHz: 19 Hz is not between 20 Hz and 20000 Hz",
       [](document::Json& j) { j["playbackEq"]["bands"][0]["centreHz"] = 19; }},
      {"recordEq.bands[4].bandwidthHz: 13000 Hz is not below centreHz 13000 Hz",
       [](document::Json& j) { j["recordEq"]["bands"][4]["bandwidthHz"] = 13000; }},
      {"playbackEq.bands[1]: needs both centreHz and bandwidthHz",
       [](document::Json& j) { j["playbackEq"]["bands"][1]["centreHz"] = nullptr; }},
      {"strings.product.text: is 127 UTF-16 units long",
       [](document::Json& j) { j["strings"]["product"]["text"] = std::string(127, 'x'); }},
      {"strings.product.text: needs at least 2 characters",
       [](document::Json& j) { j["strings"]["product"]["text"] = "x"; }},
      {"strings.serial: needs exactly one of text and raw",
       [](document::Json& j) {
         j["strings"]["serial"]["raw"] = document::Json::parse(R"({"hex": "0203"})");
       }},
      {"rawSections.ocString.raw.hex: not an even number of hexadecimal digits",
       [](document::Json& j) {
         j["rawSections"]["ocString"] =
             document::Json::parse(R"({"present": true, "raw": {"hex": "123"}})");
       }},
      {"mcu.firmware.base64: not base64",
       [](document::Json& j) {
         j["mcu"] = document::Json::parse(R"({"present": true, "firmware": {"base64": "AB="}})");
       }},
      {"mcu.info.fwVersion: does not match the firmware's last 13 bytes",
       [](document::Json& j) {
         j["mcu"] = document::Json::parse(
             R"({"present": true, "firmware": {"hex": "00010203040506070809101112"},
                                    "info": {"chipId": "0100", "vid": "0302", "pid": "0504",
                                             "chipVersion": "0706", "fwVersion": "0909"}})");
       }},
  };
  for (const MalformedCase& test : cases) {
    std::string text;
    if (test.text != nullptr) {
      text = test.text;
    } else if (test.edit) {
      Json json = FactoryJson();
      test.edit(json);
      text = json.dump(2);
    } else {
      text = FactoryJson().dump(2);
      text.replace(text.find("\"vid\""), 0, "\"vid\": \"0001\", ");
    }
    std::string error;
    EXPECT_FALSE(ReadConfigurationJson(text, error)) << test.expected;
    EXPECT_EQ(error.find('\n'), std::string::npos) << error;
    EXPECT_NE(error.find(test.expected), std::string::npos) << error;
  }
}

TEST(DocumentDiff, ASectionOnOneSideOnlyAndBytesAreNamedByField) {
  const Json factory = FactoryJson();
  const auto lines = [](const Json& a, const Json& b) {
    std::string text;
    for (const Difference& d : DiffDocuments(a, b))
      text += DifferenceLine(d) + "\n";
    return text;
  };
  // A section on one side only: its fields against (none).
  Json dropped = factory;
  dropped["strings"]["serial"] = Json::parse(R"({"present": false})");
  EXPECT_EQ(lines(factory, dropped),
            "strings.serial.present: true -> false\n"
            "strings.serial.text: \"VT7731-0001\" -> (none)\n");

  // Firmware differs by its bytes.
  Json firmware = factory;
  firmware["mcu"] = Json::parse(R"({"present": true, "firmware": {"hex": "00112233"}})");
  Json other = firmware;
  other["mcu"]["firmware"] = Json::parse(R"({"base64": "ABEiRA=="})");
  EXPECT_EQ(lines(firmware, other),
            "mcu.firmware: 4 bytes -> 4 bytes (1 differ, the first at byte 3)\n");
}

}  // namespace
}  // namespace veltra::document
