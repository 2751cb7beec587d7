#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "backend/simulated_backend.h"
#include "cli/cli_result.h"
#include "cli/diff_command.h"
#include "cli/eq_upload_command.h"
#include "cli/export_command.h"
#include "cli/import_command.h"
#include "cli_test_support.h"
#include "device/eeprom_types.h"
#include "document/configuration_json.h"
#include "image/configuration.h"
#include "image/factory_image.h"
#include "image/image_layout.h"
#include "image/random_packed_image.h"
#include "platform/sim/sim_system.h"

namespace veltra::cli {
namespace {

using testing::LineCount;
using testing::Outcome;
using testing::ReadFile;
using testing::RunCommand;
using testing::TempDir;
using testing::WriteFile;

constexpr uint32_t kSize = 512;  // S24C04
constexpr uint32_t kTransfer = kSize - 1;

std::string TextOf(const std::vector<uint8_t>& bytes) {
  return std::string(bytes.begin(), bytes.end());
}

void WriteText(const std::string& path, const std::string& text) {
  WriteFile(path, std::vector<uint8_t>(text.begin(), text.end()));
}

class ConfigCommandsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    factory_ = *image::BuildFactoryImage(0x5A52, 0x7731, kSize);
    WriteFile(eeprom_, factory_);
    factoryImage_.assign(factory_.begin(), factory_.begin() + kTransfer);
    WriteFile(imageFile_, factoryImage_);
  }

  // The factory configuration as export writes it.
  document::Json FactoryJson() const {
    const image::Configuration c =
        *image::DecodeConfiguration(image::ReadImage(factoryImage_, kTransfer));
    return document::ConfigurationToJson(c, device::kEepromTypes[1]);
  }
  std::string Write(const std::string& name, const document::Json& json) const {
    const std::string path = dir_.File(name);
    WriteText(path, json.dump(2));
    return path;
  }
  std::vector<std::string> Device(std::vector<std::string> args) const {
    args.insert(args.end(), {"--eeprom", "S24C04", "--image", eeprom_});
    return args;
  }

  TempDir dir_;
  const std::string eeprom_ = dir_.File("eeprom.bin");
  const std::string imageFile_ = dir_.File("factory.bin");
  std::vector<uint8_t> factory_;       // the EEPROM, 0xFF past the image
  std::vector<uint8_t> factoryImage_;  // the transfer length of it
};

TEST_F(ConfigCommandsTest, ExportThenImportGivesTheSameImageOnAllNineEepromTypes) {
  for (const device::EepromType& type : device::kEepromTypes) {
    image::testing::RandomPackedImage random(type.size + 1);
    for (int i = 0; i < 6; ++i) {
      const std::vector<uint8_t> image = random.Make(type.transferLength);
      const std::string bin = dir_.File("in.bin");
      const std::string json = dir_.File("config.json");
      const std::string out = dir_.File("out.bin");
      WriteFile(bin, image);
      Outcome o =
          RunCommand(RunExportCommand, {bin, "--eeprom", std::string(type.name), "-o", json});
      ASSERT_EQ(o.code, kExitSuccess) << type.name << ": " << o.err;
      EXPECT_EQ(o.out + o.err, "");
      // The document names its EEPROM: import needs no --eeprom.
      o = RunCommand(RunImportCommand, {json, "-o", out});
      ASSERT_EQ(o.code, kExitSuccess) << type.name << ": " << o.err;
      ASSERT_EQ(ReadFile(out), image) << type.name << " #" << i;

      // The document reads back into the configuration it was written from.
      const image::Configuration c =
          *image::DecodeConfiguration(image::ReadImage(image, type.transferLength));
      std::string error;
      const auto read = document::ReadConfigurationJson(TextOf(*ReadFile(json)), error);
      ASSERT_TRUE(read.has_value()) << error;
      EXPECT_EQ(read->configuration, c);
      EXPECT_EQ(read->eeprom->name, type.name);
    }
  }
}

TEST_F(ConfigCommandsTest, ImportNamesWhatThePagesChangeOnLoadAndFollowsStrictOrNormalize) {
  document::Json doc = FactoryJson();
  document::Json& audio = doc["header"]["audio"];
  audio["playbackDsp"] = audio["playbackI2s"] = true;
  audio["playbackI2sMode"] = "slave";
  audio["playbackMclk"] = false;
  audio["recordMode"] = "synchronous";
  const std::string json = Write("dsp-and-i2s.json", doc);
  const std::string bin = dir_.File("out.bin");
  const std::string line =
      "header.audio.playbackI2s: the Audio I/O page turns this off, as Playback DSP is on";

  Outcome o = RunCommand(RunImportCommand, {json, "-o", bin, "--strict"});
  EXPECT_EQ(o.code, kExitUsage);
  EXPECT_NE(o.err.find("veltra-cli: import: " + line + "\n"), std::string::npos) << o.err;
  EXPECT_FALSE(ReadFile(bin).has_value());

  // As it stands by default: the export of the image is the document again.
  o = RunCommand(RunImportCommand, {json, "-o", bin});
  ASSERT_EQ(o.code, kExitSuccess) << o.err;
  EXPECT_EQ(o.err, "veltra-cli: import: warning: " + line + "\n");
  o = RunCommand(RunExportCommand, {bin, "--eeprom", "S24C04"});
  EXPECT_EQ(document::Json::parse(o.out), doc);

  o = RunCommand(RunImportCommand, {json, "-o", bin, "--normalize"});
  ASSERT_EQ(o.code, kExitSuccess) << o.err;
  EXPECT_EQ(o.err,
            "veltra-cli: import: header.audio.playbackI2s: true -> false (the Audio I/O page "
            "turns this off, as Playback DSP is on)\n");
  o = RunCommand(RunExportCommand, {bin, "--eeprom", "S24C04"});
  audio["playbackI2s"] = false;
  EXPECT_EQ(document::Json::parse(o.out), doc);

  // The factory document is what the pages keep; a variant without playback keeps the rest.
  EXPECT_EQ(
      RunCommand(RunImportCommand, {Write("f.json", FactoryJson()), "-o", bin, "--strict"}).err,
      "");
  EXPECT_EQ(RunCommand(RunImportCommand, {json, "-o", bin, "--strict", "--variant", "2"}).code,
            kExitSuccess);
  EXPECT_EQ(RunCommand(RunImportCommand, {json, "-o", bin, "--strict", "--normalize"}).code,
            kExitUsage);
}

TEST_F(ConfigCommandsTest, ExportWritesTheDocumentToStandardOutputWithoutDashO) {
  const Outcome o = RunCommand(RunExportCommand, {imageFile_, "--eeprom", "S24C04"});
  ASSERT_EQ(o.code, kExitSuccess) << o.err;
  const document::Json json = document::Json::parse(o.out);
  EXPECT_EQ(json["format"], 1);
  EXPECT_EQ(json["strings"]["product"]["text"], "Veltra USB Audio Codec");
  EXPECT_EQ(json["playbackEq"]["presets"]["01"],
            document::Json::parse("[4.5, -0.5, -1.0, -1.0, 1.0, 7.0]"));
  EXPECT_FALSE(json["playbackEq"]["bands"][0].contains("words")) << "words the band gives";
}

TEST_F(ConfigCommandsTest, DeviceExportAndImportGoThroughTheEeprom) {
  const std::string json = dir_.File("device.json");
  Outcome o = RunCommand(RunExportCommand, Device({"--device", "-o", json}), {});
  ASSERT_EQ(o.code, kExitSuccess) << o.err;
  o = RunCommand(RunExportCommand, {imageFile_, "--eeprom", "S24C04"});
  EXPECT_EQ(TextOf(*ReadFile(json)), o.out) << "the device holds the factory image";

  document::Json edited = document::Json::parse(o.out);
  edited["header"]["usb"]["remoteWakeup"] = true;
  edited["strings"]["serial"]["text"] = "VT7731-0002";
  o = RunCommand(RunImportCommand, Device({Write("edited.json", edited), "--device", "--yes"}), {});
  ASSERT_EQ(o.code, kExitSuccess) << o.err;
  EXPECT_EQ(o.out + o.err, "");
  const std::vector<uint8_t> after = *ReadFile(eeprom_);
  ASSERT_EQ(after.size(), kSize);
  EXPECT_EQ(after.back(), factory_.back()) << "the last byte is never written";
  // A whole write as Save EEPROM does it: the packed image, zeros past it.
  const Outcome packed = RunCommand(RunImportCommand, {dir_.File("edited.json"), "-o", "-"});
  EXPECT_EQ(TextOf(std::vector<uint8_t>(after.begin(), after.begin() + kTransfer)), packed.out);
  EXPECT_EQ(after[6], factory_[6] | 0x40) << "remote wakeup, header byte 6 bit 6";

  o = RunCommand(RunDiffCommand, Device({"--device", json}), {});
  EXPECT_EQ(o.code, 1);
  EXPECT_EQ(o.out,
            "header.usb.remoteWakeup: true -> false\n"
            "strings.serial.text: \"VT7731-0002\" -> \"VT7731-0001\"\n");
}

TEST_F(ConfigCommandsTest, DeviceImportAsksAndWritesOnlyTheUsedPartWhenTold) {
  const std::string json = Write("factory.json", FactoryJson());
  // No terminal to ask on: nothing is written without --yes.
  Outcome o = RunCommand(RunImportCommand, Device({json, "--device"}), {});
  EXPECT_EQ(o.code, kExitUsage);
  EXPECT_NE(o.err.find("needs --yes"), std::string::npos) << o.err;

  // Bytes past the used part stay as they were; what is read back is the same configuration.
  std::vector<uint8_t> stale = factory_;
  const uint32_t used =
      image::UsedImageLength(image::ReadImage(factoryImage_, kTransfer).total, kTransfer);
  ASSERT_LT(used, kTransfer);
  std::fill(stale.begin() + used, stale.end() - 1, uint8_t{0x5A});
  WriteFile(eeprom_, stale);
  o = RunCommand(RunImportCommand, Device({json, "--device", "--yes", "--used-only"}), {});
  ASSERT_EQ(o.code, kExitSuccess) << o.err;
  const std::vector<uint8_t> after = *ReadFile(eeprom_);
  EXPECT_TRUE(
      std::all_of(after.begin() + used, after.end() - 1, [](uint8_t b) { return b == 0x5A; }));
  o = RunCommand(RunDiffCommand, Device({"--device", json}), {});
  EXPECT_EQ(o.code, kExitSuccess) << o.out << o.err;

  o = RunCommand(RunImportCommand, {json, "-o", dir_.File("x.bin"), "--used-only"});
  EXPECT_EQ(o.code, kExitUsage) << "--used-only goes with --device";
}

TEST_F(ConfigCommandsTest, DeviceFailuresAreOneLineAndExitOne) {
  const DeviceHook nack = [](backend::SimulatedBackend& simulated) {
    sim::SimSystem& system = simulated.System();
    system.SetFaults({.forceNack = true});
  };
  const std::string json = Write("ok.json", FactoryJson());
  Outcome o = RunCommand(RunImportCommand, Device({json, "--device", "--yes"}), nack);
  EXPECT_EQ(o.code, kExitFailure);
  EXPECT_EQ(o.err.rfind("veltra-cli: import: Fail to write EEPROM", 0), 0u) << o.err;
  EXPECT_EQ(LineCount(o.err), 1u) << o.err;
  EXPECT_EQ(ReadFile(eeprom_), factory_);
  o = RunCommand(RunExportCommand, Device({"--device", "-o", dir_.File("x.json")}), nack);
  EXPECT_EQ(o.code, kExitFailure);
  EXPECT_EQ(o.err.rfind("veltra-cli: export: Fail to read EEPROM", 0), 0u) << o.err;
  EXPECT_FALSE(std::filesystem::exists(dir_.File("x.json")));

  // An erased EEPROM has nothing to export.
  WriteFile(eeprom_, std::vector<uint8_t>(kSize, 0xFF));
  o = RunCommand(RunExportCommand, Device({"--device"}), {});
  EXPECT_EQ(o.code, kExitFailure);
  EXPECT_EQ(o.err, "veltra-cli: export: the EEPROM holds no configuration (no magic \"ZR\")\n");
  EXPECT_EQ(o.out, "");
}

TEST_F(ConfigCommandsTest, DiffPrintsOneLinePerChangedField) {
  const document::Json factory = FactoryJson();
  const std::string a = Write("a.json", factory);
  document::Json changed = factory;
  changed["audioIo"]["volumes"]["micInAa"]["initialDb"] = 5;
  const std::string b = Write("b.json", changed);

  Outcome o = RunCommand(RunDiffCommand, {a, b});
  EXPECT_EQ(o.code, 1);
  EXPECT_EQ(o.out, "audioIo.volumes.micInAa.initialDb: 0 -> 5\n");
  EXPECT_EQ(o.err, "");

  o = RunCommand(RunDiffCommand, {a, b, "--json"});
  EXPECT_EQ(o.code, 1);
  const document::Json report = document::Json::parse(o.out);
  EXPECT_EQ(report["equal"], false);
  ASSERT_EQ(report["differences"].size(), 1u);
  EXPECT_EQ(report["differences"][0]["field"], "audioIo.volumes.micInAa.initialDb");
  EXPECT_EQ(report["differences"][0]["a"], 0);
  EXPECT_EQ(report["differences"][0]["b"], 5);

  // An image and its own document are the same configuration.
  o = RunCommand(RunDiffCommand, {imageFile_, a, "--eeprom", "S24C04"});
  EXPECT_EQ(o.code, 0) << o.out << o.err;
  EXPECT_EQ(o.out, "");

  // An erased image against a configuration.
  const std::string erased = dir_.File("erased.bin");
  WriteFile(erased, std::vector<uint8_t>(kTransfer, 0xFF));
  o = RunCommand(RunDiffCommand, {erased, a, "--eeprom", "S24C04"});
  EXPECT_EQ(o.code, 1);
  EXPECT_EQ(o.out, "empty: true -> false\n");
}

// A document edited one way, and the field its one line names.
struct MalformedCase {
  const char* expected;  // in the line
  std::function<void(document::Json&)> edit;
  const char* text = nullptr;  // the whole document instead
};

TEST_F(ConfigCommandsTest, ImportRefusesMalformedDocumentsInOneLineAndWritesNothing) {
  // The document's own refusals are tests/document's; here what import makes of them.
  const std::vector<MalformedCase> cases{
      {"parse error at line 1", nullptr, "{\"format\": 1,"},
      {"header.pid: missing", [](document::Json& j) { j["header"].erase("pid"); }},
      {"EEPROM Size Not Enough !!!: S24C02 takes 255 bytes, the configuration needs 344",
       [](document::Json& j) { j["eeprom"] = "S24C02"; }},
  };
  const std::string out = dir_.File("out.bin");
  const std::string kept = dir_.File("kept.bin");
  const std::vector<uint8_t> old{1, 2, 3};
  for (const MalformedCase& test : cases) {
    std::string text;
    if (test.text != nullptr) {
      text = test.text;
    } else {
      document::Json json = FactoryJson();
      test.edit(json);
      text = json.dump(2);
    }
    const std::string json = dir_.File("bad.json");
    WriteText(json, text);
    Outcome o = RunCommand(RunImportCommand, {json, "-o", out});
    EXPECT_EQ(o.code, kExitUsage) << test.expected;
    EXPECT_EQ(LineCount(o.err), 1u) << o.err;
    EXPECT_EQ(o.err.rfind("veltra-cli: import: " + json + ": ", 0), 0u) << o.err;
    EXPECT_NE(o.err.find(test.expected), std::string::npos) << o.err;
    EXPECT_FALSE(std::filesystem::exists(out)) << test.expected;
    // An existing image and the device keep what they held.
    WriteFile(kept, old);
    o = RunCommand(RunImportCommand, {json, "-o", kept});
    EXPECT_EQ(ReadFile(kept), old);
    // The EEPROM the document names (an S24C04 but for one case).
    o = RunCommand(RunImportCommand, {json, "--device", "--yes", "--image", eeprom_}, {});
    EXPECT_EQ(o.code, kExitUsage);
    EXPECT_EQ(ReadFile(eeprom_), factory_);
  }
}

// What the JSON library would take, abort or recurse on that the format does not define:
// refused in one line, exit 2, by every command that reads documents.
TEST_F(ConfigCommandsTest, DocumentsBeyondTheFormatAreRefusedInOneLine) {
  const std::string doc = FactoryJson().dump(2), ok = Write("ok.json", FactoryJson());
  const auto format = [&doc](const char* value) {
    return std::string(doc).replace(doc.find("\"format\": 1") + 10, 1, value);
  };
  const std::pair<std::string, const char*> cases[] = {
      {format("1e400"), "the number 1e400 is beyond what a double holds"},
      {format("-1e-400"), "the number -1e-400 is beyond"},
      {std::string(100000, '[') + std::string(100000, ']'), "nested deeper than the document's 5"},
      {format("[[[[[[1]]]]]]"), "line 2, column 17: nested deeper"},
      {"\xEF\xBB\xBF" + doc, "a byte-order mark"},
      {doc + std::string(1, '\0') + "garbage", "a NUL byte"},
  };
  for (const auto& [text, expected] : cases) {
    WriteText(dir_.File("bad.json"), text);
    for (const Outcome& o :
         {RunCommand(RunImportCommand, {dir_.File("bad.json"), "-o", "x.bin"}),
          RunCommand(RunDiffCommand, {ok, dir_.File("bad.json")}),
          RunCommand(RunEqUploadCommand, Device({"record", dir_.File("bad.json")}))}) {
      EXPECT_EQ(o.code, kExitUsage) << o.err;
      EXPECT_EQ(LineCount(o.err), 1u) << o.err;
      EXPECT_NE(o.err.find(expected), std::string::npos) << o.err;
    }
  }
}

// An EQ without a band table (no room for its tail record) exports null bands; importing that
// packs no table of zeros, so the document comes back as it was.
TEST_F(ConfigCommandsTest, BandsWithoutATableRoundTrip) {
  document::Json json = FactoryJson();
  for (document::Json& band : json["playbackEq"]["bands"])
    band = document::Json::parse(R"({"centreHz": null, "bandwidthHz": null,
                           "words": {"a21": "00000001", "a31": "00000002", "s": "00000003"}})");
  const std::string image = dir_.File("no-table.bin");
  ASSERT_EQ(RunCommand(RunImportCommand, {Write("no-table.json", json), "-o", image}).code, 0);
  const Outcome o = RunCommand(RunExportCommand, {image, "--eeprom", "S24C04"});
  EXPECT_EQ(document::Json::parse(o.out), json) << o.err;
}

struct ArgumentsCase {
  std::vector<std::string> args;
  const char* expected;
};

TEST_F(ConfigCommandsTest, WrongArgumentsAreOneLineAndExitTwo) {
  const std::string json = Write("ok.json", FactoryJson());
  const std::vector<std::pair<testing::CommandFunction, ArgumentsCase>> cases{
      {RunImportCommand, {{json}, "needs exactly one of -o FILE.bin and --device"}},
      {RunImportCommand, {{json, "-o", "x.bin", "--device"}, "needs exactly one of"}},
      {RunImportCommand, {{}, "needs the document FILE.json"}},
      {RunImportCommand, {{json, json, "-o", "x.bin"}, "takes one document"}},
      {RunImportCommand, {{imageFile_, "-o", "x.bin"}, "reads a JSON document"}},
      {RunImportCommand, {{json, "-o"}, "option '-o' needs a value"}},
      {RunImportCommand, {{json, "-o", "x.bin", "--eeprom", "S24C03"}, "--eeprom needs one of"}},
      {RunExportCommand, {{imageFile_}, "needs --eeprom TYPE"}},
      {RunExportCommand, {{imageFile_, "--device", "--eeprom", "S24C04"}, "not both"}},
      {RunExportCommand, {{"--eeprom", "S24C04"}, "needs the image file FILE.bin or --device"}},
      {RunExportCommand, {{json, "--eeprom", "S24C04"}, "exports an image file"}},
      {RunDiffCommand, {{json}, "needs two files A and B"}},
      {RunDiffCommand, {{"--device", json}, "needs --eeprom TYPE"}},
      {RunDiffCommand, {{imageFile_, json}, "an image file needs --eeprom TYPE"}},
      {RunEqUploadCommand, {{"bass", json}, "needs the equaliser, playback or record"}},
      {RunEqUploadCommand, {{"record", "--preset", "1", json}, "the record EQ has no presets"}},
      {RunEqUploadCommand, {{"playback", "--preset", "4", json}, "--preset needs 0..3"}},
      {RunEqUploadCommand, {{"playback"}, "needs the file or --device"}},
      {RunEqUploadCommand, {{"playback", "--device"}, "needs --eeprom TYPE"}},
      // One rule for empty file names.
      {RunImportCommand, {{json, "-o", ""}, "--output needs a file name"}},
      {RunDiffCommand, {{"", json}, "an empty argument ('') names nothing"}},
      {RunDumpCommand, {{"", "--eeprom", "S24C04"}, "an empty argument ('') names nothing"}},
  };
  for (const auto& [run, test] : cases) {
    const Outcome o = RunCommand(run, test.args);
    EXPECT_EQ(o.code, kExitUsage) << test.expected << ": " << o.err;
    EXPECT_EQ(LineCount(o.err), 1u) << o.err;
    EXPECT_NE(o.err.find(test.expected), std::string::npos) << o.err;
    EXPECT_EQ(o.out, "");
  }
}

TEST_F(ConfigCommandsTest, EqUploadSendsTheImagesEqualiserAndPrintsItsLogLines) {
  Outcome o =
      RunCommand(RunEqUploadCommand, Device({"playback", "--preset", "10", imageFile_}), {});
  ASSERT_EQ(o.code, kExitSuccess) << o.err;
  EXPECT_EQ(o.err, "");
  ASSERT_EQ(LineCount(o.out), 5u) << o.out;
  EXPECT_EQ(o.out.substr(0, o.out.find('\n') + 1),
            "PlayBackEQ Band(1) A21(3F2F0C0F) A31(E0CF9124) S(0067C891)\n");

  o = RunCommand(RunEqUploadCommand, Device({"record", "--device"}), {});
  ASSERT_EQ(o.code, kExitSuccess) << o.err;
  EXPECT_EQ(o.out.substr(0, o.out.find('\n') + 1),
            "RecordEQ Band(1) A21(3F2F0C0F) A31(E0CF9124) S(  67C891)\n");
  EXPECT_EQ(ReadFile(eeprom_), factory_) << "the EEPROM is not written";

  // What the page would not send, and a chip without the equaliser.
  document::Json disabled = FactoryJson();
  disabled["header"]["recordEq"]["enabled"] = false;
  o = RunCommand(RunEqUploadCommand, Device({"record", Write("disabled.json", disabled)}), {});
  EXPECT_EQ(o.code, kExitFailure);
  EXPECT_NE(o.err.find("the record EQ is disabled"), std::string::npos) << o.err;
  document::Json none = FactoryJson();
  none["playbackEq"] = document::Json::parse(R"({"present": false})");
  o = RunCommand(RunEqUploadCommand, Device({"playback", Write("none.json", none)}), {});
  EXPECT_EQ(o.code, kExitFailure);
  EXPECT_NE(o.err.find("has no playback EQ section"), std::string::npos) << o.err;
  o = RunCommand(RunEqUploadCommand, Device({"playback", imageFile_, "--capability", "00"}), {});
  EXPECT_EQ(o.code, kExitFailure);
  EXPECT_NE(o.err.find("the chip has no playback equaliser"), std::string::npos) << o.err;
  EXPECT_EQ(o.out, "");
}

}  // namespace
}  // namespace veltra::cli
