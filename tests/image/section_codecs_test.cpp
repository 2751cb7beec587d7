#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "image/audio_io_section.h"
#include "image/eq_sections.h"
#include "image/header_options.h"
#include "image/mcu_info.h"
#include "image/string_descriptor.h"

namespace veltra::image {
namespace {

using ::testing::ElementsAre;

using Header = std::array<uint8_t, 11>;

TEST(HeaderOptions, UsbBitsLoadAndStoreOnlyTheirOwn) {
  Header h{};
  h[6] = 0xE0;
  h[7] = 0x04;
  const UsbOptions loaded = GetUsbOptions(h);
  EXPECT_FALSE(loaded.hidEnabled);
  EXPECT_TRUE(loaded.remoteWakeup);
  EXPECT_EQ(loaded.powered, 1);
  EXPECT_EQ(loaded.powerRange, 4);

  h[6] = 0x1F;
  h[7] = 0xF8;
  SetUsbOptions(h, UsbOptions{true, false, 0, 2});
  EXPECT_EQ(h[6], 0x1F);
  EXPECT_EQ(h[7], 0xFA);
}

TEST(HeaderOptions, AudioBitsRoundTripWithBit2Cleared) {
  Header h{};
  h[6] = 0x1B | 0xE4;  // bit 2 set and the USB bits set
  h[7] = 0xAF;
  h[8] = 0xFF;
  h[10] = 0x96;
  const AudioOptions loaded = GetAudioOptions(h);
  EXPECT_TRUE(loaded.headphone);
  EXPECT_TRUE(loaded.lineIn);
  EXPECT_FALSE(loaded.spdifOutEnabled);
  EXPECT_TRUE(loaded.spdifIn);
  EXPECT_TRUE(loaded.agc);
  EXPECT_TRUE(loaded.playbackI2s);
  EXPECT_FALSE(loaded.playbackDsp);

  Header stored{};
  stored[6] = 0xE0;
  stored[7] = 0x07;
  stored[8] = 0xFB;
  SetAudioOptions(stored, loaded);
  EXPECT_EQ(stored[6], 0xFB);  // 0x1B and the USB bits 7..5
  EXPECT_EQ(stored[7], 0xAF);
  EXPECT_EQ(stored[8], 0xFF);
  EXPECT_EQ(stored[10], 0x96);
}

TEST(HeaderOptions, EqAndMcuBitsOfByte8) {
  Header h{};
  h[8] = 0x08;  // the unowned bit
  SetPlaybackEqOptions(h, PlaybackEqOptions{true, true, 0x9D});
  SetRecordEqEnabled(h, true);
  SetMcuOptions(h, McuOptions{true, true});
  EXPECT_EQ(h[8], 0x08 | 0x03 | 0x40 | 0x30 | 0x80);
  EXPECT_EQ(h[9], 0x9D);
  SetMcuOptions(h, McuOptions{false, false});
  SetRecordEqEnabled(h, false);
  EXPECT_EQ(h[8], 0x0B);

  h[8] = 0x10;  // only both bits count as Jump
  EXPECT_FALSE(GetMcuOptions(h).jumpToSram);
  SetMcuOptions(h, GetMcuOptions(h));
  EXPECT_EQ(h[8], 0x00);
}

TEST(StringDescriptor, AsciiBytes) {
  EXPECT_THAT(EncodeStringDescriptor("AB"), ElementsAre(0x06, 0x03, 0x41, 0x00, 0x42, 0x00));
  EXPECT_THAT(EncodeStringDescriptor(""), ElementsAre(0x02, 0x03));
  const auto product = EncodeStringDescriptor(std::string(31, 'x'));
  EXPECT_EQ(product.size(), 64u);
  EXPECT_EQ(product[0], 0x40);
  EXPECT_EQ(DecodeStringDescriptor(product), std::string(31, 'x'));
}

TEST(StringDescriptor, NonAsciiTextTravelsAsUtf16) {
  const std::string text = "Caf\xC3\xA9 \xF0\x9F\x8E\xA7";  // "Café 🎧": 7 units
  const auto descriptor = EncodeStringDescriptor(text);
  EXPECT_EQ(descriptor[0], 16);
  EXPECT_THAT(std::vector<uint8_t>(descriptor.begin() + 8, descriptor.begin() + 10),
              ElementsAre(0xE9, 0x00));
  EXPECT_EQ(DecodeStringDescriptor(descriptor), text);
}

TEST(StringDescriptor, LongTextIsCutWithoutSplittingAPair) {
  std::string text(125, 'a');
  text += "\xF0\x9F\x8E\xA7";  // a pair at units 125..126
  const auto descriptor = EncodeStringDescriptor(text);
  EXPECT_EQ(descriptor.size(), 2u + 2 * 125);
  EXPECT_EQ(descriptor[0], descriptor.size());
}

TEST(StringDescriptor, StoredSectionsOfOddShapesStayInBounds) {
  EXPECT_EQ(DecodeStringDescriptor(std::vector<uint8_t>{0x01}), "");
  EXPECT_EQ(DecodeStringDescriptor(std::vector<uint8_t>{0x02, 0x03}), "");
  EXPECT_EQ(DecodeStringDescriptor(std::vector<uint8_t>{0x04, 0x03, 'A'}), "A");
  EXPECT_EQ(DecodeStringDescriptor(std::vector<uint8_t>{0x08, 0x03, 'A', 0, 0, 0, 'B', 0}), "A");
  std::vector<uint8_t> huge(2 + 600, 0);
  for (size_t i = 2; i < huge.size(); i += 2)
    huge[i] = 'z';
  EXPECT_EQ(DecodeStringDescriptor(huge), std::string(129, 'z'));
}

TEST(StringDescriptor, Utf16UnitsAreStoredAsGiven) {
  EXPECT_THAT(EncodeStringDescriptor(u"AB"), ElementsAre(0x06, 0x03, 0x41, 0x00, 0x42, 0x00));
  // A pair stays a pair: two units, four bytes.
  EXPECT_THAT(EncodeStringDescriptor(u"\U0001F3A7"),
              ElementsAre(0x06, 0x03, 0x3C, 0xD8, 0xA7, 0xDF));
  EXPECT_EQ(DecodeStringDescriptorUtf16(EncodeStringDescriptor(u"x\U0001F3A7y")), u"x\U0001F3A7y");
}

TEST(StringDescriptor, UnpairedSurrogatesNeverReachOrLeaveADescriptor) {
  const std::u16string loneHigh{u'A', char16_t{0xD83C}};
  EXPECT_THAT(EncodeStringDescriptor(loneHigh), ElementsAre(0x06, 0x03, 'A', 0, 0xFD, 0xFF));
  const std::u16string loneLow{char16_t{0xDFA7}, u'B'};
  EXPECT_EQ(DecodeStringDescriptorUtf16(EncodeStringDescriptor(loneLow)), u"\uFFFDB");
  // A stored high surrogate whose partner lies beyond the conversion buffer.
  std::vector<uint8_t> stored(2 + 600, 0);
  for (size_t i = 2; i < stored.size(); i += 2)
    stored[i] = 'z';
  stored[2 + 2 * 128] = 0x3C;
  stored[3 + 2 * 128] = 0xD8;
  const std::u16string text = DecodeStringDescriptorUtf16(stored);
  ASSERT_EQ(text.size(), 129u);
  EXPECT_EQ(text.back(), u'\uFFFD');
}

TEST(StringDescriptor, CutUtf16KeepsPairsWhole) {
  const std::u16string text = u"ab\U0001F3A7c";  // units a b hi lo c
  EXPECT_EQ(CutUtf16(text, 10), text);
  EXPECT_EQ(CutUtf16(text, 4), u"ab\U0001F3A7");
  EXPECT_EQ(CutUtf16(text, 3), u"ab");
  EXPECT_EQ(CutUtf16(text, 0), u"");
}

TEST(AudioIoSection, ResetValuesGiveTheKnownBytes) {
  AudioIoSection section;
  section.records[volume_record::kPlayback] = {VolumeWord(0), VolumeWord(-62), VolumeWord(-10)};
  section.records[volume_record::kLineInRecording] = {VolumeWord(37), VolumeWord(-26),
                                                      VolumeWord(0)};
  section.muteBits = 0x30;
  std::vector<uint8_t> out(37, 0xFF);
  ASSERT_TRUE(EncodeAudioIoSection(section, out));
  EXPECT_THAT(std::vector<uint8_t>(out.begin(), out.begin() + 12),
              ElementsAre(0x00, 0x00, 0x00, 0xC2, 0x00, 0xF6, 0x00, 0x25, 0x00, 0xE6, 0x00, 0x00));
  EXPECT_EQ(out[36], 0x30);

  const auto back = DecodeAudioIoSection(out);
  ASSERT_TRUE(back);
  EXPECT_EQ(back->recordCount, 6);
  EXPECT_EQ(VolumeDb(back->records[0].minimum), -62);
  EXPECT_EQ(back->muteBits, 0x30);
  std::vector<uint8_t> tooShort(36);
  EXPECT_FALSE(EncodeAudioIoSection(section, tooShort));
}

TEST(AudioIoSection, OnlyLengthsOfSixRecordsPlusMuteDecode) {
  std::vector<uint8_t> two(13, 0);
  two[0] = 0x00;
  two[1] = 0x05;
  two[12] = 0x03;
  const auto decoded = DecodeAudioIoSection(two);
  ASSERT_TRUE(decoded);
  EXPECT_EQ(decoded->recordCount, 2);
  EXPECT_EQ(VolumeDb(decoded->records[0].maximum), 5);
  EXPECT_EQ(decoded->muteBits, 0x03);
  for (size_t length : {0u, 1u, 6u, 12u, 36u, 38u, 43u}) {
    EXPECT_FALSE(DecodeAudioIoSection(std::vector<uint8_t>(length, 0))) << length;
  }
}

TEST(AudioIoSection, WordsRoundTowardZeroAndDbIsHeldInRange) {
  EXPECT_EQ(VolumeDb(static_cast<int16_t>(-0x80)), 0);
  EXPECT_EQ(VolumeDb(static_cast<int16_t>(-0x180)), -1);
  EXPECT_EQ(VolumeWord(200), 127 * 256);
  EXPECT_EQ(VolumeWord(-200), -32768);
}

TEST(EqSections, LayoutsWithBigEndianWords) {
  PlaybackEqSection section;
  section.presets[0] = {24, 24, 24, 24, 24, 38};
  section.presets[3] = {19, 25, 29, 27, 33, 38};
  section.bands[0] = {0x3F2F0C0F, static_cast<int32_t>(0xE0CF9124u), 0x0067C891};
  section.bands[4].s = 0x0F50EC98;
  std::vector<uint8_t> out(84, 0);
  ASSERT_TRUE(EncodePlaybackEqSection(section, out));
  EXPECT_THAT(std::vector<uint8_t>(out.begin(), out.begin() + 6),
              ElementsAre(24, 24, 24, 24, 24, 38));
  EXPECT_EQ(out[18], 19);
  EXPECT_THAT(std::vector<uint8_t>(out.begin() + 24, out.begin() + 36),
              ElementsAre(0x3F, 0x2F, 0x0C, 0x0F, 0xE0, 0xCF, 0x91, 0x24, 0x00, 0x67, 0xC8, 0x91));
  EXPECT_THAT(std::vector<uint8_t>(out.begin() + 80, out.end()),
              ElementsAre(0x0F, 0x50, 0xEC, 0x98));
  const auto back = DecodePlaybackEqSection(out);
  ASSERT_TRUE(back);
  EXPECT_EQ(back->bands[0].a31, static_cast<int32_t>(0xE0CF9124u));
  EXPECT_EQ(back->presets[3], section.presets[3]);
  EXPECT_FALSE(DecodePlaybackEqSection(std::vector<uint8_t>(83)));

  // The record section: one gain row, the same band records from offset 6.
  const RecordEqSection record{{24, 24, 24, 24, 24, 48}, section.bands};
  std::vector<uint8_t> recordOut(66, 0);
  ASSERT_TRUE(EncodeRecordEqSection(record, recordOut));
  EXPECT_EQ(std::vector<uint8_t>(recordOut.begin() + 6, recordOut.end()),
            std::vector<uint8_t>(out.begin() + 24, out.end()));
  EXPECT_EQ(recordOut[5], 48);
  EXPECT_EQ(DecodeRecordEqSection(recordOut)->bands[4].s, 0x0F50EC98);
  EXPECT_FALSE(EncodeRecordEqSection(record, std::span<uint8_t>(recordOut).first(65)));
}

TEST(EqSections, BandTableKeepsTheFlagWord) {
  TailRecord record{};
  record[0] = 0x81;
  BandTable table{{{100, 70}, {350, 210}, {1000, 620}, {3500, 2310}, {13000, 5200}}};
  EncodeBandTable(table, record);
  EXPECT_THAT(std::vector<uint8_t>(record.begin(), record.begin() + 6),
              ElementsAre(0x81, 0x00, 100, 0, 70, 0));
  EXPECT_THAT(std::vector<uint8_t>(record.begin() + 18, record.end()),
              ElementsAre(0xC8, 0x32, 0x50, 0x14));
  const BandTable back = DecodeBandTable(record);
  EXPECT_EQ(back[3].bandwidth, 2310);
  EXPECT_EQ(back[4].centreFrequency, 13000);
}

TEST(McuInfo, FileAndEepromReadTheSameBytesInOppositeOrder) {
  std::vector<uint8_t> firmware(40, 0);
  const uint8_t block[13] = {0x65, 0x30, 0x52, 0x5A, 0x31, 0x77, 0x00, 0x01, 0x12, 0x34, 9, 9, 9};
  std::copy_n(block, 13, firmware.end() - 13);
  const auto file = ReadMcuInfo(firmware, McuWordOrder::kFile);
  const auto eeprom = ReadMcuInfo(firmware, McuWordOrder::kEeprom);
  ASSERT_TRUE(file && eeprom);
  EXPECT_EQ(file->chipId, 0x6530);
  EXPECT_EQ(eeprom->chipId, 0x3065);
  EXPECT_EQ(eeprom->vid, 0x5A52);
  EXPECT_EQ(file->fwVersion, 0x1234);
  EXPECT_TRUE(ReadMcuInfo(std::span<const uint8_t>(block, 13), McuWordOrder::kFile));
  EXPECT_FALSE(ReadMcuInfo(std::span<const uint8_t>(block, 12), McuWordOrder::kFile));
}

}  // namespace
}  // namespace veltra::image
