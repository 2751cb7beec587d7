#pragma once

#include <QEvent>
#include <QFocusEvent>

namespace veltra::ui {

// Whether the event is the focus leaving a control for another control of the window: the checks
// that run when an edit is left must not run when the whole window loses the focus or when the
// control opens its own menu.
inline bool LeavesControl(const QEvent* event) {
  if (event->type() != QEvent::FocusOut) return false;
  const Qt::FocusReason reason = static_cast<const QFocusEvent*>(event)->reason();
  return reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason;
}

}  // namespace veltra::ui
