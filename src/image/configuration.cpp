#include "image/configuration.h"

#include <algorithm>
#include <utility>

#include "eq/band.h"
#include "eq/band_check.h"
#include "eq/band_coefficients.h"
#include "eq/gain_code.h"
#include "image/string_descriptor.h"
#include "image/volume_group.h"
#include "platform/text.h"

namespace veltra::image {

namespace {

constexpr uint8_t kMuteBitsUsed = 0x3F;
constexpr int kVolumeWordScale = 256;

const std::optional<StoredSection>& StoredAt(const ImageContents& contents, int index) {
  return contents.sections.at(static_cast<size_t>(index));
}

std::optional<RawSection> RawOf(const std::optional<StoredSection>& stored) {
  if (!stored) return std::nullopt;
  return RawSection{stored->data};
}

// A descriptor that re-encodes to its own bytes says exactly its text.
std::optional<StringSection> StringOf(const std::optional<StoredSection>& stored,
                                      size_t minimumUnits) {
  if (!stored) return std::nullopt;
  const std::u16string units = DecodeStringDescriptorUtf16(stored->data);
  if (units.size() >= std::max<size_t>(minimumUnits, 1) &&
      EncodeStringDescriptor(std::u16string_view(units)) == stored->data) {
    return StringSection{platform::ToUtf8(units)};
  }
  return StringSection{RawSection{stored->data}};
}

std::optional<VolumeSettingsList> VolumesOf(std::span<const uint8_t> bytes) {
  if (bytes.size() != kAudioIoSectionLength) return std::nullopt;
  const std::optional<AudioIoSection> decoded = DecodeAudioIoSection(bytes);
  if (!decoded || (decoded->muteBits & ~kMuteBitsUsed) != 0) return std::nullopt;
  VolumeSettingsList volumes;
  for (size_t i = 0; i < volumes.size(); ++i) {
    const VolumeRecord& record = decoded->records[i];
    for (const int16_t word : {record.maximum, record.minimum, record.initial}) {
      if (word % kVolumeWordScale != 0) return std::nullopt;
    }
    volumes[i] = {record.maximum / kVolumeWordScale, record.minimum / kVolumeWordScale,
                  record.initial / kVolumeWordScale, ((decoded->muteBits >> i) & 1) != 0};
    const VolumeSettings settings{volumes[i].maximumDb, volumes[i].minimumDb, volumes[i].initialDb};
    if (!VolumeSettingsFit(kVolumeGroupKinds[i], settings)) return std::nullopt;
  }
  return volumes;
}

std::optional<AudioIoContent> AudioIoOf(const std::optional<StoredSection>& stored) {
  if (!stored) return std::nullopt;
  if (std::optional<VolumeSettingsList> volumes = VolumesOf(stored->data)) return *volumes;
  return RawSection{stored->data};
}

bool GainsFit(const GainRow& row) {
  return std::all_of(row.begin(), row.end(), [](uint8_t code) { return code <= eq::kMaxGainCode; });
}

std::optional<EqSection> EqOf(const std::optional<StoredSection>& stored,
                              const std::optional<TailRecord>& tailRecord, bool playback) {
  if (!stored) return std::nullopt;
  EqSection eq;
  if (tailRecord) {
    const BandTable table = DecodeBandTable(*tailRecord);
    for (size_t k = 0; k < eq.bands.size(); ++k)
      eq.bands[k].table = table[k];
  }

  BandRecords words{};
  if (playback && stored->data.size() == kPlaybackEqSectionLength) {
    const std::optional<PlaybackEqSection> decoded = DecodePlaybackEqSection(stored->data);
    eq.gains.assign(decoded->presets.begin(), decoded->presets.end());
    words = decoded->bands;
  } else if (!playback && stored->data.size() == kRecordEqSectionLength) {
    const std::optional<RecordEqSection> decoded = DecodeRecordEqSection(stored->data);
    eq.gains = {decoded->gains};
    words = decoded->bands;
  }
  if (eq.gains.empty() || !std::all_of(eq.gains.begin(), eq.gains.end(), GainsFit)) {
    eq.gains.clear();
    eq.raw = RawSection{stored->data};
    return eq;
  }
  for (size_t k = 0; k < eq.bands.size(); ++k) {
    EqBand& band = eq.bands[k];
    const bool computed =
        band.table && eq::KeepsBandRules({band.table->centreFrequency, band.table->bandwidth}) &&
        BandWordsOf(*band.table) == words[k];
    if (!computed) band.words = words[k];
  }
  return eq;
}

std::vector<uint8_t> StringBytes(const StringSection& section) {
  if (const auto* raw = std::get_if<RawSection>(&section)) return raw->bytes;
  return EncodeStringDescriptor(std::get<std::string>(section));
}

AudioIoSection SectionOf(const VolumeSettingsList& volumes) {
  AudioIoSection section;
  section.recordCount = static_cast<int>(kVolumeRecordCount);
  for (size_t i = 0; i < volumes.size(); ++i) {
    section.records[i] = {VolumeWord(volumes[i].maximumDb), VolumeWord(volumes[i].minimumDb),
                          VolumeWord(volumes[i].initialDb)};
    if (volumes[i].initialMute) section.muteBits |= static_cast<uint8_t>(1u << i);
  }
  return section;
}

std::vector<uint8_t> AudioIoBytes(const AudioIoContent& content) {
  if (const auto* raw = std::get_if<RawSection>(&content)) return raw->bytes;
  std::vector<uint8_t> bytes(kAudioIoSectionLength);
  EncodeAudioIoSection(SectionOf(std::get<VolumeSettingsList>(content)), bytes);
  return bytes;
}

BandRecords WordsOf(const EqBands& bands) {
  BandRecords words{};
  for (size_t k = 0; k < bands.size(); ++k) {
    if (bands[k].words) {
      words[k] = *bands[k].words;
    } else {
      words[k] = BandWordsOf(bands[k].table.value_or(BandTableEntry{}));
    }
  }
  return words;
}

GainRow RowAt(const std::vector<GainRow>& rows, size_t index) {
  return index < rows.size() ? rows[index] : GainRow{};
}

std::vector<uint8_t> EqBytes(const EqSection& eq, bool playback) {
  if (eq.raw) return eq.raw->bytes;
  if (playback) {
    PlaybackEqSection section;
    for (size_t p = 0; p < section.presets.size(); ++p)
      section.presets[p] = RowAt(eq.gains, p);
    section.bands = WordsOf(eq.bands);
    std::vector<uint8_t> bytes(kPlaybackEqSectionLength);
    EncodePlaybackEqSection(section, bytes);
    return bytes;
  }
  const RecordEqSection section{RowAt(eq.gains, 0), WordsOf(eq.bands)};
  std::vector<uint8_t> bytes(kRecordEqSectionLength);
  EncodeRecordEqSection(section, bytes);
  return bytes;
}

TailRecord TailRecordOf(const EqBands& bands) {
  BandTable table{};
  for (size_t k = 0; k < bands.size(); ++k)
    table[k] = bands[k].table.value_or(BandTableEntry{});
  TailRecord record{};
  EncodeBandTable(table, record);
  return record;
}

}  // namespace

bool HoldsBandTable(const std::optional<EqSection>& eq) {
  return eq && std::any_of(eq->bands.begin(), eq->bands.end(),
                           [](const EqBand& band) { return band.table.has_value(); });
}

BandRecord BandWordsOf(const BandTableEntry& entry) {
  const eq::BandWords words =
      eq::CalcBandCoefficients(eq::kEqSampleRate, entry.centreFrequency, entry.bandwidth);
  return {static_cast<int32_t>(words.A21), static_cast<int32_t>(words.A31),
          static_cast<int32_t>(words.S)};
}

std::optional<AudioIoSection> StoredAudioIoOf(const AudioIoContent& content) {
  if (const auto* raw = std::get_if<RawSection>(&content)) return DecodeAudioIoSection(raw->bytes);
  return SectionOf(std::get<VolumeSettingsList>(content));
}

std::optional<StoredEq> StoredEqOf(const EqSection& eq, bool playback) {
  if (!eq.raw) return StoredEq{eq.gains, WordsOf(eq.bands)};
  if (playback) {
    const std::optional<PlaybackEqSection> decoded = DecodePlaybackEqSection(eq.raw->bytes);
    if (!decoded) return std::nullopt;
    return StoredEq{{decoded->presets.begin(), decoded->presets.end()}, decoded->bands};
  }
  const std::optional<RecordEqSection> decoded = DecodeRecordEqSection(eq.raw->bytes);
  if (!decoded) return std::nullopt;
  return StoredEq{{decoded->gains}, decoded->bands};
}

std::array<uint8_t, kHeaderLength> EncodeHeaderSettings(const HeaderSettings& header) {
  std::array<uint8_t, kHeaderLength> bytes{};
  bytes[0] = kMagic0;
  bytes[1] = kMagic1;
  SetHeaderVid(bytes, header.vid);
  SetHeaderPid(bytes, header.pid);
  SetUsbOptions(bytes, header.usb);
  SetAudioOptions(bytes, header.audio);
  SetPlaybackEqOptions(bytes, {header.playbackEqDisabled, header.toneMode, header.toneMaximumCode});
  SetRecordEqEnabled(bytes, header.recordEqEnabled);
  SetMcuOptions(bytes, {false, header.lyncHeadset});
  SetJumpToSramBits(bytes, header.jumpToSramBits);
  SetUnownedBits(bytes, {header.byte6Bit2, header.byte8Bit3});
  return bytes;
}

HeaderSettings DecodeHeaderSettings(std::span<const uint8_t, kHeaderLength> bytes) {
  HeaderSettings header;
  header.vid = GetHeaderVid(bytes);
  header.pid = GetHeaderPid(bytes);
  header.usb = GetUsbOptions(bytes);
  header.audio = GetAudioOptions(bytes);
  const PlaybackEqOptions playback = GetPlaybackEqOptions(bytes);
  header.playbackEqDisabled = playback.eqDisabled;
  header.toneMode = playback.toneMode;
  header.toneMaximumCode = playback.toneMaximumCode;
  header.recordEqEnabled = GetRecordEqEnabled(bytes);
  header.jumpToSramBits = GetJumpToSramBits(bytes);
  header.lyncHeadset = GetMcuOptions(bytes).lyncHeadset;
  const UnownedBits unowned = GetUnownedBits(bytes);
  header.byte8Bit3 = unowned.byte8Bit3;
  header.byte6Bit2 = unowned.byte6Bit2;
  return header;
}

std::optional<Configuration> DecodeConfiguration(const ImageContents& contents) {
  if (!contents.hasMagic) return std::nullopt;
  Configuration c;
  c.header = DecodeHeaderSettings(contents.header);
  c.mcuFirmware = RawOf(StoredAt(contents, section_index::kMcu));
  c.audioIo = AudioIoOf(StoredAt(contents, section_index::kAudioIo));
  c.manufacturer = StringOf(StoredAt(contents, 2), 1);
  // The USB Config page takes no product string of fewer than two characters.
  c.product = StringOf(StoredAt(contents, 3), 2);
  c.serial = StringOf(StoredAt(contents, 4), 1);
  c.passThrough4 = RawOf(StoredAt(contents, 5));
  c.passThrough5 = RawOf(StoredAt(contents, 6));
  c.passThrough6 = RawOf(StoredAt(contents, 7));
  c.ocString = RawOf(StoredAt(contents, 8));
  c.passThrough8 = RawOf(StoredAt(contents, 9));
  c.playbackEq =
      EqOf(StoredAt(contents, section_index::kPlaybackEq), contents.tailRecords.first, true);
  c.recordEq =
      EqOf(StoredAt(contents, section_index::kRecordEq), contents.tailRecords.second, false);
  return c;
}

PackedConfiguration PackConfiguration(const Configuration& c, uint32_t transferLength) {
  // Row of the section table and bytes, in packing order.
  std::vector<std::pair<int, std::vector<uint8_t>>> data;
  auto add = [&data](int row, std::vector<uint8_t> bytes) {
    data.emplace_back(row, std::move(bytes));
  };
  if (c.mcuFirmware) add(section_index::kMcu, c.mcuFirmware->bytes);
  if (c.audioIo) add(section_index::kAudioIo, AudioIoBytes(*c.audioIo));
  if (c.manufacturer) add(2, StringBytes(*c.manufacturer));
  if (c.product) add(3, StringBytes(*c.product));
  if (c.serial) add(4, StringBytes(*c.serial));
  if (c.passThrough4) add(5, c.passThrough4->bytes);
  if (c.passThrough5) add(6, c.passThrough5->bytes);
  if (c.passThrough6) add(7, c.passThrough6->bytes);
  if (c.ocString) add(8, c.ocString->bytes);
  if (c.passThrough8) add(9, c.passThrough8->bytes);
  if (c.playbackEq) add(section_index::kPlaybackEq, EqBytes(*c.playbackEq, true));
  if (c.recordEq) add(section_index::kRecordEq, EqBytes(*c.recordEq, false));

  std::vector<PackSection> sections;
  sections.reserve(data.size());
  for (const auto& [row, bytes] : data)
    sections.push_back({row, bytes});
  const std::array<uint8_t, kHeaderLength> header = EncodeHeaderSettings(c.header);
  const TailRecord tail1 = c.playbackEq ? TailRecordOf(c.playbackEq->bands) : TailRecord{};
  const TailRecord tail2 = c.recordEq ? TailRecordOf(c.recordEq->bands) : TailRecord{};

  // No band table is made up for an EQ that holds none (an image read without its tail
  // record): zeros stored there would read back as bands of 0 Hz.
  PackInput input;
  input.sections = sections;
  input.header = header;
  input.tailRecord1 = HoldsBandTable(c.playbackEq) ? &tail1 : nullptr;
  input.tailRecord2 = HoldsBandTable(c.recordEq) ? &tail2 : nullptr;

  PackedConfiguration packed;
  packed.image.assign(transferLength, 0);
  const PackResult result = PackImage(input, transferLength, packed.image);
  packed.fits = result.fits;
  packed.total = result.total;
  packed.tailRecord1Stored = result.tailRecord1Stored;
  packed.tailRecord2Stored = result.tailRecord2Stored;
  return packed;
}

}  // namespace veltra::image
