#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace veltra::image {

// How a section's directory entry stores its offset and length.
enum class EntryEncoding : uint8_t {
  kA,     // 15-bit offset, 12-bit length: every section but the MCU section
  kB,     // 13-bit offset, 14-bit length: the MCU section
  kNone,  // the Header section has no directory entry
};

// Fixed buffers live as long as the model and are zeroed by a reset; on-demand buffers are made
// when data arrive and released by a reset.
enum class BufferPolicy : uint32_t {
  kFixed = 0xFFF0,
  kOnDemand = 0xFFFF,
};

struct SectionKind {
  int index;  // row of the table, also the packing order
  uint8_t type;
  std::string_view name;
  uint16_t defaultLength;
  BufferPolicy policy;
  EntryEncoding encoding;
};

namespace section_type {
inline constexpr uint8_t kAudioIo = 0x0;
inline constexpr uint8_t kManufacturerString = 0x1;
inline constexpr uint8_t kProductString = 0x2;
inline constexpr uint8_t kSerialString = 0x3;
inline constexpr uint8_t kPassThrough4 = 0x4;
inline constexpr uint8_t kPassThrough5 = 0x5;
inline constexpr uint8_t kPassThrough6 = 0x6;
inline constexpr uint8_t kOcString = 0x7;
inline constexpr uint8_t kPassThrough8 = 0x8;
inline constexpr uint8_t kPlaybackEq = 0x9;
inline constexpr uint8_t kRecordEq = 0xA;
inline constexpr uint8_t kMcu = 0xB;
inline constexpr uint8_t kHeader = 0xC;
}  // namespace section_type

// Rows of the table; the tail-record operations take the EQ sections' rows.
namespace section_index {
inline constexpr int kMcu = 0;
inline constexpr int kAudioIo = 1;
inline constexpr int kPlaybackEq = 10;
inline constexpr int kRecordEq = 11;
inline constexpr int kHeader = 12;
}  // namespace section_index

inline constexpr size_t kSectionKindCount = 13;
// Every row but the Header's has a directory slot.
inline constexpr size_t kDirectorySlotCount = 12;

inline constexpr std::array<SectionKind, kSectionKindCount> kSectionKinds{{
    {0, section_type::kMcu, "MCU", 0, BufferPolicy::kOnDemand, EntryEncoding::kB},
    {1, section_type::kAudioIo, "Audio I/O", 37, BufferPolicy::kFixed, EntryEncoding::kA},
    {2, section_type::kManufacturerString, "Manufacturer string", 0, BufferPolicy::kOnDemand,
     EntryEncoding::kA},
    {3, section_type::kProductString, "Product string", 0, BufferPolicy::kOnDemand,
     EntryEncoding::kA},
    {4, section_type::kSerialString, "Serial string", 0, BufferPolicy::kOnDemand,
     EntryEncoding::kA},
    {5, section_type::kPassThrough4, "Pass-through 4", 0, BufferPolicy::kOnDemand,
     EntryEncoding::kA},
    {6, section_type::kPassThrough5, "Pass-through 5", 0, BufferPolicy::kOnDemand,
     EntryEncoding::kA},
    {7, section_type::kPassThrough6, "Pass-through 6", 0, BufferPolicy::kOnDemand,
     EntryEncoding::kA},
    {8, section_type::kOcString, "OC string", 0, BufferPolicy::kOnDemand, EntryEncoding::kA},
    {9, section_type::kPassThrough8, "Pass-through 8", 0, BufferPolicy::kOnDemand,
     EntryEncoding::kA},
    {10, section_type::kPlaybackEq, "Playback EQ", 84, BufferPolicy::kFixed, EntryEncoding::kA},
    {11, section_type::kRecordEq, "Record EQ", 66, BufferPolicy::kFixed, EntryEncoding::kA},
    {12, section_type::kHeader, "Header", 11, BufferPolicy::kFixed, EntryEncoding::kNone},
}};

// The kind with this type number, the Header section included; null for 0xD..0xF.
constexpr const SectionKind* FindSectionKind(unsigned type) {
  for (const auto& kind : kSectionKinds) {
    if (kind.type == type) return &kind;
  }
  return nullptr;
}

}  // namespace veltra::image
