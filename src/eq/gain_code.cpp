#include "eq/gain_code.h"

#include <cmath>
#include <cstdio>

namespace veltra::eq {

int TruncToRange(double x, int low, int high) {
  if (std::isnan(x)) x = 0.0;
  // Compare before converting: the conversion is only defined for values that fit.
  if (x <= static_cast<double>(low)) return low;
  if (x >= static_cast<double>(high)) return high;
  return static_cast<int>(x);
}

double GainCodeToDb(uint8_t code) {
  return code * 0.5 - 12.0;
}

std::optional<uint8_t> ExactGainCode(double dB) {
  for (int code = 0; code <= kMaxGainCode; ++code) {
    if (GainCodeToDb(static_cast<uint8_t>(code)) == dB) return static_cast<uint8_t>(code);
  }
  return std::nullopt;
}

uint8_t DbToGainCode(double dB) {
  return static_cast<uint8_t>(kMaxGainCode - DbToSliderPosition(dB));
}

uint8_t SliderPositionToCode(int position) {
  const int held = position < 0 ? 0 : (position > kSliderMax ? kSliderMax : position);
  return static_cast<uint8_t>(kSliderMax - held);
}

double SliderPositionToDb(int position) {
  const int held = position < 0 ? 0 : (position > kSliderMax ? kSliderMax : position);
  return 12.0 - 0.5 * held;
}

int DbToSliderPosition(double dB) {
  // 2 * dB beyond +-24 already puts the slider at an end.
  return kZeroDbGainCode - TruncToRange(2.0 * dB, -kZeroDbGainCode, kZeroDbGainCode);
}

uint8_t TrebleBassMaximumCode(double maximumDb) {
  const double m = std::isnan(maximumDb) ? 0.0 : maximumDb;
  return static_cast<uint8_t>(kToneOnFlag | TruncToRange(2.0 * m + 24.0, 0, 0x7F));
}

std::string FormatGainDb(double dB) {
  // Wide enough for "%.1f" of the largest double, so the text is never cut.
  char text[320];
  const int length = std::snprintf(text, sizeof text, "%.1f", dB);
  if (length < 0) return {};
  return std::string(text, static_cast<size_t>(length) < sizeof text ? length : sizeof text - 1);
}

}  // namespace veltra::eq
