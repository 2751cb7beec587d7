#include "platform/sim/sim_window.h"

namespace veltra::sim {

bool SimWindow::IsWindow() const {
  std::lock_guard lock(mutex_);
  return alive_;
}

bool SimWindow::PostMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  std::lock_guard lock(mutex_);
  if (!alive_) return false;
  posted_.push_back({message, wParam, lParam});
  return true;
}

void SimWindow::DeliverDeviceChange(uint32_t event, const platform::DeviceBroadcast* header) {
  NoticeHandler handler;
  {
    std::lock_guard lock(mutex_);
    if (!alive_) return;
    notices_.push_back({event, header ? std::optional(*header) : std::nullopt});
    handler = handler_;
  }
  if (handler) handler(event, header);
}

void SimWindow::SetAlive(bool alive) {
  std::lock_guard lock(mutex_);
  alive_ = alive;
}

void SimWindow::SetNoticeHandler(NoticeHandler handler) {
  std::lock_guard lock(mutex_);
  handler_ = std::move(handler);
}

std::vector<SimWindow::Posted> SimWindow::PostedMessages() const {
  std::lock_guard lock(mutex_);
  return posted_;
}

std::vector<SimWindow::Notice> SimWindow::Notices() const {
  std::lock_guard lock(mutex_);
  return notices_;
}

void SimWindow::Clear() {
  std::lock_guard lock(mutex_);
  posted_.clear();
  notices_.clear();
}

}  // namespace veltra::sim
