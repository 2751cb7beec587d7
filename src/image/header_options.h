#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace veltra::image {

// Offsets inside the Header section (image bytes 0..10).
namespace header_byte {
inline constexpr size_t kVid = 2;  // 16-bit little-endian
inline constexpr size_t kPid = 4;  // 16-bit little-endian
inline constexpr size_t kOptions6 = 6;
inline constexpr size_t kOptions7 = 7;
inline constexpr size_t kOptions8 = 8;
inline constexpr size_t kToneMaximum = 9;
inline constexpr size_t kOptions10 = 10;
}  // namespace header_byte

// Which bits of bytes 6..10 each page owns. A page changes only its own bits; byte 8 bit 3 has
// no owner and is kept as read.
namespace header_mask {
inline constexpr uint8_t kUsb6 = 0xE0;
inline constexpr uint8_t kAudio6 = 0x1F;
inline constexpr uint8_t kUsb7 = 0x07;
inline constexpr uint8_t kAudio7 = 0xF8;
inline constexpr uint8_t kPlaybackEq8 = 0x03;
inline constexpr uint8_t kAudio8 = 0x04;
inline constexpr uint8_t kUnowned8 = 0x08;
inline constexpr uint8_t kMcu8 = 0xB0;
inline constexpr uint8_t kRecordEq8 = 0x40;
inline constexpr uint8_t kPlaybackEq9 = 0xFF;
inline constexpr uint8_t kAudio10 = 0xFF;
}  // namespace header_mask

// Every function below takes the Header section's bytes and does nothing (reads zeros) when the
// span is shorter than the 11 bytes of a Header section.

uint16_t GetHeaderVid(std::span<const uint8_t> header);
uint16_t GetHeaderPid(std::span<const uint8_t> header);
void SetHeaderVid(std::span<uint8_t> header, uint16_t vid);
void SetHeaderPid(std::span<uint8_t> header, uint16_t pid);

struct UsbOptions {
  bool hidEnabled = true;  // byte 6 bit 7 stores the opposite
  bool remoteWakeup = false;
  int powered = 0;     // 0 bus, 1 self
  int powerRange = 0;  // 0..7; items exist for 0..4 (100 mA .. 500 mA)

  friend bool operator==(const UsbOptions&, const UsbOptions&) = default;
};
UsbOptions GetUsbOptions(std::span<const uint8_t> header);
void SetUsbOptions(std::span<uint8_t> header, const UsbOptions& options);

struct AudioOptions {
  bool headphone = false;       // output terminal: 0 speaker, 1 headphone
  bool lineIn = false;          // input terminal: 0 mic-in, 1 line-in
  bool spdifOutEnabled = true;  // byte 6 bit 1 stores the opposite
  bool spdifIn = false;
  bool aaPath = false;
  bool stereoMixerInput = false;
  bool digitalMic = false;
  bool recordAsynchronous = false;
  bool playbackAsynchronous = false;
  bool agc = false;
  bool playbackI2s = false;
  bool playbackDsp = false;
  bool playbackI2sSlave = false;
  bool playbackMclk = false;
  bool recordI2s = false;
  bool recordDsp = false;
  bool recordI2sSlave = false;
  bool recordMclk = false;

  friend bool operator==(const AudioOptions&, const AudioOptions&) = default;
};
AudioOptions GetAudioOptions(std::span<const uint8_t> header);
// Byte 6 bit 2 is always written 0.
void SetAudioOptions(std::span<uint8_t> header, const AudioOptions& options);

struct PlaybackEqOptions {
  bool eqDisabled = false;
  bool toneMode = false;
  uint8_t toneMaximumCode = 0;  // byte 9: eq::TrebleBassMaximumCode, 0 with tone mode off
};
PlaybackEqOptions GetPlaybackEqOptions(std::span<const uint8_t> header);
void SetPlaybackEqOptions(std::span<uint8_t> header, const PlaybackEqOptions& options);

// Byte 8 bit 6 is 1 when the record EQ is enabled: the opposite sense of the playback bit.
bool GetRecordEqEnabled(std::span<const uint8_t> header);
void SetRecordEqEnabled(std::span<uint8_t> header, bool enabled);

struct McuOptions {
  bool jumpToSram = false;  // both bits 5-4 set
  bool lyncHeadset = false;
};
McuOptions GetMcuOptions(std::span<const uint8_t> header);
void SetMcuOptions(std::span<uint8_t> header, const McuOptions& options);

// Byte 8 bits 5-4 as stored: 3 on, 0 off, 1 and 2 half set (another tool's image).
uint8_t GetJumpToSramBits(std::span<const uint8_t> header);
void SetJumpToSramBits(std::span<uint8_t> header, uint8_t bits);

// The bits no page writes: byte 6 bit 2 (the Audio I/O page writes 0) and byte 8 bit 3.
struct UnownedBits {
  bool byte6Bit2 = false;
  bool byte8Bit3 = false;
};
UnownedBits GetUnownedBits(std::span<const uint8_t> header);
void SetUnownedBits(std::span<uint8_t> header, const UnownedBits& bits);

}  // namespace veltra::image
