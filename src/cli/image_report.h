#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "image/audio_io_section.h"
#include "image/eeprom_config.h"
#include "image/eq_sections.h"
#include "image/header_options.h"
#include "image/image_layout.h"
#include "image/mcu_info.h"
#include "image/section_kinds.h"

namespace veltra::cli {

// A configuration image decoded with the image codecs, for the text and JSON printers.

struct SectionSummary {
  const image::SectionKind* kind = nullptr;
  uint32_t offset = 0;
  uint32_t length = 0;
};

struct UsbStrings {
  // nullopt: no section of that kind.
  std::optional<std::string> manufacturer;
  std::optional<std::string> product;
  std::optional<std::string> serial;
};

inline constexpr std::array<std::string_view, image::kVolumeRecordCount> kVolumeRecordNames{
    "Playback",       "Line-In Recording", "Mic-In Recording",
    "StereoMixer-in", "Line-In AA",        "Mic-In AA"};

struct AudioIoSummary {
  uint32_t length = 0;
  std::optional<image::AudioIoSection> volumes;  // nullopt: the length has no volume layout
};

// Band tables come from the tail records; nullopt when the image holds none for the section.
struct PlaybackEqSummary {
  uint32_t length = 0;
  std::optional<image::PlaybackEqSection> section;  // nullopt: shorter than the layout
  std::optional<image::BandTable> bandTable;
};

struct RecordEqSummary {
  uint32_t length = 0;
  std::optional<image::RecordEqSection> section;
  std::optional<image::BandTable> bandTable;
};

struct McuSummary {
  uint32_t length = 0;
  std::optional<image::McuInfo> info;  // EEPROM byte order; nullopt below 13 bytes
};

struct TailRecordSummary {
  int number = 0;  // 1 or 2
  uint32_t offset = 0;
};

// What the chip said about itself; only a read from the device has it.
struct ChipSummary {
  int variant = 0;
  std::array<int, image::kCapabilityCount> capabilities{};
};

struct ImageReport {
  uint32_t transferLength = 0;
  bool hasMagic = false;
  std::optional<ChipSummary> chip;
  // The rest is filled in only with the magic.
  uint16_t vid = 0;
  uint16_t pid = 0;
  std::array<uint8_t, 5> optionBytes{};  // header bytes 6..10
  image::UsbOptions usb;
  image::AudioOptions audio;
  image::PlaybackEqOptions playbackEq;
  bool recordEqEnabled = false;
  image::McuOptions mcu;
  bool unownedBit = false;               // byte 8 bit 3
  std::vector<SectionSummary> sections;  // in table order
  UsbStrings strings;
  std::optional<AudioIoSummary> audioIo;
  std::optional<PlaybackEqSummary> playbackEqSection;
  std::optional<RecordEqSummary> recordEqSection;
  std::optional<McuSummary> mcuSection;
  std::vector<TailRecordSummary> tailRecords;
};

ImageReport BuildImageReport(const image::ImageContents& contents, uint32_t transferLength);

}  // namespace veltra::cli
