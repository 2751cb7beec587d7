#include "app/qt_platform_window.h"

#include <optional>

#include <QMetaObject>

namespace veltra::app {

bool QtPlatformWindow::PostMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  if (!alive_) return false;
  return QMetaObject::invokeMethod(
      this,
      [this, message, wParam, lParam] {
        if (messageHandler_) messageHandler_(message, wParam, lParam);
      },
      Qt::QueuedConnection);
}

void QtPlatformWindow::DeliverDeviceChange(uint32_t event,
                                           const platform::DeviceBroadcast* header) {
  if (!alive_) return;
  // The header belongs to the sender: keep a copy for the queued delivery.
  std::optional<platform::DeviceBroadcast> copy;
  if (header != nullptr) copy = *header;
  QMetaObject::invokeMethod(
      this,
      [this, event, copy = std::move(copy)] {
        if (deviceChangeHandler_) deviceChangeHandler_(event, copy ? &*copy : nullptr);
      },
      Qt::QueuedConnection);
}

}  // namespace veltra::app
