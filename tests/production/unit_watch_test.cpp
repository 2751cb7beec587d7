#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "platform/win32_codes.h"
#include "production/unit_watch.h"

namespace veltra::production {
namespace {

constexpr uint32_t kArrival = platform::kDbtDeviceArrival;
constexpr uint32_t kRemoval = platform::kDbtDeviceRemoveComplete;

std::u16string Unit(char16_t n, std::u16string ids = u"VID_5A52&PID_7731") {
  return u"\\\\?\\usb#" + ids + u"#7&" + n + u"#{6994ad04-93ef-11d0-a3cc-00a0c9223196}";
}

// Notices handed out one batch per wait; the line is stopped at the wait after the last.
class ScriptedNotices final : public UnitNoticeSource {
 public:
  std::vector<std::u16string> present;
  std::deque<std::vector<DeviceNotice>> batches;
  std::vector<uint32_t> waits;
  bool exhausted = false;

  std::vector<std::u16string> PresentPaths() override { return present; }
  std::vector<DeviceNotice> TakeNotices(uint32_t timeoutMs) override {
    waits.push_back(timeoutMs);
    exhausted = batches.empty();
    if (exhausted) return {};
    auto batch = batches.front();
    batches.pop_front();
    return batch;
  }
};

std::vector<std::u16string> Watch(ScriptedNotices& source, const UnitFilter& filter) {
  std::vector<std::u16string> programmed;
  WatchUnits(
      source, filter, [&] { return source.exhausted; },
      [&](const std::u16string& path) { programmed.push_back(path); });
  return programmed;
}

TEST(WatchUnits, ProgramsEachUnitOncePerAttachment) {
  ScriptedNotices source;
  source.present = {Unit('a'), Unit('x', u"VID_5A52&PID_0001"), u"\\\\?\\root#media#0000"};
  source.batches = {
      // Still attached: announced again, not programmed again.
      {{kArrival, Unit('a')}, {kArrival, Unit('b')}},
      // b: programmed, then the line learns the next one came and went before its turn.
      {{kArrival, Unit('c')}, {kRemoval, Unit('c')}},
      {},
      // a pulled out and a unit plugged into its port: the same path, a new unit. Upper case
      // names the same path.
      {{kRemoval, Unit('a')}, {kArrival, Unit('A')}},
      {{kArrival, Unit('d', u"VID_1234&PID_7731")}},
  };
  EXPECT_EQ(Watch(source, {0x5A52, 0x7731, u""}),
            (std::vector<std::u16string>{Unit('a'), Unit('b'), Unit('A')}));
  // A line with a unit in hand takes the notices without waiting.
  EXPECT_EQ(source.waits.front(), 0u);
  EXPECT_EQ(source.waits.back(), kUnitWaitMs);
}

TEST(WatchUnits, OneUnitWithSeveralAudioInterfacesIsProgrammedOnce) {
  const std::u16string wave = Unit('a') + u"\\wave", topology = Unit('a') + u"\\topology";
  ScriptedNotices source;
  source.present = {wave};
  source.batches = {{{kArrival, topology}},
                    {{kRemoval, wave}, {kRemoval, topology}},
                    {{kArrival, topology}, {kArrival, wave}}};
  EXPECT_EQ(Watch(source, {0x5A52, 0x7731, u""}), (std::vector<std::u16string>{wave, topology}));
}

TEST(WatchUnits, APathTakesThatUnitAlone) {
  ScriptedNotices source;
  source.present = {Unit('a'), Unit('b')};
  source.batches = {{{kArrival, Unit('c')}}, {{kRemoval, Unit('b')}, {kArrival, Unit('b')}}};
  std::u16string nt = Unit('b');
  nt[1] = u'?';
  EXPECT_EQ(Watch(source, {0x5A52, 0x7731, nt}),
            (std::vector<std::u16string>{Unit('b'), Unit('b')}));
}

// Without --watch: the units attached now, each once, without waiting for any to come.
TEST(WatchUnits, UnfollowedTheUnitsAttachedNowAreProgrammedOnceEach) {
  ScriptedNotices source;
  source.present = {Unit('a') + u"\\wave", Unit('a') + u"\\topology", Unit('b')};
  source.batches = {{{kArrival, Unit('c')}}};
  std::vector<std::u16string> programmed;
  WatchUnits(
      source, {0x5A52, 0x7731, u""}, [] { return false; },
      [&](const std::u16string& path) { programmed.push_back(path); }, false);
  EXPECT_EQ(programmed, (std::vector<std::u16string>{Unit('a') + u"\\wave", Unit('b')}));
  EXPECT_TRUE(source.waits.empty());
}

}  // namespace
}  // namespace veltra::production
