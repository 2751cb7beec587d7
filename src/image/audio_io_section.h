#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace veltra::image {

inline constexpr size_t kAudioIoSectionLength = 37;
inline constexpr size_t kVolumeRecordCount = 6;
inline constexpr size_t kVolumeRecordLength = 6;

// Record order inside the section; also the bit of each record's initial mute.
namespace volume_record {
inline constexpr int kPlayback = 0;
inline constexpr int kLineInRecording = 1;
inline constexpr int kMicInRecording = 2;
inline constexpr int kStereoMixerIn = 3;
inline constexpr int kLineInAa = 4;
inline constexpr int kMicInAa = 5;
}  // namespace volume_record

// Volumes in dB x 256, signed 16-bit little-endian.
struct VolumeRecord {
  int16_t maximum = 0;
  int16_t minimum = 0;
  int16_t initial = 0;
};

struct AudioIoSection {
  std::array<VolumeRecord, kVolumeRecordCount> records{};
  int recordCount = 0;   // records present in the stored section
  uint8_t muteBits = 0;  // bit i: record i starts muted
};

// Reads a stored section of 6k + 1 bytes (k = 1..6): k records and the mute byte last. Any
// other length has no defined layout and gives nullopt; nothing outside the span is read.
std::optional<AudioIoSection> DecodeAudioIoSection(std::span<const uint8_t> section);

// Writes the full 37-byte layout (all six records, bits 7-6 of the mute byte 0) into the first 37
// bytes of the span; false and nothing written when it is shorter.
bool EncodeAudioIoSection(const AudioIoSection& section, std::span<uint8_t> out);

// Whole dB from a stored word, rounded toward zero.
int VolumeDb(int16_t word);
// The stored word of a whole-dB value, held within the 16-bit range (-128..127 dB).
int16_t VolumeWord(int db);

}  // namespace veltra::image
