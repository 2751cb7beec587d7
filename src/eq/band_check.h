#pragma once

#include <string_view>

#include "eq/band.h"

namespace veltra::eq {

// The rules a typed band must keep: a centre frequency of 20 .. 20000 Hz and a bandwidth below
// it, both typed as plain digits.
inline constexpr int32_t kMinCentreHz = 20;
inline constexpr int32_t kMaxCentreHz = 20000;

enum class BandFault {
  kNone,
  kCentreNotNumber,          // the frequency text fails the digit check
  kCentreOutOfRange,         // below 20 Hz or above 20000 Hz
  kBandwidthNotNumber,       // the bandwidth text fails the digit check
  kBandwidthNotBelowCentre,  // bandwidth >= centre frequency
};

// Each of the first eight characters (all of them in a shorter text) is a decimal digit. The
// characters after the eighth are not examined; an empty text passes and reads as 0.
bool PassesDigitCheck(std::string_view text);

// The band check of both EQ pages, in its order: the frequency text first, then its range, then
// the bandwidth text, then the bandwidth against the frequency.
BandFault CheckBand(std::string_view centreText, std::string_view bandwidthText);

// Whether a band, however it was obtained, keeps the rules the check enforces on typed values.
bool KeepsBandRules(const Band& band);

// A failed check puts the band's default back into the frequency edit, and for the bandwidth
// faults into the bandwidth edit as well.
inline bool RestoresBandwidth(BandFault fault) {
  return fault == BandFault::kBandwidthNotNumber || fault == BandFault::kBandwidthNotBelowCentre;
}

// Which page asks: the two pages word band 5's messages differently.
enum class EqPath { kPlayback, kRecord };

// The message for a fault of band 1..5; empty for kNone or a band out of range.
std::string_view BandFaultMessage(EqPath path, int band, BandFault fault);

}  // namespace veltra::eq
