#include "image/eq_image.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "image/eeprom_config.h"
#include "image/eq_sections.h"
#include "image/factory_image.h"
#include "image/simulated_chip.h"

namespace veltra::eq {
namespace {

namespace type = image::section_type;

// The factory bands' words, written out by hand.
constexpr std::array<std::array<uint32_t, 3>, kBandCount> kFactoryWords{{
    {0x3F2F0C0F, 0xE0CF9124, 0x0067C891},
    {0x3DCEE4DA, 0xE2207A93, 0x01103D49},
    {0x397BB62A, 0xE604D936, 0x03026C9A},
    {0x27FE562D, 0xF31C5F55, 0x098E2FAA},
    {0xF339AA7F, 0xFEA1D932, 0x0F50EC98},
}};

std::vector<uint8_t> WordBytes(uint32_t a21, uint32_t a31, uint32_t s) {
  std::vector<uint8_t> bytes;
  for (uint32_t word : {a21, a31, s})
    for (int shift = 24; shift >= 0; shift -= 8)
      bytes.push_back(static_cast<uint8_t>(word >> shift));
  return bytes;
}

std::vector<uint8_t> FactoryBandBytes() {
  std::vector<uint8_t> bytes;
  for (const auto& w : kFactoryWords) {
    const std::vector<uint8_t> band = WordBytes(w[0], w[1], w[2]);
    bytes.insert(bytes.end(), band.begin(), band.end());
  }
  return bytes;
}

class EqImageTest : public ::testing::Test {
 protected:
  // The model reads an image as a Connect does: the factory image, or this one.
  void Read(std::vector<uint8_t> bytes = {}) {
    if (bytes.empty()) bytes = *image::BuildFactoryImage(0x5A52, 0x7731, chip_.size);
    chip_.Seed(bytes);
    ASSERT_EQ(model_.Reload(chip_.transferLength), 0);
    model_.LoadTailRecords();
  }
  image::Section& Section(int sectionType) { return *model_.FindSection(sectionType); }
  std::vector<uint8_t> Bytes(int sectionType, size_t from, size_t to) {
    const auto& data = Section(sectionType).data;
    return {data.begin() + static_cast<ptrdiff_t>(from), data.begin() + static_cast<ptrdiff_t>(to)};
  }
  uint8_t Header(size_t at) { return Section(type::kHeader).data[at]; }
  image::TailRecord TailRecord(int index) {
    image::TailRecord record{};
    model_.GetTailRecord(record.data(), 22, index);
    return record;
  }

  image::testing::SimulatedChip chip_{sim::EepromPart::k24C64};
  image::EepromConfig model_{chip_.transport};
};

TEST_F(EqImageTest, FactoryValuesStoreThePresetsAndTheFactoryWords) {
  Read();
  std::fill(Section(type::kPlaybackEq).data.begin(), Section(type::kPlaybackEq).data.end(), 0);
  std::fill(Section(type::kRecordEq).data.begin(), Section(type::kRecordEq).data.end(), 0);
  image::TailRecord playbackRecord = DefaultEqTailRecord();
  image::TailRecord recordRecord = DefaultEqTailRecord();
  StorePlaybackEq(model_, PlaybackEqValues{}, playbackRecord);
  StoreRecordEq(model_, RecordEqValues{}, recordRecord);

  EXPECT_EQ(Bytes(type::kPlaybackEq, 0, 6), (std::vector<uint8_t>{24, 24, 24, 24, 24, 38}));
  EXPECT_EQ(Bytes(type::kPlaybackEq, 6, 12), (std::vector<uint8_t>{33, 23, 22, 22, 26, 38}));
  EXPECT_EQ(Bytes(type::kPlaybackEq, 18, 24), (std::vector<uint8_t>{19, 25, 29, 27, 33, 38}));
  EXPECT_EQ(Bytes(type::kPlaybackEq, 24, 84), FactoryBandBytes());
  EXPECT_EQ(Bytes(type::kRecordEq, 0, 6), (std::vector<uint8_t>{24, 24, 24, 24, 24, 48}));
  EXPECT_EQ(Bytes(type::kRecordEq, 6, 66), FactoryBandBytes());
  // The band tables: 100/70 first, little-endian; the packer writes the flag word.
  ASSERT_EQ(model_.Pack(), 1);
  EXPECT_EQ(TailRecord(image::section_index::kPlaybackEq)[0], 0x81);
  EXPECT_EQ(TailRecord(image::section_index::kPlaybackEq)[2], 100);
  EXPECT_EQ(TailRecord(image::section_index::kRecordEq)[20], 5200 & 0xFF);
  EXPECT_EQ(TailRecord(image::section_index::kRecordEq)[21], 5200 >> 8);
  EXPECT_TRUE(Section(type::kPlaybackEq).IsPresent());
  EXPECT_TRUE(Section(type::kRecordEq).IsPresent());
}

TEST_F(EqImageTest, HeaderBitsFollowTheModesAndNoOtherBitMoves) {
  const struct {
    const char* name;
    bool disabled;
    bool tone;
    double maximum;
    uint8_t byte8Bits;  // bits 0-1
    uint8_t byte9;
    bool sectionPresent;
  } cases[] = {
      {"enabled", false, false, 12.0, 0x00, 0x00, true},
      {"disabled", true, false, 12.0, 0x01, 0x00, false},
      {"tone 2.5", true, true, 2.5, 0x03, 0x9D, true},
      {"tone 12", true, true, 12.0, 0x03, 0xB0, true},
      {"tone bit without disabled", false, true, 0.5, 0x02, 0x99, true},
  };
  for (const auto& c : cases) {
    Read();
    Section(type::kHeader).data[8] = 0xFC;  // every bit the page does not own set
    image::TailRecord record = DefaultEqTailRecord();
    StorePlaybackEq(
        model_, {.eqDisabled = c.disabled, .toneMode = c.tone, .toneMaximumDb = c.maximum}, record);
    EXPECT_EQ(Header(8), 0xFC | c.byte8Bits) << c.name;
    EXPECT_EQ(Header(9), c.byte9) << c.name;
    EXPECT_EQ(Section(type::kPlaybackEq).IsPresent(), c.sectionPresent) << c.name;
  }
}

TEST_F(EqImageTest, RecordEqBitIsSetWhileEnabledAndADisabledEqLeavesItsSectionOut) {
  Read();
  Section(type::kHeader).data[8] = 0xBF;
  image::TailRecord record = DefaultEqTailRecord();
  StoreRecordEq(model_, {.eqDisabled = true}, record);
  EXPECT_EQ(Header(8), 0xBF);
  EXPECT_FALSE(Section(type::kRecordEq).IsPresent());
  EXPECT_EQ(ReadRecordEq(model_).gains, std::nullopt);

  Section(type::kHeader).data[8] = 0x00;
  StoreRecordEq(model_, {.gains = {1, 2, 3, 4, 5, 6}}, record);
  EXPECT_EQ(Header(8), 0x40);
  EXPECT_TRUE(Section(type::kRecordEq).IsPresent());
  EXPECT_EQ(Bytes(type::kRecordEq, 0, 6), (std::vector<uint8_t>{1, 2, 3, 4, 5, 6}));
}

TEST_F(EqImageTest, ReadsWhatTheImageHoldsAndNothingFromAnEmptyModel) {
  PlaybackEqImage empty = ReadPlaybackEq(model_);
  EXPECT_FALSE(empty.gains || empty.tailRecord || empty.options);
  EXPECT_FALSE(ReadRecordEq(model_).enabled);

  Read();
  const PlaybackEqImage playback = ReadPlaybackEq(model_);
  ASSERT_TRUE(playback.gains && playback.tailRecord && playback.options);
  EXPECT_EQ(*playback.gains, kDefaultPlaybackGains);
  EXPECT_EQ(BandsOf(*playback.tailRecord), DefaultBands());
  EXPECT_EQ((*playback.tailRecord)[0], 0x81);
  EXPECT_FALSE(playback.options->eqDisabled);
  const RecordEqImage record = ReadRecordEq(model_);
  EXPECT_EQ(record.gains, kDefaultRecordGains);
  EXPECT_EQ(record.enabled, true);
  EXPECT_EQ((*record.tailRecord)[0], 0x82);

  // A section left out of the image gives no gains and no band table.
  Section(type::kPlaybackEq).SetPresent(false);
  EXPECT_FALSE(ReadPlaybackEq(model_).gains);
  EXPECT_FALSE(ReadPlaybackEq(model_).tailRecord);
}

TEST_F(EqImageTest, ABandFromTheImageThatBreaksTheRulesKeepsItsWordsUntilEdited) {
  Read();
  // Band 3 as another tool left it: bandwidth equal to the frequency, words of its own.
  image::TailRecord record = *ReadPlaybackEq(model_).tailRecord;
  image::BandTable table = image::DecodeBandTable(record);
  table[2] = {100, 100};
  image::EncodeBandTable(table, record);
  const std::vector<uint8_t> own = WordBytes(0x11223344, 0x55667788, 0x99AABBCC);
  auto& data = Section(type::kPlaybackEq).data;
  std::copy(own.begin(), own.end(), data.begin() + 48);

  PlaybackEqValues values;
  values.bands = BandsOf(record);
  // Test sends the words Save then stores.
  const std::array<BandWords, kBandCount> tested =
      PlaybackWordsToStore(model_, values.bands, record);
  EXPECT_EQ(tested[2], (BandWords{0x11223344, 0x55667788, 0x99AABBCC}));
  StorePlaybackEq(model_, values, record);
  EXPECT_EQ(Bytes(type::kPlaybackEq, 48, 60), own);
  EXPECT_EQ(tested[0], (BandWords{kFactoryWords[0][0], kFactoryWords[0][1], kFactoryWords[0][2]}));
  EXPECT_EQ(image::DecodeBandTable(record)[2].bandwidth, 100);
  const std::vector<uint8_t> factory = FactoryBandBytes();
  EXPECT_EQ(Bytes(type::kPlaybackEq, 24, 48),
            std::vector<uint8_t>(factory.begin(), factory.begin() + 24));

  values.bands[2] = {1000, 620};
  EXPECT_EQ(PlaybackWordsToStore(model_, values.bands, record)[2],
            (BandWords{kFactoryWords[2][0], kFactoryWords[2][1], kFactoryWords[2][2]}));
  StorePlaybackEq(model_, values, record);
  EXPECT_EQ(Bytes(type::kPlaybackEq, 48, 60),
            WordBytes(kFactoryWords[2][0], kFactoryWords[2][1], kFactoryWords[2][2]));
  ASSERT_EQ(model_.Pack(), 1);
  EXPECT_EQ(BandsOf(TailRecord(image::section_index::kPlaybackEq))[2], (Band{1000, 620}));
}

TEST_F(EqImageTest, AStoredSectionNamesItsWholeLayoutAndBandsKeepTheirLow16Bits) {
  Read();
  Section(type::kRecordEq).SetLength(10);
  image::TailRecord record = DefaultEqTailRecord();
  RecordEqValues values;
  values.bands[0] = {70000, 70};  // typed past 16 bits: the table holds the low half
  StoreRecordEq(model_, values, record);
  EXPECT_EQ(Section(type::kRecordEq).Length(), image::kRecordEqSectionLength);
  EXPECT_EQ(image::DecodeBandTable(record)[0].centreFrequency, 70000 & 0xFFFF);
}

}  // namespace
}  // namespace veltra::eq
