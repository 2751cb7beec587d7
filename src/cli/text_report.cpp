#include "cli/text_report.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <string>

#include "cli/json_writer.h"
#include "cli/report_numbers.h"
#include "eq/factory_defaults.h"
#include "image/audio_io_section.h"
#include "image/eq_sections.h"
#include "image/header_options.h"
#include "image/mcu_info.h"
#include "image/section_kinds.h"
#include "image/string_descriptor.h"
#include "platform/printf_format.h"

namespace veltra::cli {

namespace {

constexpr std::array<std::string_view, image::kVolumeRecordCount> kVolumeRecordNames{
    "Playback",       "Line-In Recording", "Mic-In Recording",
    "StereoMixer-in", "Line-In AA",        "Mic-In AA"};

// Null for a section the image does not hold.
const image::StoredSection* StoredOfType(const image::ImageContents& contents, uint8_t type) {
  const image::SectionKind* kind = image::FindSectionKind(type);
  if (kind == nullptr || kind->index < 0 ||
      static_cast<size_t>(kind->index) >= contents.sections.size())
    return nullptr;
  const auto& section = contents.sections[static_cast<size_t>(kind->index)];
  return section ? &*section : nullptr;
}

std::optional<image::BandTable> BandTableOf(const std::optional<image::TailRecord>& record) {
  if (!record) return std::nullopt;
  return image::DecodeBandTable(*record);
}

[[gnu::format(VELTRA_PRINTF_FORMAT, 1, 2)]] std::string Format(const char* format, ...) {
  char text[256];
  va_list arguments;
  va_start(arguments, format);
  const int length = std::vsnprintf(text, sizeof text, format, arguments);
  va_end(arguments);
  if (length < 0) return {};
  return std::string(text, std::min<size_t>(static_cast<size_t>(length), sizeof text - 1));
}

const char* OnOff(bool on) {
  return on ? "on" : "off";
}

std::string PowerRange(int range) {
  // The "Power Range:" list has items for 0..4 only.
  if (range >= 0 && range <= 4) return Format("%d mA", 100 * (range + 1));
  return Format("code %d (no item)", range);
}

void WriteOptions(std::ostream& out, std::span<const uint8_t> header) {
  out << "Option bits (header bytes 6-10):";
  for (size_t at = image::header_byte::kOptions6; at <= image::header_byte::kOptions10; ++at)
    out << ' ' << HexText(header[at], 2);
  out << '\n';
  const image::UsbOptions usb = image::GetUsbOptions(header);
  out << "  USB Config:       HID descriptor " << OnOff(usb.hidEnabled) << ", remote wakeup "
      << OnOff(usb.remoteWakeup) << ", " << (usb.powered != 0 ? "self" : "bus")
      << " powered, power range " << PowerRange(usb.powerRange) << '\n';
  const image::AudioOptions a = image::GetAudioOptions(header);
  out << "  Audio I/O Config: output " << (a.headphone ? "headphone" : "speaker") << ", input "
      << (a.lineIn ? "line-in" : "mic-in") << ", S/PDIF out " << OnOff(a.spdifOutEnabled)
      << ", S/PDIF in " << OnOff(a.spdifIn) << '\n';
  out << "                    A-A path " << OnOff(a.aaPath) << ", stereo mixer input "
      << OnOff(a.stereoMixerInput) << ", digital mic " << OnOff(a.digitalMic) << ", AGC "
      << OnOff(a.agc) << '\n';
  out << "                    record " << (a.recordAsynchronous ? "asynchronous" : "synchronous")
      << ", playback asynchronous " << OnOff(a.playbackAsynchronous) << '\n';
  out << "                    playback I2S " << OnOff(a.playbackI2s) << " ("
      << (a.playbackI2sSlave ? "slave" : "master") << "), DSP " << OnOff(a.playbackDsp) << ", MCLK "
      << OnOff(a.playbackMclk) << '\n';
  out << "                    record I2S " << OnOff(a.recordI2s) << " ("
      << (a.recordI2sSlave ? "slave" : "master") << "), DSP " << OnOff(a.recordDsp) << ", MCLK "
      << OnOff(a.recordMclk) << '\n';
  const image::PlaybackEqOptions p = image::GetPlaybackEqOptions(header);
  out << "  Playback EQ:      EQ " << OnOff(!p.eqDisabled) << ", treble/bass " << OnOff(p.toneMode);
  if (p.toneMode) out << ", maximum " << ToneMaximumDbText(p.toneMaximumCode) << " dB";
  out << " (byte 9 = " << HexText(p.toneMaximumCode, 2) << ")\n";
  out << "  Record EQ:        EQ " << OnOff(image::GetRecordEqEnabled(header)) << '\n';
  const image::McuOptions mcu = image::GetMcuOptions(header);
  out << "  MCU Config:       jump to MCU SRAM code " << OnOff(mcu.jumpToSram)
      << ", Lync basic headset " << OnOff(mcu.lyncHeadset) << '\n';
  out << "  no owner:         byte 8 bit 3 = " << (image::GetUnownedBits(header).byte8Bit3 ? 1 : 0)
      << '\n';
}

void WriteSections(std::ostream& out, const image::ImageContents& contents) {
  std::string lines;
  for (const image::SectionKind& kind : image::kSectionKinds) {
    const image::StoredSection* s = StoredOfType(contents, kind.type);
    if (s == nullptr) continue;
    lines += Format("  %-20s %6u  %6u\n", std::string(kind.name).c_str(), s->place.offset,
                    s->place.length);
  }
  out << (lines.empty() ? "Sections: none\n" : "Sections:              offset  length\n" + lines);
}

void WriteString(std::ostream& out, const char* name, const std::optional<std::string>& text) {
  out << Format("  %-14s", name) << (text ? JsonQuote(*text) : "(no section)") << '\n';
}

void WriteStrings(std::ostream& out, const image::ImageContents& contents) {
  auto text = [&contents](uint8_t type) -> std::optional<std::string> {
    const image::StoredSection* section = StoredOfType(contents, type);
    if (section == nullptr) return std::nullopt;
    return image::DecodeStringDescriptor(section->data);
  };
  out << "USB strings:\n";
  WriteString(out, "Manufacturer", text(image::section_type::kManufacturerString));
  WriteString(out, "Product", text(image::section_type::kProductString));
  WriteString(out, "Serial", text(image::section_type::kSerialString));
}

void WriteVolumes(std::ostream& out, const image::StoredSection* audio) {
  if (audio == nullptr) {
    out << "Audio I/O volumes: no section\n";
    return;
  }
  const std::optional<image::AudioIoSection> volumes = image::DecodeAudioIoSection(audio->data);
  if (!volumes) {
    out << "Audio I/O volumes: " << audio->place.length << "-byte section, not a volume layout\n";
    return;
  }
  out << "Audio I/O volumes (dB):  maximum  minimum  initial  initial mute\n";
  const image::AudioIoSection& v = *volumes;
  for (int i = 0; i < v.recordCount; ++i) {
    const image::VolumeRecord& record = v.records[static_cast<size_t>(i)];
    out << Format("  %-20s %9s %8s %8s  %s\n",
                  std::string(kVolumeRecordNames[static_cast<size_t>(i)]).c_str(),
                  VolumeDbText(record.maximum).c_str(), VolumeDbText(record.minimum).c_str(),
                  VolumeDbText(record.initial).c_str(), (v.muteBits >> i) & 1 ? "yes" : "no");
  }
}

void WriteGainRow(std::ostream& out, const std::string& caption, const image::GainRow& gains) {
  out << Format("  %-12s", caption.c_str());
  for (uint8_t code : gains)
    out << Format("%8s", GainDbText(code).c_str());
  out << '\n';
}

void WriteGainHeading(std::ostream& out, const char* title) {
  out << Format("%-14s", title) << "  band 1  band 2  band 3  band 4  band 5   comp.\n";
}

void WriteBands(std::ostream& out, const image::BandRecords& bands,
                const std::optional<image::BandTable>& table) {
  out << "  bands       centre Hz  bandwidth Hz  A21       A31       S\n";
  for (size_t k = 0; k < bands.size(); ++k) {
    std::string centre = "-", bandwidth = "-";
    if (table) {
      centre = std::to_string((*table)[k].centreFrequency);
      bandwidth = std::to_string((*table)[k].bandwidth);
    }
    out << Format("  band %zu %14s %13s  %s  %s  %s\n", k + 1, centre.c_str(), bandwidth.c_str(),
                  HexText(static_cast<uint32_t>(bands[k].a21), 8).c_str(),
                  HexText(static_cast<uint32_t>(bands[k].a31), 8).c_str(),
                  HexText(static_cast<uint32_t>(bands[k].s), 8).c_str());
  }
  if (!table) out << "  (no tail record: no band table)\n";
}

void WritePlaybackEq(std::ostream& out, const image::ImageContents& contents) {
  const image::StoredSection* stored = StoredOfType(contents, image::section_type::kPlaybackEq);
  if (stored == nullptr) {
    out << "Playback EQ: no section\n";
    return;
  }
  const std::optional<image::PlaybackEqSection> section =
      image::DecodePlaybackEqSection(stored->data);
  if (!section) {
    out << "Playback EQ: " << stored->place.length << "-byte section, shorter than the EQ layout\n";
    return;
  }
  WriteGainHeading(out, "Playback EQ dB");
  for (size_t p = 0; p < section->presets.size(); ++p)
    WriteGainRow(out, "preset " + std::string(eq::kPresetNames[p]), section->presets[p]);
  WriteBands(out, section->bands, BandTableOf(contents.tailRecords.first));
}

void WriteRecordEq(std::ostream& out, const image::ImageContents& contents) {
  const image::StoredSection* stored = StoredOfType(contents, image::section_type::kRecordEq);
  if (stored == nullptr) {
    out << "Record EQ: no section\n";
    return;
  }
  const std::optional<image::RecordEqSection> section = image::DecodeRecordEqSection(stored->data);
  if (!section) {
    out << "Record EQ: " << stored->place.length << "-byte section, shorter than the EQ layout\n";
    return;
  }
  WriteGainHeading(out, "Record EQ dB");
  WriteGainRow(out, "gains", section->gains);
  WriteBands(out, section->bands, BandTableOf(contents.tailRecords.second));
}

void WriteMcu(std::ostream& out, const image::StoredSection* mcu) {
  if (mcu == nullptr) {
    out << "MCU: no section\n";
    return;
  }
  out << "MCU: " << mcu->place.length << " bytes";
  const std::optional<image::McuInfo> info =
      image::ReadMcuInfo(mcu->data, image::McuWordOrder::kEeprom);
  if (!info) {
    out << ", no info block (shorter than " << image::kMcuInfoLength << " bytes)\n";
    return;
  }
  const image::McuInfo& i = *info;
  out << ", info block: chip ID " << HexText(i.chipId, 4) << ", VID " << HexText(i.vid, 4)
      << ", PID " << HexText(i.pid, 4) << ", chip version " << HexText(i.chipVersion, 4)
      << ", FW version " << HexText(i.fwVersion, 4) << '\n';
}

void WriteTailRecords(std::ostream& out, const image::ImageContents& contents) {
  // Where the reader found them: tail record 2 follows tail record 1 when that one is there.
  const uint32_t first = image::kDataStart + contents.total;
  out << "Tail records:";
  if (contents.tailRecords.first) out << " 1 (Playback EQ) at " << first;
  if (contents.tailRecords.second) {
    out << (contents.tailRecords.first ? ", " : " ") << "2 (Record EQ) at "
        << (contents.tailRecords.first ? first + image::kTailRecordLength : first);
  }
  if (!contents.tailRecords.first && !contents.tailRecords.second) out << " none";
  out << '\n';
}

}  // namespace

void WriteTextReport(std::ostream& out, const image::ImageContents& contents,
                     uint32_t transferLength, const std::optional<ChipSummary>& chip) {
  if (chip) {
    out << "Chip: variant " << chip->variant << ", capability flags";
    for (int flag : chip->capabilities)
      out << ' ' << flag;
    out << '\n';
  }
  out << "EEPROM image, transfer length " << transferLength << ": ";
  if (!contents.hasMagic) {
    out << "empty (no magic \"ZR\")\n";
    return;
  }
  out << "magic \"ZR\"\n";
  const std::span<const uint8_t> header = contents.header;
  out << "Header: VID " << HexText(image::GetHeaderVid(header), 4) << ", PID "
      << HexText(image::GetHeaderPid(header), 4) << '\n';
  WriteOptions(out, header);
  WriteSections(out, contents);
  WriteStrings(out, contents);
  WriteVolumes(out, StoredOfType(contents, image::section_type::kAudioIo));
  WritePlaybackEq(out, contents);
  WriteRecordEq(out, contents);
  WriteMcu(out, StoredOfType(contents, image::section_type::kMcu));
  WriteTailRecords(out, contents);
}

}  // namespace veltra::cli
