#pragma once

#include <cstdint>
#include <optional>

#include <QFrame>

class QLabel;
class QProgressBar;

namespace veltra::app {

// The "Please Wait...." window: a captioned child window that covers the middle of the main
// window while a background operation runs. It takes no input; under its text a bar shows the
// bytes done of the bytes to do, with the time left once it is known. Created hidden.
class CProgress : public QFrame {
  Q_OBJECT

 public:
  explicit CProgress(QWidget* mainWindow);

  QString Caption() const;
  QString Text() const;

  // The bar at nothing done, for the next operation.
  void ResetProgress();
  void SetProgress(uint64_t done, uint64_t toDo, std::optional<int64_t> secondsLeft);
  // The bar's steps from nothing done to all done.
  static constexpr int kBarRange = 1000;

  // Places the window over the middle of the main window: x = width(W) / 2 - width(P) / 2 and
  // y = height(W) / 2 - height(P) / 2 in the main window's client coordinates, where W is the
  // main window's outer rectangle and P this window's.
  void Centre();
  // Centres, shows and raises it above the page set.
  void ShowOverMainWindow();

 private:
  QLabel* caption_;
  QLabel* text_;
  QProgressBar* bar_;
};

}  // namespace veltra::app
