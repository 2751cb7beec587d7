#include "image/header_options.h"

#include <initializer_list>
#include <utility>

#include "image/image_layout.h"

namespace veltra::image {

namespace {

bool Complete(std::span<const uint8_t> header) {
  return header.size() >= kHeaderLength;
}

bool Bit(uint8_t byte, int bit) {
  return ((byte >> bit) & 1) != 0;
}

uint8_t Bits(std::initializer_list<std::pair<bool, int>> bits) {
  unsigned byte = 0;
  for (const auto& [on, bit] : bits)
    byte |= (on ? 1u : 0u) << bit;
  return static_cast<uint8_t>(byte);
}

void Merge(std::span<uint8_t> header, size_t at, uint8_t mask, uint8_t value) {
  header[at] = static_cast<uint8_t>((header[at] & ~mask) | (value & mask));
}

uint16_t Word(std::span<const uint8_t> header, size_t at) {
  if (!Complete(header)) return 0;
  return static_cast<uint16_t>(header[at] | (header[at + 1] << 8));
}

void PutWord(std::span<uint8_t> header, size_t at, uint16_t value) {
  if (!Complete(header)) return;
  header[at] = static_cast<uint8_t>(value & 0xFF);
  header[at + 1] = static_cast<uint8_t>(value >> 8);
}

}  // namespace

uint16_t GetHeaderVid(std::span<const uint8_t> header) {
  return Word(header, header_byte::kVid);
}
uint16_t GetHeaderPid(std::span<const uint8_t> header) {
  return Word(header, header_byte::kPid);
}
void SetHeaderVid(std::span<uint8_t> header, uint16_t vid) {
  PutWord(header, header_byte::kVid, vid);
}
void SetHeaderPid(std::span<uint8_t> header, uint16_t pid) {
  PutWord(header, header_byte::kPid, pid);
}

UsbOptions GetUsbOptions(std::span<const uint8_t> header) {
  UsbOptions options;
  if (!Complete(header)) return options;
  const uint8_t b6 = header[header_byte::kOptions6];
  options.hidEnabled = !Bit(b6, 7);
  options.remoteWakeup = Bit(b6, 6);
  options.powered = Bit(b6, 5) ? 1 : 0;
  options.powerRange = header[header_byte::kOptions7] & 0x07;
  return options;
}

void SetUsbOptions(std::span<uint8_t> header, const UsbOptions& options) {
  if (!Complete(header)) return;
  Merge(header, header_byte::kOptions6, header_mask::kUsb6,
        Bits({{!options.hidEnabled, 7}, {options.remoteWakeup, 6}, {options.powered != 0, 5}}));
  Merge(header, header_byte::kOptions7, header_mask::kUsb7,
        static_cast<uint8_t>(options.powerRange & 0x07));
}

AudioOptions GetAudioOptions(std::span<const uint8_t> header) {
  AudioOptions o;
  if (!Complete(header)) return o;
  const uint8_t b6 = header[header_byte::kOptions6];
  const uint8_t b7 = header[header_byte::kOptions7];
  const uint8_t b8 = header[header_byte::kOptions8];
  const uint8_t b10 = header[header_byte::kOptions10];
  o.headphone = Bit(b6, 4);
  o.lineIn = Bit(b6, 3);
  o.spdifOutEnabled = !Bit(b6, 1);
  o.spdifIn = Bit(b6, 0);
  o.aaPath = Bit(b7, 7);
  o.stereoMixerInput = Bit(b7, 6);
  o.digitalMic = Bit(b7, 5);
  o.recordAsynchronous = Bit(b7, 4);
  o.playbackAsynchronous = Bit(b7, 3);
  o.agc = Bit(b8, 2);
  o.playbackI2s = Bit(b10, 7);
  o.playbackDsp = Bit(b10, 6);
  o.playbackI2sSlave = Bit(b10, 5);
  o.playbackMclk = Bit(b10, 4);
  o.recordI2s = Bit(b10, 3);
  o.recordDsp = Bit(b10, 2);
  o.recordI2sSlave = Bit(b10, 1);
  o.recordMclk = Bit(b10, 0);
  return o;
}

void SetAudioOptions(std::span<uint8_t> header, const AudioOptions& o) {
  if (!Complete(header)) return;
  Merge(header, header_byte::kOptions6, header_mask::kAudio6,
        Bits({{o.headphone, 4}, {o.lineIn, 3}, {!o.spdifOutEnabled, 1}, {o.spdifIn, 0}}));
  Merge(header, header_byte::kOptions7, header_mask::kAudio7,
        Bits({{o.aaPath, 7},
              {o.stereoMixerInput, 6},
              {o.digitalMic, 5},
              {o.recordAsynchronous, 4},
              {o.playbackAsynchronous, 3}}));
  Merge(header, header_byte::kOptions8, header_mask::kAudio8, Bits({{o.agc, 2}}));
  header[header_byte::kOptions10] = Bits({{o.playbackI2s, 7},
                                          {o.playbackDsp, 6},
                                          {o.playbackI2sSlave, 5},
                                          {o.playbackMclk, 4},
                                          {o.recordI2s, 3},
                                          {o.recordDsp, 2},
                                          {o.recordI2sSlave, 1},
                                          {o.recordMclk, 0}});
}

PlaybackEqOptions GetPlaybackEqOptions(std::span<const uint8_t> header) {
  PlaybackEqOptions options;
  if (!Complete(header)) return options;
  options.eqDisabled = Bit(header[header_byte::kOptions8], 0);
  options.toneMode = Bit(header[header_byte::kOptions8], 1);
  options.toneMaximumCode = header[header_byte::kToneMaximum];
  return options;
}

void SetPlaybackEqOptions(std::span<uint8_t> header, const PlaybackEqOptions& options) {
  if (!Complete(header)) return;
  Merge(header, header_byte::kOptions8, header_mask::kPlaybackEq8,
        Bits({{options.eqDisabled, 0}, {options.toneMode, 1}}));
  header[header_byte::kToneMaximum] = options.toneMaximumCode;
}

bool GetRecordEqEnabled(std::span<const uint8_t> header) {
  return Complete(header) && Bit(header[header_byte::kOptions8], 6);
}

void SetRecordEqEnabled(std::span<uint8_t> header, bool enabled) {
  if (!Complete(header)) return;
  Merge(header, header_byte::kOptions8, header_mask::kRecordEq8, Bits({{enabled, 6}}));
}

McuOptions GetMcuOptions(std::span<const uint8_t> header) {
  McuOptions options;
  if (!Complete(header)) return options;
  const uint8_t b8 = header[header_byte::kOptions8];
  options.jumpToSram = GetJumpToSramBits(header) == 3;
  options.lyncHeadset = Bit(b8, 7);
  return options;
}

uint8_t GetJumpToSramBits(std::span<const uint8_t> header) {
  if (!Complete(header)) return 0;
  return static_cast<uint8_t>((header[header_byte::kOptions8] >> 4) & 3);
}

void SetJumpToSramBits(std::span<uint8_t> header, uint8_t bits) {
  if (!Complete(header)) return;
  Merge(header, header_byte::kOptions8, 0x30, static_cast<uint8_t>((bits & 3) << 4));
}

UnownedBits GetUnownedBits(std::span<const uint8_t> header) {
  if (!Complete(header)) return {};
  return {Bit(header[header_byte::kOptions6], 2),
          (header[header_byte::kOptions8] & header_mask::kUnowned8) != 0};
}

void SetUnownedBits(std::span<uint8_t> header, const UnownedBits& bits) {
  if (!Complete(header)) return;
  Merge(header, header_byte::kOptions6, 0x04, bits.byte6Bit2 ? 0x04 : 0);
  Merge(header, header_byte::kOptions8, header_mask::kUnowned8,
        bits.byte8Bit3 ? header_mask::kUnowned8 : 0);
}

void SetMcuOptions(std::span<uint8_t> header, const McuOptions& options) {
  if (!Complete(header)) return;
  Merge(header, header_byte::kOptions8, 0x80, options.lyncHeadset ? 0x80 : 0);
  SetJumpToSramBits(header, options.jumpToSram ? 3 : 0);
}

}  // namespace veltra::image
