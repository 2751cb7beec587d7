#pragma once

#include <cstdint>

namespace veltra::eq {

inline constexpr int kBandCount = 5;
// One gain per band plus the compensation pre-gain, which comes last.
inline constexpr int kGainCount = kBandCount + 1;
inline constexpr int kCompensationIndex = kBandCount;
// The EQ pages and the live upload always design for this rate.
inline constexpr int32_t kEqSampleRate = 48000;

// One equaliser band in whole hertz, as typed on the EQ pages or read from a band table.
struct Band {
  int32_t centreHz = 0;
  int32_t bandwidthHz = 0;

  friend bool operator==(const Band&, const Band&) = default;
};

}  // namespace veltra::eq
