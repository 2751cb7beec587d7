#include "eq/band_check.h"

#include <array>
#include <cstddef>

#include "eq/number_text.h"

namespace veltra::eq {

namespace {

constexpr size_t kDigitsChecked = 8;

// Per band: frequency not a number, frequency out of range, bandwidth not a number, bandwidth
// not below the frequency. Band 5's texts differ between the pages, blanks included.
using BandMessages = std::array<std::string_view, 4>;

constexpr std::array<BandMessages, kBandCount> kPlaybackMessages{{
    {"Central Freq only accept number. Please set Central Freq-1 again",
     "Central Freq must be between 20Hz and 20KHz . Please set Central Freq-1 again",
     "Bandwidth only accept number. Please set Central Band-1 again",
     "Bandwidth must be less than Central-Freq. Please set Band-1 again"},
    {"Central Freq only accept number. Please set Central Freq-2 again",
     "Central Freq must be between 20Hz and 20KHz . Please set Central Freq-2 again",
     "Bandwidth only accept number. Please set Central Band-2 again",
     "Bandwidth must be less than Central-Freq. Please set Band-2 again"},
    {"Central Freq only accept number. Please set Central Freq-3 again",
     "Central Freq must be between 20Hz and 20KHz . Please set Central Freq-3 again",
     "Bandwidth only accept number. Please set Central Band-3 again",
     "Bandwidth must be less than Central-Freq. Please set Band-3 again"},
    {"Central Freq only accept number. Please set Central Freq-4 again",
     "Central Freq must be between 20Hz and 20KHz . Please set Central Freq-4 again",
     "Bandwidth only accept number. Please set Central Band-4 again",
     "Bandwidth must be less than Central-Freq. Please set Band-4 again"},
    {"Central Freq only accept number. Please set Central Freq-5 again",
     "Central Freq must be between 20Hz and 20KHz . Please set Central Freq-5again",
     "Bandwidth only accept number. Please set Central Band-5 again",
     "Bandwidth must be less than Central-Freq. Please set Band-5 again"},
}};

constexpr std::array<BandMessages, kBandCount> kRecordMessages{{
    {"Central Freq only accept number. Please set Central Freq-1 again",
     "Central Freq must be between 20Hz and 20KHz . Please set Central Freq-1 again",
     "Bandwidth only accept number. Please set Central Band-1 again",
     "Bandwidth must be less than Central-Freq. Please set Band-1 again"},
    {"Central Freq only accept number. Please set Central Freq-2 again",
     "Central Freq must be between 20Hz and 20KHz . Please set Central Freq-2 again",
     "Bandwidth only accept number. Please set Central Band-2 again",
     "Bandwidth must be less than Central-Freq. Please set Band-2 again"},
    {"Central Freq only accept number. Please set Central Freq-3 again",
     "Central Freq must be between 20Hz and 20KHz . Please set Central Freq-3 again",
     "Bandwidth only accept number. Please set Central Band-3 again",
     "Bandwidth must be less than Central-Freq. Please set Band-3 again"},
    {"Central Freq only accept number. Please set Central Freq-4 again",
     "Central Freq must be between 20Hz and 20KHz . Please set Central Freq-4 again",
     "Bandwidth only accept number. Please set Central Band-4 again",
     "Bandwidth must be less than Central-Freq. Please set Band-4 again"},
    {"Central Freq only accept number. Please set Central Freq-5 again",
     "Central Freq must be between 20Hz and 20KHz . Please set Central Freq-5 again",
     "Bandwidth only accept number. Please set Central Band-5again",
     "Bandwidth must be less than Central-Freq. Please set Band-5again"},
}};

}  // namespace

bool PassesDigitCheck(std::string_view text) {
  for (size_t i = 0; i < text.size() && i < kDigitsChecked; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
  }
  return true;
}

BandFault CheckBand(std::string_view centreText, std::string_view bandwidthText) {
  if (!PassesDigitCheck(centreText)) return BandFault::kCentreNotNumber;
  const int32_t centre = ScanInt(centreText);
  if (centre < kMinCentreHz || centre > kMaxCentreHz) return BandFault::kCentreOutOfRange;
  if (!PassesDigitCheck(bandwidthText)) return BandFault::kBandwidthNotNumber;
  if (ScanInt(bandwidthText) >= centre) return BandFault::kBandwidthNotBelowCentre;
  return BandFault::kNone;
}

bool KeepsBandRules(const Band& band) {
  return band.centreHz >= kMinCentreHz && band.centreHz <= kMaxCentreHz && band.bandwidthHz >= 0 &&
         band.bandwidthHz < band.centreHz;
}

std::string_view BandFaultMessage(EqPath path, int band, BandFault fault) {
  if (fault == BandFault::kNone || band < 1 || band > kBandCount) return {};
  const auto& table = path == EqPath::kPlayback ? kPlaybackMessages : kRecordMessages;
  return table[static_cast<size_t>(band - 1)][static_cast<size_t>(fault) - 1];
}

}  // namespace veltra::eq
