#include "pages/edit_enter.h"

#include <initializer_list>

#include <QKeyEvent>

namespace veltra::pages {

namespace {

bool IsPlainKey(const QKeyEvent& key, std::initializer_list<int> keys) {
  const Qt::KeyboardModifiers modifiers = key.modifiers() & ~Qt::KeypadModifier;
  if (modifiers != Qt::NoModifier) return false;
  for (int k : keys)
    if (key.key() == k) return true;
  return false;
}

}  // namespace

bool CEditEnter::event(QEvent* event) {
  // Tab is taken before the window uses it to walk its own focus chain.
  if (event->type() == QEvent::KeyPress &&
      IsPlainKey(*static_cast<QKeyEvent*>(event), {Qt::Key_Tab})) {
    MoveToNext();
    event->accept();
    return true;
  }
  return QLineEdit::event(event);
}

void CEditEnter::keyPressEvent(QKeyEvent* event) {
  // Enter stays with the edit: it neither presses a button nor reaches the window.
  if (IsPlainKey(*event, {Qt::Key_Return, Qt::Key_Enter})) {
    MoveToNext();
    event->accept();
    return;
  }
  // The edit wants every key: Escape neither closes the window nor asks whether to.
  if (IsPlainKey(*event, {Qt::Key_Escape})) {
    event->accept();
    return;
  }
  QLineEdit::keyPressEvent(event);
}

void CEditEnter::MoveToNext() {
  QWidget* next = next_.data();
  // A control that cannot take the focus (tone mode disables bands 2 to 4) hands it on along
  // the control order.
  if (next == nullptr || !next->isEnabled() || !next->isVisible() ||
      next->focusPolicy() == Qt::NoFocus) {
    focusNextPrevChild(true);
    return;
  }
  next->setFocus(Qt::TabFocusReason);
  // Selecting all puts the caret at the end of the text, in view.
  if (auto* edit = qobject_cast<QLineEdit*>(next)) edit->selectAll();
}

}  // namespace veltra::pages
