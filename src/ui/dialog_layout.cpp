#include "ui/dialog_layout.h"

#include <algorithm>

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "ui/group_frame.h"

namespace veltra::ui {

namespace {

template <typename Widget>
Widget* Place(Widget* widget, QAnyStringView id, QRect rect) {
  if (!id.isEmpty()) widget->setObjectName(id.toString());
  widget->setGeometry(rect);
  return widget;
}

// The text's own width wins over the template's.
template <typename Widget>
Widget* PlaceText(Widget* widget, QAnyStringView id, QRect rect) {
  rect.setWidth(std::max(rect.width(), widget->sizeHint().width()));
  return Place(widget, id, rect);
}

}  // namespace

DialogLayout::DialogLayout(QWidget& parent) : parent_(parent), units_(parent.font()) {}

QLabel* DialogLayout::Label(QAnyStringView text, QRect rect, QAnyStringView id) const {
  return PlaceText(new QLabel(text.toString(), &parent_), id, rect);
}

QGroupBox* DialogLayout::Group(QAnyStringView text, QRect rect, QAnyStringView id) const {
  auto* group = Place(new GroupFrame(text.toString(), &parent_), id, rect);
  // The frame goes behind the controls it surrounds, whatever was made first.
  group->lower();
  return group;
}

QPushButton* DialogLayout::Button(QAnyStringView text, QAnyStringView id, QRect rect) const {
  auto* button = Place(new QPushButton(text.toString(), &parent_), id, rect);
  button->setAutoDefault(false);
  button->setDefault(false);
  return button;
}

QCheckBox* DialogLayout::CheckBox(QAnyStringView text, QAnyStringView id, QRect rect) const {
  return PlaceText(new QCheckBox(text.toString(), &parent_), id, rect);
}

QLineEdit* DialogLayout::Edit(QAnyStringView id, QRect rect) const {
  return Place(new QLineEdit(&parent_), id, rect);
}

QComboBox* DialogLayout::List(QAnyStringView id, const QStringList& items, QRect rect) const {
  auto* list = Place(new QComboBox(&parent_), id, rect);
  list->addItems(items);
  return list;
}

}  // namespace veltra::ui
