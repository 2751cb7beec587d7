#include "eq/band_check.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "eq/number_text.h"
#include "eq/tone_mode.h"

namespace veltra::eq {
namespace {

TEST(NumberText, ScansLikeTheFormattedReadsOfThePages) {
  const struct {
    const char* text;
    int32_t asInt;
    double asDouble;
  } cases[] = {
      {"", 0, 0.0},
      {"abc", 0, 0.0},
      {"1000", 1000, 1000.0},
      {"00001000x", 1000, 1000.0},
      {"  -100", -100, -100.0},
      {"+7", 7, 7.0},
      {"1.3", 1, 1.3},
      {"-1.3", -1, -1.3},
      {"4.5dB", 4, 4.5},
      {".5", 0, 0.5},
      {"-", 0, 0.0},
      {"0x1A", 0, 26.0},
      {"0xg", 0, 0.0},
      {"99999999999", INT32_MAX, 99999999999.0},
      {"-99999999999", INT32_MIN, -99999999999.0},
      {"1e-999", 1, 0.0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ScanInt(c.text), c.asInt) << c.text;
    EXPECT_EQ(ScanDouble(c.text), c.asDouble) << c.text;
  }
  EXPECT_EQ(ScanDouble("1e999"), std::numeric_limits<double>::infinity());
  EXPECT_EQ(ScanDouble("-inf"), -std::numeric_limits<double>::infinity());
  EXPECT_TRUE(std::isnan(ScanDouble("nan")));
}

TEST(BandCheck, FindsTheFirstFaultInTheCheckOrder) {
  const struct {
    const char* centre;
    const char* bandwidth;
    BandFault fault;
  } cases[] = {
      {"1000", "620", BandFault::kNone},
      {"00001000x", "620", BandFault::kNone},   // the ninth character is not examined
      {"", "0", BandFault::kCentreOutOfRange},  // empty passes the digit check and reads 0
      {"-100", "70", BandFault::kCentreNotNumber},
      {" 100", "70", BandFault::kCentreNotNumber},
      {"1k", "x", BandFault::kCentreNotNumber},
      {"19", "x", BandFault::kCentreOutOfRange},
      {"20", "19", BandFault::kNone},
      {"20000", "", BandFault::kNone},  // an empty bandwidth reads as 0
      {"20001", "1", BandFault::kCentreOutOfRange},
      {"123456789", "1", BandFault::kCentreOutOfRange},
      {"100", "7O", BandFault::kBandwidthNotNumber},
      {"100", "100", BandFault::kBandwidthNotBelowCentre},
      {"100", "000000999x", BandFault::kBandwidthNotBelowCentre},
  };
  for (const auto& c : cases)
    EXPECT_EQ(CheckBand(c.centre, c.bandwidth), c.fault) << c.centre << " / " << c.bandwidth;

  EXPECT_FALSE(RestoresBandwidth(BandFault::kCentreNotNumber));
  EXPECT_FALSE(RestoresBandwidth(BandFault::kCentreOutOfRange));
  EXPECT_TRUE(RestoresBandwidth(BandFault::kBandwidthNotNumber));
  EXPECT_TRUE(RestoresBandwidth(BandFault::kBandwidthNotBelowCentre));
}

TEST(BandCheck, RulesOfATypedBandApplyToBandsFromAnImage) {
  EXPECT_TRUE(KeepsBandRules({100, 70}));
  EXPECT_TRUE(KeepsBandRules({20000, 0}));
  EXPECT_FALSE(KeepsBandRules({100, 100}));
  EXPECT_FALSE(KeepsBandRules({19, 0}));
  EXPECT_FALSE(KeepsBandRules({30000, 100}));
  EXPECT_FALSE(KeepsBandRules({100, -1}));
}

TEST(BandCheck, MessagesNameTheBandAndKeepEachPagesWording) {
  using F = BandFault;
  EXPECT_EQ(BandFaultMessage(EqPath::kPlayback, 1, F::kCentreNotNumber),
            "Central Freq only accept number. Please set Central Freq-1 again");
  EXPECT_EQ(BandFaultMessage(EqPath::kPlayback, 3, F::kCentreOutOfRange),
            "Central Freq must be between 20Hz and 20KHz . Please set Central Freq-3 again");
  EXPECT_EQ(BandFaultMessage(EqPath::kRecord, 4, F::kBandwidthNotNumber),
            "Bandwidth only accept number. Please set Central Band-4 again");
  EXPECT_EQ(BandFaultMessage(EqPath::kRecord, 2, F::kBandwidthNotBelowCentre),
            "Bandwidth must be less than Central-Freq. Please set Band-2 again");
  // Band 5: the playback page drops the blank in the range message, the record page in the
  // two bandwidth messages.
  EXPECT_EQ(BandFaultMessage(EqPath::kPlayback, 5, F::kCentreOutOfRange),
            "Central Freq must be between 20Hz and 20KHz . Please set Central Freq-5again");
  EXPECT_EQ(BandFaultMessage(EqPath::kPlayback, 5, F::kBandwidthNotNumber),
            "Bandwidth only accept number. Please set Central Band-5 again");
  EXPECT_EQ(BandFaultMessage(EqPath::kPlayback, 5, F::kBandwidthNotBelowCentre),
            "Bandwidth must be less than Central-Freq. Please set Band-5 again");
  EXPECT_EQ(BandFaultMessage(EqPath::kRecord, 5, F::kCentreOutOfRange),
            "Central Freq must be between 20Hz and 20KHz . Please set Central Freq-5 again");
  EXPECT_EQ(BandFaultMessage(EqPath::kRecord, 5, F::kBandwidthNotNumber),
            "Bandwidth only accept number. Please set Central Band-5again");
  EXPECT_EQ(BandFaultMessage(EqPath::kRecord, 5, F::kBandwidthNotBelowCentre),
            "Bandwidth must be less than Central-Freq. Please set Band-5again");
  // Bands 1..4 read the same on both pages.
  for (int band = 1; band <= 4; ++band) {
    for (F fault : {F::kCentreNotNumber, F::kCentreOutOfRange, F::kBandwidthNotNumber,
                    F::kBandwidthNotBelowCentre}) {
      const std::string_view text = BandFaultMessage(EqPath::kPlayback, band, fault);
      EXPECT_EQ(text, BandFaultMessage(EqPath::kRecord, band, fault));
      EXPECT_NE(text.find("-" + std::to_string(band) + " again"), std::string_view::npos) << text;
    }
  }
  EXPECT_TRUE(BandFaultMessage(EqPath::kPlayback, 0, F::kCentreNotNumber).empty());
  EXPECT_TRUE(BandFaultMessage(EqPath::kPlayback, 6, F::kCentreNotNumber).empty());
  EXPECT_TRUE(BandFaultMessage(EqPath::kRecord, 1, F::kNone).empty());
}

TEST(ToneMode, MaximumListAndSliderMapping) {
  EXPECT_EQ(ToneMaximumItemText(0), "0.5");
  EXPECT_EQ(ToneMaximumItemText(4), "2.5");
  EXPECT_EQ(ToneMaximumItemText(kDefaultToneMaximumItem), "12.0");
  // Header byte 9 names the item by its low seven bits: 0x9D is 2.5 dB.
  EXPECT_EQ(ToneMaximumItemForCode(0x9D), 4);
  EXPECT_EQ(ToneMaximumItemForCode(0x1D), 4);
  EXPECT_EQ(ToneMaximumItemForCode(0xB0), 23);
  EXPECT_EQ(ToneMaximumItemForCode(0x80), std::nullopt);
  EXPECT_EQ(ToneMaximumItemForCode(0xB1), std::nullopt);

  // 2.5 dB: sliders 0..10, the middle is 0 dB, a typed 4 dB is held at 2.5 dB.
  EXPECT_EQ(ToneSliderMax(2.5), 10);
  EXPECT_EQ(ToneSliderPositionToDb(2.5, 5), 0.0);
  EXPECT_EQ(ToneSliderPositionToCode(2.5, 5), 24);
  EXPECT_EQ(ToneSliderPositionToCode(2.5, 0), 29);
  EXPECT_EQ(ToneSliderPositionToCode(2.5, 10), 19);
  EXPECT_EQ(ToneDbToSliderPosition(2.5, 4.0), 0);
  EXPECT_EQ(ToneDbToSliderPosition(2.5, -1.0), 7);
  EXPECT_EQ(ToneDbToSliderPosition(2.5, -20.0), 10);
  EXPECT_EQ(ToneDbToSliderPosition(2.5, std::numeric_limits<double>::quiet_NaN()), 0);
  EXPECT_EQ(ToneSliderMax(12.0), 48);
  EXPECT_EQ(ToneSliderMax(0.5), 2);
}

}  // namespace
}  // namespace veltra::eq
