#include "image/audio_io_section.h"

#include <algorithm>

namespace veltra::image {

namespace {

int16_t ReadWord(std::span<const uint8_t> bytes, size_t at) {
  return static_cast<int16_t>(static_cast<uint16_t>(bytes[at] | (bytes[at + 1] << 8)));
}

void PutWord(std::span<uint8_t> bytes, size_t at, int16_t value) {
  const auto raw = static_cast<uint16_t>(value);
  bytes[at] = static_cast<uint8_t>(raw & 0xFF);
  bytes[at + 1] = static_cast<uint8_t>(raw >> 8);
}

}  // namespace

std::optional<AudioIoSection> DecodeAudioIoSection(std::span<const uint8_t> section) {
  if (section.size() < kVolumeRecordLength + 1 || section.size() > kAudioIoSectionLength ||
      (section.size() - 1) % kVolumeRecordLength != 0) {
    return std::nullopt;
  }
  AudioIoSection decoded;
  decoded.recordCount = static_cast<int>((section.size() - 1) / kVolumeRecordLength);
  for (int i = 0; i < decoded.recordCount; ++i) {
    const size_t at = kVolumeRecordLength * static_cast<size_t>(i);
    decoded.records[static_cast<size_t>(i)] = {ReadWord(section, at), ReadWord(section, at + 2),
                                               ReadWord(section, at + 4)};
  }
  decoded.muteBits = section.back();
  return decoded;
}

bool EncodeAudioIoSection(const AudioIoSection& section, std::span<uint8_t> out) {
  if (out.size() < kAudioIoSectionLength) return false;
  std::fill_n(out.begin(), kAudioIoSectionLength, uint8_t{0});
  for (size_t i = 0; i < kVolumeRecordCount; ++i) {
    const size_t at = kVolumeRecordLength * i;
    PutWord(out, at, section.records[i].maximum);
    PutWord(out, at + 2, section.records[i].minimum);
    PutWord(out, at + 4, section.records[i].initial);
  }
  out[kAudioIoSectionLength - 1] = static_cast<uint8_t>(section.muteBits & 0x3F);
  return true;
}

int VolumeDb(int16_t word) {
  return word / 256;
}

int16_t VolumeWord(int db) {
  return static_cast<int16_t>(std::clamp(db, -128, 127) * 256);
}

}  // namespace veltra::image
