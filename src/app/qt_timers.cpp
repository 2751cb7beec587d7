#include "app/qt_timers.h"

#include <algorithm>
#include <cstdint>

#include <QTimer>

namespace veltra::app {

QtTimers::~QtTimers() {
  for (auto& [id, entry] : timers_)
    delete entry.timer;
}

platform::TimerId QtTimers::SetTimer(platform::TimerId requestedId, uint32_t milliseconds,
                                     std::function<void(platform::TimerId)> callback) {
  if (!callback) return 0;
  auto existing = timers_.find(requestedId);
  if (existing != timers_.end()) {
    existing->second.callback = std::move(callback);
    existing->second.timer->start(static_cast<int>(std::min<uint32_t>(milliseconds, INT32_MAX)));
    return requestedId;
  }
  platform::TimerId id = ++nextId_;
  while (id == 0 || timers_.count(id) != 0)
    id = ++nextId_;
  auto* timer = new QTimer(this);
  connect(timer, &QTimer::timeout, this, [this, id] { Fire(id); });
  timers_.emplace(id, Entry{timer, std::move(callback)});
  timer->start(static_cast<int>(std::min<uint32_t>(milliseconds, INT32_MAX)));
  return id;
}

bool QtTimers::KillTimer(platform::TimerId id) {
  auto it = timers_.find(id);
  if (it == timers_.end()) return false;
  it->second.timer->stop();
  // The timer may be the one whose timeout is running right now.
  it->second.timer->disconnect();
  it->second.timer->deleteLater();
  timers_.erase(it);
  due_.erase(id);
  return true;
}

void QtTimers::SetHeld(bool held) {
  held_ = held;
  if (held_) return;
  const std::set<platform::TimerId> due = std::move(due_);
  due_.clear();
  for (platform::TimerId id : due)
    Fire(id);
}

void QtTimers::Fire(platform::TimerId id) {
  auto it = timers_.find(id);
  if (it == timers_.end()) return;
  if (held_) {
    due_.insert(id);
    return;
  }
  // A copy: the callback may kill or replace its own timer.
  const std::function<void(platform::TimerId)> callback = it->second.callback;
  callback(id);
}

}  // namespace veltra::app
