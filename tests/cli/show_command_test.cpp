#include "cli/show_command.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "cli/cli_result.h"
#include "cli/export_command.h"
#include "cli_test_support.h"
#include "document/configuration_json.h"
#include "image/audio_io_section.h"
#include "image/directory_entry.h"
#include "image/eq_sections.h"
#include "image/factory_image.h"
#include "image/image_layout.h"
#include "image/string_descriptor.h"

namespace veltra::cli {
namespace {

using testing::IsJson;
using testing::Outcome;
using testing::ReadFile;
using testing::RunCommand;
using testing::TempDir;
using testing::WriteFile;

constexpr uint32_t k24C02Transfer = 255;

std::vector<uint8_t> Pack(const std::vector<image::PackSection>& sections,
                          const std::array<uint8_t, image::kHeaderLength>& header,
                          uint32_t transferLength, const image::TailRecord* tail1 = nullptr,
                          const image::TailRecord* tail2 = nullptr) {
  std::vector<uint8_t> bytes(transferLength, 0);
  image::PackInput input;
  input.sections = sections;
  input.header = header;
  input.tailRecord1 = tail1;
  input.tailRecord2 = tail2;
  EXPECT_TRUE(image::PackImage(input, transferLength, bytes).fits);
  return bytes;
}

// VID 1234, PID ABCD; every option byte with bits of several owners set.
std::array<uint8_t, image::kHeaderLength> MixedHeader() {
  return {'Z', 'R', 0x34, 0x12, 0xCD, 0xAB, 0xF1, 0x84, 0x3A, 0xA4, 0xA0};
}

// An MCU section whose info block reads chip ID 7731, VID 5A52, PID 0001, chip version 0102,
// FW version 0304 in the EEPROM's little-endian order.
std::vector<uint8_t> McuFirmware() {
  return {0xEE, 0xEE, 0x31, 0x77, 0x52, 0x5A, 0x01, 0x00, 0x02, 0x01, 0x04, 0x03, 0, 0, 0};
}

std::vector<uint8_t> Volumes() {
  image::AudioIoSection section;
  section.recordCount = 6;
  for (size_t i = 0; i < section.records.size(); ++i) {
    section.records[i] = {image::VolumeWord(static_cast<int>(i)),
                          image::VolumeWord(-static_cast<int>(10 * i)), 0};
  }
  section.records[0].initial = static_cast<int16_t>(-9 * 256 - 128);  // -9.5 dB
  section.muteBits = 0x21;
  std::vector<uint8_t> bytes(image::kAudioIoSectionLength);
  image::EncodeAudioIoSection(section, bytes);
  return bytes;
}

class ShowCommandTest : public ::testing::Test {
 protected:
  std::string Image(const std::vector<uint8_t>& bytes) {
    const std::string path = dir_.File("image.bin");
    WriteFile(path, bytes);
    return path;
  }

  TempDir dir_;
};

TEST_F(ShowCommandTest, PrintsEveryPartOfASmallImage) {
  const std::vector<uint8_t> mcu = McuFirmware();
  const std::vector<uint8_t> volumes = Volumes();
  const std::vector<uint8_t> manufacturer = image::EncodeStringDescriptor("AB");
  const std::string path =
      Image(Pack({{0, mcu}, {1, volumes}, {2, manufacturer}}, MixedHeader(), k24C02Transfer));

  const Outcome o = RunCommand(RunShowCommand, {path, "--eeprom", "S24C02"});
  EXPECT_EQ(o.code, kExitSuccess);
  EXPECT_EQ(o.err, "");
  EXPECT_EQ(o.out,
            "EEPROM image, transfer length 255: magic \"ZR\"\n"
            "Header: VID 1234, PID ABCD\n"
            "Option bits (header bytes 6-10): F1 84 3A A4 A0\n"
            "  USB Config:       HID descriptor off, remote wakeup on, self powered, power range "
            "500 mA\n"
            "  Audio I/O Config: output headphone, input mic-in, S/PDIF out on, S/PDIF in on\n"
            "                    A-A path on, stereo mixer input off, digital mic off, AGC off\n"
            "                    record synchronous, playback asynchronous off\n"
            "                    playback I2S on (slave), DSP off, MCLK off\n"
            "                    record I2S off (master), DSP off, MCLK off\n"
            "  Playback EQ:      EQ on, treble/bass on, maximum 6.0 dB (byte 9 = A4)\n"
            "  Record EQ:        EQ off\n"
            "  MCU Config:       jump to MCU SRAM code on, Lync basic headset off\n"
            "  no owner:         byte 8 bit 3 = 1\n"
            "Sections:              offset  length\n"
            "  MCU                      61      15\n"
            "  Audio I/O                76      37\n"
            "  Manufacturer string     113       6\n"
            "USB strings:\n"
            "  Manufacturer  \"AB\"\n"
            "  Product       (no section)\n"
            "  Serial        (no section)\n"
            "Audio I/O volumes (dB):  maximum  minimum  initial  initial mute\n"
            "  Playback                     0        0     -9.5  yes\n"
            "  Line-In Recording            1      -10        0  no\n"
            "  Mic-In Recording             2      -20        0  no\n"
            "  StereoMixer-in               3      -30        0  no\n"
            "  Line-In AA                   4      -40        0  no\n"
            "  Mic-In AA                    5      -50        0  yes\n"
            "Playback EQ: no section\n"
            "Record EQ: no section\n"
            "MCU: 15 bytes, info block: chip ID 7731, VID 5A52, PID 0001, chip version 0102, FW "
            "version 0304\n"
            "Tail records: none\n");
}

TEST_F(ShowCommandTest, EqualisersWithTheirBandTablesAndTailRecords) {
  // Only the Record EQ section: its tail record sits right after the data.
  image::RecordEqSection record;
  record.gains = {0, 24, 48, 25, 23, 30};
  record.bands[0] = {0x3F2F0C0F, static_cast<int32_t>(0xE0CF9124), 0x0067C891};
  std::vector<uint8_t> recordBytes(image::kRecordEqSectionLength);
  image::EncodeRecordEqSection(record, recordBytes);
  image::TailRecord tail{};
  image::EncodeBandTable({{{100, 70}, {350, 210}, {1000, 620}, {3500, 2310}, {13000, 5200}}}, tail);
  const std::string path = Image(Pack({{11, recordBytes}}, MixedHeader(), 511, nullptr, &tail));

  const Outcome o = RunCommand(RunShowCommand, {path, "--eeprom", "24c04"});
  EXPECT_EQ(o.code, kExitSuccess);
  EXPECT_NE(o.out.find("Record EQ dB    band 1  band 2  band 3  band 4  band 5   comp.\n"
                       "  gains          -12.0     0.0    12.0     0.5    -0.5     3.0\n"
                       "  bands       centre Hz  bandwidth Hz  A21       A31       S\n"
                       "  band 1            100            70  3F2F0C0F  E0CF9124  0067C891\n"
                       "  band 2            350           210  00000000  00000000  00000000\n"),
            std::string::npos)
      << o.out;
  EXPECT_NE(o.out.find("Playback EQ: no section\n"), std::string::npos);
  EXPECT_NE(o.out.find("Tail records: 2 (Record EQ) at 127\n"), std::string::npos) << o.out;

  // The factory image: both tail records, the second after the first.
  const std::string factory = Image(*image::BuildFactoryImage(0x5A52, 0x7731, 512));
  const Outcome f = RunCommand(RunShowCommand, {factory, "--eeprom", "S24C04"});
  EXPECT_NE(f.out.find("Tail records: 1 (Playback EQ) at 344, 2 (Record EQ) at 366\n"),
            std::string::npos)
      << f.out;
  EXPECT_NE(f.out.find("  preset 01        4.5    -0.5    -1.0    -1.0     1.0     7.0\n"),
            std::string::npos);
}

TEST_F(ShowCommandTest, JsonIsOneValidObjectWithTheDecodedValues) {
  const std::vector<uint8_t> mcu = McuFirmware();
  // Text a JSON string must escape.
  const std::vector<uint8_t> manufacturer = image::EncodeStringDescriptor("q\"b\\\n\x01\xC3\xA9");
  const std::string path = Image(Pack({{0, mcu}, {2, manufacturer}}, MixedHeader(), 255));

  const Outcome o = RunCommand(RunShowCommand, {"--json", path, "--eeprom", "S24C02"});
  EXPECT_EQ(o.code, kExitSuccess);
  EXPECT_EQ(o.err, "");
  ASSERT_FALSE(o.out.empty());
  EXPECT_EQ(o.out.back(), '\n');
  EXPECT_EQ(testing::LineCount(o.out), 1u);
  EXPECT_TRUE(IsJson(o.out)) << o.out;
  // The export document's fields and values, then the layout.
  for (const char* part : {
           R"({"format":1,"eeprom":"S24C02","header":{"vid":"1234","pid":"ABCD",)",
           R"("usb":{"hidDescriptor":false,"remoteWakeup":true,"powered":"self","powerRange":4})",
           R"("strings":{"manufacturer":{"present":true,"text":"q\"b\\\n\u0001é"},)",
           R"("product":{"present":false})",
           R"("audioIo":{"present":false})",
           R"("layout":{"transferLength":255,"empty":false,"dataLength":)",
           R"("sections":[{"field":"mcu","offset":61,"length":15},)",
           R"("tailRecords":[]})",
       }) {
    EXPECT_NE(o.out.find(part), std::string::npos) << part << "\n" << o.out;
  }

  // A factory image: the same document as its export, and where its sections lie.
  const std::vector<uint8_t> factoryImage = *image::BuildFactoryImage(0x5A52, 0x7731, 8192);
  const std::string factory = Image(factoryImage);
  const Outcome f = RunCommand(RunShowCommand, {factory, "--eeprom", "S24C64", "--json"});
  ASSERT_TRUE(IsJson(f.out)) << f.out;
  document::Json shown = document::Json::parse(f.out);
  const document::Json layout = shown["layout"];
  shown.erase("layout");
  const Outcome exported = RunCommand(RunExportCommand, {factory, "--eeprom", "S24C64"});
  EXPECT_EQ(shown, document::Json::parse(exported.out));
  EXPECT_EQ(layout["tailRecords"].size(), 2u);
  EXPECT_EQ(layout["sections"][0]["field"], "audioIo");
  EXPECT_EQ(layout["sections"][0]["offset"], 61);
}

TEST_F(ShowCommandTest, EmptyImageSaysSo) {
  const std::string path = Image(std::vector<uint8_t>(255, 0xFF));
  EXPECT_EQ(RunCommand(RunShowCommand, {path, "--eeprom", "S24C02"}).out,
            "EEPROM image, transfer length 255: empty (no magic \"ZR\")\n");
  EXPECT_EQ(RunCommand(RunShowCommand, {path, "--eeprom", "S24C02", "--json"}).out,
            "{\"format\":1,\"eeprom\":\"S24C02\",\"layout\":{\"transferLength\":255,"
            "\"empty\":true}}\n");
}

TEST_F(ShowCommandTest, TheToolsOwnLengthsAreShownSilentlyOthersWithAWarning) {
  const std::vector<uint8_t> full = *image::BuildFactoryImage(0x5A52, 0x7731, 256);
  const std::string exact = dir_.File("exact.bin");
  WriteFile(exact, std::vector<uint8_t>(full.begin(), full.begin() + 255));
  const Outcome reference = RunCommand(RunShowCommand, {exact, "--eeprom", "S24C02"});
  ASSERT_EQ(reference.code, kExitSuccess);
  EXPECT_EQ(reference.err, "");

  // The whole EEPROM, as a simulated EEPROM keeps its file: the tool's own file, no warning.
  const std::string whole = dir_.File("whole.bin");
  WriteFile(whole, full);
  const Outcome w = RunCommand(RunShowCommand, {whole, "--eeprom", "S24C02"});
  EXPECT_EQ(w.code, kExitSuccess);
  EXPECT_EQ(w.out, reference.out);
  EXPECT_EQ(w.err, "");

  // The factory image's data end well before byte 200: cutting there changes nothing shown.
  const std::string shorter = dir_.File("short.bin");
  WriteFile(shorter, std::vector<uint8_t>(full.begin(), full.begin() + 200));
  const Outcome s = RunCommand(RunShowCommand, {shorter, "--eeprom", "S24C02"});
  EXPECT_EQ(s.code, kExitSuccess);
  EXPECT_EQ(s.out, reference.out);
  EXPECT_EQ(s.err, "veltra-cli: show: warning: " + shorter +
                       " holds 200 bytes, the EEPROM's transfer length is 255: the missing bytes "
                       "are taken as 0\n");

  const std::string longer = dir_.File("long.bin");
  WriteFile(longer, std::vector<uint8_t>(300, 0xFF));
  const Outcome l = RunCommand(RunShowCommand, {longer, "--eeprom", "S24C02"});
  EXPECT_EQ(l.code, kExitSuccess);
  EXPECT_EQ(l.err, "veltra-cli: show: warning: " + longer +
                       " holds 300 bytes, the EEPROM's transfer length is 255: the bytes beyond "
                       "it are ignored\n");
}

TEST_F(ShowCommandTest, HostileDirectoryEntriesAreShownWithoutReadingOutsideTheFile) {
  std::vector<uint8_t> bytes(255, 0);
  bytes[0] = 'Z';
  bytes[1] = 'R';
  auto slot = [&](int k, image::EntryBytes entry) {
    std::copy(entry.begin(), entry.end(), bytes.begin() + 12 + 4 * k);
  };
  using image::EntryEncoding;
  slot(0, image::EncodeEntry(EntryEncoding::kA, 0x0, 250, 4095));    // Audio I/O past the end
  slot(1, image::EncodeEntry(EntryEncoding::kA, 0x9, 100, 10));      // Playback EQ too short
  slot(2, image::EncodeEntry(EntryEncoding::kB, 0xB, 8191, 16383));  // MCU far away
  slot(3, image::EncodeEntry(EntryEncoding::kA, 0x1, 61, 1));        // a one-byte string
  const Outcome o = RunCommand(RunShowCommand, {Image(bytes), "--eeprom", "S24C02"});
  EXPECT_EQ(o.code, kExitSuccess);
  for (const char* line : {
           "  Audio I/O               250    4095\n",
           "Audio I/O volumes: 4095-byte section, not a volume layout\n",
           "Playback EQ: 10-byte section, shorter than the EQ layout\n",
           "MCU: 16383 bytes, info block: chip ID 0000,",
           "  Manufacturer  \"\"\n",
       }) {
    EXPECT_NE(o.out.find(line), std::string::npos) << line << "\n" << o.out;
  }
  EXPECT_TRUE(
      IsJson(RunCommand(RunShowCommand, {Image(bytes), "--eeprom", "S24C02", "--json"}).out));
}

TEST_F(ShowCommandTest, WrongCommandLinesAreRefusedWithOneLine) {
  const std::string path = Image(std::vector<uint8_t>(255, 0));
  const std::vector<std::vector<std::string>> refused = {
      {path, "--eeprom", "S24C99"},  // unknown type
      {path, "--eeprom", ""},
      {path},                  // no type
      {"--eeprom", "S24C02"},  // no file
      {path, path, "--eeprom", "S24C02"},
      {path, "--eeprom", "S24C02", "--frobnicate"},
      {path, "--eeprom"},
  };
  for (const auto& args : refused) {
    const Outcome o = RunCommand(RunShowCommand, args);
    EXPECT_EQ(o.code, kExitUsage) << o.err;
    EXPECT_EQ(o.out, "");
    EXPECT_EQ(testing::LineCount(o.err), 1u) << o.err;
    EXPECT_EQ(o.err.rfind("veltra-cli: show: ", 0), 0u) << o.err;
  }
  EXPECT_EQ(RunCommand(RunShowCommand, {path, "--eeprom", "S24C99"}).err,
            "veltra-cli: show: --eeprom needs one of S24C02, S24C04, S24C08, S24C16, S24C32, "
            "S24C64, S24C128, S24C256, S24C512, not 'S24C99'\n");
}

TEST_F(ShowCommandTest, FileThatCannotBeReadFailsNamingIt) {
  const std::string missing = dir_.File("missing.bin");
  const Outcome o = RunCommand(RunShowCommand, {missing, "--eeprom", "S24C02"});
  EXPECT_EQ(o.code, kExitFailure);
  EXPECT_EQ(o.out, "");
  EXPECT_EQ(o.err, "veltra-cli: show: " + missing + ": No such file or directory\n");

  const Outcome d = RunCommand(RunShowCommand, {dir_.Path().string(), "--eeprom", "S24C02"});
  EXPECT_EQ(d.code, kExitFailure);
  EXPECT_EQ(d.err, "veltra-cli: show: " + dir_.Path().string() + ": Is a directory\n");
}

}  // namespace
}  // namespace veltra::cli
