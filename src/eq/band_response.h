#pragma once

#include <cstdint>
#include <vector>

#include "eq/band.h"
#include "eq/band_coefficients.h"

namespace veltra::eq {

// Where a band acts: its edges in hertz where the coefficient design puts them, geometrically
// around the centre and not clamped to the Nyquist frequency.
struct BandEdges {
  double lowHz = 0;
  double highHz = 0;
  // The upper edge reaches the Nyquist frequency, or the band breaks 0 <= bw < fc so that the
  // design has no edges at all: the section is then not the band-pass the numbers ask for.
  bool pastNyquist = false;
};
BandEdges BandEdgesOf(const Band& band, int32_t fs = kEqSampleRate);

// The magnitude in dB at hz of the section these words describe, as the chip is given it:
// denominator 1 - A21 z^-1 - A31 z^-2 and numerator S (1 - z^-2), 29 fraction bits each, so the
// words' rounding is included. -infinity at the zeros (0 Hz and the Nyquist frequency).
double BandResponseDb(const BandWords& words, double hz, int32_t fs = kEqSampleRate);

// count frequencies from fromHz to toHz, evenly spaced on a logarithmic axis, both ends
// included; empty for count < 2 or a range that is not positive and finite.
std::vector<double> LogSpacedFrequencies(double fromHz, double toHz, int count);

}  // namespace veltra::eq
