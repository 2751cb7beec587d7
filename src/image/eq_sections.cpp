#include "image/eq_sections.h"

#include <algorithm>

namespace veltra::image {

namespace {

constexpr size_t kPlaybackBandsOffset = kPlaybackPresetCount * kGainColumns;
constexpr size_t kRecordBandsOffset = kGainColumns;
constexpr size_t kBandTableOffset = 2;

int32_t ReadBigEndian32(std::span<const uint8_t> bytes, size_t at) {
  const uint32_t raw = (uint32_t{bytes[at]} << 24) | (uint32_t{bytes[at + 1]} << 16) |
                       (uint32_t{bytes[at + 2]} << 8) | bytes[at + 3];
  return static_cast<int32_t>(raw);
}

void PutBigEndian32(std::span<uint8_t> bytes, size_t at, int32_t value) {
  const auto raw = static_cast<uint32_t>(value);
  bytes[at] = static_cast<uint8_t>(raw >> 24);
  bytes[at + 1] = static_cast<uint8_t>(raw >> 16);
  bytes[at + 2] = static_cast<uint8_t>(raw >> 8);
  bytes[at + 3] = static_cast<uint8_t>(raw);
}

BandRecords ReadBands(std::span<const uint8_t> bytes, size_t at) {
  BandRecords bands;
  for (auto& band : bands) {
    band = {ReadBigEndian32(bytes, at), ReadBigEndian32(bytes, at + 4),
            ReadBigEndian32(bytes, at + 8)};
    at += kBandRecordLength;
  }
  return bands;
}

void PutBands(std::span<uint8_t> bytes, size_t at, const BandRecords& bands) {
  for (const auto& band : bands) {
    PutBigEndian32(bytes, at, band.a21);
    PutBigEndian32(bytes, at + 4, band.a31);
    PutBigEndian32(bytes, at + 8, band.s);
    at += kBandRecordLength;
  }
}

GainRow ReadGains(std::span<const uint8_t> bytes, size_t at) {
  GainRow row;
  std::copy_n(bytes.begin() + at, kGainColumns, row.begin());
  return row;
}

uint16_t ReadLittleEndian16(std::span<const uint8_t> bytes, size_t at) {
  return static_cast<uint16_t>(bytes[at] | (bytes[at + 1] << 8));
}

}  // namespace

std::optional<PlaybackEqSection> DecodePlaybackEqSection(std::span<const uint8_t> section) {
  if (section.size() < kPlaybackEqSectionLength) return std::nullopt;
  PlaybackEqSection decoded;
  for (size_t preset = 0; preset < kPlaybackPresetCount; ++preset) {
    decoded.presets[preset] = ReadGains(section, preset * kGainColumns);
  }
  decoded.bands = ReadBands(section, kPlaybackBandsOffset);
  return decoded;
}

bool EncodePlaybackEqSection(const PlaybackEqSection& section, std::span<uint8_t> out) {
  if (out.size() < kPlaybackEqSectionLength) return false;
  for (size_t preset = 0; preset < kPlaybackPresetCount; ++preset) {
    std::copy(section.presets[preset].begin(), section.presets[preset].end(),
              out.begin() + preset * kGainColumns);
  }
  PutBands(out, kPlaybackBandsOffset, section.bands);
  return true;
}

std::optional<RecordEqSection> DecodeRecordEqSection(std::span<const uint8_t> section) {
  if (section.size() < kRecordEqSectionLength) return std::nullopt;
  return RecordEqSection{ReadGains(section, 0), ReadBands(section, kRecordBandsOffset)};
}

bool EncodeRecordEqSection(const RecordEqSection& section, std::span<uint8_t> out) {
  if (out.size() < kRecordEqSectionLength) return false;
  std::copy(section.gains.begin(), section.gains.end(), out.begin());
  PutBands(out, kRecordBandsOffset, section.bands);
  return true;
}

BandTable DecodeBandTable(const TailRecord& record) {
  BandTable table;
  size_t at = kBandTableOffset;
  for (auto& band : table) {
    band.centreFrequency = ReadLittleEndian16(record, at);
    band.bandwidth = ReadLittleEndian16(record, at + 2);
    at += 4;
  }
  return table;
}

void EncodeBandTable(const BandTable& table, TailRecord& record) {
  size_t at = kBandTableOffset;
  for (const auto& band : table) {
    record[at] = static_cast<uint8_t>(band.centreFrequency & 0xFF);
    record[at + 1] = static_cast<uint8_t>(band.centreFrequency >> 8);
    record[at + 2] = static_cast<uint8_t>(band.bandwidth & 0xFF);
    record[at + 3] = static_cast<uint8_t>(band.bandwidth >> 8);
    at += 4;
  }
}

}  // namespace veltra::image
