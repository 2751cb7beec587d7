#include "eq/band_coefficients.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>

#include "band_reference.h"
#include "eq/factory_defaults.h"

namespace veltra::eq {
namespace {

struct FactoryCase {
  Band band;
  BandWords words;
};

// The words the chip's factory image carries for the default bands at 48000 Hz.
constexpr FactoryCase kFactoryWords[] = {
    {{100, 70}, {0x3F2F0C0F, 0xE0CF9124, 0x0067C891}},
    {{350, 210}, {0x3DCEE4DA, 0xE2207A93, 0x01103D49}},
    {{1000, 620}, {0x397BB62A, 0xE604D936, 0x03026C9A}},
    {{3500, 2310}, {0x27FE562D, 0xF31C5F55, 0x098E2FAA}},
    {{13000, 5200}, {0xF339AA7F, 0xFEA1D932, 0x0F50EC98}},
};

TEST(BandCoefficients, FactoryBandsGiveTheFactoryWords) {
  const auto defaults = DefaultBands();
  for (size_t k = 0; k < std::size(kFactoryWords); ++k) {
    const FactoryCase& expected = kFactoryWords[k];
    EXPECT_EQ(defaults[k], expected.band) << "band " << k + 1;
    EXPECT_EQ(
        CalcBandCoefficients(kEqSampleRate, expected.band.centreHz, expected.band.bandwidthHz),
        expected.words)
        << "band " << k + 1;
  }
}

TEST(BandCoefficients, PiIsTheSinglePrecisionValueWidened) {
  EXPECT_EQ(std::bit_cast<uint64_t>(kPiF), 0x400921FB60000000u);
  EXPECT_EQ(kPiF, static_cast<double>(static_cast<float>(M_PI)));
  // With the double-precision pi band 5's A21 would move by tens of units.
  const double centre = 13000.0 / 24000.0;
  EXPECT_GT(std::fabs(std::cos(M_PI * centre) - std::cos(kPiF * centre)) * 2 * kWordScale, 20.0);
}

TEST(BandCoefficients, RoundsTowardZeroNotToNearest) {
  // Band 1's A31 product is -523267804.70.
  const double r = 70.0 / 100.0;
  const double f1 = std::sqrt((1 - r) / (1 + r)) * 100.0 / 24000.0;
  const double f2 = std::sqrt((1 + r) / (1 - r)) * 100.0 / 24000.0;
  std::array<double, 3> d{};
  ASSERT_TRUE(BandPassDenominator(1, f1, f2, d));
  const double product = -(kWordScale * d[2]);
  EXPECT_NEAR(product, -523267804.70, 0.01);
  EXPECT_EQ(CalcBandCoefficients(48000, 100, 70).A31, 0xE0CF9124u);  // -523267804
  EXPECT_EQ(ToCoefficientWord(product), static_cast<uint32_t>(-523267804));
}

TEST(BandCoefficients, ZeroBandwidthGivesZeroScaleAndMinusOneA31) {
  for (int32_t fc : {20, 100, 1000, 12000, 20000}) {
    const BandWords words = CalcBandCoefficients(48000, fc, 0);
    EXPECT_EQ(words.S, 0u) << fc;
    EXPECT_EQ(words.A31, 0xE0000000u) << fc;
    const long double a21 =
        1073741824.0L * std::cos(static_cast<long double>(kPiF) * fc / 24000.0L);
    EXPECT_EQ(words.A21, testing::LowWord(a21)) << fc;
  }
}

TEST(BandCoefficients, EdgesBeyondNyquistAreNotClampedAndKeepTheirLowWord) {
  // f2 = 1.93 x Nyquist; A21 and A31 exceed the 32-bit range and wrap.
  const auto ref = testing::TextbookBandPass(48000, 12000, 9660);
  ASSERT_FALSE(ref.edgesBelowNyquist);
  ASSERT_LT(ref.a21, -2147483648.0L);
  ASSERT_GT(ref.a31, 2147483647.0L);
  const BandWords words = CalcBandCoefficients(48000, 12000, 9660);
  EXPECT_EQ(words.A21, 0x4D433DE9u);  // -2998714903 reduced to 32 bits
  EXPECT_EQ(words.A31, 0x8BEE217Bu);  // 2347639163
  EXPECT_EQ(words.A21, testing::LowWord(ref.a21));
  EXPECT_EQ(words.A31, testing::LowWord(ref.a31));
  EXPECT_EQ(words.S, testing::LowWord(ref.s));
}

TEST(CoefficientWord, TruncatesThroughSixtyFourBitsAndKeepsTheLowHalf) {
  constexpr double kInf = std::numeric_limits<double>::infinity();
  constexpr double kTwoTo63 = 9223372036854775808.0;
  const struct {
    double x;
    uint32_t word;
  } cases[] = {
      {0.0, 0},
      {0.999, 0},
      {-0.999, 0},
      {-1.5, 0xFFFFFFFF},
      {2147483648.0, 0x80000000},
      {4294967296.0 + 5.5, 5},
      {-4294967296.0 - 5.5, 0xFFFFFFFB},
      {std::nextafter(kTwoTo63, 0.0), 0xFFFFFC00},  // 0x7FFFFFFFFFFFFC00
      {-kTwoTo63, 0},                               // exactly INT64_MIN: fits
      // Outside the 64-bit range or not a number: the defined word 0.
      {kTwoTo63, 0},
      {-std::nextafter(kTwoTo63, kInf), 0},
      {1e300, 0},
      {kInf, 0},
      {-kInf, 0},
      {std::numeric_limits<double>::quiet_NaN(), 0},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ToCoefficientWord(c.x), c.word) << c.x;
}

TEST(BandCoefficients, InputsOutsideTheBandCheckGiveDefinedWords) {
  const struct {
    int32_t fs, fc, bw;
  } nonFinite[] = {
      {48000, 0, 0},      // r = 0/0
      {48000, 0, 50},     // r infinite
      {48000, 100, 100},  // upper edge infinite
      {48000, 100, 150},  // square root of a negative number
      {48000, 100, INT32_MAX},
      {48000, INT32_MIN, INT32_MIN},
      {0, 100, 50},  // no Nyquist frequency
      {1, 100, 50},
  };
  for (const auto& c : nonFinite) {
    EXPECT_EQ(CalcBandCoefficients(c.fs, c.fc, c.bw), (BandWords{0, 0, 0}))
        << c.fs << " " << c.fc << " " << c.bw;
  }
  // Finite but nonsensical bands still follow the formulas, like any image value would.
  const BandWords swapped = CalcBandCoefficients(48000, 100, -50);
  const auto ref = testing::TextbookBandPass(48000, 100, -50);
  EXPECT_EQ(swapped.A21, testing::LowWord(ref.a21));
  EXPECT_EQ(swapped.A31, testing::LowWord(ref.a31));
  EXPECT_EQ(swapped.S, testing::LowWord(ref.s));
}

TEST(BandWordsBytes, AreBigEndianInFieldOrder) {
  const BandWords words{0x3F2F0C0F, 0xE0CF9124, 0x0067C891};
  const std::array<uint8_t, 12> expected{0x3F, 0x2F, 0x0C, 0x0F, 0xE0, 0xCF,
                                         0x91, 0x24, 0x00, 0x67, 0xC8, 0x91};
  EXPECT_EQ(words.ToBigEndian(), expected);
  EXPECT_EQ(BandWords::FromBigEndian(expected), words);
}

TEST(BuildingBlocks, RefuseOrdersAndBuffersTheyCannotServe) {
  std::array<double, 3> d{7, 7, 7};
  EXPECT_FALSE(BandPassDenominator(0, 0.1, 0.2, d));
  EXPECT_FALSE(BandPassDenominator(2, 0.1, 0.2, d));  // needs five values
  EXPECT_FALSE(BandPassDenominator(kMaxPolePairs + 1, 0.1, 0.2, d));
  EXPECT_EQ(d, (std::array<double, 3>{7, 7, 7}));
  EXPECT_TRUE(std::isnan(BandPassScale(0, 0.1, 0.2)));

  std::array<std::complex<double>, 2> b{}, c{};
  std::array<std::complex<double>, 3> product{};
  EXPECT_FALSE(TrinomialProduct(2, b, c, product));
  EXPECT_FALSE(TrinomialProduct(0, b, c, product));
}

TEST(BuildingBlocks, TrinomialProductMultipliesOutThePolynomials) {
  using C = std::complex<double>;
  // (1 + 2z + 3z^2)(1 + iz - z^2)(1 - z + 0.5 z^2), with z standing for z^-1.
  const std::array<C, 3> b{C(2, 0), C(0, 1), C(-1, 0)};
  const std::array<C, 3> c{C(3, 0), C(-1, 0), C(0.5, 0)};
  std::array<C, 6> product{};
  ASSERT_TRUE(TrinomialProduct(3, b, c, product));

  std::array<C, 7> expected{C(1, 0)};
  for (size_t k = 0; k < 3; ++k) {
    std::array<C, 7> next{};
    for (size_t p = 0; p + 2 < 7; ++p) {
      next[p] += expected[p];
      next[p + 1] += expected[p] * b[k];
      next[p + 2] += expected[p] * c[k];
    }
    expected = next;
  }
  for (size_t p = 1; p <= 6; ++p) {
    EXPECT_NEAR(product[p - 1].real(), expected[p].real(), 1e-12) << p;
    EXPECT_NEAR(product[p - 1].imag(), expected[p].imag(), 1e-12) << p;
  }
}

TEST(BuildingBlocks, HigherOrdersKeepTheBandPassShape) {
  // A Butterworth band-pass passes its centre frequency with unit gain at any order.
  const double f1 = 0.1, f2 = 0.3;
  const double centre =
      2.0 / kPiF * std::atan(std::sqrt(std::tan(kPiF * f1 / 2) * std::tan(kPiF * f2 / 2)));
  for (int n : {1, 2, 3}) {
    std::array<double, 2 * kMaxPolePairs + 1> d{};
    ASSERT_TRUE(BandPassDenominator(n, f1, f2, d));
    const double sf = BandPassScale(n, f1, f2);
    const std::complex<double> z = std::polar(1.0, -kPiF * centre);  // z^-1 on the unit circle
    std::complex<double> denominator = 0, numerator = 1, zPower = 1;
    for (int j = 0; j <= 2 * n; ++j, zPower *= z)
      denominator += d[j] * zPower;
    // Numerator sf * (1 - z^-2)^n.
    for (int j = 0; j < n; ++j)
      numerator *= 1.0 - z * z;
    EXPECT_NEAR(std::abs(sf * numerator / denominator), 1.0, 1e-6) << "n = " << n;
  }
}

}  // namespace
}  // namespace veltra::eq
