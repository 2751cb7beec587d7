#pragma once

#include <QFrame>

class QLabel;

namespace veltra::app {

// The "Please Wait...." window: a captioned child window that covers the middle of the main
// window while a background operation runs. It takes no input and nothing in it changes while
// it is shown. Created hidden.
class CProgress : public QFrame {
  Q_OBJECT

 public:
  explicit CProgress(QWidget* mainWindow);

  QString Caption() const;
  QString Text() const;

  // Places the window over the middle of the main window: x = width(W) / 2 - width(P) / 2 and
  // y = height(W) / 2 - height(P) / 2 in the main window's client coordinates, where W is the
  // main window's outer rectangle and P this window's.
  void Centre();
  // Centres, shows and raises it above the page set.
  void ShowOverMainWindow();

 private:
  QLabel* caption_;
  QLabel* text_;
};

}  // namespace veltra::app
