#include "image/volume_group.h"

#include <algorithm>

namespace veltra::image {

const std::array<VolumeGroupKind, kVolumeRecordCount> kVolumeGroupKinds{{
    {volume_record::kPlayback,
     "Playback Volume (Chip Hardware range: -62 ~ 0 dB. Initial value: -10dB)", -62, 0, -62, 0, -10,
     0, "No playback min volume available", "No playback max volume available",
     "No playback initial volume available", false},
    {volume_record::kLineInRecording,
     "Line-In Recording Volume (Chip Hardware range: -26 ~ 37 dB. Initial value: 0dB)", -26, 37,
     -26, 37, 0, 2, "No Line-in recording min volume available",
     "No Line-in recording max volume available", "No Line-in recording initial volume available",
     false},
    {volume_record::kMicInRecording,
     "Mic-In Recording Volume (Chip Hardware range: -14 ~ 49 dB. Initial value: 20dB)", -14, 49,
     -14, 49, 20, 1, "No Mic-in recording min volume available",
     "No Mic-in recording max volume available", "No Mic-in recording initial volume available",
     false},
    // The empty-minimum text of this group is its initial text.
    {volume_record::kStereoMixerIn,
     "StereoMixer-in Volume (Chip Hardware range: -14 ~ 49 dB. Initial value: 20dB)", -14, 49, -14,
     49, 20, -1, "No stereoMixer-in initial volume available",
     "No StereoMixer-in max volume available", "No stereoMixer-in initial volume available", false},
    {volume_record::kLineInAa,
     "Line-In AA Volume (Chip Hardware range: -29 ~ 12 dB. Initial value: 0dB)", -29, 12, -29, 12,
     0, 4, "No Line-in AA min volume available", "No Line-in AA max volume available",
     "No Line-in AA initial volume available", true},
    {volume_record::kMicInAa,
     "Mic-In AA Volume (Chip Hardware range: -14 ~ 32 dB. Initial value: 0dB)", -14, 32, -14, 32, 0,
     3, "No Mic-in AA min volume available", "No Mic-in AA max volume available",
     "No Mic-in AA initial volume available", true},
}};

std::optional<int> VolumeList::SelectedValue() const {
  if (selected < 0 || selected >= static_cast<int>(values.size())) return std::nullopt;
  return values[static_cast<size_t>(selected)];
}

int VolumeList::IndexOf(int value) const {
  const auto found = std::find(values.begin(), values.end(), value);
  return found == values.end() ? -1 : static_cast<int>(found - values.begin());
}

bool VolumeList::Select(int value) {
  const int index = IndexOf(value);
  if (index < 0) return false;
  selected = index;
  return true;
}

namespace {

// Table values k = first .. last - 1 (clamped to the table).
void Fill(VolumeList& list, const VolumeGroupKind& kind, int first, int last) {
  list.values.clear();
  list.selected = -1;
  first = std::max(first, 0);
  last = std::min(last, kind.StepCount());
  for (int k = first; k < last; ++k)
    list.values.push_back(kind.Step(k));
}

// An index the list does not have selects nothing.
int Checked(const VolumeList& list, int index) {
  return index >= 0 && index < static_cast<int>(list.values.size()) ? index : -1;
}

void SelectOrLast(VolumeList& list, std::optional<int> value) {
  if (value && list.Select(*value)) return;
  list.selected = static_cast<int>(list.values.size()) - 1;
}

}  // namespace

bool VolumeGroup::Reset(bool volumeControlDisabled) {
  if (volumeControlDisabled) return false;
  const VolumeGroupKind& kind = *kind_;
  const int steps = kind.StepCount();

  Fill(minimum_, kind, 0, steps - 1);
  if (!minimum_.Select(kind.defaultMinimum)) minimum_.selected = minimum_.values.empty() ? -1 : 0;

  // The values after the selected minimum's place in the table.
  maximum_.values.clear();
  maximum_.selected = -1;
  if (minimum_.selected >= 0 && minimum_.selected < steps - 1)
    Fill(maximum_, kind, minimum_.selected + 1, steps);
  SelectOrLast(maximum_, kind.defaultMaximum);

  RebuildInitial();
  if (!initial_.Select(kind.defaultInitial)) initial_.selected = initial_.values.empty() ? -1 : 0;
  return true;
}

const char* VolumeGroup::MinimumSelected(int index) {
  minimum_.selected = Checked(minimum_, index);
  const std::optional<int> maximum = maximum_.SelectedValue();
  // The Minimum list always starts at the table's first value: its index is the table's.
  const int k = minimum_.selected;
  Fill(maximum_, *kind_, k + 1, kind_->StepCount());
  if (maximum_.values.empty()) return kind_->noMaximumText;
  SelectOrLast(maximum_, maximum);
  if (!RebuildInitial()) return kind_->noInitialText;
  return nullptr;
}

const char* VolumeGroup::MaximumSelected(int index) {
  maximum_.selected = Checked(maximum_, index);
  const std::optional<int> minimum = minimum_.SelectedValue();
  // The Maximum list always ends at the table's last value.
  const int count = static_cast<int>(maximum_.values.size());
  const int m = kind_->StepCount() - count + maximum_.selected;
  Fill(minimum_, *kind_, 0, m);
  if (minimum_.values.empty()) return kind_->noMinimumText;
  SelectOrLast(minimum_, minimum);
  if (!RebuildInitial()) return kind_->noInitialText;
  return nullptr;
}

void VolumeGroup::InitialSelected(int index) {
  initial_.selected = Checked(initial_, index);
}

bool VolumeGroup::RebuildInitial() {
  // A limit without a selection bounds nothing.
  const int low = minimum_.SelectedValue().value_or(kind_->lowest - 1);
  const int high = maximum_.SelectedValue().value_or(kind_->highest + 1);
  const std::optional<int> kept = initial_.SelectedValue();
  Fill(initial_, *kind_, low - kind_->lowest + 1, high - kind_->lowest);
  if (initial_.values.empty()) return false;
  if (!kept || !initial_.Select(*kept))
    initial_.selected = static_cast<int>(initial_.values.size()) / 2;
  return true;
}

void VolumeGroup::Load(const VolumeSettings& settings) {
  minimum_.Select(settings.minimum);
  maximum_.Select(settings.maximum);
  initial_.Select(settings.initial);
}

VolumeSettings VolumeGroup::Stored() const {
  return {maximum_.SelectedValue().value_or(0), minimum_.SelectedValue().value_or(0),
          initial_.SelectedValue().value_or(0)};
}

bool VolumeSettingsFit(const VolumeGroupKind& kind, const VolumeSettings& settings) {
  return kind.lowest <= settings.minimum && settings.minimum < settings.initial &&
         settings.initial < settings.maximum && settings.maximum <= kind.highest;
}

}  // namespace veltra::image
