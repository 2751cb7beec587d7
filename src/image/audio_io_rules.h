#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <span>
#include <vector>

#include "image/header_options.h"
#include "image/volume_group.h"

namespace veltra::image {

// The chip as the Audio I/O rules see it: its variant code and capability flags (those of the
// last read; 0 before any).
struct ChipTraits {
  int variant = 0;
  std::array<bool, 7> capabilities{};

  bool Capability(int flag) const {
    return flag >= 0 && flag < static_cast<int>(capabilities.size()) &&
           capabilities[static_cast<size_t>(flag)];
  }
};

inline constexpr int kVariantWithoutRecord = 1;
inline constexpr int kVariantWithoutPlayback = 2;
inline constexpr int kVariantWithLineIn = 3;

// Capability flags of the volume groups.
namespace capability_flag {
inline constexpr int kPlaybackVolume = 0;
inline constexpr int kMicInRecording = 1;
inline constexpr int kLineInRecording = 2;
inline constexpr int kMicInAa = 3;
inline constexpr int kLineInAa = 4;
// The main window shows an EQ page only for a chip with its flag set.
inline constexpr int kPlaybackEq = 5;
inline constexpr int kRecordEq = 6;
}  // namespace capability_flag

// The Audio I/O page's option controls.
// In the order of the configuration document's header.audio fields.
enum class AudioControl {
  kOutputTerminal,
  kInputTerminal,
  kSpdifOut,
  kSpdifIn,
  kAaPath,
  kStereoMixerInput,
  kDigitalMic,
  kRecordMode,
  kPlaybackAsynchronous,
  kAgc,
  kPlaybackI2s,
  kPlaybackI2sMode,
  kPlaybackDsp,
  kPlaybackMclk,
  kRecordI2s,
  kRecordI2sMode,
  kRecordDsp,
  kRecordMclk,
};
inline constexpr size_t kAudioControlCount = 18;

// Each control's option and its field name in the configuration document (its value's words
// for a two-way choice), in control order: one vocabulary for the CLI and the rules.
struct AudioControlField {
  AudioControl control;
  bool AudioOptions::*option;
  const char* name;
  const char* off;  // the value's word when false; null for a plain true/false
  const char* on;
};
extern const std::array<AudioControlField, kAudioControlCount> kAudioControlFields;
inline const AudioControlField& FieldOf(AudioControl control) {
  return kAudioControlFields[static_cast<size_t>(control)];
}

// A value a rule changed, and why ("the Audio I/O page turns this off, as Playback DSP is on").
struct AudioRuleChange {
  AudioControl control;
  const char* reason;
};

// What the rules read and decide. Values are the controls' current values; the enable states
// are only those a rule set (unset: left as they are), last one wins.
struct AudioRuleState {
  AudioOptions options;
  bool volumeDisabled = false;
  std::array<std::optional<bool>, kAudioControlCount> enable{};
  std::array<std::optional<bool>, kVolumeRecordCount> groupEnable{};
  std::vector<AudioRuleChange> changes;  // value changes, in the order the rules made them

  std::optional<bool>& Enable(AudioControl control) { return enable[static_cast<size_t>(control)]; }
};

// The rules that keep the Audio I/O page's option controls consistent. Each handler of the page
// runs some of them in its own order; All() is the order of reset and load.
class AudioIoRules {
 public:
  AudioIoRules(const ChipTraits& chip, AudioRuleState& state) : chip_(chip), s_(state) {}

  void Playback();
  void Record();
  void PlaybackDsp();
  void RecordDsp();
  void RecordMode();
  void RecordI2sMode();
  void Aa();
  void PlaybackVolume();
  void RecordingVolume();
  void StereoMixer();
  void All();
  // The groups and the A-A path the capability flags switch off (not locked).
  void CapabilityRestrictions();

 private:
  void Set(bool AudioOptions::*field, AudioControl control, bool value, const char* reason);
  void EnableGroup(int record, bool enable);

  const ChipTraits& chip_;
  AudioRuleState& s_;
};

// The controls a chip of this variant cannot use, in the order the page locks them.
std::span<const AudioControl> VariantLockedControls(int variant);

// The terminal lists a chip of this variant offers.
struct TerminalItems {
  std::span<const char* const> output;
  std::span<const char* const> input;
};
TerminalItems TerminalItemsOf(int variant);

}  // namespace veltra::image
