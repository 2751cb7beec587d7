#include "image/factory_image.h"

#include <array>

#include "eq/band.h"
#include "eq/band_coefficients.h"
#include "eq/factory_defaults.h"
#include "image/audio_io_section.h"
#include "image/eq_sections.h"
#include "image/header_options.h"
#include "image/image_layout.h"
#include "image/string_descriptor.h"

namespace veltra::image {

namespace {

struct VolumeDefault {
  int minimum;
  int maximum;
  int initial;
};

// In record order: Playback, Line-In Recording, Mic-In Recording, StereoMixer-in, Line-In AA,
// Mic-In AA.
constexpr std::array<VolumeDefault, kVolumeRecordCount> kVolumeDefaults{{
    {-62, 0, -10},
    {-26, 37, 0},
    {-14, 49, 20},
    {-14, 49, 20},
    {-29, 12, 0},
    {-14, 32, 0},
}};
// The two A-A groups start muted.
constexpr uint8_t kDefaultMuteBits = 0x30;

std::vector<uint8_t> AudioIoBytes() {
  AudioIoSection section;
  for (size_t i = 0; i < kVolumeDefaults.size(); ++i) {
    section.records[i] = {VolumeWord(kVolumeDefaults[i].maximum),
                          VolumeWord(kVolumeDefaults[i].minimum),
                          VolumeWord(kVolumeDefaults[i].initial)};
  }
  section.recordCount = static_cast<int>(kVolumeRecordCount);
  section.muteBits = kDefaultMuteBits;
  std::vector<uint8_t> bytes(kAudioIoSectionLength);
  EncodeAudioIoSection(section, bytes);
  return bytes;
}

BandRecords DefaultBandRecords() {
  BandRecords records{};
  const auto bands = eq::DefaultBands();
  for (size_t k = 0; k < records.size(); ++k) {
    const eq::BandWords words =
        eq::CalcBandCoefficients(eq::kEqSampleRate, bands[k].centreHz, bands[k].bandwidthHz);
    records[k] = {static_cast<int32_t>(words.A21), static_cast<int32_t>(words.A31),
                  static_cast<int32_t>(words.S)};
  }
  return records;
}

TailRecord DefaultTailRecord() {
  BandTable table{};
  const auto bands = eq::DefaultBands();
  for (size_t k = 0; k < table.size(); ++k)
    table[k] = {static_cast<uint16_t>(bands[k].centreHz),
                static_cast<uint16_t>(bands[k].bandwidthHz)};
  TailRecord record{};
  EncodeBandTable(table, record);
  return record;
}

std::vector<uint8_t> PlaybackEqBytes() {
  PlaybackEqSection section;
  for (size_t p = 0; p < section.presets.size(); ++p)
    section.presets[p] = eq::kDefaultPlaybackGains[p];
  section.bands = DefaultBandRecords();
  std::vector<uint8_t> bytes(kPlaybackEqSectionLength);
  EncodePlaybackEqSection(section, bytes);
  return bytes;
}

std::vector<uint8_t> RecordEqBytes() {
  RecordEqSection section;
  section.gains = eq::kDefaultRecordGains;
  section.bands = DefaultBandRecords();
  std::vector<uint8_t> bytes(kRecordEqSectionLength);
  EncodeRecordEqSection(section, bytes);
  return bytes;
}

std::array<uint8_t, kHeaderLength> HeaderBytes(uint16_t vid, uint16_t pid) {
  std::array<uint8_t, kHeaderLength> header{};
  SetHeaderVid(header, vid);
  SetHeaderPid(header, pid);
  UsbOptions usb;
  usb.powerRange = 4;  // 500 mA
  SetUsbOptions(header, usb);
  SetAudioOptions(header, AudioOptions{});
  SetPlaybackEqOptions(header, PlaybackEqOptions{});
  SetRecordEqEnabled(header, true);
  return header;
}

}  // namespace

std::optional<std::vector<uint8_t>> BuildFactoryImage(uint16_t vid, uint16_t pid, uint32_t size) {
  if (size < 2) return std::nullopt;
  const std::vector<uint8_t> audio = AudioIoBytes();
  const std::vector<uint8_t> manufacturer = EncodeStringDescriptor("Veltra Audio");
  const std::vector<uint8_t> product = EncodeStringDescriptor("Veltra USB Audio Codec");
  const std::vector<uint8_t> serial = EncodeStringDescriptor("VT7731-0001");
  const std::vector<uint8_t> playback = PlaybackEqBytes();
  const std::vector<uint8_t> record = RecordEqBytes();
  const TailRecord tail = DefaultTailRecord();
  const auto header = HeaderBytes(vid, pid);

  const std::vector<PackSection> full{{section_index::kAudioIo, audio},
                                      {2, manufacturer},
                                      {3, product},
                                      {4, serial},
                                      {section_index::kPlaybackEq, playback},
                                      {section_index::kRecordEq, record}};
  // A small EEPROM gets the image without the equalisers.
  const std::vector<PackSection> small(full.begin(), full.begin() + 4);

  const uint32_t transferLength = size - 1;
  for (const auto* sections : {&full, &small}) {
    std::vector<uint8_t> bytes(size, 0);
    PackInput input;
    input.sections = *sections;
    input.header = header;
    const bool withEq = sections == &full;
    input.tailRecord1 = withEq ? &tail : nullptr;
    input.tailRecord2 = withEq ? &tail : nullptr;
    const PackResult result =
        PackImage(input, transferLength, std::span(bytes).first(transferLength));
    if (!result.fits) continue;
    // Past the image the EEPROM is as erased.
    uint32_t end = kDataStart + result.total;
    if (result.tailRecord1Stored) end += kTailRecordLength;
    if (result.tailRecord2Stored) end += kTailRecordLength;
    std::fill(bytes.begin() + end, bytes.end(), uint8_t{0xFF});
    return bytes;
  }
  return std::nullopt;
}

}  // namespace veltra::image
