#include "ui/group_frame.h"

#include <QPainter>
#include <QStyle>

namespace veltra::ui {

namespace {

// Two lines, dark and light, as an etched frame is drawn.
constexpr int kLineWidth = 2;

}  // namespace

GroupFrame::GroupFrame(const QString& title, QWidget* parent) : QGroupBox(title, parent) {}

QRect GroupFrame::FrameRect() const {
  return title().isEmpty() ? rect() : rect().adjusted(0, fontMetrics().height() / 2, 0, 0);
}

QRect GroupFrame::InsideRect() const {
  return FrameRect().adjusted(kLineWidth, kLineWidth, -kLineWidth, -kLineWidth);
}

QRect GroupFrame::TitleRect() const {
  if (title().isEmpty()) return {};
  const QFontMetrics metrics = fontMetrics();
  // A blank's room on either side of the text, which starts a character in from the left.
  const int padding = metrics.horizontalAdvance(u' ');
  return QRect(metrics.averageCharWidth(), 0, metrics.horizontalAdvance(title()) + 2 * padding,
               metrics.height());
}

QSize GroupFrame::minimumSizeHint() const {
  const QRect title = TitleRect();
  return QSize(title.right() + 1 + 2 * fontMetrics().averageCharWidth(),
               FrameRect().top() + 2 * kLineWidth + 1);
}

void GroupFrame::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  const QRect title = TitleRect();
  if (!title.isEmpty()) painter.setClipRegion(QRegion(rect()).subtracted(QRegion(title)));
  const QRect frame = FrameRect();
  painter.setPen(palette().color(QPalette::Mid));
  painter.drawRect(frame.adjusted(0, 0, -2, -2));
  painter.setPen(palette().color(QPalette::Light));
  painter.drawRect(frame.adjusted(1, 1, -1, -1));
  painter.setClipping(false);
  if (!title.isEmpty())
    style()->drawItemText(&painter, title, Qt::AlignCenter | Qt::TextShowMnemonic, palette(),
                          isEnabled(), this->title(), QPalette::WindowText);
}

}  // namespace veltra::ui
