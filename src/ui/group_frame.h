#pragma once

#include <QGroupBox>
#include <QRect>

namespace veltra::ui {

// A group box drawn as the dialog templates lay their contents out: an etched frame whose top
// line runs through the middle of the title, so that controls placed below the title lie inside
// the frame, whatever style draws the other controls. Its contents are its siblings, placed
// over it.
class GroupFrame : public QGroupBox {
  Q_OBJECT

 public:
  explicit GroupFrame(const QString& title, QWidget* parent = nullptr);
  explicit GroupFrame(QWidget* parent = nullptr) : GroupFrame(QString(), parent) {}

  // In the box's own coordinates: the frame's outer edge, the room inside its lines, and where
  // the title interrupts the top line (empty without a title).
  QRect FrameRect() const;
  QRect InsideRect() const;
  QRect TitleRect() const;

  QSize minimumSizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace veltra::ui
