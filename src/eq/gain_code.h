#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace veltra::eq {

// A gain code is one byte: dB = code * 0.5 - 12. Codes 0..48 span -12.0 .. +12.0 dB.
inline constexpr uint8_t kMaxGainCode = 48;
inline constexpr uint8_t kZeroDbGainCode = 24;
// Gain sliders run 0..48 with position 0 at the top (+12 dB).
inline constexpr int kSliderMax = 48;
// Header byte 9 when tone mode is off.
inline constexpr uint8_t kToneOffMaximumCode = 0;
inline constexpr uint8_t kToneOnFlag = 0x80;

// trunc(x) limited to low..high. Numbers typed as "%f" can be "nan" or "inf": a NaN counts
// as 0 and infinities land on the nearer limit, so no conversion is ever undefined.
int TruncToRange(double x, int low, int high);

double GainCodeToDb(uint8_t code);
// The code 0..48 whose value dB is exactly; nullopt for any other value (NaN included).
std::optional<uint8_t> ExactGainCode(double dB);
// The code the slider ends up storing for dB: 24 + trunc(2 * dB), held within 0..48.
uint8_t DbToGainCode(double dB);

// Slider position p (0..48, held there) shows 12 - 0.5p dB and stores code 48 - p.
uint8_t SliderPositionToCode(int position);
double SliderPositionToDb(int position);
// 24 - trunc(2 * dB), held within the slider's range as the slider itself does.
int DbToSliderPosition(double dB);

// Header byte 9 in tone mode: 0x80 | trunc(2 * M + 24) for the "Maximum:" value M in dB
// (0.5 .. 12.0). Outside that list the low seven bits are held within 0..127; NaN counts as 0.
uint8_t TrebleBassMaximumCode(double maximumDb);

// The "%.1f" text of a gain edit, for example "7.0" or "-4.5".
std::string FormatGainDb(double dB);

}  // namespace veltra::eq
