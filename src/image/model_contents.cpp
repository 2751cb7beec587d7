#include "image/model_contents.h"

#include <algorithm>

namespace veltra::image {

ImageContents ModelContents(const EepromConfig& model) {
  ImageContents contents;
  contents.hasMagic = !model.IsEmpty();
  if (!contents.hasMagic) return contents;

  for (const auto& section : model.Sections()) {
    if (section->Kind().encoding == EntryEncoding::kNone) {
      const auto bytes = std::span<const uint8_t>(section->data);
      std::copy_n(bytes.begin(), std::min(bytes.size(), contents.header.size()),
                  contents.header.begin());
      continue;
    }
    if (!section->IsPresent()) continue;
    StoredSection stored;
    stored.entry = section->entry;
    stored.place = DecodeEntry(section->Encoding(), section->entry);
    const auto bytes = section->Bytes();
    stored.data.assign(bytes.begin(), bytes.end());
    // Bytes() stops at the buffer; the report goes by the stored length.
    stored.data.resize(stored.place.length, 0);
    contents.sections.at(static_cast<size_t>(section->index)) = std::move(stored);
  }
  contents.total = model.Total();

  TailRecord record{};
  if (model.GetTailRecord(record.data(), kTailRecordLength, section_index::kPlaybackEq) != 0) {
    contents.tailRecords.first = record;
  }
  if (model.GetTailRecord(record.data(), kTailRecordLength, section_index::kRecordEq) != 0) {
    contents.tailRecords.second = record;
  }
  return contents;
}

}  // namespace veltra::image
