#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/window.h"

namespace veltra::sim {

// An owner window for tests and headless runs: records posted messages and device-change
// notices (copies of the headers), optionally hands each notice on (e.g. to the device channel's
// OnDeviceChange), and can be "destroyed" (IsWindow false, posts fail). Thread-safe; the notice
// handler runs unlocked.
class SimWindow final : public platform::Window {
 public:
  struct Posted {
    uint32_t message;
    uintptr_t wParam;
    intptr_t lParam;
  };
  struct Notice {
    uint32_t event;
    std::optional<platform::DeviceBroadcast> header;
  };
  using NoticeHandler = std::function<void(uint32_t event, const platform::DeviceBroadcast*)>;

  bool IsWindow() const override;
  bool PostMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) override;
  void DeliverDeviceChange(uint32_t event, const platform::DeviceBroadcast* header) override;

  void SetAlive(bool alive);
  void SetNoticeHandler(NoticeHandler handler);
  std::vector<Posted> PostedMessages() const;
  std::vector<Notice> Notices() const;
  void Clear();

 private:
  mutable std::mutex mutex_;
  bool alive_ = true;
  NoticeHandler handler_;
  std::vector<Posted> posted_;
  std::vector<Notice> notices_;
};

}  // namespace veltra::sim
