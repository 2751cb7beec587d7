#include "cli/text_report.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <string>

#include "cli/json_writer.h"
#include "cli/report_numbers.h"
#include "eq/factory_defaults.h"
#include "platform/printf_format.h"

namespace veltra::cli {

namespace {

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

void WriteOptions(std::ostream& out, const ImageReport& r) {
  out << "Option bits (header bytes 6-10):";
  for (uint8_t byte : r.optionBytes)
    out << ' ' << HexText(byte, 2);
  out << '\n';
  out << "  USB Config:       HID descriptor " << OnOff(r.usb.hidEnabled) << ", remote wakeup "
      << OnOff(r.usb.remoteWakeup) << ", " << (r.usb.powered != 0 ? "self" : "bus")
      << " powered, power range " << PowerRange(r.usb.powerRange) << '\n';
  const image::AudioOptions& a = r.audio;
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
  const image::PlaybackEqOptions& p = r.playbackEq;
  out << "  Playback EQ:      EQ " << OnOff(!p.eqDisabled) << ", treble/bass " << OnOff(p.toneMode);
  if (p.toneMode) out << ", maximum " << ToneMaximumDbText(p.toneMaximumCode) << " dB";
  out << " (byte 9 = " << HexText(p.toneMaximumCode, 2) << ")\n";
  out << "  Record EQ:        EQ " << OnOff(r.recordEqEnabled) << '\n';
  out << "  MCU Config:       jump to MCU SRAM code " << OnOff(r.mcu.jumpToSram)
      << ", Lync basic headset " << OnOff(r.mcu.lyncHeadset) << '\n';
  out << "  no owner:         byte 8 bit 3 = " << (r.unownedBit ? 1 : 0) << '\n';
}

void WriteSections(std::ostream& out, const ImageReport& r) {
  if (r.sections.empty()) {
    out << "Sections: none\n";
    return;
  }
  out << "Sections:              offset  length\n";
  for (const SectionSummary& s : r.sections) {
    out << Format("  %-20s %6u  %6u\n", std::string(s.kind->name).c_str(), s.offset, s.length);
  }
}

void WriteString(std::ostream& out, const char* name, const std::optional<std::string>& text) {
  out << Format("  %-14s", name) << (text ? JsonQuote(*text) : "(no section)") << '\n';
}

void WriteStrings(std::ostream& out, const UsbStrings& s) {
  out << "USB strings:\n";
  WriteString(out, "Manufacturer", s.manufacturer);
  WriteString(out, "Product", s.product);
  WriteString(out, "Serial", s.serial);
}

void WriteVolumes(std::ostream& out, const std::optional<AudioIoSummary>& audio) {
  if (!audio) {
    out << "Audio I/O volumes: no section\n";
    return;
  }
  if (!audio->volumes) {
    out << "Audio I/O volumes: " << audio->length << "-byte section, not a volume layout\n";
    return;
  }
  out << "Audio I/O volumes (dB):  maximum  minimum  initial  initial mute\n";
  const image::AudioIoSection& v = *audio->volumes;
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

void WritePlaybackEq(std::ostream& out, const std::optional<PlaybackEqSummary>& eq) {
  if (!eq) {
    out << "Playback EQ: no section\n";
    return;
  }
  if (!eq->section) {
    out << "Playback EQ: " << eq->length << "-byte section, shorter than the EQ layout\n";
    return;
  }
  WriteGainHeading(out, "Playback EQ dB");
  for (size_t p = 0; p < eq->section->presets.size(); ++p)
    WriteGainRow(out, "preset " + std::string(eq::kPresetNames[p]), eq->section->presets[p]);
  WriteBands(out, eq->section->bands, eq->bandTable);
}

void WriteRecordEq(std::ostream& out, const std::optional<RecordEqSummary>& eq) {
  if (!eq) {
    out << "Record EQ: no section\n";
    return;
  }
  if (!eq->section) {
    out << "Record EQ: " << eq->length << "-byte section, shorter than the EQ layout\n";
    return;
  }
  WriteGainHeading(out, "Record EQ dB");
  WriteGainRow(out, "gains", eq->section->gains);
  WriteBands(out, eq->section->bands, eq->bandTable);
}

void WriteMcu(std::ostream& out, const std::optional<McuSummary>& mcu) {
  if (!mcu) {
    out << "MCU: no section\n";
    return;
  }
  out << "MCU: " << mcu->length << " bytes";
  if (!mcu->info) {
    out << ", no info block (shorter than " << image::kMcuInfoLength << " bytes)\n";
    return;
  }
  const image::McuInfo& i = *mcu->info;
  out << ", info block: chip ID " << HexText(i.chipId, 4) << ", VID " << HexText(i.vid, 4)
      << ", PID " << HexText(i.pid, 4) << ", chip version " << HexText(i.chipVersion, 4)
      << ", FW version " << HexText(i.fwVersion, 4) << '\n';
}

void WriteTailRecords(std::ostream& out, const std::vector<TailRecordSummary>& records) {
  out << "Tail records:";
  if (records.empty()) out << " none";
  for (size_t i = 0; i < records.size(); ++i) {
    out << (i == 0 ? " " : ", ") << records[i].number << " ("
        << (records[i].number == 1 ? "Playback EQ" : "Record EQ") << ") at " << records[i].offset;
  }
  out << '\n';
}

}  // namespace

void WriteTextReport(std::ostream& out, const ImageReport& r) {
  if (r.chip) {
    out << "Chip: variant " << r.chip->variant << ", capability flags";
    for (int flag : r.chip->capabilities)
      out << ' ' << flag;
    out << '\n';
  }
  out << "EEPROM image, transfer length " << r.transferLength << ": ";
  if (!r.hasMagic) {
    out << "empty (no magic \"ZR\")\n";
    return;
  }
  out << "magic \"ZR\"\n";
  out << "Header: VID " << HexText(r.vid, 4) << ", PID " << HexText(r.pid, 4) << '\n';
  WriteOptions(out, r);
  WriteSections(out, r);
  WriteStrings(out, r.strings);
  WriteVolumes(out, r.audioIo);
  WritePlaybackEq(out, r.playbackEqSection);
  WriteRecordEq(out, r.recordEqSection);
  WriteMcu(out, r.mcuSection);
  WriteTailRecords(out, r.tailRecords);
}

}  // namespace veltra::cli
