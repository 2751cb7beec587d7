#include "cli/json_report.h"

#include <string>

#include "cli/json_writer.h"
#include "cli/report_numbers.h"
#include "eq/factory_defaults.h"

namespace veltra::cli {

namespace {

void BoolField(JsonWriter& json, const char* key, bool value) {
  json.Key(key);
  json.Bool(value);
}

void IntegerField(JsonWriter& json, const char* key, int64_t value) {
  json.Key(key);
  json.Integer(value);
}

void StringField(JsonWriter& json, const char* key, const std::string& value) {
  json.Key(key);
  json.String(value);
}

void OptionalStringField(JsonWriter& json, const char* key,
                         const std::optional<std::string>& value) {
  json.Key(key);
  if (value) {
    json.String(*value);
  } else {
    json.Null();
  }
}

void WriteOptions(JsonWriter& json, const ImageReport& r) {
  json.Key("optionBytes");
  json.BeginArray();
  for (uint8_t byte : r.optionBytes)
    json.Integer(byte);
  json.EndArray();

  json.Key("options");
  json.BeginObject();
  json.Key("usb");
  json.BeginObject();
  BoolField(json, "hidEnabled", r.usb.hidEnabled);
  BoolField(json, "remoteWakeup", r.usb.remoteWakeup);
  BoolField(json, "selfPowered", r.usb.powered != 0);
  IntegerField(json, "powerRange", r.usb.powerRange);
  json.EndObject();

  const image::AudioOptions& a = r.audio;
  json.Key("audio");
  json.BeginObject();
  BoolField(json, "headphone", a.headphone);
  BoolField(json, "lineIn", a.lineIn);
  BoolField(json, "spdifOut", a.spdifOutEnabled);
  BoolField(json, "spdifIn", a.spdifIn);
  BoolField(json, "aaPath", a.aaPath);
  BoolField(json, "stereoMixerInput", a.stereoMixerInput);
  BoolField(json, "digitalMic", a.digitalMic);
  BoolField(json, "agc", a.agc);
  BoolField(json, "recordAsynchronous", a.recordAsynchronous);
  BoolField(json, "playbackAsynchronous", a.playbackAsynchronous);
  BoolField(json, "playbackI2s", a.playbackI2s);
  BoolField(json, "playbackI2sSlave", a.playbackI2sSlave);
  BoolField(json, "playbackDsp", a.playbackDsp);
  BoolField(json, "playbackMclk", a.playbackMclk);
  BoolField(json, "recordI2s", a.recordI2s);
  BoolField(json, "recordI2sSlave", a.recordI2sSlave);
  BoolField(json, "recordDsp", a.recordDsp);
  BoolField(json, "recordMclk", a.recordMclk);
  json.EndObject();

  json.Key("playbackEq");
  json.BeginObject();
  BoolField(json, "enabled", !r.playbackEq.eqDisabled);
  BoolField(json, "toneMode", r.playbackEq.toneMode);
  IntegerField(json, "toneMaximumCode", r.playbackEq.toneMaximumCode);
  json.EndObject();

  json.Key("recordEq");
  json.BeginObject();
  BoolField(json, "enabled", r.recordEqEnabled);
  json.EndObject();

  json.Key("mcu");
  json.BeginObject();
  BoolField(json, "jumpToSram", r.mcu.jumpToSram);
  BoolField(json, "lyncHeadset", r.mcu.lyncHeadset);
  json.EndObject();

  BoolField(json, "unownedBit", r.unownedBit);
  json.EndObject();
}

void WriteSections(JsonWriter& json, const ImageReport& r) {
  json.Key("sections");
  json.BeginArray();
  for (const SectionSummary& s : r.sections) {
    json.BeginObject();
    StringField(json, "kind", std::string(s.kind->name));
    IntegerField(json, "type", s.kind->type);
    IntegerField(json, "offset", s.offset);
    IntegerField(json, "length", s.length);
    json.EndObject();
  }
  json.EndArray();
}

void WriteStrings(JsonWriter& json, const UsbStrings& s) {
  json.Key("strings");
  json.BeginObject();
  OptionalStringField(json, "manufacturer", s.manufacturer);
  OptionalStringField(json, "product", s.product);
  OptionalStringField(json, "serial", s.serial);
  json.EndObject();
}

void WriteVolumes(JsonWriter& json, const std::optional<AudioIoSummary>& audio) {
  json.Key("audioIo");
  if (!audio) {
    json.Null();
    return;
  }
  json.BeginObject();
  IntegerField(json, "length", audio->length);
  json.Key("volumes");
  if (!audio->volumes) {
    json.Null();
  } else {
    json.BeginArray();
    const image::AudioIoSection& v = *audio->volumes;
    for (int i = 0; i < v.recordCount; ++i) {
      const image::VolumeRecord& record = v.records[static_cast<size_t>(i)];
      json.BeginObject();
      StringField(json, "name", std::string(kVolumeRecordNames[static_cast<size_t>(i)]));
      json.Key("maximumDb");
      json.Number(VolumeDbText(record.maximum));
      json.Key("minimumDb");
      json.Number(VolumeDbText(record.minimum));
      json.Key("initialDb");
      json.Number(VolumeDbText(record.initial));
      BoolField(json, "initialMute", ((v.muteBits >> i) & 1) != 0);
      json.EndObject();
    }
    json.EndArray();
  }
  json.EndObject();
}

void WriteGains(JsonWriter& json, const image::GainRow& gains) {
  json.BeginArray();
  for (uint8_t code : gains)
    json.Number(GainDbText(code));
  json.EndArray();
}

void WriteBands(JsonWriter& json, const image::BandRecords& bands,
                const std::optional<image::BandTable>& table) {
  json.Key("bands");
  json.BeginArray();
  for (size_t k = 0; k < bands.size(); ++k) {
    json.BeginObject();
    json.Key("centreHz");
    if (table) {
      json.Integer((*table)[k].centreFrequency);
    } else {
      json.Null();
    }
    json.Key("bandwidthHz");
    if (table) {
      json.Integer((*table)[k].bandwidth);
    } else {
      json.Null();
    }
    StringField(json, "a21", HexText(static_cast<uint32_t>(bands[k].a21), 8));
    StringField(json, "a31", HexText(static_cast<uint32_t>(bands[k].a31), 8));
    StringField(json, "s", HexText(static_cast<uint32_t>(bands[k].s), 8));
    json.EndObject();
  }
  json.EndArray();
}

void WritePlaybackEq(JsonWriter& json, const std::optional<PlaybackEqSummary>& eq) {
  json.Key("playbackEqSection");
  if (!eq) {
    json.Null();
    return;
  }
  json.BeginObject();
  IntegerField(json, "length", eq->length);
  BoolField(json, "bandTable", eq->bandTable.has_value());
  if (eq->section) {
    json.Key("presets");
    json.BeginArray();
    for (size_t p = 0; p < eq->section->presets.size(); ++p) {
      json.BeginObject();
      StringField(json, "name", std::string(eq::kPresetNames[p]));
      json.Key("gainsDb");
      WriteGains(json, eq->section->presets[p]);
      json.EndObject();
    }
    json.EndArray();
    WriteBands(json, eq->section->bands, eq->bandTable);
  }
  json.EndObject();
}

void WriteRecordEq(JsonWriter& json, const std::optional<RecordEqSummary>& eq) {
  json.Key("recordEqSection");
  if (!eq) {
    json.Null();
    return;
  }
  json.BeginObject();
  IntegerField(json, "length", eq->length);
  BoolField(json, "bandTable", eq->bandTable.has_value());
  if (eq->section) {
    json.Key("gainsDb");
    WriteGains(json, eq->section->gains);
    WriteBands(json, eq->section->bands, eq->bandTable);
  }
  json.EndObject();
}

void WriteMcu(JsonWriter& json, const std::optional<McuSummary>& mcu) {
  json.Key("mcuSection");
  if (!mcu) {
    json.Null();
    return;
  }
  json.BeginObject();
  IntegerField(json, "length", mcu->length);
  json.Key("info");
  if (!mcu->info) {
    json.Null();
  } else {
    json.BeginObject();
    StringField(json, "chipId", HexText(mcu->info->chipId, 4));
    StringField(json, "vid", HexText(mcu->info->vid, 4));
    StringField(json, "pid", HexText(mcu->info->pid, 4));
    StringField(json, "chipVersion", HexText(mcu->info->chipVersion, 4));
    StringField(json, "fwVersion", HexText(mcu->info->fwVersion, 4));
    json.EndObject();
  }
  json.EndObject();
}

void WriteTailRecords(JsonWriter& json, const std::vector<TailRecordSummary>& records) {
  json.Key("tailRecords");
  json.BeginArray();
  for (const TailRecordSummary& record : records) {
    json.BeginObject();
    IntegerField(json, "number", record.number);
    StringField(json, "belongsTo", record.number == 1 ? "Playback EQ" : "Record EQ");
    IntegerField(json, "offset", record.offset);
    json.EndObject();
  }
  json.EndArray();
}

}  // namespace

void WriteJsonReport(std::ostream& out, const ImageReport& r) {
  JsonWriter json(out);
  json.BeginObject();
  if (r.chip) {
    json.Key("chip");
    json.BeginObject();
    IntegerField(json, "variant", r.chip->variant);
    json.Key("capabilities");
    json.BeginArray();
    for (int flag : r.chip->capabilities)
      json.Integer(flag);
    json.EndArray();
    json.EndObject();
  }
  IntegerField(json, "transferLength", r.transferLength);
  BoolField(json, "empty", !r.hasMagic);
  if (r.hasMagic) {
    StringField(json, "vid", HexText(r.vid, 4));
    StringField(json, "pid", HexText(r.pid, 4));
    WriteOptions(json, r);
    WriteSections(json, r);
    WriteStrings(json, r.strings);
    WriteVolumes(json, r.audioIo);
    WritePlaybackEq(json, r.playbackEqSection);
    WriteRecordEq(json, r.recordEqSection);
    WriteMcu(json, r.mcuSection);
    WriteTailRecords(json, r.tailRecords);
  }
  json.EndObject();
  out << '\n';
}

}  // namespace veltra::cli
