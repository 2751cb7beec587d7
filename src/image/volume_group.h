#pragma once

#include <array>
#include <optional>
#include <vector>

#include "image/audio_io_section.h"

namespace veltra::image {

// One of the six volume controls of the Audio I/O section: the range the chip reports to the
// host and the value it starts with, chosen from whole-dB step tables.
struct VolumeGroupKind {
  int record;           // record and mute bit in the Audio I/O section
  const char* caption;  // the group box's caption
  // The step table: every whole dB from lowest to highest, both included.
  int lowest;
  int highest;
  int defaultMinimum;
  int defaultMaximum;
  int defaultInitial;
  int capability;  // capability flag that makes the group available; -1 for none
  // What the user is told when a list would come out empty.
  const char* noMinimumText;
  const char* noMaximumText;
  const char* noInitialText;
  bool mutedByDefault;

  int StepCount() const { return highest - lowest + 1; }
  int Step(int k) const { return lowest + k; }
};

// In record order.
extern const std::array<VolumeGroupKind, kVolumeRecordCount> kVolumeGroupKinds;

struct VolumeSettings {
  int maximum = 0;
  int minimum = 0;
  int initial = 0;
};

// A drop-down list of whole-dB values and its selection (-1: none).
struct VolumeList {
  std::vector<int> values;
  int selected = -1;

  std::optional<int> SelectedValue() const;
  // Selects the first item equal to value; false and nothing changed when there is none.
  bool Select(int value);
  int IndexOf(int value) const;
};

// The Minimum, Maximum and Initial lists of one group and the rules that keep
// minimum < initial < maximum. No toolkit: the page mirrors the three lists in its widgets and
// shows the messages the handlers return.
class VolumeGroup {
 public:
  explicit VolumeGroup(const VolumeGroupKind& kind) : kind_(&kind) {}

  const VolumeGroupKind& Kind() const { return *kind_; }
  const VolumeList& Minimum() const { return minimum_; }
  const VolumeList& Maximum() const { return maximum_; }
  const VolumeList& Initial() const { return initial_; }

  // The defaults in all three lists. Does nothing and answers false while volume control is
  // disabled; true means the three lists are to be enabled.
  bool Reset(bool volumeControlDisabled);

  // The handlers of a selection in the Minimum or Maximum list (index -1: none). They rebuild
  // the other lists around it and return the text to show when a list came out empty, nullptr
  // otherwise. After such a text the caller shows it and resets the group; until then the lists
  // are as the handler left them.
  const char* MinimumSelected(int index);
  const char* MaximumSelected(int index);
  // The Initial list accepts any of its values.
  void InitialSelected(int index);
  // Refills the Initial list strictly between the selected limits, keeping its value when it
  // is still there, else taking the middle item. False when the list came out empty.
  bool RebuildInitial();

  // Selects the stored values where the lists have them; a value they lack leaves that list as
  // it is. The page then runs MinimumSelected and MaximumSelected on the current selections.
  void Load(const VolumeSettings& settings);
  // The selected values; a list without a selection gives 0.
  VolumeSettings Stored() const;

 private:
  const VolumeGroupKind* kind_;
  VolumeList minimum_;
  VolumeList maximum_;
  VolumeList initial_;
};

// True when the lists of a freshly reset group would hold these values as they are, so a load
// keeps them: minimum and maximum in the step table with minimum < initial < maximum.
bool VolumeSettingsFit(const VolumeGroupKind& kind, const VolumeSettings& settings);

}  // namespace veltra::image
