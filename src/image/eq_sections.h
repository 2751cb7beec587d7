#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "image/image_layout.h"

namespace veltra::image {

inline constexpr size_t kEqBandCount = 5;
inline constexpr size_t kGainColumns = 6;  // bands 1..5, then the compensation
inline constexpr size_t kPlaybackPresetCount = 4;
inline constexpr size_t kBandRecordLength = 12;
inline constexpr size_t kPlaybackEqSectionLength = 84;
inline constexpr size_t kRecordEqSectionLength = 66;

using GainRow = std::array<uint8_t, kGainColumns>;

// One band's three coefficient words (A21, A31, S), stored big-endian.
struct BandRecord {
  int32_t a21 = 0;
  int32_t a31 = 0;
  int32_t s = 0;

  friend bool operator==(const BandRecord&, const BandRecord&) = default;
};
using BandRecords = std::array<BandRecord, kEqBandCount>;

struct PlaybackEqSection {
  std::array<GainRow, kPlaybackPresetCount> presets{};  // "00", "01", "10", "11"
  BandRecords bands{};
};

struct RecordEqSection {
  GainRow gains{};
  BandRecords bands{};
};

// Decoding needs the whole layout; a shorter span gives nullopt. Encoding writes the first 84 or
// 66 bytes and returns false, writing nothing, when the span is shorter.
std::optional<PlaybackEqSection> DecodePlaybackEqSection(std::span<const uint8_t> section);
bool EncodePlaybackEqSection(const PlaybackEqSection& section, std::span<uint8_t> out);
std::optional<RecordEqSection> DecodeRecordEqSection(std::span<const uint8_t> section);
bool EncodeRecordEqSection(const RecordEqSection& section, std::span<uint8_t> out);

// The band table of a tail record: per band the centre frequency and bandwidth in hertz, 16-bit
// little-endian from byte 2 on. Bytes 0-1 (the flag word) are not part of it.
struct BandTableEntry {
  uint16_t centreFrequency = 0;
  uint16_t bandwidth = 0;

  friend bool operator==(const BandTableEntry&, const BandTableEntry&) = default;
};
using BandTable = std::array<BandTableEntry, kEqBandCount>;

BandTable DecodeBandTable(const TailRecord& record);
// Leaves the flag word as it is.
void EncodeBandTable(const BandTable& table, TailRecord& record);

}  // namespace veltra::image
