#pragma once

#include <map>
#include <set>

#include <QObject>

#include "platform/timers.h"

class QTimer;

namespace veltra::app {

// Thread timers on the GUI thread's event loop. As with thread timers on Windows, the requested
// id only matters when it names a timer that exists already (that timer is restarted);
// otherwise a fresh id is returned. Timers repeat until killed. GUI thread only.
class QtTimers final : public QObject, public platform::Timers {
  Q_OBJECT

 public:
  explicit QtTimers(QObject* parent = nullptr) : QObject(parent) {}
  ~QtTimers() override;

  platform::TimerId SetTimer(platform::TimerId requestedId, uint32_t milliseconds,
                             std::function<void(platform::TimerId)> callback) override;
  bool KillTimer(platform::TimerId id) override;

  // While held, timers that come due are remembered instead of run, and run once on release:
  // the main window holds them while a worker thread owns the device.
  void SetHeld(bool held);
  bool Held() const { return held_; }

  size_t ActiveCount() const { return timers_.size(); }

 private:
  struct Entry {
    QTimer* timer;
    std::function<void(platform::TimerId)> callback;
  };
  void Fire(platform::TimerId id);

  std::map<platform::TimerId, Entry> timers_;
  std::set<platform::TimerId> due_;
  bool held_ = false;
  platform::TimerId nextId_ = 0x7F00;
};

}  // namespace veltra::app
