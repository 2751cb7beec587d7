#include "eq/tone_mode.h"

#include <cmath>

#include "eq/gain_code.h"

namespace veltra::eq {

namespace {

constexpr uint8_t kCodeBits = 0x7F;

// M comes from the list; anything else is held within it.
double HeldMaximum(double maximumDb) {
  if (!(maximumDb >= ToneMaximumItemDb(0))) return ToneMaximumItemDb(0);  // NaN included
  const double top = ToneMaximumItemDb(kToneMaximumItemCount - 1);
  return maximumDb > top ? top : maximumDb;
}

}  // namespace

double ToneMaximumItemDb(int item) {
  return 0.5 * (item + 1);
}

std::optional<int> ToneMaximumItemOfDb(double dB) {
  for (int item = 0; item < kToneMaximumItemCount; ++item) {
    if (ToneMaximumItemDb(item) == dB) return item;
  }
  return std::nullopt;
}

std::string ToneMaximumItemText(int item) {
  return FormatGainDb(ToneMaximumItemDb(item));
}

std::optional<int> ToneMaximumItemForCode(uint8_t toneMaximumCode) {
  std::optional<int> found;
  for (int item = 0; item < kToneMaximumItemCount; ++item) {
    const uint8_t code = TrebleBassMaximumCode(ToneMaximumItemDb(item));
    if ((code & kCodeBits) == (toneMaximumCode & kCodeBits)) found = item;
  }
  return found;
}

double ToneMaximumDbOfCode(uint8_t toneMaximumCode) {
  return ((toneMaximumCode & kCodeBits) - kZeroDbGainCode) / 2.0;
}

int ToneSliderMax(double maximumDb) {
  return static_cast<int>(std::trunc(4.0 * HeldMaximum(maximumDb)));
}

double ToneSliderPositionToDb(double maximumDb, int position) {
  return HeldMaximum(maximumDb) - 0.5 * position;
}

uint8_t ToneSliderPositionToCode(double maximumDb, int position) {
  const int zero = static_cast<int>(std::trunc(2.0 * HeldMaximum(maximumDb) + 24.0));
  return static_cast<uint8_t>(zero - position);
}

int ToneDbToSliderPosition(double maximumDb, double dB) {
  const double m = HeldMaximum(maximumDb);
  if (dB > m) dB = m;
  return TruncToRange(2.0 * (m - dB), 0, ToneSliderMax(m));
}

}  // namespace veltra::eq
