#include "image/eeprom_config.h"

#include <algorithm>
#include <new>

namespace veltra::image {

EepromConfig::EepromConfig(device::VendorTransport& transport, MessageSink* sink)
    : transport_(transport), sink_(sink) {
  image_.buffer.assign(kImageBufferSize, 0);
  known_.assign(kImageBufferSize, 0);
}

EepromConfig::~EepromConfig() = default;

int32_t EepromConfig::AppendSection(std::unique_ptr<Section> section) {
  if (!section) return kEInvalidArg;
  try {
    image_.sections.push_back(std::move(section));
  } catch (const std::bad_alloc&) {
    return kEOutOfMemory;
  }
  return kSOk;
}

Section* EepromConfig::FindSection(int type) {
  for (const auto& section : image_.sections) {
    if (section->Type() == type) return section.get();
  }
  return nullptr;
}

const Section* EepromConfig::FindSection(int type) const {
  return const_cast<EepromConfig*>(this)->FindSection(type);
}

int32_t EepromConfig::BuildSections() {
  for (const SectionKind& kind : kSectionKinds) {
    std::unique_ptr<Section> section;
    try {
      section = std::make_unique<Section>(kind);
    } catch (const std::bad_alloc&) {
      return kEOutOfMemory;  // the sections already appended stay
    }
    const int32_t appended = AppendSection(std::move(section));
    if (appended < 0) {
      ClearSections();
      return appended;
    }
  }
  return kSOk;
}

int32_t EepromConfig::ClearSections() {
  if (image_.sections.empty()) return kEOutOfMemory;
  DropSections();
  capability_.fill(0);
  variant_ = 0;
  return kSOk;
}

void EepromConfig::DropSections() {
  image_.sections.clear();
  image_.total = 0;
  image_.dataEnd = 0;
  std::fill(image_.buffer.begin(), image_.buffer.end(), uint8_t{0});
}

bool EepromConfig::ProbeChipVariant() {
  uint8_t value = 0;
  const bool answered = transport_.RegisterAccess(false, kCapabilityRegister, &value, 1) != 0;
  if (!answered) value = 0;
  capability_.fill(0);
  const int e = (value >> 2) & 1;
  variant_ = (value >> 4) & 3;
  switch (variant_) {
    case 3:
      capability_ = {1, 1, 1, e, e, e, e};
      break;
    case 2:
      capability_ = {0, 1, 0, 0, 0, 0, e};
      break;
    case 1:
      capability_ = {1, 0, 0, 0, 0, e, 0};
      break;
    default:
      capability_ = {1, 1, 0, e, 0, e, e};
      break;
  }
  return answered;
}

int EepromConfig::GetCapability(int index) const {
  if (index < 0 || index >= kCapabilityCount) return 0;
  return capability_[static_cast<size_t>(index)];
}

ChipTraits EepromConfig::Chip() const {
  ChipTraits chip;
  chip.variant = GetChipVariant();
  for (size_t i = 0; i < chip.capabilities.size(); ++i)
    chip.capabilities[i] = GetCapability(static_cast<int>(i)) != 0;
  return chip;
}

int32_t EepromConfig::ReadFromEeprom(uint32_t transferLength) {
  image_.writePosition = kDataStart;
  image_.eepromLength = transferLength;
  knownRanges_.clear();
  uint8_t* buffer = image_.buffer.data();
  if (!ReadIntoImage(0, kHeaderReadLength)) return kEFail;
  empty_ = !HasMagic(std::span<const uint8_t>(buffer, kHeaderReadLength));

  const int32_t built = BuildSections();
  if (built < 0) return built;
  if (empty_) {
    Show(kEepromEmptyText);
    return kSOk;
  }
  // A section or tail read that fails fails the whole read: a model holding partly read
  // sections would write them back over the real configuration on the next Save.
  const int32_t read = ReadSections(transferLength);
  if (read < 0) {
    DropSections();
    knownRanges_.clear();
  }
  return read;
}

bool EepromConfig::ReadIntoImage(uint32_t address, uint32_t length) {
  uint8_t* at = image_.buffer.data() + address;
  if (!transport_.EepromTransfer(false, address, at, length)) return false;
  std::copy_n(at, length, known_.begin() + address);
  knownRanges_.push_back({address, length});
  return true;
}

int32_t EepromConfig::ReadSections(uint32_t transferLength) {
  uint8_t* buffer = image_.buffer.data();
  const Directory directory = ReadDirectory(std::span<const uint8_t>(buffer, kHeaderReadLength));
  // The EEPROM holds one byte more than the transfer length.
  const uint64_t eepromEnd = uint64_t{transferLength} + 1;
  if (readAnnouncer_) {
    uint64_t bytes = 0;
    for (const DirectoryEntry& found : directory.entries)
      if (FindSection(found.kind->type) != nullptr &&
          found.place.offset + uint64_t{found.place.length} <= eepromEnd)
        bytes += found.place.length;
    bytes += (TailRecord1Fits(directory.total, transferLength) ? kTailRecordLength : 0) +
             (TailRecord2Fits(directory.total, transferLength) ? kTailRecordLength : 0);
    readAnnouncer_(bytes);
  }
  for (const DirectoryEntry& found : directory.entries) {
    Section* section = FindSection(found.kind->type);
    if (section == nullptr) continue;
    section->entry = found.entry;
    const uint32_t offset = found.place.offset;
    const uint32_t length = found.place.length;
    if (length == 0) continue;
    // Offsets and lengths are bounded by their fields, so the data always lie inside the
    // 64 KiB buffer. Data named beyond the EEPROM's end are not fetched (the bus address would
    // wrap onto other bytes); SetEepromSize then refuses the image.
    if (offset + uint64_t{length} <= eepromEnd) {
      if (!ReadIntoImage(offset, length)) return kEFail;
    }
    // On-demand buffers take the stored length. A stored length beyond a fixed buffer grows it
    // rather than being cut, so the section is written back whole; pages use its first bytes.
    if (section->policy == BufferPolicy::kOnDemand || section->data.size() < length) {
      section->data.assign(length, 0);
    } else {
      std::fill(section->data.begin(), section->data.end(), uint8_t{0});
    }
    if (offset + uint64_t{length} <= eepromEnd) {
      std::copy_n(buffer + offset, length, section->data.begin());
    }
  }
  image_.total = directory.total;
  image_.dataEnd = directory.dataEnd;

  if (Section* header = FindSection(section_type::kHeader)) {
    const size_t count = std::min<size_t>({header->Length(), header->data.size(), kHeaderLength});
    std::copy_n(buffer, count, header->data.begin());
  }

  const uint32_t first = kDataStart + image_.total;
  if (TailRecord1Fits(image_.total, transferLength) && !ReadIntoImage(first, kTailRecordLength))
    return kEFail;
  const uint32_t second = first + kTailRecordLength;
  if (TailRecord2Fits(image_.total, transferLength) && !ReadIntoImage(second, kTailRecordLength))
    return kEFail;
  return kSOk;
}

int32_t EepromConfig::Reload(uint32_t transferLength) {
  ClearSections();
  knownRanges_.clear();
  // Flags of a register read that failed describe another chip: the window would hide the
  // equaliser pages of a chip that has them and restrict the others as that chip's.
  if (!ProbeChipVariant()) {
    image_.writePosition = kDataStart;
    return kEFail;
  }
  return ReadFromEeprom(transferLength);
}

int32_t EepromConfig::SetEepromSize(uint32_t transferLength) {
  if (transferLength == 0 || uint64_t{transferLength} < uint64_t{image_.total} + 60 ||
      uint64_t{image_.dataEnd} > uint64_t{transferLength} + 1) {
    return kEFail;
  }
  eepromLength_ = transferLength;
  image_.eepromLength = transferLength;
  return kSOk;
}

int32_t EepromConfig::ExceedsEepromSize(uint64_t size) const {
  return eepromLength_ < size ? 1 : 0;
}

void EepromConfig::LoadTailRecords() {
  tailRecord1_.fill(0);
  tailRecord2_.fill(0);
  const TailRecords found = FindTailRecords(image_.buffer, image_.total, image_.eepromLength);
  if (found.first) tailRecord1_ = *found.first;
  if (found.second) tailRecord2_ = *found.second;
}

TailRecord* EepromConfig::TailRecordFor(int index) {
  if (index == section_index::kPlaybackEq) return &tailRecord1_;
  if (index == section_index::kRecordEq) return &tailRecord2_;
  return nullptr;
}

const TailRecord* EepromConfig::TailRecordFor(int index) const {
  return const_cast<EepromConfig*>(this)->TailRecordFor(index);
}

void EepromConfig::SetTailRecord(const uint8_t* data, uint32_t length, int index) {
  TailRecord* record = TailRecordFor(index);
  if (data == nullptr || record == nullptr || length > kTailRecordLength) return;
  // A marked record until Pack writes the final flag word; a whole record brings its own.
  (*record)[0] = 0x80;
  (*record)[1] = 0x00;
  std::copy_n(data, length, record->begin());
}

int EepromConfig::GetTailRecord(uint8_t* buffer, uint32_t length, int index) const {
  const TailRecord* record = TailRecordFor(index);
  if (buffer == nullptr || record == nullptr || ((*record)[0] & 0x80) == 0) return 0;
  if (length <= kTailRecordLength) std::copy_n(record->begin(), length, buffer);
  return 1;
}

int EepromConfig::Pack() {
  std::vector<PackSection> inputs;
  std::vector<Section*> packed;
  Section* header = nullptr;
  for (const auto& section : image_.sections) {
    if (section->positionHint == 0) {
      header = section.get();
      continue;
    }
    if (!section->IsPresent()) continue;
    // A present section whose buffer does not hold its whole length is left out: it is never
    // read past its buffer, nor written as zeros. (A read gives every section with a length a
    // buffer of that length, and pages set both together.)
    const uint32_t length = section->Length();
    if (length > section->data.size()) continue;
    inputs.push_back({section->index, std::span<const uint8_t>(section->data).first(length)});
    packed.push_back(section.get());
  }

  std::span<const uint8_t> headerBytes;
  if (header != nullptr && header->HasData()) {
    header->data[0] = kMagic0;
    if (header->data.size() > 1) header->data[1] = kMagic1;
    headerBytes = header->Bytes();
  }

  auto isPacked = [&](int type) {
    const Section* section = FindSection(type);
    return section != nullptr && std::find(packed.begin(), packed.end(), section) != packed.end();
  };
  const bool playbackEq = isPacked(section_type::kPlaybackEq);
  const bool recordEq = isPacked(section_type::kRecordEq);

  PackInput input;
  input.sections = inputs;
  input.header = headerBytes;
  input.tailRecord1 = playbackEq ? &tailRecord1_ : nullptr;
  input.tailRecord2 = recordEq ? &tailRecord2_ : nullptr;
  const PackResult result = PackImage(input, image_.eepromLength, image_.buffer);

  for (size_t i = 0; i < packed.size(); ++i)
    packed[i]->entry = result.entries[i];
  image_.total = result.total;
  image_.directoryLength = static_cast<uint32_t>(4 * result.entries.size());
  image_.writePosition = kDataStart;
  if (!result.fits) return 0;

  auto setFlag = [](TailRecord& record, uint16_t flag) {
    record[0] = static_cast<uint8_t>(flag & 0xFF);
    record[1] = static_cast<uint8_t>(flag >> 8);
  };
  if (!playbackEq) {
    setFlag(tailRecord1_, 0);
  } else if (result.tailRecord1Stored) {
    setFlag(tailRecord1_, kTailFlag1);
  }
  if (!recordEq) {
    setFlag(tailRecord2_, 0);
  } else if (result.tailRecord2Stored) {
    setFlag(tailRecord2_, kTailFlag2);
  }
  return 1;
}

int EepromConfig::WriteToEeprom() {
  // An image that does not fit leaves every section as it was: resetting them here would let
  // the next successful Save drop or zero sections that no page stores again.
  if (!Pack()) return kWriteNotFit;
  if (!transport_.EepromTransfer(true, 0, image_.buffer.data(), WriteLength())) {
    Show(kOperateEepromFailedText);
    return kWriteFailed;
  }
  return 0;
}

uint32_t EepromConfig::WriteLength() const {
  return writeExtent_ == WriteExtent::kUsedOnly ? UsedImageLength(image_.total, image_.eepromLength)
                                                : image_.eepromLength;
}

EepromCheck EepromConfig::CheckEepromUnchanged() {
  std::vector<uint8_t> now;
  for (const Range& range : knownRanges_) {
    now.assign(range.length, 0);
    if (!transport_.EepromTransfer(false, range.address, now.data(), range.length))
      return EepromCheck::kReadFailed;
    if (!std::equal(now.begin(), now.end(), known_.begin() + range.address))
      return EepromCheck::kChanged;
  }
  return EepromCheck::kUnchanged;
}

void EepromConfig::NoteEepromContents(std::span<const uint8_t> bytes, uint32_t checkLength) {
  knownRanges_.clear();
  const size_t length = std::min<size_t>({bytes.size(), kImageBufferSize, checkLength});
  std::copy_n(bytes.begin(), length, known_.begin());
  if (length > 0) knownRanges_.push_back({0, static_cast<uint32_t>(length)});
}

void EepromConfig::ForgetEepromContents() {
  knownRanges_.clear();
}

void EepromConfig::Show(std::string_view text) {
  if (sink_ != nullptr) sink_->ShowMessage(text);
}

}  // namespace veltra::image
