#include <gtest/gtest.h>

#include <cmath>

#include "band_reference.h"
#include "eq/band.h"
#include "eq/band_coefficients.h"

namespace veltra::eq {
namespace {

struct SweepStats {
  int bands = 0;
  int nearIntegerAllowances = 0;
};

// A word must equal the reference's, except one unit apart where the reference product lies
// within `tolerance` of an integer, i.e. where truncation sits on a knife edge.
void ExpectWord(uint32_t word, long double product, long double tolerance, SweepStats& stats,
                const char* name, int32_t fc, int32_t bw) {
  const uint32_t expected = testing::LowWord(product);
  if (word == expected) return;
  const bool knifeEdge = testing::DistanceToInteger(product) < tolerance;
  const uint32_t apart = word - expected;
  if (knifeEdge && (apart == 1u || apart == 0xFFFFFFFFu)) {
    ++stats.nearIntegerAllowances;
    return;
  }
  ADD_FAILURE() << name << " of " << fc << "/" << bw << ": got " << std::hex << word
                << ", reference product " << std::dec << static_cast<double>(product);
}

// Centre frequencies over the pages' whole range, bandwidths from 0 up to 0.99 x Fc.
template <typename Visit>
void ForEachGridBand(Visit visit) {
  for (double fc = 20.0; fc <= 20000.0; fc *= 1.07) {
    const int32_t centre = static_cast<int32_t>(fc);
    for (int step = 0; step < 100; ++step) {
      const int32_t bw = static_cast<int32_t>(static_cast<int64_t>(centre) * step / 100);
      if (bw < centre) visit(centre, bw);
    }
  }
}

TEST(BandSweep, MatchesTheTextbookBilinearBandPassBelowNyquist) {
  SweepStats stats;
  ForEachGridBand([&](int32_t fc, int32_t bw) {
    const auto ref = testing::TextbookBandPass(kEqSampleRate, fc, bw);
    if (!ref.edgesBelowNyquist) return;
    ++stats.bands;
    const BandWords words = CalcBandCoefficients(kEqSampleRate, fc, bw);
    // The two formulations agree within a few 1e-6 units here.
    constexpr long double kTolerance = 1e-4L;
    ExpectWord(words.A21, ref.a21, kTolerance, stats, "A21", fc, bw);
    ExpectWord(words.A31, ref.a31, kTolerance, stats, "A31", fc, bw);
    ExpectWord(words.S, ref.s, kTolerance, stats, "S", fc, bw);
  });
  EXPECT_GT(stats.bands, 5000);
  EXPECT_LE(stats.nearIntegerAllowances, 3);
}

TEST(BandSweep, MatchesBeyondNyquistWhereTheDesignIsWellConditioned) {
  SweepStats stats;
  ForEachGridBand([&](int32_t fc, int32_t bw) {
    const auto ref = testing::TextbookBandPass(kEqSampleRate, fc, bw);
    if (ref.edgesBelowNyquist) return;
    // Both formulations divide by cos(theta) + sin(theta) of the edge distance; near its zeros
    // they lose all agreement, and the words are whatever the double arithmetic gives.
    if (std::fabs(std::cos(ref.edgeAngle) + std::sin(ref.edgeAngle)) < 0.3L) return;
    if (std::fabs(ref.a21) > 4e18L || std::fabs(ref.a31) > 4e18L) return;
    ++stats.bands;
    const BandWords words = CalcBandCoefficients(kEqSampleRate, fc, bw);
    constexpr long double kTolerance = 1e-2L;
    ExpectWord(words.A21, ref.a21, kTolerance, stats, "A21", fc, bw);
    ExpectWord(words.A31, ref.a31, kTolerance, stats, "A31", fc, bw);
    ExpectWord(words.S, ref.s, kTolerance, stats, "S", fc, bw);
  });
  EXPECT_GT(stats.bands, 100);
  EXPECT_LE(stats.nearIntegerAllowances, 3);
}

}  // namespace
}  // namespace veltra::eq
