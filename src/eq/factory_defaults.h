#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "eq/band.h"

namespace veltra::eq {

// Band defaults are kept as the texts the pages put back into an edit that fails the band check.
struct BandText {
  std::string_view centre;
  std::string_view bandwidth;
};

inline constexpr std::array<BandText, kBandCount> kDefaultBandTexts{{
    {"100", "70"},
    {"350", "210"},
    {"1000", "620"},
    {"3500", "2310"},
    {"13000", "5200"},
}};

// Preset names as the "[EQ1,EQ0]" list shows them; the index is the preset number.
inline constexpr int kPresetCount = 4;
inline constexpr std::array<std::string_view, kPresetCount> kPresetNames{"00", "01", "10", "11"};

using GainRow = std::array<uint8_t, kGainCount>;  // bands 1..5, then compensation

inline constexpr std::array<GainRow, kPresetCount> kDefaultPlaybackGains{{
    {24, 24, 24, 24, 24, 38},
    {33, 23, 22, 22, 26, 38},
    {15, 29, 30, 32, 15, 38},
    {19, 25, 29, 27, 33, 38},
}};

inline constexpr GainRow kDefaultRecordGains{24, 24, 24, 24, 24, 48};

// Leading decimal digits to a number, as the pages convert the default texts. Stops at the
// first character that is not a digit and before a digit that would overflow.
constexpr int32_t DecimalTextToInt(std::string_view text) {
  int32_t value = 0;
  for (char ch : text) {
    if (ch < '0' || ch > '9') break;
    const int32_t digit = ch - '0';
    if (value > (INT32_MAX - digit) / 10) break;
    value = value * 10 + digit;
  }
  return value;
}

constexpr std::array<Band, kBandCount> DefaultBands() {
  std::array<Band, kBandCount> bands{};
  for (int k = 0; k < kBandCount; ++k) {
    bands[k] = {DecimalTextToInt(kDefaultBandTexts[k].centre),
                DecimalTextToInt(kDefaultBandTexts[k].bandwidth)};
  }
  return bands;
}

}  // namespace veltra::eq
