// The rules a configuration keeps before it is packed: the pages' own (volume groups, the band
// check, the gain range, descriptor limits) and the lengths a directory entry can carry.
#include <string>
#include <string_view>

#include "eq/band_check.h"
#include "eq/factory_defaults.h"
#include "eq/gain_code.h"
#include "image/configuration.h"
#include "image/directory_entry.h"
#include "image/string_descriptor.h"
#include "image/volume_group.h"
#include "platform/text.h"

namespace veltra::image {

namespace {

using Problem = std::optional<ConfigurationProblem>;

Problem Fault(std::string field, std::string reason) {
  return ConfigurationProblem{std::move(field), std::move(reason)};
}

std::string Hz(int value) {
  return std::to_string(value) + " Hz";
}

std::string Db(int value) {
  return std::to_string(value) + " dB";
}

// The section's field in the document, and a field inside it.
std::string FieldOf(int row, std::string_view inside = {}) {
  return std::string(kSectionFields.at(static_cast<size_t>(row))) + std::string(inside);
}

Problem CheckRaw(const std::optional<RawSection>& raw, int row, std::string_view inside) {
  if (!raw) return std::nullopt;
  const std::string field = FieldOf(row, inside);
  const uint32_t limit = MaxEntryLength(kSectionKinds.at(static_cast<size_t>(row)).encoding);
  if (raw->bytes.size() > limit) {
    return Fault(field, std::to_string(raw->bytes.size()) + " bytes, more than the " +
                            std::to_string(limit) + " a section can hold");
  }
  return std::nullopt;
}

Problem CheckString(const std::optional<StringSection>& section, int row, size_t minimumUnits) {
  if (!section) return std::nullopt;
  if (const auto* raw = std::get_if<RawSection>(&*section)) return CheckRaw(*raw, row, ".raw");
  const std::string& text = std::get<std::string>(*section);
  const std::string field = FieldOf(row, ".text");
  const std::u16string units = platform::ToUtf16(text);
  if (platform::ToUtf8(units) != text) return Fault(field, "is not valid UTF-8");
  if (units.find(u'\0') != std::u16string::npos) {
    return Fault(field, "holds a NUL character, which ends a descriptor's text");
  }
  if (units.size() < minimumUnits) {
    return Fault(field, minimumUnits == 1
                            ? std::string("is empty: leave the string out instead")
                            : "needs at least " + std::to_string(minimumUnits) + " characters");
  }
  if (units.size() > kMaxStringDescriptorUnits) {
    return Fault(field, "is " + std::to_string(units.size()) +
                            " UTF-16 units long; a USB string descriptor holds at most " +
                            std::to_string(kMaxStringDescriptorUnits));
  }
  return std::nullopt;
}

Problem CheckVolumes(const VolumeSettingsList& volumes) {
  for (size_t i = 0; i < volumes.size(); ++i) {
    const VolumeGroupKind& kind = kVolumeGroupKinds[i];
    const VolumeSetting& v = volumes[i];
    const std::string group =
        FieldOf(section_index::kAudioIo, ".volumes.") + kVolumeSettingNames[i] + ".";
    const std::string range =
        " is outside the hardware range " + Db(kind.lowest) + " ~ " + Db(kind.highest);
    // The lists offer minima up to one below the top and maxima from one above the bottom.
    if (v.minimumDb < kind.lowest || v.minimumDb >= kind.highest) {
      return Fault(group + "minimumDb", Db(v.minimumDb) + range);
    }
    if (v.maximumDb <= kind.lowest || v.maximumDb > kind.highest) {
      return Fault(group + "maximumDb", Db(v.maximumDb) + range);
    }
    if (v.minimumDb >= v.maximumDb) {
      return Fault(group + "minimumDb",
                   Db(v.minimumDb) + " is not below maximumDb " + Db(v.maximumDb));
    }
    if (!VolumeSettingsFit(kind, {v.maximumDb, v.minimumDb, v.initialDb})) {
      return Fault(group + "initialDb", Db(v.initialDb) + " is not strictly between minimumDb " +
                                            Db(v.minimumDb) + " and maximumDb " + Db(v.maximumDb));
    }
  }
  return std::nullopt;
}

Problem CheckBand(const EqBand& band, bool raw, const std::string& field) {
  if (raw && band.words) {
    return Fault(field + ".words", "a section kept as raw bytes carries its own words");
  }
  if (band.words || raw) return std::nullopt;
  if (!band.table) return Fault(field, "needs centreHz and bandwidthHz, or its words");
  const int centre = band.table->centreFrequency;
  const int bandwidth = band.table->bandwidth;
  if (centre < eq::kMinCentreHz || centre > eq::kMaxCentreHz) {
    return Fault(field + ".centreHz", Hz(centre) + " is not between " + Hz(eq::kMinCentreHz) +
                                          " and " + Hz(eq::kMaxCentreHz));
  }
  if (!eq::KeepsBandRules({centre, bandwidth})) {
    return Fault(field + ".bandwidthHz", Hz(bandwidth) + " is not below centreHz " + Hz(centre));
  }
  return std::nullopt;
}

Problem CheckEq(const std::optional<EqSection>& eq, bool playback) {
  if (!eq) return std::nullopt;
  const int row = playback ? section_index::kPlaybackEq : section_index::kRecordEq;
  const std::string section = FieldOf(row);
  if (eq->raw) {
    if (!eq->gains.empty()) return Fault(section, "has both gains and raw bytes");
    if (Problem p = CheckRaw(eq->raw, row, ".raw")) return p;
  } else {
    const size_t rows = playback ? eq::kPresetCount : 1;
    if (eq->gains.size() != rows) {
      return Fault(section, "needs " + std::to_string(rows) + " gain rows, not " +
                                std::to_string(eq->gains.size()));
    }
    for (size_t r = 0; r < rows; ++r) {
      const std::string rowField = playback
                                       ? section + ".presets." + std::string(eq::kPresetNames[r])
                                       : section + ".gainsDb";
      for (size_t i = 0; i < eq->gains[r].size(); ++i) {
        if (eq->gains[r][i] > eq::kMaxGainCode) {
          return Fault(rowField + "[" + std::to_string(i) + "]",
                       "gain code " + std::to_string(eq->gains[r][i]) + " is above " +
                           std::to_string(eq::kMaxGainCode) + " (+12.0 dB)");
        }
      }
    }
  }
  for (size_t k = 0; k < eq->bands.size(); ++k) {
    const std::string field = section + ".bands[" + std::to_string(k) + "]";
    if (Problem p = CheckBand(eq->bands[k], eq->raw.has_value(), field)) return p;
  }
  return std::nullopt;
}

}  // namespace

std::optional<ConfigurationProblem> CheckConfiguration(const Configuration& c) {
  const HeaderSettings& h = c.header;
  if (h.usb.powered < 0 || h.usb.powered > 1) return Fault("header.usb.powered", "is not 0 or 1");
  if (h.usb.powerRange < 0 || h.usb.powerRange > 7) {
    return Fault("header.usb.powerRange", "is not a code 0..7");
  }
  if (h.jumpToSramBits > 3) return Fault("header.mcu.jumpToSram", "is not a code 0..3");

  if (Problem p = CheckRaw(c.mcuFirmware, section_index::kMcu, ".firmware")) return p;
  if (c.audioIo) {
    if (const auto* raw = std::get_if<RawSection>(&*c.audioIo)) {
      if (Problem p = CheckRaw(*raw, section_index::kAudioIo, ".raw")) return p;
    } else if (Problem p = CheckVolumes(std::get<VolumeSettingsList>(*c.audioIo))) {
      return p;
    }
  }
  if (Problem p = CheckString(c.manufacturer, 2, 1)) return p;
  // The USB Config page refuses a product string of fewer than two characters.
  if (Problem p = CheckString(c.product, 3, 2)) return p;
  if (Problem p = CheckString(c.serial, 4, 1)) return p;
  if (Problem p = CheckRaw(c.passThrough4, 5, ".raw")) return p;
  if (Problem p = CheckRaw(c.passThrough5, 6, ".raw")) return p;
  if (Problem p = CheckRaw(c.passThrough6, 7, ".raw")) return p;
  if (Problem p = CheckRaw(c.ocString, 8, ".raw")) return p;
  if (Problem p = CheckRaw(c.passThrough8, 9, ".raw")) return p;
  if (Problem p = CheckEq(c.playbackEq, true)) return p;
  if (Problem p = CheckEq(c.recordEq, false)) return p;
  return std::nullopt;
}

}  // namespace veltra::image
