#include "app/progress_window.h"

#include <QLabel>
#include <QVBoxLayout>

#include "ui/dialog_units.h"

namespace veltra::app {

namespace {

constexpr int kClientWidth = 159;
constexpr int kClientHeight = 28;

QFont ProgressFont(const QFont& base) {
  QFont font(QStringLiteral("Arial"));
  font.setStyleHint(QFont::SansSerif);
  // Windows' points at 96 dpi; the pixel size keeps the template's proportions on any screen.
  font.setPixelSize(13);
  font.setWeight(base.weight());
  return font;
}

}  // namespace

CProgress::CProgress(QWidget* mainWindow) : QFrame(mainWindow) {
  setObjectName(QStringLiteral("CProgress"));
  setFrameStyle(QFrame::Box | QFrame::Raised);
  setLineWidth(1);
  setMidLineWidth(1);
  setAutoFillBackground(true);
  setEnabled(false);

  const QFont font = ProgressFont(this->font());
  const ui::DialogUnits units(font);

  caption_ = new QLabel(QStringLiteral("ConfigVeltra"), this);
  caption_->setObjectName(QStringLiteral("caption"));
  caption_->setAutoFillBackground(true);
  QPalette captionPalette = caption_->palette();
  captionPalette.setColor(QPalette::Window, QColor(0x00, 0x54, 0xE3));
  captionPalette.setColor(QPalette::WindowText, Qt::white);
  captionPalette.setColor(QPalette::Disabled, QPalette::WindowText, Qt::white);
  caption_->setPalette(captionPalette);
  QFont captionFont = font;
  captionFont.setBold(true);
  caption_->setFont(captionFont);
  caption_->setContentsMargins(4, 2, 4, 2);

  auto* client = new QWidget(this);
  client->setFixedSize(units.Size(kClientWidth, kClientHeight));
  text_ = new QLabel(QStringLiteral("Please Wait...."), client);
  text_->setObjectName(QStringLiteral("text"));
  text_->setFont(font);
  text_->setGeometry(units.Rect(39, 7, 83, 12));
  // A disabled label would be greyed; the window is disabled only so that it takes no input.
  QPalette textPalette = text_->palette();
  textPalette.setColor(QPalette::Disabled, QPalette::WindowText,
                       textPalette.color(QPalette::Active, QPalette::WindowText));
  text_->setPalette(textPalette);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(frameWidth(), frameWidth(), frameWidth(), frameWidth());
  layout->setSpacing(0);
  layout->addWidget(caption_);
  layout->addWidget(client);
  setFixedSize(sizeHint());
  hide();
}

QString CProgress::Caption() const {
  return caption_->text();
}

QString CProgress::Text() const {
  return text_->text();
}

void CProgress::Centre() {
  const QWidget* main = parentWidget();
  if (main == nullptr) return;
  const QRect outer = main->frameGeometry();
  move(outer.width() / 2 - width() / 2, outer.height() / 2 - height() / 2);
}

void CProgress::ShowOverMainWindow() {
  Centre();
  show();
  raise();
}

}  // namespace veltra::app
