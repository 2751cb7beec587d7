#pragma once

#include <QWidget>

class QLabel;
class QPushButton;

namespace veltra::app {

class GuiBackend;

// A small window beside the main window that pulls the simulated device out of its socket and
// puts it back, so the device-removal path can be seen without hardware.
class DevicePanel final : public QWidget {
  Q_OBJECT

 public:
  explicit DevicePanel(GuiBackend& backend, QWidget* parent = nullptr);

  // Shows the panel beside the window where the screen has room, so that neither hides the
  // other, and moves it there again whenever the window grows over it (a wide page).
  void ShowBeside(QWidget& window);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void PlaceBeside();
  void Toggle();
  void ShowState();

  GuiBackend& backend_;
  QLabel* state_;
  QPushButton* toggle_;
  QWidget* window_ = nullptr;
};

}  // namespace veltra::app
