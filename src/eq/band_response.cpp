#include "eq/band_response.h"

#include <cmath>
#include <complex>
#include <limits>
#include <numbers>

namespace veltra::eq {

namespace {

double WordValue(uint32_t word) {
  return static_cast<double>(static_cast<int32_t>(word)) / kWordScale;
}

}  // namespace

BandEdges BandEdgesOf(const Band& band, int32_t fs) {
  const double nyquist = static_cast<double>(fs / 2);
  const double centre = static_cast<double>(band.centreHz);
  const double r = static_cast<double>(band.bandwidthHz) / centre;
  BandEdges edges;
  // The same placement as the coefficient design, in hertz rather than fractions of Nyquist.
  edges.lowHz = std::sqrt((1.0 - r) / (1.0 + r)) * centre;
  edges.highHz = std::sqrt((1.0 + r) / (1.0 - r)) * centre;
  const bool placed = std::isfinite(edges.lowHz) && std::isfinite(edges.highHz) &&
                      band.centreHz > 0 && band.bandwidthHz >= 0 && r < 1.0;
  edges.pastNyquist = !placed || edges.highHz >= nyquist;
  return edges;
}

double BandResponseDb(const BandWords& words, double hz, int32_t fs) {
  // The numerator's zeros exactly, where the rounding of pi would leave a tiny residue.
  const double nyquist = static_cast<double>(fs) / 2;
  if (std::fmod(hz, nyquist) == 0.0) return -std::numeric_limits<double>::infinity();
  const double omega = 2.0 * std::numbers::pi * hz / static_cast<double>(fs);
  const std::complex<double> z1 = std::polar(1.0, -omega);  // z^-1
  const std::complex<double> z2 = z1 * z1;
  const std::complex<double> numerator = WordValue(words.S) * (1.0 - z2);
  const std::complex<double> denominator =
      1.0 - WordValue(words.A21) * z1 - WordValue(words.A31) * z2;
  const double num = std::abs(numerator);
  const double den = std::abs(denominator);
  if (num == 0.0) return -std::numeric_limits<double>::infinity();
  if (den == 0.0) return std::numeric_limits<double>::infinity();
  return 20.0 * std::log10(num / den);
}

std::vector<double> LogSpacedFrequencies(double fromHz, double toHz, int count) {
  std::vector<double> points;
  if (count < 2 || !(fromHz > 0) || !(toHz > fromHz) || !std::isfinite(toHz)) return points;
  points.reserve(static_cast<size_t>(count));
  const double ratio = std::log(toHz / fromHz);
  for (int i = 0; i < count; ++i)
    points.push_back(fromHz * std::exp(ratio * i / (count - 1)));
  // Exactly the ends, whatever exp rounds to.
  points.back() = toHz;
  return points;
}

}  // namespace veltra::eq
