#include "image/audio_io_rules.h"

#include <utility>

#include "image/audio_io_section.h"

namespace veltra::image {
namespace {

namespace record = volume_record;
namespace flag = capability_flag;
using C = AudioControl;

}  // namespace

const std::array<AudioControlField, kAudioControlCount> kAudioControlFields{{
    {C::kOutputTerminal, &AudioOptions::headphone, "outputTerminal", "speaker", "headphone"},
    {C::kInputTerminal, &AudioOptions::lineIn, "inputTerminal", "micIn", "lineIn"},
    {C::kSpdifOut, &AudioOptions::spdifOutEnabled, "spdifOut", nullptr, nullptr},
    {C::kSpdifIn, &AudioOptions::spdifIn, "spdifIn", nullptr, nullptr},
    {C::kAaPath, &AudioOptions::aaPath, "aaPath", nullptr, nullptr},
    {C::kStereoMixerInput, &AudioOptions::stereoMixerInput, "stereoMixerInput", nullptr, nullptr},
    {C::kDigitalMic, &AudioOptions::digitalMic, "digitalMic", nullptr, nullptr},
    {C::kRecordMode, &AudioOptions::recordAsynchronous, "recordMode", "synchronous",
     "asynchronous"},
    {C::kPlaybackAsynchronous, &AudioOptions::playbackAsynchronous, "playbackAsynchronous", nullptr,
     nullptr},
    {C::kAgc, &AudioOptions::agc, "agc", nullptr, nullptr},
    {C::kPlaybackI2s, &AudioOptions::playbackI2s, "playbackI2s", nullptr, nullptr},
    {C::kPlaybackI2sMode, &AudioOptions::playbackI2sSlave, "playbackI2sMode", "master", "slave"},
    {C::kPlaybackDsp, &AudioOptions::playbackDsp, "playbackDsp", nullptr, nullptr},
    {C::kPlaybackMclk, &AudioOptions::playbackMclk, "playbackMclk", nullptr, nullptr},
    {C::kRecordI2s, &AudioOptions::recordI2s, "recordI2s", nullptr, nullptr},
    {C::kRecordI2sMode, &AudioOptions::recordI2sSlave, "recordI2sMode", "master", "slave"},
    {C::kRecordDsp, &AudioOptions::recordDsp, "recordDsp", nullptr, nullptr},
    {C::kRecordMclk, &AudioOptions::recordMclk, "recordMclk", nullptr, nullptr},
}};

void AudioIoRules::Set(bool AudioOptions::*field, AudioControl control, bool value,
                       const char* reason) {
  if (s_.options.*field == value) return;
  s_.options.*field = value;
  s_.changes.push_back({control, reason});
}

void AudioIoRules::EnableGroup(int record, bool enable) {
  s_.groupEnable[static_cast<size_t>(record)] = enable;
}

void AudioIoRules::Playback() {
  if (chip_.variant == kVariantWithoutPlayback) return;
  AudioOptions& o = s_.options;
  const bool slave = o.playbackI2sSlave;
  if (o.playbackDsp) {
    Set(&AudioOptions::playbackI2s, C::kPlaybackI2s, false,
        "the Audio I/O page turns this off, as Playback DSP is on");
  } else if (slave && !o.playbackMclk) {
    Set(&AudioOptions::playbackAsynchronous, C::kPlaybackAsynchronous, true,
        "the Audio I/O page turns this on, as Playback I2S is slave without MCLK");
  }
  const bool dsp = o.playbackDsp;
  const bool i2s = o.playbackI2s;
  s_.Enable(C::kPlaybackDsp) = !i2s;
  s_.Enable(C::kPlaybackI2s) = !dsp;
  s_.Enable(C::kPlaybackI2sMode) = !dsp;
  s_.Enable(C::kPlaybackMclk) = !dsp && slave;
  if (!s_.volumeDisabled && chip_.Capability(flag::kPlaybackVolume))
    EnableGroup(record::kPlayback, !i2s);
}

void AudioIoRules::Record() {
  if (chip_.variant == kVariantWithoutRecord) return;
  RecordDsp();
  const AudioOptions& o = s_.options;
  s_.Enable(C::kRecordDsp) = !o.recordI2s;
  s_.Enable(C::kRecordMclk) = !o.digitalMic && o.recordI2sSlave;
}

void AudioIoRules::PlaybackDsp() {
  if (chip_.variant == kVariantWithoutPlayback) return;
  AudioOptions& o = s_.options;
  const bool slave = o.playbackI2sSlave;
  const bool dsp = o.playbackDsp;
  if (dsp) {
    Set(&AudioOptions::playbackI2s, C::kPlaybackI2s, false,
        "the Audio I/O page turns this off, as Playback DSP is on");
  } else if (slave && !o.playbackMclk) {
    Set(&AudioOptions::playbackAsynchronous, C::kPlaybackAsynchronous, true,
        "the Audio I/O page turns this on, as Playback I2S is slave without MCLK");
  }
  s_.Enable(C::kPlaybackI2s) = !dsp;
  s_.Enable(C::kPlaybackI2sMode) = !dsp;
  s_.Enable(C::kPlaybackMclk) = !dsp && slave;
  if (!dsp && o.playbackMclk) {
    Set(&AudioOptions::recordAsynchronous, C::kRecordMode, true,
        "the Audio I/O page sets this to asynchronous, as Playback MCLK is on");
  }
}

void AudioIoRules::RecordDsp() {
  if (chip_.variant == kVariantWithoutRecord) return;
  AudioOptions& o = s_.options;
  if (o.recordDsp) {
    Set(&AudioOptions::recordI2s, C::kRecordI2s, false,
        "the Audio I/O page turns this off, as Record DSP is on");
  }
  s_.Enable(C::kRecordI2s) = !o.recordDsp && !o.digitalMic;
}

void AudioIoRules::RecordMode() {
  // Never back to synchronous: that is the user's choice.
  const AudioOptions& o = s_.options;
  if (o.playbackAsynchronous || o.spdifIn) {
    Set(&AudioOptions::recordAsynchronous, C::kRecordMode, true,
        o.playbackAsynchronous
            ? "the Audio I/O page sets this to asynchronous, as Playback Asynchronous Mode is on"
            : "the Audio I/O page sets this to asynchronous, as SPDIF In is on");
  }
  if (o.recordI2sSlave && !o.digitalMic && !o.recordMclk) {
    Set(&AudioOptions::recordAsynchronous, C::kRecordMode, true,
        "the Audio I/O page sets this to asynchronous, as Record I2S is slave without MCLK or "
        "Digital Mic");
  }
}

void AudioIoRules::RecordI2sMode() {
  s_.Enable(C::kRecordI2sMode) = !s_.options.digitalMic;
}

void AudioIoRules::Aa() {
  const AudioOptions& o = s_.options;
  const bool busy = o.playbackI2s || o.recordI2s || o.digitalMic;
  if (chip_.variant == 0 || chip_.variant == kVariantWithLineIn) {
    if (busy || s_.volumeDisabled) {
      s_.Enable(C::kAaPath) = false;
    } else {
      s_.Enable(C::kAaPath) = chip_.Capability(flag::kMicInAa) || chip_.Capability(flag::kLineInAa);
    }
  }
  const bool groups = !s_.volumeDisabled && o.aaPath && !busy;
  if (chip_.Capability(flag::kMicInAa)) EnableGroup(record::kMicInAa, groups);
  if (chip_.Capability(flag::kLineInAa)) EnableGroup(record::kLineInAa, groups);
}

void AudioIoRules::PlaybackVolume() {
  EnableGroup(record::kPlayback, !s_.volumeDisabled && !s_.options.playbackI2s);
}

void AudioIoRules::RecordingVolume() {
  const AudioOptions& o = s_.options;
  const bool enable = !s_.volumeDisabled && !o.digitalMic && !o.recordI2s;
  if (chip_.Capability(flag::kMicInRecording)) EnableGroup(record::kMicInRecording, enable);
  if (chip_.Capability(flag::kLineInRecording)) EnableGroup(record::kLineInRecording, enable);
}

void AudioIoRules::StereoMixer() {
  const AudioOptions& o = s_.options;
  EnableGroup(record::kStereoMixerIn,
              !s_.volumeDisabled && !o.digitalMic && !o.recordI2s && o.stereoMixerInput);
}

void AudioIoRules::All() {
  RecordMode();
  Playback();
  Record();
  RecordI2sMode();
  Aa();
  PlaybackVolume();
  RecordingVolume();
  StereoMixer();
}

void AudioIoRules::CapabilityRestrictions() {
  const std::pair<int, int> flagged[] = {{record::kPlayback, flag::kPlaybackVolume},
                                         {record::kMicInRecording, flag::kMicInRecording},
                                         {record::kMicInAa, flag::kMicInAa},
                                         {record::kLineInRecording, flag::kLineInRecording},
                                         {record::kLineInAa, flag::kLineInAa}};
  for (const auto& [group, capability] : flagged)
    if (!chip_.Capability(capability)) EnableGroup(group, false);
  if (!chip_.Capability(flag::kMicInAa) && !chip_.Capability(flag::kLineInAa))
    s_.Enable(C::kAaPath) = false;
}

std::span<const AudioControl> VariantLockedControls(int variant) {
  static constexpr AudioControl kVariant0[] = {C::kInputTerminal, C::kSpdifIn,
                                               C::kStereoMixerInput};
  static constexpr AudioControl kWithoutRecord[] = {
      C::kInputTerminal, C::kSpdifIn,    C::kAaPath,    C::kStereoMixerInput,
      C::kRecordMode,    C::kDigitalMic, C::kAgc,       C::kRecordI2sMode,
      C::kRecordI2s,     C::kRecordDsp,  C::kRecordMclk};
  static constexpr AudioControl kWithoutPlayback[] = {
      C::kOutputTerminal,  C::kSpdifOut,         C::kSpdifIn,
      C::kAaPath,          C::kStereoMixerInput, C::kPlaybackAsynchronous,
      C::kPlaybackI2sMode, C::kPlaybackI2s,      C::kPlaybackDsp,
      C::kPlaybackMclk};
  static constexpr AudioControl kOther[] = {C::kInputTerminal};
  switch (variant) {
    case 0:
      return kVariant0;
    case kVariantWithoutRecord:
      return kWithoutRecord;
    case kVariantWithoutPlayback:
      return kWithoutPlayback;
    default:
      return kOther;
  }
}

TerminalItems TerminalItemsOf(int variant) {
  static constexpr const char* kOutputs[] = {"Speaker", "Headphone"};
  static constexpr const char* kInputs[] = {"MicIn", "LineIn"};
  TerminalItems items;
  if (variant != kVariantWithoutPlayback) items.output = kOutputs;
  if (variant != kVariantWithoutRecord)
    items.input = std::span<const char* const>(kInputs, variant == kVariantWithLineIn ? 2 : 1);
  return items;
}

}  // namespace veltra::image
