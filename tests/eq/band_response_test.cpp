#include "eq/band_response.h"

#include <gtest/gtest.h>

#include <cmath>

#include "eq/band_coefficients.h"

namespace veltra::eq {
namespace {

// The analog prototype B s / (s^2 + B s + W1 W2) at s = j tan(pi f / fs), edges prewarped to
// W = tan(pi f / 2) as in the design: what the words describe before their rounding.
double AnalogPrototypeDb(int32_t fc, int32_t bw, double hz) {
  using L = long double;
  const L pi = 3.14159265358979323846264338327950288L;
  const L r = static_cast<L>(bw) / fc;
  const L centre = static_cast<L>(fc) / 24000;
  const L w1 = std::tan(pi * centre * std::sqrt((1 - r) / (1 + r)) / 2);
  const L w2 = std::tan(pi * centre * std::sqrt((1 + r) / (1 - r)) / 2);
  const L w = std::tan(pi * static_cast<L>(hz) / 48000);
  const L width = w2 - w1;
  const L magnitude =
      width * w / std::sqrt((w1 * w2 - w * w) * (w1 * w2 - w * w) + (width * w) * (width * w));
  return static_cast<double>(20 * std::log10(magnitude));
}

TEST(BandResponse, AgreesWithTheAnalogPrototypeAcrossTheAxis) {
  struct Case {
    int32_t fc, bw;
  };
  // The factory bands, a narrow one, a wide low one and one close below Nyquist.
  const Case cases[] = {{100, 70},     {350, 210}, {1000, 620}, {3500, 2310},
                        {13000, 5200}, {1000, 10}, {20, 19},    {20000, 3000}};
  for (const Case& c : cases) {
    const BandWords words = CalcBandCoefficients(kEqSampleRate, c.fc, c.bw);
    for (double hz : LogSpacedFrequencies(20, 23000, 60)) {
      const double expected = AnalogPrototypeDb(c.fc, c.bw, hz);
      // Word rounding moves a narrow band's poles a little: far below a hundredth of a dB
      // where the response is above -60 dB.
      const double tolerance = expected > -60 ? 0.01 : 0.5;
      EXPECT_NEAR(BandResponseDb(words, hz), expected, tolerance)
          << c.fc << "/" << c.bw << " at " << hz << " Hz";
    }
  }
}

TEST(BandResponse, PeaksAtZeroDbAndIsDownThreeDbAtItsEdges) {
  const BandEdges edges = BandEdgesOf({1000, 620});
  const BandWords words = CalcBandCoefficients(kEqSampleRate, 1000, 620);
  EXPECT_NEAR(BandResponseDb(words, std::sqrt(edges.lowHz * edges.highHz)), 0.0, 0.05);
  EXPECT_NEAR(BandResponseDb(words, edges.lowHz), -3.0103, 0.05);
  EXPECT_NEAR(BandResponseDb(words, edges.highHz), -3.0103, 0.05);
  EXPECT_TRUE(std::isinf(BandResponseDb(words, 0)));
  EXPECT_TRUE(std::isinf(BandResponseDb(words, 24000)));
}

TEST(BandResponse, ComesFromTheWordsAsGiven) {
  BandWords words = CalcBandCoefficients(kEqSampleRate, 3500, 2310);
  const double before = BandResponseDb(words, 3500);
  words.S *= 2;  // twice the scale: 6 dB more everywhere
  EXPECT_NEAR(BandResponseDb(words, 3500) - before, 6.0206, 1e-6);
}

TEST(BandEdges, MarksBandsPastNyquistOrWithoutEdges) {
  struct Case {
    Band band;
    bool past;
  };
  const Case cases[] = {{{13000, 5200}, false}, {{20000, 3000}, false}, {{13000, 12000}, true},
                        {{20000, 19999}, true}, {{100, 100}, true},     {{0, 0}, true},
                        {{100, -5}, true}};
  for (const Case& c : cases)
    EXPECT_EQ(BandEdgesOf(c.band).pastNyquist, c.past)
        << c.band.centreHz << "/" << c.band.bandwidthHz;
  const BandEdges edges = BandEdgesOf({100, 70});
  EXPECT_NEAR(edges.lowHz * edges.highHz, 100.0 * 100.0, 1e-9);
  EXPECT_NEAR(edges.highHz - edges.lowHz, 2 * 0.7 * 100 / std::sqrt(1 - 0.49), 1e-9);
}

TEST(LogSpacedFrequencies, EndsExactlyAndSpacesEvenly) {
  const std::vector<double> points = LogSpacedFrequencies(20, 20000, 4);
  ASSERT_EQ(points.size(), 4u);
  EXPECT_EQ(points.front(), 20);
  EXPECT_NEAR(points[1], 200, 1e-9);
  EXPECT_NEAR(points[2], 2000, 1e-9);
  EXPECT_EQ(points.back(), 20000);
  EXPECT_TRUE(LogSpacedFrequencies(0, 100, 5).empty());
}

}  // namespace
}  // namespace veltra::eq
