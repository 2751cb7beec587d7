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

 private:
  void Toggle();
  void ShowState();

  GuiBackend& backend_;
  QLabel* state_;
  QPushButton* toggle_;
};

}  // namespace veltra::app
