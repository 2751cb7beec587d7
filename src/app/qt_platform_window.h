#pragma once

#include <atomic>
#include <functional>

#include <QObject>

#include "platform/device_broadcast.h"
#include "platform/window.h"

namespace veltra::app {

// The device channel's owner window. Messages and device-change notices may arrive on any
// thread; they are queued to the GUI thread and handed to the handlers there, in order.
class QtPlatformWindow final : public QObject, public platform::Window {
  Q_OBJECT

 public:
  using MessageHandler = std::function<void(uint32_t message, uintptr_t wParam, intptr_t lParam)>;
  using DeviceChangeHandler =
      std::function<void(uint32_t event, const platform::DeviceBroadcast* header)>;

  explicit QtPlatformWindow(QObject* parent = nullptr) : QObject(parent) {}
  ~QtPlatformWindow() override { alive_ = false; }

  void SetMessageHandler(MessageHandler handler) { messageHandler_ = std::move(handler); }
  void SetDeviceChangeHandler(DeviceChangeHandler handler) {
    deviceChangeHandler_ = std::move(handler);
  }

  // A window that is gone answers IsWindow() false and takes no posts.
  void SetAlive(bool alive) { alive_ = alive; }

  bool IsWindow() const override { return alive_; }
  bool PostMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) override;
  void DeliverDeviceChange(uint32_t event, const platform::DeviceBroadcast* header) override;

 private:
  std::atomic<bool> alive_{true};
  MessageHandler messageHandler_;
  DeviceChangeHandler deviceChangeHandler_;
};

}  // namespace veltra::app
