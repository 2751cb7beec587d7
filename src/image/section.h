#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "image/directory_entry.h"
#include "image/section_kinds.h"

namespace veltra::image {

// One section of the image model. Pages find it with EepromConfig::FindSection and edit the
// present bit, the length and the data in place.
struct Section {
  explicit Section(const SectionKind& kind);

  EntryBytes entry{};
  int index = 0;  // row of the section table
  BufferPolicy policy = BufferPolicy::kOnDemand;
  // Non-zero for the sections with a directory entry, 0 for the Header section.
  uint8_t positionHint = 0;
  // Empty means no buffer. A page that sets the length of an on-demand section gives it a buffer
  // of that length (data.assign(length, 0)).
  std::vector<uint8_t> data;

  const SectionKind& Kind() const { return kSectionKinds.at(static_cast<size_t>(index)); }
  EntryEncoding Encoding() const { return Kind().encoding; }
  uint8_t Type() const { return EntryType(entry); }
  bool IsPresent() const { return image::IsPresent(entry); }
  void SetPresent(bool present) { image::SetPresent(entry, present); }
  // The 12-bit length (14-bit for the MCU section) of the entry.
  uint32_t Length() const { return EntryLength(Encoding(), entry); }
  void SetLength(uint32_t length) { SetEntryLength(Encoding(), entry, length); }
  bool HasData() const { return !data.empty(); }
  // The section's bytes as its length names them, never beyond the buffer.
  std::span<uint8_t> Bytes();
  std::span<const uint8_t> Bytes() const;
};

}  // namespace veltra::image
