#include "image/eq_image.h"

#include "eq/band_check.h"
#include "eq/band_coefficients.h"
#include "eq/gain_code.h"
#include "image/eq_sections.h"

namespace veltra::eq {

namespace {

image::BandRecord RecordOf(const BandWords& words) {
  return {static_cast<int32_t>(words.A21), static_cast<int32_t>(words.A31),
          static_cast<int32_t>(words.S)};
}

BandWords WordsOf(const image::BandRecord& record) {
  return {static_cast<uint32_t>(record.a21), static_cast<uint32_t>(record.a31),
          static_cast<uint32_t>(record.s)};
}

std::array<BandWords, kBandCount> WordsFor(const std::array<Band, kBandCount>& bands,
                                           const std::optional<image::BandRecords>& held,
                                           const image::TailRecord& tailRecord) {
  const std::array<Band, kBandCount> loaded = BandsOf(tailRecord);
  std::array<BandWords, kBandCount> words{};
  for (size_t k = 0; k < bands.size(); ++k)
    words[k] = WordsToStore(bands[k], loaded[k],
                            held ? std::optional<BandWords>(WordsOf((*held)[k])) : std::nullopt);
  return words;
}

// The section's band words for these bands; the record's table becomes the bands' low 16 bits.
image::BandRecords StoreBands(const std::array<Band, kBandCount>& bands,
                              const image::BandRecords& held, image::TailRecord& tailRecord) {
  const std::array<BandWords, kBandCount> words = WordsFor(bands, held, tailRecord);
  image::BandRecords records{};
  image::BandTable table{};
  for (size_t k = 0; k < bands.size(); ++k) {
    table[k] = {static_cast<uint16_t>(bands[k].centreHz),
                static_cast<uint16_t>(bands[k].bandwidthHz)};
    records[k] = RecordOf(words[k]);
  }
  image::EncodeBandTable(table, tailRecord);
  return records;
}

// The band words the model's section holds, when the page would store into it.
template <typename Decode>
std::optional<image::BandRecords> HeldWords(const image::EepromConfig& model, uint8_t type,
                                            Decode decode) {
  const image::Section* section = model.FindSection(type);
  if (section == nullptr || !section->HasData()) return std::nullopt;
  if (auto stored = decode(section->data)) return stored->bands;
  return std::nullopt;
}

// A page writes the section's whole layout, so the entry names all of it.
void CoverLayout(image::Section& section, size_t layoutLength) {
  if (section.Length() < layoutLength) section.SetLength(static_cast<uint32_t>(layoutLength));
}

std::optional<image::TailRecord> TailRecordOf(const image::EepromConfig& model, int index) {
  image::TailRecord record{};
  if (model.GetTailRecord(record.data(), static_cast<uint32_t>(record.size()), index) == 0)
    return std::nullopt;
  return record;
}

}  // namespace

BandWords WordsToStore(const Band& band, const Band& loaded, const std::optional<BandWords>& held) {
  if (held && band == loaded && !KeepsBandRules(band)) return *held;
  return DesignBandWords(band);
}

std::array<BandWords, kBandCount> PlaybackWordsToStore(const image::EepromConfig& model,
                                                       const std::array<Band, kBandCount>& bands,
                                                       const image::TailRecord& tailRecord) {
  return WordsFor(
      bands,
      HeldWords(model, image::section_type::kPlaybackEq,
                [](std::span<const uint8_t> data) { return image::DecodePlaybackEqSection(data); }),
      tailRecord);
}

std::array<BandWords, kBandCount> RecordWordsToStore(const image::EepromConfig& model,
                                                     const std::array<Band, kBandCount>& bands,
                                                     const image::TailRecord& tailRecord) {
  return WordsFor(
      bands,
      HeldWords(model, image::section_type::kRecordEq,
                [](std::span<const uint8_t> data) { return image::DecodeRecordEqSection(data); }),
      tailRecord);
}

std::array<BandWords, kBandCount> BandWordsToStore(const image::EepromConfig& model,
                                                   uint8_t sectionType,
                                                   const std::array<Band, kBandCount>& bands,
                                                   const image::TailRecord& tailRecord) {
  return sectionType == image::section_type::kRecordEq
             ? RecordWordsToStore(model, bands, tailRecord)
             : PlaybackWordsToStore(model, bands, tailRecord);
}

image::TailRecord DefaultEqTailRecord() {
  image::TailRecord record{};
  image::BandTable table{};
  const std::array<Band, kBandCount> bands = DefaultBands();
  for (size_t k = 0; k < table.size(); ++k)
    table[k] = {static_cast<uint16_t>(bands[k].centreHz),
                static_cast<uint16_t>(bands[k].bandwidthHz)};
  image::EncodeBandTable(table, record);
  return record;
}

std::array<Band, kBandCount> BandsOf(const image::TailRecord& record) {
  const image::BandTable table = image::DecodeBandTable(record);
  std::array<Band, kBandCount> bands{};
  for (size_t k = 0; k < bands.size(); ++k)
    bands[k] = {table[k].centreFrequency, table[k].bandwidth};
  return bands;
}

PlaybackEqImage ReadPlaybackEq(const image::EepromConfig& model) {
  PlaybackEqImage read;
  if (model.IsEmpty()) return read;
  const image::Section* section = model.FindSection(image::section_type::kPlaybackEq);
  if (section != nullptr && section->HasData() && section->IsPresent()) {
    if (auto decoded = image::DecodePlaybackEqSection(section->data)) {
      read.gains = decoded->presets;
      read.tailRecord = TailRecordOf(model, section->index);
    }
  }
  const image::Section* header = model.FindSection(image::section_type::kHeader);
  if (header != nullptr && header->HasData())
    read.options = image::GetPlaybackEqOptions(header->data);
  return read;
}

RecordEqImage ReadRecordEq(const image::EepromConfig& model) {
  RecordEqImage read;
  if (model.IsEmpty()) return read;
  const image::Section* header = model.FindSection(image::section_type::kHeader);
  if (header != nullptr && header->HasData())
    read.enabled = image::GetRecordEqEnabled(header->data);
  const image::Section* section = model.FindSection(image::section_type::kRecordEq);
  if (section != nullptr && section->HasData() && section->IsPresent()) {
    if (auto decoded = image::DecodeRecordEqSection(section->data)) {
      read.gains = decoded->gains;
      read.tailRecord = TailRecordOf(model, section->index);
    }
  }
  return read;
}

void StorePlaybackEq(image::EepromConfig& model, const PlaybackEqValues& values,
                     image::TailRecord& tailRecord) {
  image::Section* section = model.FindSection(image::section_type::kPlaybackEq);
  image::Section* header = model.FindSection(image::section_type::kHeader);

  if (!values.toneMode && values.eqDisabled) {
    if (section != nullptr) section->SetPresent(false);
  } else if (section != nullptr && section->HasData()) {
    if (auto stored = image::DecodePlaybackEqSection(section->data)) {
      section->SetPresent(true);
      stored->bands = StoreBands(values.bands, stored->bands, tailRecord);
      for (size_t p = 0; p < stored->presets.size(); ++p)
        stored->presets[p] = values.gains[p];
      image::EncodePlaybackEqSection(*stored, section->data);
      CoverLayout(*section, image::kPlaybackEqSectionLength);
      model.SetTailRecord(tailRecord.data(), static_cast<uint32_t>(tailRecord.size()),
                          section->index);
    }
  }

  if (header == nullptr) return;
  header->SetPresent(true);
  if (!header->HasData()) return;
  image::PlaybackEqOptions options;
  options.eqDisabled = values.eqDisabled;
  options.toneMode = values.toneMode;
  if (values.toneMode) {
    if (section != nullptr) section->SetPresent(true);
    options.toneMaximumCode = TrebleBassMaximumCode(values.toneMaximumDb);
  } else {
    options.toneMaximumCode = kToneOffMaximumCode;
  }
  image::SetPlaybackEqOptions(header->data, options);
}

void StoreRecordEq(image::EepromConfig& model, const RecordEqValues& values,
                   image::TailRecord& tailRecord) {
  image::Section* header = model.FindSection(image::section_type::kHeader);
  image::Section* section = model.FindSection(image::section_type::kRecordEq);
  if (header != nullptr && header->HasData())
    image::SetRecordEqEnabled(header->data, !values.eqDisabled);

  if (values.eqDisabled) {
    if (section != nullptr) section->SetPresent(false);
    return;
  }
  if (section == nullptr || !section->HasData()) return;
  auto stored = image::DecodeRecordEqSection(section->data);
  if (!stored) return;
  section->SetPresent(true);
  stored->bands = StoreBands(values.bands, stored->bands, tailRecord);
  stored->gains = values.gains;
  image::EncodeRecordEqSection(*stored, section->data);
  CoverLayout(*section, image::kRecordEqSectionLength);
  model.SetTailRecord(tailRecord.data(), static_cast<uint32_t>(tailRecord.size()), section->index);
}

}  // namespace veltra::eq
