#include "cli/text_report.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <string>

#include "document/configuration_json.h"
#include "eq/factory_defaults.h"
#include "eq/gain_code.h"
#include "eq/tone_mode.h"
#include "image/configuration.h"
#include "image/mcu_info.h"
#include "image/section_kinds.h"
#include "image/string_descriptor.h"
#include "platform/byte_text.h"
#include "platform/printf_format.h"

namespace veltra::cli {

namespace {

constexpr std::array<std::string_view, image::kVolumeRecordCount> kVolumeRecordNames{
    "Playback",       "Line-In Recording", "Mic-In Recording",
    "StereoMixer-in", "Line-In AA",        "Mic-In AA"};

// A stored volume word (dB x 256) in dB, exactly: "-10", "0.5", "-0.00390625". Eight fraction
// bits: at most three integer and eight decimal digits.
std::string VolumeDbText(int16_t word) {
  char text[32];
  std::snprintf(text, sizeof text, "%.11g", word / 256.0);
  return text;
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

void WriteOptions(std::ostream& out, const image::HeaderSettings& h) {
  const std::array<uint8_t, image::kHeaderLength> header = image::EncodeHeaderSettings(h);
  out << "Option bits (header bytes 6-10):";
  for (size_t at = image::header_byte::kOptions6; at <= image::header_byte::kOptions10; ++at)
    out << ' ' << platform::HexText(header[at], 2);
  out << '\n';
  const image::UsbOptions& usb = h.usb;
  out << "  USB Config:       HID descriptor " << OnOff(usb.hidEnabled) << ", remote wakeup "
      << OnOff(usb.remoteWakeup) << ", " << (usb.powered != 0 ? "self" : "bus")
      << " powered, power range " << PowerRange(usb.powerRange) << '\n';
  const image::AudioOptions& a = h.audio;
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
  out << "  Playback EQ:      EQ " << OnOff(!h.playbackEqDisabled) << ", treble/bass "
      << OnOff(h.toneMode);
  if (h.toneMode) {
    out << ", maximum " << eq::FormatGainDb(eq::ToneMaximumDbOfCode(h.toneMaximumCode)) << " dB";
  }
  out << " (byte 9 = " << platform::HexText(h.toneMaximumCode, 2) << ")\n";
  out << "  Record EQ:        EQ " << OnOff(h.recordEqEnabled) << '\n';
  out << "  MCU Config:       jump to MCU SRAM code " << OnOff(h.jumpToSramBits == 3)
      << ", Lync basic headset " << OnOff(h.lyncHeadset) << '\n';
  out << "  no owner:         byte 8 bit 3 = " << (h.byte8Bit3 ? 1 : 0) << '\n';
}

void WriteSections(std::ostream& out, const image::ImageContents& contents) {
  std::string lines;
  for (const image::SectionKind& kind : image::kSectionKinds) {
    if (kind.index < 0 || static_cast<size_t>(kind.index) >= contents.sections.size()) continue;
    const std::optional<image::StoredSection>& s =
        contents.sections[static_cast<size_t>(kind.index)];
    if (!s) continue;
    lines += Format("  %-20s %6u  %6u\n", std::string(kind.name).c_str(), s->place.offset,
                    s->place.length);
  }
  out << (lines.empty() ? "Sections: none\n" : "Sections:              offset  length\n" + lines);
}

// A descriptor the configuration keeps as bytes still shows what text it carries.
void WriteString(std::ostream& out, const char* name,
                 const std::optional<image::StringSection>& section) {
  out << Format("  %-14s", name);
  if (!section) {
    out << "(no section)\n";
  } else if (const auto* raw = std::get_if<image::RawSection>(&*section)) {
    out << document::JsonLine(image::DecodeStringDescriptor(raw->bytes)) << '\n';
  } else {
    out << document::JsonLine(std::get<std::string>(*section)) << '\n';
  }
}

void WriteStrings(std::ostream& out, const image::Configuration& c) {
  out << "USB strings:\n";
  WriteString(out, "Manufacturer", c.manufacturer);
  WriteString(out, "Product", c.product);
  WriteString(out, "Serial", c.serial);
}

// A section the configuration keeps as bytes is shown as the chip reads it, fractions of a dB
// and values outside the groups included.
void WriteVolumes(std::ostream& out, const std::optional<image::AudioIoContent>& audio) {
  if (!audio) {
    out << "Audio I/O volumes: no section\n";
    return;
  }
  const std::optional<image::AudioIoSection> stored = image::StoredAudioIoOf(*audio);
  if (!stored) {
    out << "Audio I/O volumes: " << std::get<image::RawSection>(*audio).bytes.size()
        << "-byte section, not a volume layout\n";
    return;
  }
  out << "Audio I/O volumes (dB):  maximum  minimum  initial  initial mute\n";
  for (size_t i = 0; i < static_cast<size_t>(stored->recordCount); ++i) {
    const image::VolumeRecord& r = stored->records[i];
    out << Format("  %-20s %9s %8s %8s  %s\n", std::string(kVolumeRecordNames[i]).c_str(),
                  VolumeDbText(r.maximum).c_str(), VolumeDbText(r.minimum).c_str(),
                  VolumeDbText(r.initial).c_str(), (stored->muteBits >> i) & 1 ? "yes" : "no");
  }
}

void WriteGainRow(std::ostream& out, const std::string& caption, const image::GainRow& gains) {
  out << Format("  %-12s", caption.c_str());
  for (uint8_t code : gains)
    out << Format("%8s", eq::FormatGainDb(eq::GainCodeToDb(code)).c_str());
  out << '\n';
}

void WriteBands(std::ostream& out, const image::EqBands& bands, const image::BandRecords& words) {
  out << "  bands       centre Hz  bandwidth Hz  A21       A31       S\n";
  bool table = false;
  for (size_t k = 0; k < bands.size(); ++k) {
    std::string centre = "-", bandwidth = "-";
    if (const std::optional<image::BandTableEntry>& entry = bands[k].table) {
      table = true;
      centre = std::to_string(entry->centreFrequency);
      bandwidth = std::to_string(entry->bandwidth);
    }
    out << Format("  band %zu %14s %13s  %s  %s  %s\n", k + 1, centre.c_str(), bandwidth.c_str(),
                  platform::HexText(static_cast<uint32_t>(words[k].a21), 8).c_str(),
                  platform::HexText(static_cast<uint32_t>(words[k].a31), 8).c_str(),
                  platform::HexText(static_cast<uint32_t>(words[k].s), 8).c_str());
  }
  if (!table) out << "  (no tail record: no band table)\n";
}

void WriteEq(std::ostream& out, const std::optional<image::EqSection>& eq, bool playback) {
  const char* name = playback ? "Playback EQ" : "Record EQ";
  if (!eq) {
    out << name << ": no section\n";
    return;
  }
  const std::optional<image::StoredEq> stored = image::StoredEqOf(*eq, playback);
  if (!stored) {
    out << name << ": " << eq->raw->bytes.size() << "-byte section, shorter than the EQ layout\n";
    return;
  }
  out << Format("%-14s", (std::string(name) + " dB").c_str())
      << "  band 1  band 2  band 3  band 4  band 5   comp.\n";
  for (size_t row = 0; row < stored->gains.size(); ++row) {
    const std::string caption = playback && row < eq::kPresetNames.size()
                                    ? "preset " + std::string(eq::kPresetNames[row])
                                    : std::string("gains");
    WriteGainRow(out, caption, stored->gains[row]);
  }
  WriteBands(out, eq->bands, stored->words);
}

void WriteMcu(std::ostream& out, const std::optional<image::RawSection>& mcu) {
  if (!mcu) {
    out << "MCU: no section\n";
    return;
  }
  out << "MCU: " << mcu->bytes.size() << " bytes";
  const std::optional<image::McuInfo> info =
      image::ReadMcuInfo(mcu->bytes, image::McuWordOrder::kEeprom);
  if (!info) {
    out << ", no info block (shorter than " << image::kMcuInfoLength << " bytes)\n";
    return;
  }
  const image::McuInfo& i = *info;
  out << ", info block: chip ID " << platform::HexText(i.chipId, 4) << ", VID "
      << platform::HexText(i.vid, 4) << ", PID " << platform::HexText(i.pid, 4) << ", chip version "
      << platform::HexText(i.chipVersion, 4) << ", FW version " << platform::HexText(i.fwVersion, 4)
      << '\n';
}

void WriteTailRecords(std::ostream& out, const image::ImageContents& contents) {
  const image::TailRecordPlaces places = image::TailRecordPlacesOf(contents);
  out << "Tail records:";
  if (places.first) out << " 1 (Playback EQ) at " << *places.first;
  if (places.second) out << (places.first ? ", " : " ") << "2 (Record EQ) at " << *places.second;
  if (!places.first && !places.second) out << " none";
  out << '\n';
}

}  // namespace

void WriteTextReport(std::ostream& out, const image::ImageContents& contents,
                     uint32_t transferLength, const std::optional<image::ChipTraits>& chip) {
  if (chip) {
    out << "Chip: variant " << chip->variant << ", capability flags";
    for (bool flag : chip->capabilities)
      out << ' ' << (flag ? 1 : 0);
    out << '\n';
  }
  out << "EEPROM image, transfer length " << transferLength << ": ";
  const std::optional<image::Configuration> c = image::DecodeConfiguration(contents);
  if (!c) {
    out << "empty (no magic \"ZR\")\n";
    return;
  }
  out << "magic \"ZR\"\n";
  out << "Header: VID " << platform::HexText(c->header.vid, 4) << ", PID "
      << platform::HexText(c->header.pid, 4) << '\n';
  WriteOptions(out, c->header);
  WriteSections(out, contents);
  WriteStrings(out, *c);
  WriteVolumes(out, c->audioIo);
  WriteEq(out, c->playbackEq, true);
  WriteEq(out, c->recordEq, false);
  WriteMcu(out, c->mcuFirmware);
  WriteTailRecords(out, contents);
}

}  // namespace veltra::cli
