#include "document/configuration_json.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <set>
#include <string_view>
#include <vector>

#include "eq/factory_defaults.h"
#include "eq/gain_code.h"
#include "eq/tone_mode.h"
#include "image/audio_io_rules.h"
#include "image/mcu_info.h"
#include "platform/byte_text.h"

namespace veltra::document {

namespace {

using image::Configuration;
using image::EqSection;
using image::HeaderSettings;
using image::RawSection;
namespace section_index = image::section_index;

// The header's audio options: plain switches, and two-way choices named by their values, in
// the words the option rules use.
using AudioField = image::AudioControlField;
const auto& kAudioFields = image::kAudioControlFields;

// A section's part of the document and its name there, by its directory slot.
std::string PartOf(int row) {
  return std::string(image::kSectionFields.at(static_cast<size_t>(row)));
}
std::string GroupOf(int row) {
  return std::string(image::GroupName(image::kSectionFields.at(static_cast<size_t>(row))));
}

struct RawField {
  int row;
  std::optional<RawSection> Configuration::*member;
  std::string Name() const {
    return std::string(image::FieldName(image::kSectionFields.at(static_cast<size_t>(row))));
  }
};

constexpr RawField kRawFields[] = {
    {5, &Configuration::passThrough4}, {6, &Configuration::passThrough5},
    {7, &Configuration::passThrough6}, {8, &Configuration::ocString},
    {9, &Configuration::passThrough8},
};

struct StringField {
  int row;
  std::optional<image::StringSection> Configuration::*member;
  std::string Name() const {
    return std::string(image::FieldName(image::kSectionFields.at(static_cast<size_t>(row))));
  }
};

constexpr StringField kStringFields[] = {
    {2, &Configuration::manufacturer},
    {3, &Configuration::product},
    {4, &Configuration::serial},
};

// The names of the fields of these tables, for the check of an object's fields.
template <typename Fields>
std::vector<std::string_view> NamesOf(const Fields& fields, std::vector<std::string>& storage) {
  for (const auto& field : fields)
    storage.push_back(field.Name());
  return {storage.begin(), storage.end()};
}

// ---- writing ----

Json BytesJson(std::span<const uint8_t> bytes, bool base64) {
  Json json = Json::object();
  if (base64) {
    json["base64"] = platform::ToBase64(bytes);
  } else {
    json["hex"] = platform::ToHex(bytes);
  }
  return json;
}

Json Absent() {
  Json json = Json::object();
  json["present"] = false;
  return json;
}

Json Present() {
  Json json = Json::object();
  json["present"] = true;
  return json;
}

// Byte 9 by the "Maximum:" list item it names, where it names one exactly.
std::optional<double> ToneMaximumDbOf(uint8_t code) {
  const std::optional<int> item = eq::ToneMaximumItemForCode(code);
  if (!item || eq::TrebleBassMaximumCode(eq::ToneMaximumItemDb(*item)) != code) return std::nullopt;
  return eq::ToneMaximumItemDb(*item);
}

Json HeaderJson(const HeaderSettings& h) {
  Json json = Json::object();
  json["vid"] = platform::HexText(h.vid, 4);
  json["pid"] = platform::HexText(h.pid, 4);

  Json& usb = json["usb"] = Json::object();
  usb["hidDescriptor"] = h.usb.hidEnabled;
  usb["remoteWakeup"] = h.usb.remoteWakeup;
  usb["powered"] = h.usb.powered != 0 ? "self" : "bus";
  usb["powerRange"] = h.usb.powerRange;

  Json& audio = json["audio"] = Json::object();
  for (const AudioField& field : kAudioFields) {
    const bool on = h.audio.*field.option;
    if (field.off == nullptr) {
      audio[field.name] = on;
    } else {
      audio[field.name] = on ? field.on : field.off;
    }
  }

  Json& playback = json["playbackEq"] = Json::object();
  playback["disabled"] = h.playbackEqDisabled;
  playback["toneMode"] = h.toneMode;
  if (h.toneMaximumCode == eq::kToneOffMaximumCode) {
    playback["toneMaximumDb"] = nullptr;
  } else if (const std::optional<double> dB = ToneMaximumDbOf(h.toneMaximumCode)) {
    playback["toneMaximumDb"] = *dB;
  } else {
    playback["toneMaximumCode"] = h.toneMaximumCode;
  }

  json["recordEq"] = Json::object({{"enabled", h.recordEqEnabled}});

  Json& mcu = json["mcu"] = Json::object();
  if (h.jumpToSramBits == 0 || h.jumpToSramBits == 3) {
    mcu["jumpToSram"] = h.jumpToSramBits == 3;
  } else {
    mcu["jumpToSram"] = h.jumpToSramBits;
  }
  mcu["lyncHeadset"] = h.lyncHeadset;

  Json& unowned = json["unownedBits"] = Json::object();
  unowned["byte6Bit2"] = h.byte6Bit2;
  unowned["byte8Bit3"] = h.byte8Bit3;
  return json;
}

Json StringJson(const std::optional<image::StringSection>& section) {
  if (!section) return Absent();
  Json json = Present();
  if (const auto* raw = std::get_if<RawSection>(&*section)) {
    json["raw"] = BytesJson(raw->bytes, false);
  } else {
    json["text"] = std::get<std::string>(*section);
  }
  return json;
}

Json AudioIoJson(const std::optional<image::AudioIoContent>& content) {
  if (!content) return Absent();
  Json json = Present();
  if (const auto* raw = std::get_if<RawSection>(&*content)) {
    json["raw"] = BytesJson(raw->bytes, false);
    return json;
  }
  const auto& list = std::get<image::VolumeSettingsList>(*content);
  Json& volumes = json["volumes"] = Json::object();
  for (size_t i = 0; i < list.size(); ++i) {
    Json& group = volumes[image::kVolumeSettingNames[i]] = Json::object();
    group["maximumDb"] = list[i].maximumDb;
    group["minimumDb"] = list[i].minimumDb;
    group["initialDb"] = list[i].initialDb;
    group["initialMute"] = list[i].initialMute;
  }
  return json;
}

Json GainsJson(const image::GainRow& row) {
  Json json = Json::array();
  for (uint8_t code : row)
    json.push_back(eq::GainCodeToDb(code));
  return json;
}

Json BandsJson(const image::EqBands& bands) {
  Json json = Json::array();
  for (const image::EqBand& band : bands) {
    Json entry = Json::object();
    if (band.table) {
      entry["centreHz"] = band.table->centreFrequency;
      entry["bandwidthHz"] = band.table->bandwidth;
    } else {
      entry["centreHz"] = nullptr;
      entry["bandwidthHz"] = nullptr;
    }
    if (band.words) {
      Json& words = entry["words"] = Json::object();
      words["a21"] = platform::HexText(static_cast<uint32_t>(band.words->a21), 8);
      words["a31"] = platform::HexText(static_cast<uint32_t>(band.words->a31), 8);
      words["s"] = platform::HexText(static_cast<uint32_t>(band.words->s), 8);
    }
    json.push_back(std::move(entry));
  }
  return json;
}

Json EqJson(const std::optional<EqSection>& eq, bool playback) {
  if (!eq) return Absent();
  Json json = Present();
  if (eq->raw) {
    json["raw"] = BytesJson(eq->raw->bytes, false);
  } else if (playback) {
    Json& presets = json["presets"] = Json::object();
    for (size_t p = 0; p < eq->gains.size() && p < eq::kPresetNames.size(); ++p)
      presets[std::string(eq::kPresetNames[p])] = GainsJson(eq->gains[p]);
  } else if (!eq->gains.empty()) {
    json["gainsDb"] = GainsJson(eq->gains.front());
  }
  json["bands"] = BandsJson(eq->bands);
  return json;
}

Json McuInfoJson(std::span<const uint8_t> firmware) {
  const std::optional<image::McuInfo> info =
      image::ReadMcuInfo(firmware, image::McuWordOrder::kEeprom);
  if (!info) return nullptr;
  Json json = Json::object();
  json["chipId"] = platform::HexText(info->chipId, 4);
  json["vid"] = platform::HexText(info->vid, 4);
  json["pid"] = platform::HexText(info->pid, 4);
  json["chipVersion"] = platform::HexText(info->chipVersion, 4);
  json["fwVersion"] = platform::HexText(info->fwVersion, 4);
  return json;
}

Json McuJson(const std::optional<RawSection>& firmware) {
  if (!firmware) return Absent();
  Json json = Present();
  json["firmware"] = BytesJson(firmware->bytes, true);
  json["info"] = McuInfoJson(firmware->bytes);
  return json;
}

// ---- reading ----

struct FieldError {
  std::string field;
  std::string reason;
};

std::string Shown(const Json& value) {
  std::string text = JsonLine(value);
  if (text.size() > 40) text = text.substr(0, 37) + "...";
  return text;
}

// One value of the document and where it sits, for the messages.
class Field {
 public:
  Field(const Json& value, std::string path) : value_(value), path_(std::move(path)) {}

  const Json& Value() const { return value_; }
  const std::string& Path() const { return path_; }

  [[noreturn]] void Fail(const std::string& reason) const {
    throw FieldError{path_.empty() ? "document" : path_, reason};
  }

  // An object with no fields but these.
  void ExpectObject(const std::vector<std::string_view>& names) const {
    if (!value_.is_object()) Fail("expected an object, not " + Shown(value_));
    for (const auto& [key, unused] : value_.items()) {
      if (std::find(names.begin(), names.end(), key) == names.end()) {
        Child(key).Fail("unknown field");
      }
    }
  }
  bool Has(std::string_view name) const { return value_.contains(std::string(name)); }
  Field operator[](std::string_view name) const {
    if (!Has(name)) Child(std::string(name)).Fail("missing");
    return Field(value_.at(std::string(name)), ChildPath(std::string(name)));
  }
  Field At(size_t index) const {
    return Field(value_.at(index), path_ + "[" + std::to_string(index) + "]");
  }
  void ExpectArray(size_t size) const {
    if (!value_.is_array() || value_.size() != size) {
      Fail("expected an array of " + std::to_string(size) + " values, not " + Shown(value_));
    }
  }

  bool IsNull() const { return value_.is_null(); }
  bool Bool() const {
    if (!value_.is_boolean()) Fail("expected true or false, not " + Shown(value_));
    return value_.get<bool>();
  }
  double Number() const {
    if (!value_.is_number()) Fail("expected a number, not " + Shown(value_));
    const double number = value_.get<double>();
    if (!std::isfinite(number)) Fail("expected a finite number");
    return number;
  }
  // A whole number within [low, high], written with or without a fraction of zero.
  int64_t Integer(int64_t low, int64_t high) const {
    if (value_.is_number_integer()) {
      const bool fits = value_.is_number_unsigned()
                            ? value_.get<uint64_t>() <= static_cast<uint64_t>(high) &&
                                  (low <= 0 || value_.get<uint64_t>() >= static_cast<uint64_t>(low))
                            : value_.get<int64_t>() >= low && value_.get<int64_t>() <= high;
      if (!fits) OutOfRange(low, high);
      return value_.is_number_unsigned() ? static_cast<int64_t>(value_.get<uint64_t>())
                                         : value_.get<int64_t>();
    }
    const double number = Number();
    if (number != std::trunc(number)) Fail("expected a whole number, not " + Shown(value_));
    if (number < static_cast<double>(low) || number > static_cast<double>(high)) {
      OutOfRange(low, high);
    }
    return static_cast<int64_t>(number);
  }
  const std::string& String() const {
    if (!value_.is_string()) Fail("expected a string, not " + Shown(value_));
    return value_.get_ref<const std::string&>();
  }
  // One to digits hexadecimal digits.
  uint32_t Hex(size_t digits) const {
    const std::string& text = String();
    const std::optional<std::vector<uint8_t>> bytes =
        platform::FromHex(std::string(digits - std::min(digits, text.size()), '0') + text);
    if (text.empty() || text.size() > digits || !bytes) {
      Fail("expected 1 to " + std::to_string(digits) + " hexadecimal digits, not " + Shown(value_));
    }
    uint32_t value = 0;
    for (uint8_t byte : *bytes)
      value = value << 8 | byte;
    return value;
  }
  // A two-way choice by its value's name.
  bool Choice(const char* off, const char* on) const {
    const std::string& text = String();
    if (text == on) return true;
    if (text != off)
      Fail(std::string("expected \"") + off + "\" or \"" + on + "\", not " + Shown(value_));
    return false;
  }
  std::vector<uint8_t> Bytes() const {
    if (!value_.is_object() || value_.size() != 1 ||
        !(value_.contains("hex") || value_.contains("base64"))) {
      Fail("expected {\"hex\": \"...\"} or {\"base64\": \"...\"}, not " + Shown(value_));
    }
    const bool hex = value_.contains("hex");
    const Field text = (*this)[hex ? "hex" : "base64"];
    const std::optional<std::vector<uint8_t>> bytes =
        hex ? platform::FromHex(text.String()) : platform::FromBase64(text.String());
    if (!bytes) text.Fail(hex ? "not an even number of hexadecimal digits" : "not base64");
    return *bytes;
  }

 private:
  std::string ChildPath(const std::string& name) const {
    return path_.empty() ? name : path_ + "." + name;
  }
  Field Child(const std::string& name) const { return Field(value_, ChildPath(name)); }
  [[noreturn]] void OutOfRange(int64_t low, int64_t high) const {
    Fail(Shown(value_) + " is not between " + std::to_string(low) + " and " + std::to_string(high));
  }

  const Json& value_;
  std::string path_;
};

HeaderSettings ReadHeader(const Field& json) {
  json.ExpectObject({"vid", "pid", "usb", "audio", "playbackEq", "recordEq", "mcu", "unownedBits"});
  HeaderSettings h;
  h.vid = static_cast<uint16_t>(json["vid"].Hex(4));
  h.pid = static_cast<uint16_t>(json["pid"].Hex(4));

  const Field usb = json["usb"];
  usb.ExpectObject({"hidDescriptor", "remoteWakeup", "powered", "powerRange"});
  h.usb.hidEnabled = usb["hidDescriptor"].Bool();
  h.usb.remoteWakeup = usb["remoteWakeup"].Bool();
  h.usb.powered = usb["powered"].Choice("bus", "self") ? 1 : 0;
  h.usb.powerRange = static_cast<int>(usb["powerRange"].Integer(0, 7));

  const Field audio = json["audio"];
  std::vector<std::string_view> audioNames;
  for (const AudioField& field : kAudioFields)
    audioNames.push_back(field.name);
  audio.ExpectObject(audioNames);
  for (const AudioField& field : kAudioFields) {
    const Field value = audio[field.name];
    h.audio.*field.option = field.off == nullptr ? value.Bool() : value.Choice(field.off, field.on);
  }

  const Field playback = json["playbackEq"];
  playback.ExpectObject({"disabled", "toneMode", "toneMaximumDb", "toneMaximumCode"});
  h.playbackEqDisabled = playback["disabled"].Bool();
  h.toneMode = playback["toneMode"].Bool();
  if (playback.Has("toneMaximumDb") == playback.Has("toneMaximumCode")) {
    playback.Fail("needs exactly one of toneMaximumDb and toneMaximumCode");
  }
  if (playback.Has("toneMaximumCode")) {
    h.toneMaximumCode = static_cast<uint8_t>(playback["toneMaximumCode"].Integer(0, 255));
  } else if (const Field dB = playback["toneMaximumDb"]; dB.IsNull()) {
    h.toneMaximumCode = eq::kToneOffMaximumCode;
  } else {
    const std::optional<int> item = eq::ToneMaximumItemOfDb(dB.Number());
    if (!item) dB.Fail(Shown(dB.Value()) + " is not a Maximum: value 0.5 .. 12.0 in steps of 0.5");
    h.toneMaximumCode = eq::TrebleBassMaximumCode(eq::ToneMaximumItemDb(*item));
  }

  const Field record = json["recordEq"];
  record.ExpectObject({"enabled"});
  h.recordEqEnabled = record["enabled"].Bool();

  const Field mcu = json["mcu"];
  mcu.ExpectObject({"jumpToSram", "lyncHeadset"});
  const Field jump = mcu["jumpToSram"];
  h.jumpToSramBits =
      static_cast<uint8_t>(jump.Value().is_boolean() ? (jump.Bool() ? 3 : 0) : jump.Integer(0, 3));
  h.lyncHeadset = mcu["lyncHeadset"].Bool();

  const Field unowned = json["unownedBits"];
  unowned.ExpectObject({"byte6Bit2", "byte8Bit3"});
  h.byte6Bit2 = unowned["byte6Bit2"].Bool();
  h.byte8Bit3 = unowned["byte8Bit3"].Bool();
  return h;
}

// A section's object: false when its present bit is clear (its other fields are not read).
bool ReadPresent(const Field& json, const std::vector<std::string_view>& names) {
  json.ExpectObject(names);
  return json["present"].Bool();
}

std::optional<RawSection> ReadRawSection(const Field& json) {
  if (!ReadPresent(json, {"present", "raw"})) return std::nullopt;
  return RawSection{json["raw"].Bytes()};
}

std::optional<image::StringSection> ReadString(const Field& json) {
  if (!ReadPresent(json, {"present", "text", "raw"})) return std::nullopt;
  if (json.Has("text") == json.Has("raw")) json.Fail("needs exactly one of text and raw");
  if (json.Has("raw")) return image::StringSection{RawSection{json["raw"].Bytes()}};
  return image::StringSection{json["text"].String()};
}

std::optional<image::AudioIoContent> ReadAudioIo(const Field& json) {
  if (!ReadPresent(json, {"present", "volumes", "raw"})) return std::nullopt;
  if (json.Has("volumes") == json.Has("raw")) json.Fail("needs exactly one of volumes and raw");
  if (json.Has("raw")) return image::AudioIoContent{RawSection{json["raw"].Bytes()}};
  const Field volumes = json["volumes"];
  volumes.ExpectObject(std::vector<std::string_view>(image::kVolumeSettingNames.begin(),
                                                     image::kVolumeSettingNames.end()));
  image::VolumeSettingsList list;
  for (size_t i = 0; i < list.size(); ++i) {
    const Field group = volumes[image::kVolumeSettingNames[i]];
    group.ExpectObject({"maximumDb", "minimumDb", "initialDb", "initialMute"});
    // Wider than any group's range, so the rules name the value; narrow enough for 16 bits.
    list[i].maximumDb = static_cast<int>(group["maximumDb"].Integer(-128, 127));
    list[i].minimumDb = static_cast<int>(group["minimumDb"].Integer(-128, 127));
    list[i].initialDb = static_cast<int>(group["initialDb"].Integer(-128, 127));
    list[i].initialMute = group["initialMute"].Bool();
  }
  return image::AudioIoContent{list};
}

image::GainRow ReadGains(const Field& json) {
  json.ExpectArray(image::kGainColumns);
  image::GainRow row{};
  for (size_t i = 0; i < row.size(); ++i) {
    const Field gain = json.At(i);
    const std::optional<uint8_t> code = eq::ExactGainCode(gain.Number());
    if (!code) gain.Fail(Shown(gain.Value()) + " dB is not a step of 0.5 dB from -12.0 to +12.0");
    row[i] = *code;
  }
  return row;
}

image::EqBands ReadBands(const Field& json, bool raw) {
  json.ExpectArray(image::kEqBandCount);
  image::EqBands bands{};
  for (size_t k = 0; k < bands.size(); ++k) {
    const Field band = json.At(k);
    if (raw) {
      band.ExpectObject({"centreHz", "bandwidthHz"});
    } else {
      band.ExpectObject({"centreHz", "bandwidthHz", "words"});
    }
    const Field centre = band["centreHz"];
    const Field bandwidth = band["bandwidthHz"];
    if (centre.IsNull() != bandwidth.IsNull())
      band.Fail("needs both centreHz and bandwidthHz, or neither");
    if (!centre.IsNull()) {
      bands[k].table = image::BandTableEntry{static_cast<uint16_t>(centre.Integer(0, 65535)),
                                             static_cast<uint16_t>(bandwidth.Integer(0, 65535))};
    }
    if (band.Has("words")) {
      const Field words = band["words"];
      words.ExpectObject({"a21", "a31", "s"});
      bands[k].words = image::BandRecord{static_cast<int32_t>(words["a21"].Hex(8)),
                                         static_cast<int32_t>(words["a31"].Hex(8)),
                                         static_cast<int32_t>(words["s"].Hex(8))};
    }
  }
  return bands;
}

std::optional<EqSection> ReadEq(const Field& json, bool playback) {
  const char* gainsName = playback ? "presets" : "gainsDb";
  if (!ReadPresent(json, {"present", gainsName, "bands", "raw"})) return std::nullopt;
  if (json.Has(gainsName) == json.Has("raw")) {
    json.Fail(std::string("needs exactly one of ") + gainsName + " and raw");
  }
  EqSection eq;
  if (json.Has("raw")) {
    eq.raw = RawSection{json["raw"].Bytes()};
  } else if (playback) {
    const Field presets = json["presets"];
    presets.ExpectObject(
        std::vector<std::string_view>(eq::kPresetNames.begin(), eq::kPresetNames.end()));
    for (std::string_view name : eq::kPresetNames)
      eq.gains.push_back(ReadGains(presets[name]));
  } else {
    eq.gains.push_back(ReadGains(json["gainsDb"]));
  }
  eq.bands = ReadBands(json["bands"], eq.raw.has_value());
  return eq;
}

// The info block is part of the firmware: an info edited without the firmware would be lost,
// so the two have to agree.
void CheckMcuInfo(const Field& json, std::span<const uint8_t> firmware) {
  const std::optional<image::McuInfo> info =
      image::ReadMcuInfo(firmware, image::McuWordOrder::kEeprom);
  const std::string mismatch = "does not match the firmware's last 13 bytes (" +
                               Shown(McuInfoJson(firmware)) + "); change the firmware or drop info";
  if (json.IsNull()) {
    if (info) json.Fail(mismatch);
    return;
  }
  json.ExpectObject({"chipId", "vid", "pid", "chipVersion", "fwVersion"});
  if (!info) json.Fail(mismatch);
  const std::pair<const char*, uint16_t> words[] = {{"chipId", info->chipId},
                                                    {"vid", info->vid},
                                                    {"pid", info->pid},
                                                    {"chipVersion", info->chipVersion},
                                                    {"fwVersion", info->fwVersion}};
  for (const auto& [name, word] : words) {
    if (json[name].Hex(4) != word) json[name].Fail(mismatch);
  }
}

std::optional<RawSection> ReadMcu(const Field& json) {
  if (!ReadPresent(json, {"present", "firmware", "info"})) return std::nullopt;
  RawSection firmware{json["firmware"].Bytes()};
  if (json.Has("info")) CheckMcuInfo(json["info"], firmware.bytes);
  return firmware;
}

ConfigurationDocument ReadDocument(const Json& root) {
  const Field json(root, "");
  std::vector<std::string_view> parts{"format", "eeprom"};
  parts.insert(parts.end(), image::kImageParts.begin(), image::kImageParts.end());
  json.ExpectObject(parts);
  const Field format = json["format"];
  if (format.Integer(0, INT32_MAX) != kConfigurationJsonFormat) {
    format.Fail("format " + Shown(format.Value()) + " is not one this veltra-cli reads (" +
                std::to_string(kConfigurationJsonFormat) + ")");
  }

  ConfigurationDocument document;
  if (json.Has("eeprom")) {
    const Field eeprom = json["eeprom"];
    document.eeprom = device::FindEepromType(eeprom.String());
    if (!document.eeprom) eeprom.Fail("unknown EEPROM type " + Shown(eeprom.Value()));
  }
  Configuration& c = document.configuration;
  c.header = ReadHeader(json["header"]);

  std::vector<std::string> names;
  const Field strings = json[GroupOf(2)];
  strings.ExpectObject(NamesOf(kStringFields, names));
  for (const StringField& field : kStringFields)
    c.*field.member = ReadString(strings[field.Name()]);

  c.audioIo = ReadAudioIo(json[PartOf(section_index::kAudioIo)]);
  c.playbackEq = ReadEq(json[PartOf(section_index::kPlaybackEq)], true);
  c.recordEq = ReadEq(json[PartOf(section_index::kRecordEq)], false);
  c.mcuFirmware = ReadMcu(json[PartOf(section_index::kMcu)]);

  const Field raw = json[GroupOf(5)];
  raw.ExpectObject(NamesOf(kRawFields, names));
  for (const RawField& field : kRawFields)
    c.*field.member = ReadRawSection(raw[field.Name()]);
  return document;
}

// Refuses a field named twice in one object, which a reader would otherwise settle silently.
class DuplicateKeys {
 public:
  bool operator()(int, nlohmann::json::parse_event_t event, Json& parsed) {
    using Event = nlohmann::json::parse_event_t;
    if (event == Event::object_start) {
      keys_.emplace_back();
    } else if (event == Event::object_end && !keys_.empty()) {
      keys_.pop_back();
    } else if (event == Event::key && !keys_.empty() && parsed.is_string()) {
      const std::string& key = parsed.get_ref<const std::string&>();
      if (!keys_.back().insert(key).second && duplicate_.empty()) duplicate_ = key;
    }
    return true;
  }
  const std::string& Duplicate() const { return duplicate_; }

 private:
  std::vector<std::set<std::string>> keys_;
  std::string duplicate_;
};

// The deepest the document nests: the root, playbackEq, bands, a band, its words.
constexpr int kMaxNesting = 5;

// "line 3, column 7" of a byte offset, as the JSON library counts them.
std::string Position(std::string_view text, size_t offset) {
  const size_t lineStart = text.rfind('\n', offset == 0 ? 0 : offset - 1);
  const size_t line = static_cast<size_t>(std::count(text.begin(), text.begin() + offset, '\n'));
  const size_t column =
      lineStart == std::string_view::npos || offset == 0 ? offset + 1 : offset - lineStart;
  return "line " + std::to_string(line + 1) + ", column " + std::to_string(column);
}

// What the JSON library would take although the format does not define it, checked before the
// library parses (and recurses): a byte-order mark, a NUL (the library ends the document there,
// taking what follows for nothing), nesting deeper than the format's, and a number no double
// holds (the library reads 1e-400 as 0 and throws on 1e400). "" when none.
std::string CheckDocumentText(std::string_view text) {
  if (text.starts_with("\xEF\xBB\xBF"))
    return "a byte-order mark: the document is UTF-8 without one";
  int depth = 0;
  for (size_t at = 0; at < text.size(); ++at) {
    const char c = text[at];
    if (c == '\0') return Position(text, at) + ": a NUL byte";
    if (c == '"') {  // to the closing quote; the library checks what lies between
      for (++at; at < text.size() && text[at] != '"'; ++at) {
        if (text[at] == '\\')
          ++at;
        else if (text[at] == '\0')
          return Position(text, at) + ": a NUL byte";
      }
    } else if (c == '[' || c == '{') {
      if (++depth > kMaxNesting) {
        return Position(text, at) + ": nested deeper than the document's " +
               std::to_string(kMaxNesting) + " levels";
      }
    } else if (c == ']' || c == '}') {
      --depth;
    } else if (c == '-' || (c >= '0' && c <= '9')) {
      const size_t end = text.find_first_not_of("0123456789+-.eE", at);
      const std::string_view number = text.substr(at, end - at);
      double value = 0;
      if (std::from_chars(number.data(), number.data() + number.size(), value).ec ==
          std::errc::result_out_of_range) {
        const std::string shown(number.substr(0, 40));
        return Position(text, at) + ": the number " + shown + " is beyond what a double holds";
      }
      at += number.size() - 1;
    }
  }
  return {};
}

std::string OneLine(std::string text) {
  std::replace_if(
      text.begin(), text.end(), [](char c) { return c == '\n' || c == '\r'; }, ' ');
  return text;
}

// Two blanks a level; an array of plain values (gains) stays on one line.
void WriteIndented(const Json& value, int depth, std::string& text) {
  const auto plain = [](const Json& v) { return !v.is_object() && !v.is_array(); };
  const std::string inner(static_cast<size_t>(2 * (depth + 1)), ' ');
  const std::string outer(static_cast<size_t>(2 * depth), ' ');
  if (value.is_object() && !value.empty()) {
    text += "{\n";
    bool first = true;
    for (const auto& [key, member] : value.items()) {
      if (!first) text += ",\n";
      first = false;
      text += inner + Json(key).dump() + ": ";
      WriteIndented(member, depth + 1, text);
    }
    text += "\n" + outer + "}";
  } else if (value.is_array() && !value.empty() &&
             !std::all_of(value.begin(), value.end(), plain)) {
    text += "[\n";
    for (size_t i = 0; i < value.size(); ++i) {
      if (i > 0) text += ",\n";
      text += inner;
      WriteIndented(value[i], depth + 1, text);
    }
    text += "\n" + outer + "]";
  } else if (value.is_array() && !value.empty()) {
    text += "[";
    for (size_t i = 0; i < value.size(); ++i) {
      if (i > 0) text += ", ";
      text += JsonLine(value[i]);
    }
    text += "]";
  } else {
    text += JsonLine(value);
  }
}

}  // namespace

Json ConfigurationToJson(const Configuration& c, const device::EepromType& eeprom) {
  Json json = Json::object();
  json["format"] = kConfigurationJsonFormat;
  json["eeprom"] = std::string(eeprom.name);
  json["header"] = HeaderJson(c.header);
  Json& strings = json[GroupOf(2)] = Json::object();
  for (const StringField& field : kStringFields)
    strings[field.Name()] = StringJson(c.*field.member);
  json[PartOf(section_index::kAudioIo)] = AudioIoJson(c.audioIo);
  json[PartOf(section_index::kPlaybackEq)] = EqJson(c.playbackEq, true);
  json[PartOf(section_index::kRecordEq)] = EqJson(c.recordEq, false);
  json[PartOf(section_index::kMcu)] = McuJson(c.mcuFirmware);
  Json& raw = json[GroupOf(5)] = Json::object();
  for (const RawField& field : kRawFields) {
    const std::optional<RawSection>& section = c.*field.member;
    if (section) {
      Json& entry = raw[field.Name()] = Present();
      entry["raw"] = BytesJson(section->bytes, false);
    } else {
      raw[field.Name()] = Absent();
    }
  }
  return json;
}

std::string ConfigurationJsonText(const Configuration& c, const device::EepromType& eeprom) {
  std::string text;
  WriteIndented(ConfigurationToJson(c, eeprom), 0, text);
  return text + "\n";
}

std::optional<ConfigurationDocument> ReadConfigurationJson(std::string_view text,
                                                           std::string& error) {
  if (std::string problem = CheckDocumentText(text); !problem.empty()) {
    error = OneLine(std::move(problem));
    return std::nullopt;
  }
  DuplicateKeys duplicates;
  Json root;
  try {
    root = Json::parse(text, std::ref(duplicates));
  } catch (const Json::exception& e) {
    // "[json.exception.parse_error.101] parse error at line 1, column 2: ..."
    std::string what = e.what();
    if (const size_t end = what.find("] ");
        what.rfind("[json.exception", 0) == 0 && end != std::string::npos) {
      what = what.substr(end + 2);
    }
    error = OneLine(what);
    return std::nullopt;
  }
  if (!duplicates.Duplicate().empty()) {
    error = "field \"" + OneLine(duplicates.Duplicate()) + "\" is given twice in one object";
    return std::nullopt;
  }
  try {
    ConfigurationDocument document = ReadDocument(root);
    if (const auto problem = image::CheckConfiguration(document.configuration)) {
      error = problem->field + ": " + problem->reason;
      return std::nullopt;
    }
    return document;
  } catch (const FieldError& e) {
    error = OneLine(e.field + ": " + e.reason);
  } catch (const Json::exception& e) {
    error = OneLine(e.what());
  }
  return std::nullopt;
}

bool IsBytesJson(const Json& value) {
  return value.is_object() && value.size() == 1 &&
         ((value.contains("hex") && value["hex"].is_string()) ||
          (value.contains("base64") && value["base64"].is_string()));
}

std::optional<std::vector<uint8_t>> BytesOfJson(const Json& value) {
  if (!IsBytesJson(value)) return std::nullopt;
  if (value.contains("hex")) return platform::FromHex(value["hex"].get<std::string>());
  return platform::FromBase64(value["base64"].get<std::string>());
}

std::string JsonLine(const Json& value) {
  return value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

}  // namespace veltra::document
