#pragma once

#include <QLineEdit>
#include <QPointer>

namespace veltra::pages {

// The gain edit of the EQ pages: Enter or Tab sends the focus to the control given as next,
// whose text is then all selected, so the typed gain is committed as the edit loses the focus.
// Shift+Tab goes back along the page's control order as usual; Escape stays with the edit.
class CEditEnter : public QLineEdit {
  Q_OBJECT

 public:
  explicit CEditEnter(QWidget* parent = nullptr) : QLineEdit(parent) {}

  void SetNext(QWidget* next) { next_ = next; }
  QWidget* Next() const { return next_; }

 protected:
  bool event(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void MoveToNext();

  QPointer<QWidget> next_;
};

// The Record EQ Config page's gain edit: the same behaviour.
class CREditEnter final : public CEditEnter {
  Q_OBJECT

 public:
  using CEditEnter::CEditEnter;
};

}  // namespace veltra::pages
