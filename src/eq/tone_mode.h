#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace veltra::eq {

// Tone mode of the playback equaliser: bands 1 and 5 act as bass and treble within +-M dB, M
// chosen from the "Maximum:" list.

// The list holds 0.5, 1.0 .. 12.0 dB; item 0 is 0.5 dB.
inline constexpr int kToneMaximumItemCount = 24;
inline constexpr int kDefaultToneMaximumItem = kToneMaximumItemCount - 1;  // 12.0

double ToneMaximumItemDb(int item);
// The item whose value dB is exactly; nullopt for any other value.
std::optional<int> ToneMaximumItemOfDb(double dB);
// "%.1f" of the item's value.
std::string ToneMaximumItemText(int item);
// The item that Header byte 9 names: its trunc(2M + 24) equals the byte's low seven bits. The
// last such item; nullopt when none does.
std::optional<int> ToneMaximumItemForCode(uint8_t toneMaximumCode);
// The M that Header byte 9 stores, (low seven bits - 24) / 2, whether the list has it or not.
double ToneMaximumDbOfCode(uint8_t toneMaximumCode);

// Bass and treble sliders run 0 .. trunc(4M); the middle, trunc(4M) / 2, is 0 dB.
int ToneSliderMax(double maximumDb);
// Position p shows M - 0.5p dB and stores code trunc(2M + 24) - p (as a byte).
double ToneSliderPositionToDb(double maximumDb, int position);
uint8_t ToneSliderPositionToCode(double maximumDb, int position);
// trunc(2(M - dB)), held within the slider's range; a dB above M counts as M.
int ToneDbToSliderPosition(double maximumDb, double dB);

}  // namespace veltra::eq
