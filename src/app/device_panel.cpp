#include "app/device_panel.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/gui_backend.h"

namespace veltra::app {

DevicePanel::DevicePanel(GuiBackend& backend, QWidget* parent)
    : QWidget(parent, Qt::Window), backend_(backend) {
  setObjectName(QStringLiteral("DevicePanel"));
  setWindowTitle(QStringLiteral("Simulated device"));
  auto* layout = new QVBoxLayout(this);
  auto* description = new QLabel(backend_.Description(), this);
  description->setWordWrap(true);
  description->setTextInteractionFlags(Qt::TextSelectableByMouse);
  state_ = new QLabel(this);
  toggle_ = new QPushButton(this);
  toggle_->setObjectName(QStringLiteral("plugToggle"));
  layout->addWidget(description);
  layout->addWidget(state_);
  layout->addWidget(toggle_);
  connect(toggle_, &QPushButton::clicked, this, &DevicePanel::Toggle);
  setMaximumWidth(420);
  ShowState();
}

void DevicePanel::Toggle() {
  if (backend_.IsPlugged()) {
    backend_.Unplug();
  } else {
    backend_.Plug();
  }
  ShowState();
}

void DevicePanel::ShowState() {
  const bool plugged = backend_.IsPlugged();
  state_->setText(plugged ? QStringLiteral("Plugged in") : QStringLiteral("Unplugged"));
  toggle_->setText(plugged ? QStringLiteral("Unplug") : QStringLiteral("Plug in"));
}

}  // namespace veltra::app
