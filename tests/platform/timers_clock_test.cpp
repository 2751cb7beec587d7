// The virtual clock and the thread timers on it.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "platform/sim/sim_clock.h"
#include "platform/sim/sim_timers.h"

namespace veltra::sim {
namespace {

using namespace std::chrono_literals;

int64_t RealNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

TEST(SimClock, VirtualTimeMovesOnlyWhenTold) {
  SimClock clock;
  EXPECT_EQ(clock.NowNs(), 0);
  std::this_thread::sleep_for(2ms);
  EXPECT_EQ(clock.NowNs(), 0);
  clock.Advance(250'000);
  EXPECT_EQ(clock.NowNs(), 250'000);
  const int64_t before = RealNs();
  clock.WaitUntilNs(10'000'000'000);  // ten virtual seconds, no real wait
  EXPECT_EQ(clock.NowNs(), 10'000'000'000);
  EXPECT_LT(RealNs() - before, 1'000'000'000);
  clock.WaitUntilNs(5);  // the past: nothing moves
  EXPECT_EQ(clock.NowNs(), 10'000'000'000);
}

TEST(SimClock, FollowRealTimeNeverLagsRealTime) {
  SimClock clock;
  clock.Advance(1000);
  clock.SetFollowRealTime(true);
  std::this_thread::sleep_for(5ms);
  EXPECT_GE(clock.NowNs(), 1000 + 5'000'000);
  const int64_t now = clock.NowNs();
  clock.Advance(1'000'000'000);  // may still run ahead of real time
  EXPECT_GE(clock.NowNs(), now + 1'000'000'000);
  clock.SetFollowRealTime(false);
  const int64_t frozen = clock.NowNs();
  std::this_thread::sleep_for(2ms);
  EXPECT_EQ(clock.NowNs(), frozen);
}

TEST(SimClock, PacingSleepsUntilRealTimeCatchesUp) {
  SimClock clock;
  clock.SetPacing(true);
  const int64_t before = RealNs();
  clock.Advance(3'000'000);
  clock.WaitUntilNs(clock.NowNs() + 3'000'000);
  EXPECT_GE(RealNs() - before, 6'000'000);
  EXPECT_EQ(clock.NowNs(), 6'000'000);
}

TEST(SimTimers, FreshIdsPeriodicUntilKilled) {
  SimClock clock;
  SimTimers timers(clock);
  std::vector<platform::TimerId> fired;
  auto record = [&](platform::TimerId id) { fired.push_back(id); };
  const platform::TimerId a = timers.SetTimer(786, 2000, record);
  const platform::TimerId b = timers.SetTimer(786, 500, record);
  EXPECT_NE(a, 0u);
  EXPECT_NE(b, 0u);
  EXPECT_NE(a, b);
  EXPECT_EQ(timers.NextDueNs(), 500'000'000);

  EXPECT_EQ(timers.RunDueTimers(), 0);
  clock.Advance(1'999'999'999);
  EXPECT_EQ(timers.RunDueTimers(), 1);  // b once: missed periods are not made up
  EXPECT_EQ(fired, std::vector<platform::TimerId>{b});
  clock.Advance(1);
  EXPECT_EQ(timers.RunDueTimers(), 1);
  EXPECT_EQ(fired.back(), a);
  clock.Advance(2'000'000'000);
  EXPECT_EQ(timers.RunDueTimers(), 2);
  EXPECT_TRUE(timers.KillTimer(a));
  EXPECT_FALSE(timers.KillTimer(a));
  EXPECT_FALSE(timers.IsActive(a));
  clock.Advance(10'000'000'000);
  EXPECT_EQ(timers.RunDueTimers(), 1);
  EXPECT_EQ(timers.ActiveCount(), 1u);
}

TEST(SimTimers, CallbacksMayKillAndSetTimers) {
  SimClock clock;
  SimTimers timers(clock);
  platform::TimerId second = 0;
  int firstRuns = 0;
  platform::TimerId first = 0;
  first = timers.SetTimer(0, 100, [&](platform::TimerId id) {
    ++firstRuns;
    EXPECT_EQ(id, first);
    timers.KillTimer(id);  // one-shot, as the device channel uses it
    timers.KillTimer(second);
    timers.SetTimer(0, 100, [](platform::TimerId) {});
  });
  second = timers.SetTimer(0, 100, [](platform::TimerId) { FAIL() << "killed before its turn"; });
  clock.Advance(100'000'000);
  EXPECT_EQ(timers.RunDueTimers(), 1);
  EXPECT_EQ(firstRuns, 1);
  EXPECT_EQ(timers.ActiveCount(), 1u);
}

TEST(SimTimers, ElapseBelowTheMinimumIsRaised) {
  SimClock clock;
  SimTimers timers(clock);
  timers.SetTimer(0, 0, nullptr);
  EXPECT_EQ(timers.NextDueNs(), 10'000'000);
  clock.Advance(10'000'000);
  EXPECT_EQ(timers.RunDueTimers(), 1);  // a timer without callback is fine
}

}  // namespace
}  // namespace veltra::sim
