#pragma once

#include <cmath>
#include <cstdint>

#include "eq/band_coefficients.h"

namespace veltra::eq::testing {

// The products A21, A31 and S before truncation, from the textbook second-order band-pass by
// the bilinear transform: analog B s / (s^2 + B s + W1 W2) with edges prewarped to
// W = tan(pi f / 2), in long double. Same pi as the chip's design, otherwise independent.
struct ReferenceProducts {
  long double a21;
  long double a31;
  long double s;
  bool edgesBelowNyquist;
  long double edgeAngle;  // pi (f2 - f1) / 2
};

inline ReferenceProducts TextbookBandPass(int32_t fs, int32_t fc, int32_t bw) {
  using L = long double;
  const L pi = kPiF;
  const L r = static_cast<L>(bw) / fc;
  const L centre = static_cast<L>(fc) / (fs / 2);
  const L f1 = centre * std::sqrt((1 - r) / (1 + r));
  const L f2 = centre * std::sqrt((1 + r) / (1 - r));
  const L w1 = std::tan(pi * f1 / 2);
  const L w2 = std::tan(pi * f2 / 2);
  const L width = w2 - w1;
  const L w0Squared = w1 * w2;
  const L a0 = 1 + width + w0Squared;
  const L scale = 536870912.0L;
  return {-(2 * (w0Squared - 1) / a0) * scale, -((1 - width + w0Squared) / a0) * scale,
          width / a0 * scale, f2 < 1, pi * (f2 - f1) / 2};
}

// trunc toward zero, low 32 bits, for a product known to fit 64 bits.
inline uint32_t LowWord(long double product) {
  return static_cast<uint32_t>(static_cast<uint64_t>(static_cast<int64_t>(product)));
}

inline long double DistanceToInteger(long double x) {
  return std::fabs(x - std::round(x));
}

}  // namespace veltra::eq::testing
