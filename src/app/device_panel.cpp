#include "app/device_panel.h"

#include <algorithm>

#include <QEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include "app/gui_backend.h"
#include "ui/window_fit.h"

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
  // As wide as the window manager needs for the whole title.
  setMinimumWidth(ui::CaptionWidth(windowTitle()));
  setMaximumWidth(std::max(420, minimumWidth()));
  ShowState();
}

void DevicePanel::ShowBeside(QWidget& window) {
  window_ = &window;
  window.installEventFilter(this);
  show();
  PlaceBeside();
}

bool DevicePanel::eventFilter(QObject* watched, QEvent* event) {
  if (watched == window_ && event->type() == QEvent::Resize &&
      window_->frameGeometry().intersects(frameGeometry()))
    PlaceBeside();
  return QWidget::eventFilter(watched, event);
}

void DevicePanel::PlaceBeside() {
  const QScreen* screen = window_->screen();
  if (screen == nullptr) return;
  const QRect available = screen->availableGeometry();
  QRect main = window_->frameGeometry();
  const int width = frameGeometry().width();
  constexpr int kGap = 8;
  // Without room on either side the window moves over to make it, as far as the screen has it;
  // the panel then lies over the window's edge rather than under it.
  if (main.right() + 1 + kGap + width > available.right() + 1 &&
      main.left() - kGap - width < available.left()) {
    const int spare = std::max(0, available.width() - main.width() - kGap - width);
    main.moveLeft(available.left() + spare / 2);
    window_->move(window_->pos() + QPoint(main.left() - window_->frameGeometry().left(), 0));
  }
  int x = main.right() + 1 + kGap;
  if (x + width > available.right() + 1) x = main.left() - kGap - width;
  if (x < available.left()) x = std::max(available.left(), available.right() + 1 - width);
  move(x, std::max(main.top(), available.top()));
  raise();
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
