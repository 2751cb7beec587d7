#include "platform/sim/sim_timers.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace veltra::sim {

platform::TimerId SimTimers::SetTimer(platform::TimerId /*requestedId*/, uint32_t milliseconds,
                                      std::function<void(platform::TimerId)> callback) {
  const int64_t period = int64_t{std::max(milliseconds, kMinimumMs)} * 1'000'000;
  const int64_t now = clock_.NowNs();
  std::lock_guard lock(mutex_);
  const platform::TimerId id = nextId_++;
  timers_[id] = Timer{period, now + period, std::move(callback)};
  return id;
}

bool SimTimers::KillTimer(platform::TimerId id) {
  std::lock_guard lock(mutex_);
  return timers_.erase(id) > 0;
}

int SimTimers::RunDueTimers() {
  const int64_t now = clock_.NowNs();
  std::vector<std::pair<int64_t, platform::TimerId>> due;
  {
    std::lock_guard lock(mutex_);
    for (const auto& [id, timer] : timers_) {
      if (timer.dueNs <= now) due.emplace_back(timer.dueNs, id);
    }
  }
  std::sort(due.begin(), due.end());
  int fired = 0;
  for (const auto& [dueNs, id] : due) {
    std::function<void(platform::TimerId)> callback;
    {
      std::lock_guard lock(mutex_);
      auto it = timers_.find(id);
      if (it == timers_.end()) continue;             // killed by an earlier callback
      it->second.dueNs = now + it->second.periodNs;  // missed periods are not made up
      callback = it->second.callback;
    }
    ++fired;
    if (callback) callback(id);
  }
  return fired;
}

bool SimTimers::IsActive(platform::TimerId id) const {
  std::lock_guard lock(mutex_);
  return timers_.count(id) > 0;
}

size_t SimTimers::ActiveCount() const {
  std::lock_guard lock(mutex_);
  return timers_.size();
}

std::optional<int64_t> SimTimers::NextDueNs() const {
  std::lock_guard lock(mutex_);
  std::optional<int64_t> next;
  for (const auto& [id, timer] : timers_) {
    if (!next || timer.dueNs < *next) next = timer.dueNs;
  }
  return next;
}

}  // namespace veltra::sim
