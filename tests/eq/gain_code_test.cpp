#include "eq/gain_code.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "eq/factory_defaults.h"
#include "eq/tone_mode.h"

namespace veltra::eq {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

TEST(GainCode, EveryCodeRoundTripsThroughDbAndTheSlider) {
  for (int code = 0; code <= kMaxGainCode; ++code) {
    const double dB = GainCodeToDb(static_cast<uint8_t>(code));
    EXPECT_EQ(dB, code * 0.5 - 12.0);
    EXPECT_EQ(DbToGainCode(dB), code);
    const int position = DbToSliderPosition(dB);
    EXPECT_EQ(position, kMaxGainCode - code);
    EXPECT_EQ(SliderPositionToCode(position), code);
    EXPECT_EQ(SliderPositionToDb(position), dB);
  }
  EXPECT_EQ(FormatGainDb(GainCodeToDb(0)), "-12.0");
  EXPECT_EQ(FormatGainDb(GainCodeToDb(kZeroDbGainCode)), "0.0");
  EXPECT_EQ(FormatGainDb(GainCodeToDb(kMaxGainCode)), "12.0");
}

TEST(GainCode, TypedGainsLandOnTheSliderAsThePagesShowThem) {
  const struct {
    double typed;
    int position;
    const char* shown;
  } cases[] = {
      {1.3, 22, "1.0"},
      {-1.3, 26, "-1.0"},
      {20.0, 0, "12.0"},
      {-20.0, 48, "-12.0"},
      {0.0, 24, "0.0"},
      {0.49, 24, "0.0"},
      {-0.49, 24, "0.0"},
      {7.0, 10, "7.0"},
      // Texts such as "inf" and "nan" scan as numbers too.
      {kInf, 0, "12.0"},
      {-kInf, 48, "-12.0"},
      {kNaN, 24, "0.0"},
      {1e300, 0, "12.0"},
  };
  for (const auto& c : cases) {
    const int position = DbToSliderPosition(c.typed);
    EXPECT_EQ(position, c.position) << c.typed;
    EXPECT_EQ(FormatGainDb(SliderPositionToDb(position)), c.shown) << c.typed;
    EXPECT_EQ(DbToGainCode(c.typed), SliderPositionToCode(position)) << c.typed;
  }
}

TEST(GainCode, SliderPositionsOutsideTheRangeAreHeldAtTheEnds) {
  EXPECT_EQ(SliderPositionToCode(-5), 48);
  EXPECT_EQ(SliderPositionToCode(60), 0);
  EXPECT_EQ(SliderPositionToDb(-5), 12.0);
  EXPECT_EQ(SliderPositionToDb(60), -12.0);
}

TEST(GainCode, TruncToRangeIsDefinedForEveryDouble) {
  EXPECT_EQ(TruncToRange(2.9, 0, 10), 2);
  EXPECT_EQ(TruncToRange(-2.9, -10, 10), -2);
  EXPECT_EQ(TruncToRange(kNaN, -10, 10), 0);
  EXPECT_EQ(TruncToRange(kNaN, 3, 10), 3);
  EXPECT_EQ(TruncToRange(kInf, 0, 10), 10);
  EXPECT_EQ(TruncToRange(-kInf, 0, 10), 0);
  EXPECT_EQ(TruncToRange(-1e300, -5, 5), -5);
}

TEST(GainCode, TrebleBassMaximumCode) {
  EXPECT_EQ(TrebleBassMaximumCode(2.5), 0x9D);  // 0x80 | 29
  EXPECT_EQ(TrebleBassMaximumCode(0.5), 0x80 | 25);
  EXPECT_EQ(TrebleBassMaximumCode(12.0), 0x80 | 48);
  EXPECT_EQ(TrebleBassMaximumCode(kNaN), 0x80 | 24);
  EXPECT_EQ(TrebleBassMaximumCode(1e9), 0xFF);
  EXPECT_EQ(TrebleBassMaximumCode(-1e9), 0x80);
}

TEST(GainCode, OnlyAValueACodeHasGivesThatCode) {
  for (int code = 0; code <= kMaxGainCode; ++code)
    EXPECT_EQ(ExactGainCode(GainCodeToDb(static_cast<uint8_t>(code))), code);
  for (double dB : {0.25, -12.5, 12.5, kNaN, kInf})
    EXPECT_FALSE(ExactGainCode(dB)) << dB;
}

TEST(ToneMode, ByteNineReadsBackAsTheMaximumItStores) {
  for (int item = 0; item < kToneMaximumItemCount; ++item) {
    EXPECT_EQ(ToneMaximumDbOfCode(TrebleBassMaximumCode(ToneMaximumItemDb(item))),
              ToneMaximumItemDb(item));
    EXPECT_EQ(ToneMaximumItemOfDb(ToneMaximumItemDb(item)), item);
  }
  EXPECT_FALSE(ToneMaximumItemOfDb(0.0));
  EXPECT_FALSE(ToneMaximumItemOfDb(0.75));
  EXPECT_EQ(ToneMaximumDbOfCode(0x81), -11.5);  // no list item, still a value
}

TEST(FactoryDefaults, GainTablesReadAsTheirDecibelValues) {
  const char* const playbackDb[4][6] = {
      {"0.0", "0.0", "0.0", "0.0", "0.0", "7.0"},
      {"4.5", "-0.5", "-1.0", "-1.0", "1.0", "7.0"},
      {"-4.5", "2.5", "3.0", "4.0", "-4.5", "7.0"},
      {"-2.5", "0.5", "2.5", "1.5", "4.5", "7.0"},
  };
  for (int preset = 0; preset < kPresetCount; ++preset) {
    for (int i = 0; i < kGainCount; ++i) {
      EXPECT_EQ(FormatGainDb(GainCodeToDb(kDefaultPlaybackGains[preset][i])), playbackDb[preset][i])
          << "preset " << kPresetNames[preset] << " column " << i;
    }
  }
  for (int i = 0; i < kBandCount; ++i)
    EXPECT_EQ(GainCodeToDb(kDefaultRecordGains[i]), 0.0);
  EXPECT_EQ(GainCodeToDb(kDefaultRecordGains[kCompensationIndex]), 12.0);
}

TEST(FactoryDefaults, BandTextsConvertToTheDefaultBands) {
  constexpr auto bands = DefaultBands();
  static_assert(bands[0] == Band{100, 70} && bands[4] == Band{13000, 5200});
  EXPECT_EQ(bands[1], (Band{350, 210}));
  EXPECT_EQ(bands[2], (Band{1000, 620}));
  EXPECT_EQ(bands[3], (Band{3500, 2310}));
  EXPECT_EQ(DecimalTextToInt("00001000x"), 1000);
  EXPECT_EQ(DecimalTextToInt(""), 0);
  EXPECT_EQ(DecimalTextToInt("2147483647"), INT32_MAX);
  EXPECT_EQ(DecimalTextToInt("99999999999"), 999999999);
}

}  // namespace
}  // namespace veltra::eq
