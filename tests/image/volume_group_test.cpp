#include <gtest/gtest.h>

#include <numeric>
#include <optional>
#include <string>
#include <vector>

#include "image/audio_io_section.h"
#include "image/volume_group.h"

namespace veltra::image {
namespace {

namespace record = volume_record;

std::vector<int> Range(int first, int last) {
  std::vector<int> values(static_cast<size_t>(last - first + 1));
  std::iota(values.begin(), values.end(), first);
  return values;
}

VolumeGroup ResetGroup(int record) {
  VolumeGroup group(kVolumeGroupKinds[static_cast<size_t>(record)]);
  EXPECT_TRUE(group.Reset(false));
  return group;
}

struct Selected {
  std::optional<int> minimum;
  std::optional<int> maximum;
  std::optional<int> initial;
  bool operator==(const Selected&) const = default;
};

Selected SelectedOf(const VolumeGroup& group) {
  return {group.Minimum().SelectedValue(), group.Maximum().SelectedValue(),
          group.Initial().SelectedValue()};
}

TEST(VolumeGroup, ResetFillsEveryListAroundTheDefaults) {
  for (const VolumeGroupKind& kind : kVolumeGroupKinds) {
    SCOPED_TRACE(kind.caption);
    const VolumeGroup group = ResetGroup(kind.record);
    EXPECT_EQ(group.Minimum().values, Range(kind.lowest, kind.highest - 1));
    EXPECT_EQ(group.Maximum().values, Range(kind.lowest + 1, kind.highest));
    EXPECT_EQ(group.Initial().values, Range(kind.lowest + 1, kind.highest - 1));
    EXPECT_EQ(SelectedOf(group),
              (Selected{kind.defaultMinimum, kind.defaultMaximum, kind.defaultInitial}));
  }
  // Two groups written out.
  const VolumeGroup playback = ResetGroup(record::kPlayback);
  EXPECT_EQ(playback.Minimum().values, Range(-62, -1));
  EXPECT_EQ(playback.Maximum().values, Range(-61, 0));
  EXPECT_EQ(playback.Initial().values, Range(-61, -1));
  EXPECT_EQ(playback.Initial().SelectedValue(), -10);
  const VolumeGroup lineInAa = ResetGroup(record::kLineInAa);
  EXPECT_EQ(lineInAa.Initial().values, Range(-28, 11));
  EXPECT_EQ(lineInAa.Initial().SelectedValue(), 0);
  EXPECT_EQ(lineInAa.Maximum().values, Range(-28, 12));
  EXPECT_EQ(lineInAa.Maximum().SelectedValue(), 12);
}

TEST(VolumeGroup, ResetDoesNothingWhileVolumeControlIsDisabled) {
  VolumeGroup group(kVolumeGroupKinds[record::kPlayback]);
  EXPECT_FALSE(group.Reset(true));
  EXPECT_TRUE(group.Minimum().values.empty());
  EXPECT_FALSE(group.Minimum().SelectedValue());
}

// One choice in a list and what the group shows afterwards.
enum class List { kMinimum, kMaximum, kNoMinimum };
struct Choice {
  List list;
  int value;  // ignored for kNoMinimum
};
struct HandlerCase {
  const char* name;
  int record;
  std::vector<Choice> choices;
  const char* message;  // of the last choice; nullptr for none
  Selected after;       // after the message and the group reset that follows it
  std::vector<int> initialList;
};

class VolumeHandlers : public ::testing::TestWithParam<HandlerCase> {};

TEST_P(VolumeHandlers, RebuildTheListsOrReportAndReturnToTheDefaults) {
  const HandlerCase& c = GetParam();
  VolumeGroup group = ResetGroup(c.record);
  const char* message = nullptr;
  for (const Choice& choice : c.choices) {
    switch (choice.list) {
      case List::kMinimum:
        ASSERT_GE(group.Minimum().IndexOf(choice.value), 0) << choice.value;
        message = group.MinimumSelected(group.Minimum().IndexOf(choice.value));
        break;
      case List::kMaximum:
        ASSERT_GE(group.Maximum().IndexOf(choice.value), 0) << choice.value;
        message = group.MaximumSelected(group.Maximum().IndexOf(choice.value));
        break;
      case List::kNoMinimum:
        message = group.MinimumSelected(-1);
        break;
    }
  }
  if (c.message == nullptr) {
    EXPECT_EQ(message, nullptr) << message;
  } else {
    ASSERT_NE(message, nullptr);
    EXPECT_EQ(std::string(message), c.message);
    group.Reset(false);
  }
  EXPECT_EQ(SelectedOf(group), c.after);
  EXPECT_EQ(group.Initial().values, c.initialList);
  // The invariants hold whenever a handler ends.
  const int last = kVolumeGroupKinds[static_cast<size_t>(c.record)].highest;
  EXPECT_EQ(group.Minimum().values.front(), kVolumeGroupKinds[c.record].lowest);
  EXPECT_EQ(group.Minimum().values.back(), *group.Maximum().SelectedValue() - 1);
  EXPECT_EQ(group.Maximum().values.front(), *group.Minimum().SelectedValue() + 1);
  EXPECT_EQ(group.Maximum().values.back(), last);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, VolumeHandlers,
    ::testing::Values(HandlerCase{"MinimumMinus20",
                                  record::kPlayback,
                                  {{List::kMinimum, -20}},
                                  nullptr,
                                  {-20, 0, -10},
                                  Range(-19, -1)},
                      HandlerCase{"MinimumAboveTheInitialTakesTheMiddle",
                                  record::kPlayback,
                                  {{List::kMinimum, -5}},
                                  nullptr,
                                  {-5, 0, -2},
                                  Range(-4, -1)},
                      HandlerCase{"MaximumNextToTheMinimum",
                                  record::kPlayback,
                                  {{List::kMaximum, -61}},
                                  "No playback initial volume available",
                                  {-62, 0, -10},
                                  Range(-61, -1)},
                      HandlerCase{"NothingBetweenMinus11AndMinus10",
                                  record::kPlayback,
                                  {{List::kMaximum, -10}, {List::kMinimum, -11}},
                                  "No playback initial volume available",
                                  {-62, 0, -10},
                                  Range(-61, -1)},
                      HandlerCase{"MaximumLowersTheRecordingRange",
                                  record::kLineInRecording,
                                  {{List::kMaximum, 10}, {List::kMinimum, 5}},
                                  nullptr,
                                  {5, 10, 8},
                                  Range(6, 9)},
                      // Without a selected minimum the Maximum list reaches down to the table's
                      // first value, and choosing that leaves no minimum at all.
                      HandlerCase{"StereoMixerInEmptyMinimumList",
                                  record::kStereoMixerIn,
                                  {{List::kNoMinimum, 0}, {List::kMaximum, -14}},
                                  "No stereoMixer-in initial volume available",
                                  {-14, 49, 20},
                                  Range(-13, 48)},
                      HandlerCase{"MicInAaMaximumMessageTextOfItsOwn",
                                  record::kMicInAa,
                                  {{List::kNoMinimum, 0}, {List::kMaximum, -14}},
                                  "No Mic-in AA min volume available",
                                  {-14, 32, 0},
                                  Range(-13, 31)}),
    [](const ::testing::TestParamInfo<HandlerCase>& info) { return info.param.name; });

// A stored record as the page loads it: select, then the Minimum and Maximum handlers.
struct LoadCase {
  const char* name;
  std::vector<uint8_t> recordBytes;  // maximum, minimum, initial: words of dB x 256
  Selected after;
};

class VolumeLoads : public ::testing::TestWithParam<LoadCase> {};

TEST_P(VolumeLoads, SelectWhatTheListsHaveAndRebuildAroundIt) {
  const LoadCase& c = GetParam();
  std::vector<uint8_t> section = c.recordBytes;
  section.push_back(0);  // the mute byte
  const std::optional<AudioIoSection> decoded = DecodeAudioIoSection(section);
  ASSERT_TRUE(decoded);
  const VolumeRecord& words = decoded->records[0];

  VolumeGroup group = ResetGroup(record::kPlayback);
  group.Load({VolumeDb(words.maximum), VolumeDb(words.minimum), VolumeDb(words.initial)});
  EXPECT_EQ(group.MinimumSelected(group.Minimum().selected), nullptr);
  EXPECT_EQ(group.MaximumSelected(group.Maximum().selected), nullptr);
  EXPECT_EQ(SelectedOf(group), c.after);
  const VolumeSettings stored = group.Stored();
  EXPECT_EQ(stored.maximum, *c.after.maximum);
  EXPECT_EQ(stored.minimum, *c.after.minimum);
  EXPECT_EQ(stored.initial, *c.after.initial);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, VolumeLoads,
    ::testing::Values(
        LoadCase{"FactoryRecord", {0x00, 0x00, 0x00, 0xC2, 0x00, 0xF6}, {-62, 0, -10}},
        // -5 is in the reset Initial list but not in the one rebuilt above minimum -5.
        LoadCase{"InitialEqualToTheMinimum", {0x00, 0x00, 0x00, 0xFB, 0x00, 0xFB}, {-5, 0, -2}},
        // -62 is in no Initial list: the reset's selection stays.
        LoadCase{"InitialAtTheTableEnd", {0x00, 0x00, 0x00, 0xC2, 0x00, 0xC2}, {-62, 0, -10}},
        // +20 dB and -100 dB are outside the table: those lists keep the defaults.
        LoadCase{"LimitsOutsideTheTable", {0x00, 0x14, 0x00, 0x9C, 0x00, 0xEC}, {-62, 0, -20}},
        // Words round toward zero: -1.5 dB reads as -1, -4.5 dB as -4.
        LoadCase{"FractionalWords", {0x80, 0xFE, 0x00, 0xE2, 0x80, 0xFB}, {-30, -1, -4}}),
    [](const ::testing::TestParamInfo<LoadCase>& info) { return info.param.name; });

TEST(VolumeGroup, SettingsFitWhenALoadKeepsThemAsTheyAre) {
  const VolumeGroupKind& playback = kVolumeGroupKinds[record::kPlayback];
  struct Case {
    VolumeSettings settings;
    bool fits;
  };
  const Case cases[] = {{{0, -62, -10}, true},   {{-60, -62, -61}, true}, {{1, -62, -10}, false},
                        {{0, -63, -10}, false},  {{0, -62, -62}, false},  {{0, -62, 0}, false},
                        {{-10, -11, -10}, false}};
  for (const Case& c : cases) {
    EXPECT_EQ(VolumeSettingsFit(playback, c.settings), c.fits)
        << c.settings.maximum << " " << c.settings.minimum << " " << c.settings.initial;
    if (!c.fits) continue;
    VolumeGroup group = ResetGroup(record::kPlayback);
    group.Load(c.settings);
    EXPECT_EQ(group.MinimumSelected(group.Minimum().selected), nullptr);
    EXPECT_EQ(group.MaximumSelected(group.Maximum().selected), nullptr);
    const VolumeSettings stored = group.Stored();
    EXPECT_EQ(stored.maximum, c.settings.maximum);
    EXPECT_EQ(stored.minimum, c.settings.minimum);
    EXPECT_EQ(stored.initial, c.settings.initial);
  }
}

}  // namespace
}  // namespace veltra::image
