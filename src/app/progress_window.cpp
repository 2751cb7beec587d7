#include "app/progress_window.h"

#include <algorithm>

#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

#include "ui/dialog_units.h"

namespace veltra::app {

namespace {

constexpr int kClientWidth = 159;
// The template's 28 and room for the bar under the text.
constexpr int kClientHeight = 44;

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

  bar_ = new QProgressBar(client);
  bar_->setObjectName(QStringLiteral("progressBar"));
  bar_->setFont(font);
  bar_->setGeometry(units.Rect(10, 24, 139, 13));
  bar_->setRange(0, kBarRange);
  bar_->setTextVisible(true);
  bar_->setAlignment(Qt::AlignCenter);
  // Disabled only so that it takes no input: drawn as an enabled bar.
  QPalette barPalette = bar_->palette();
  for (QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText, QPalette::Text,
                                   QPalette::WindowText, QPalette::Base, QPalette::Window})
    barPalette.setColor(QPalette::Disabled, role, barPalette.color(QPalette::Active, role));
  bar_->setPalette(barPalette);
  ResetProgress();

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

void CProgress::ResetProgress() {
  bar_->setValue(0);
  bar_->setFormat(QStringLiteral("%p%"));
}

void CProgress::SetProgress(uint64_t done, uint64_t toDo, std::optional<int64_t> secondsLeft) {
  const uint64_t shown = toDo == 0 ? 0 : std::min(done, toDo) * kBarRange / toDo;
  bar_->setValue(static_cast<int>(shown));
  bar_->setFormat(secondsLeft ? QStringLiteral("%p%, about %1 s left").arg(*secondsLeft)
                              : QStringLiteral("%p%"));
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
