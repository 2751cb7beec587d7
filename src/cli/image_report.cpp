#include "cli/image_report.h"

#include "image/string_descriptor.h"

namespace veltra::cli {

namespace {

// Null for a section the image does not hold, and for the Header, which has no directory slot.
const image::StoredSection* Stored(const image::ImageContents& contents, int index) {
  if (index < 0 || static_cast<size_t>(index) >= contents.sections.size()) return nullptr;
  const auto& section = contents.sections[static_cast<size_t>(index)];
  return section ? &*section : nullptr;
}

const image::StoredSection* StoredOfType(const image::ImageContents& contents, uint8_t type) {
  const image::SectionKind* kind = image::FindSectionKind(type);
  return kind != nullptr ? Stored(contents, kind->index) : nullptr;
}

std::optional<std::string> StringOf(const image::ImageContents& contents, uint8_t type) {
  const image::StoredSection* section = StoredOfType(contents, type);
  if (section == nullptr) return std::nullopt;
  return image::DecodeStringDescriptor(section->data);
}

std::optional<image::BandTable> BandTableOf(const std::optional<image::TailRecord>& record) {
  if (!record) return std::nullopt;
  return image::DecodeBandTable(*record);
}

}  // namespace

ImageReport BuildImageReport(const image::ImageContents& contents, uint32_t transferLength) {
  ImageReport report;
  report.transferLength = transferLength;
  report.hasMagic = contents.hasMagic;
  if (!contents.hasMagic) return report;

  const std::span<const uint8_t> header = contents.header;
  report.vid = image::GetHeaderVid(header);
  report.pid = image::GetHeaderPid(header);
  for (size_t i = 0; i < report.optionBytes.size(); ++i)
    report.optionBytes[i] = header[image::header_byte::kOptions6 + i];
  report.usb = image::GetUsbOptions(header);
  report.audio = image::GetAudioOptions(header);
  report.playbackEq = image::GetPlaybackEqOptions(header);
  report.recordEqEnabled = image::GetRecordEqEnabled(header);
  report.mcu = image::GetMcuOptions(header);
  report.unownedBit = (header[image::header_byte::kOptions8] & image::header_mask::kUnowned8) != 0;

  for (const image::SectionKind& kind : image::kSectionKinds) {
    if (const image::StoredSection* section = Stored(contents, kind.index)) {
      report.sections.push_back({&kind, section->place.offset, section->place.length});
    }
  }

  report.strings.manufacturer = StringOf(contents, image::section_type::kManufacturerString);
  report.strings.product = StringOf(contents, image::section_type::kProductString);
  report.strings.serial = StringOf(contents, image::section_type::kSerialString);

  if (const auto* section = StoredOfType(contents, image::section_type::kAudioIo)) {
    report.audioIo =
        AudioIoSummary{section->place.length, image::DecodeAudioIoSection(section->data)};
  }
  if (const auto* section = StoredOfType(contents, image::section_type::kPlaybackEq)) {
    report.playbackEqSection =
        PlaybackEqSummary{section->place.length, image::DecodePlaybackEqSection(section->data),
                          BandTableOf(contents.tailRecords.first)};
  }
  if (const auto* section = StoredOfType(contents, image::section_type::kRecordEq)) {
    report.recordEqSection =
        RecordEqSummary{section->place.length, image::DecodeRecordEqSection(section->data),
                        BandTableOf(contents.tailRecords.second)};
  }
  if (const auto* section = StoredOfType(contents, image::section_type::kMcu)) {
    report.mcuSection = McuSummary{section->place.length,
                                   image::ReadMcuInfo(section->data, image::McuWordOrder::kEeprom)};
  }

  // Where the reader found them: tail record 2 follows tail record 1 when that one is there.
  const uint32_t first = image::kDataStart + contents.total;
  if (contents.tailRecords.first) report.tailRecords.push_back({1, first});
  if (contents.tailRecords.second) {
    const uint32_t second = contents.tailRecords.first ? first + image::kTailRecordLength : first;
    report.tailRecords.push_back({2, second});
  }
  return report;
}

}  // namespace veltra::cli
