#pragma once

#include <array>
#include <complex>
#include <cstddef>
#include <cstdint>
#include <span>

#include "eq/band.h"

namespace veltra::eq {

// The single-precision value of pi widened to double (bit pattern 400921FB60000000). The chip's
// words were defined with it; the double-precision pi moves the upper bands' words by tens of
// units.
inline constexpr double kPiF = 3.1415927410125732;
// Coefficient words carry 29 fraction bits.
inline constexpr double kWordScale = 536870912.0;
inline constexpr size_t kBandRecordBytes = 12;
// Pole pairs the building blocks accept; the product needs no heap up to this order.
inline constexpr int kMaxPolePairs = 8;

// The three coefficient words of one band's second-order section.
struct BandWords {
  uint32_t A21 = 0;  // -d1 * 2^29
  uint32_t A31 = 0;  // -d2 * 2^29
  uint32_t S = 0;    // scale factor * 2^29

  // The 12-byte band record: A21, A31, S, each most significant byte first.
  void WriteBigEndian(std::span<uint8_t, kBandRecordBytes> out) const;
  std::array<uint8_t, kBandRecordBytes> ToBigEndian() const;
  static BandWords FromBigEndian(std::span<const uint8_t, kBandRecordBytes> in);

  friend bool operator==(const BandWords&, const BandWords&) = default;
};

// trunc(x) through a 64-bit integer, low 32 bits. A NaN, an infinity or a value whose
// truncation does not fit in 64 bits gives 0: the low half of the x86 conversion's "integer
// indefinite" result 0x8000000000000000, which is what the chip's tool chain produced there.
uint32_t ToCoefficientWord(double x);

// Butterworth band-pass design by the bilinear transform with one pole pair, centre fc and
// bandwidth bw at sample rate fs, all in hertz. Defined for every input: bands outside
// 0 <= bw < fc, fc > 0 or rates below 2 give non-finite intermediates, whose words are 0 by the
// rule of ToCoefficientWord; finite results beyond the word range keep their low 32 bits.
BandWords CalcBandCoefficients(int32_t fs, int32_t fc, int32_t bw);
// A band's words as the EQ pages and the live upload design them, at 48000 Hz.
inline BandWords DesignBandWords(const Band& band) {
  return CalcBandCoefficients(kEqSampleRate, band.centreHz, band.bandwidthHz);
}

// The denominator 1 + d1 z^-1 + ... + d2n z^-2n for band edges f1, f2 given as fractions of the
// Nyquist frequency. Writes d0..d2n into d (2n + 1 values); false and nothing written when n is
// outside 1..kMaxPolePairs or d is too small.
bool BandPassDenominator(int n, double f1, double f2, std::span<double> d);

// The scale factor of the same filter; NaN when n is outside 1..kMaxPolePairs.
double BandPassScale(int n, double f1, double f2);

// Coefficients of z^-1 .. z^-2n of the product of the trinomials (1 + b[k] z^-1 + c[k] z^-2),
// k = 0..n-1, into product (2n values). False and nothing written when n < 1 or a span is too
// small.
bool TrinomialProduct(int n, std::span<const std::complex<double>> b,
                      std::span<const std::complex<double>> c,
                      std::span<std::complex<double>> product);

}  // namespace veltra::eq
