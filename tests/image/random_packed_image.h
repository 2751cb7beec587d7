#pragma once

// Random images as the tool's packer lays them out, with sections of every kind: some in the
// layouts the pages write (well-formed strings, volumes that fit their groups, EQ sections whose
// words match their bands or not), some arbitrary bytes of any length.

#include <algorithm>
#include <array>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "eq/band.h"
#include "eq/band_coefficients.h"
#include "eq/gain_code.h"
#include "image/audio_io_section.h"
#include "image/eq_sections.h"
#include "image/image_layout.h"
#include "image/string_descriptor.h"
#include "image/volume_group.h"

namespace veltra::image::testing {

class RandomPackedImage {
 public:
  explicit RandomPackedImage(uint32_t seed) : rng_(seed) {}

  // transferLength bytes from address 0, zero past the image.
  std::vector<uint8_t> Make(uint32_t transferLength) {
    const TailRecord tail1 = RandomTailRecord();
    const TailRecord tail2 = RandomTailRecord();
    tables_[0] = DecodeBandTable(tail1);
    tables_[1] = DecodeBandTable(tail2);
    std::vector<std::pair<int, std::vector<uint8_t>>> sections;
    for (int row = 0; row < static_cast<int>(kDirectorySlotCount); ++row) {
      if (Chance(0.6)) sections.emplace_back(row, SectionBytes(row, transferLength));
    }
    std::array<uint8_t, kHeaderLength> header{};
    for (uint8_t& byte : header)
      byte = Byte();
    for (;;) {
      std::vector<PackSection> input;
      bool playback = false, record = false;
      for (const auto& [row, bytes] : sections) {
        input.push_back({row, bytes});
        playback |= row == section_index::kPlaybackEq;
        record |= row == section_index::kRecordEq;
      }
      std::vector<uint8_t> image(transferLength);
      PackInput pack{input, header, playback ? &tail1 : nullptr, record ? &tail2 : nullptr};
      if (PackImage(pack, transferLength, image).fits) return image;
      // Too much for this EEPROM: drop a section and try again.
      sections.erase(sections.begin() + Below(sections.size()));
    }
  }

  std::mt19937& Engine() { return rng_; }

 private:
  bool Chance(double p) { return std::bernoulli_distribution(p)(rng_); }
  size_t Below(size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(rng_); }
  int Between(int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng_); }
  uint8_t Byte() { return static_cast<uint8_t>(Between(0, 255)); }

  std::vector<uint8_t> RandomBytes(size_t maxLength) {
    std::vector<uint8_t> bytes(static_cast<size_t>(Between(0, static_cast<int>(maxLength))));
    for (uint8_t& byte : bytes)
      byte = Byte();
    return bytes;
  }

  std::vector<uint8_t> SectionBytes(int row, uint32_t transferLength) {
    switch (row) {
      case section_index::kMcu:
        return RandomBytes(std::min<uint32_t>(transferLength / 4, 400));
      case section_index::kAudioIo:
        return Chance(0.7) ? Volumes() : RandomBytes(40);
      case 2:
      case 3:
      case 4:
        return Chance(0.7) ? EncodeStringDescriptor(std::u16string_view(Text())) : RandomBytes(20);
      case section_index::kPlaybackEq:
      case section_index::kRecordEq:
        return Chance(0.8) ? Eq(row == section_index::kPlaybackEq) : RandomBytes(90);
      default:
        return RandomBytes(24);
    }
  }

  std::u16string Text() {
    std::u16string text;
    const int length = Between(2, 40);
    for (int i = 0; i < length; ++i) {
      switch (Between(0, 9)) {
        case 0:
          text += static_cast<char16_t>(Between(0xA0, 0xD7FF));  // beyond ASCII, below surrogates
          break;
        case 1:
          text += u"\U0001F3B5";  // a pair
          break;
        default:
          text += static_cast<char16_t>(Between(0x20, 0x7E));
      }
    }
    return std::u16string(CutUtf16(text, kMaxStringDescriptorUnits));
  }

  std::vector<uint8_t> Volumes() {
    AudioIoSection section;
    section.recordCount = static_cast<int>(kVolumeRecordCount);
    for (size_t i = 0; i < kVolumeRecordCount; ++i) {
      const VolumeGroupKind& kind = kVolumeGroupKinds[i];
      const int minimum = Between(kind.lowest, kind.highest - 2);
      const int maximum = Between(minimum + 2, kind.highest);
      const int initial = Between(minimum + 1, maximum - 1);
      section.records[i] = {VolumeWord(maximum), VolumeWord(minimum), VolumeWord(initial)};
    }
    section.muteBits = static_cast<uint8_t>(Between(0, 0x3F));
    std::vector<uint8_t> bytes(kAudioIoSectionLength);
    EncodeAudioIoSection(section, bytes);
    return bytes;
  }

  GainRow Gains() {
    GainRow row{};
    for (uint8_t& code : row)
      code = static_cast<uint8_t>(Between(0, eq::kMaxGainCode));
    return row;
  }

  // Mostly the words of the bands the tail record carries, as the pages store them.
  BandRecords Words(const BandTable& table) {
    BandRecords words{};
    for (size_t k = 0; k < words.size(); ++k) {
      if (Chance(0.7)) {
        const eq::BandWords computed = eq::CalcBandCoefficients(
            eq::kEqSampleRate, table[k].centreFrequency, table[k].bandwidth);
        words[k] = {static_cast<int32_t>(computed.A21), static_cast<int32_t>(computed.A31),
                    static_cast<int32_t>(computed.S)};
      } else {
        words[k] = {static_cast<int32_t>(rng_()), static_cast<int32_t>(rng_()),
                    static_cast<int32_t>(rng_())};
      }
    }
    return words;
  }

  std::vector<uint8_t> Eq(bool playback) {
    std::vector<uint8_t> bytes(playback ? kPlaybackEqSectionLength : kRecordEqSectionLength);
    if (playback) {
      PlaybackEqSection section;
      for (GainRow& row : section.presets)
        row = Gains();
      section.bands = Words(tables_[0]);
      EncodePlaybackEqSection(section, bytes);
    } else {
      EncodeRecordEqSection({Gains(), Words(tables_[1])}, bytes);
    }
    return bytes;
  }

  TailRecord RandomTailRecord() {
    BandTable table{};
    for (BandTableEntry& entry : table) {
      if (Chance(0.8)) {
        const int centre = Between(20, 20000);
        entry = {static_cast<uint16_t>(centre), static_cast<uint16_t>(Between(0, centre - 1))};
      } else {
        entry = {static_cast<uint16_t>(Between(0, 65535)),
                 static_cast<uint16_t>(Between(0, 65535))};
      }
    }
    TailRecord record{};
    EncodeBandTable(table, record);
    return record;
  }

  std::mt19937 rng_;
  std::array<BandTable, 2> tables_{};
};

}  // namespace veltra::image::testing
