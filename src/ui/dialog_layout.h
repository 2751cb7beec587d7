#pragma once

#include <QAnyStringView>
#include <QRect>
#include <QStringList>

#include "ui/dialog_units.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

namespace veltra::ui {

// Places controls on a parent at dialog-unit positions, as a dialog template does, in the
// parent's font. The id goes into the control's object name. Labels and check boxes grow to hold
// their text when the face is wider than the template's: a cut caption would hide what the
// control is.
class DialogLayout {
 public:
  explicit DialogLayout(QWidget& parent);

  const DialogUnits& Units() const { return units_; }
  QRect Rect(int x, int y, int width, int height) const { return units_.Rect(x, y, width, height); }

  QLabel* Label(QAnyStringView text, QRect rect, QAnyStringView id = {}) const;
  // A frame with its title on its top line, as the templates' contents expect.
  QGroupBox* Group(QAnyStringView text, QRect rect, QAnyStringView id = {}) const;
  // Never the default button: Enter belongs to the control that has the focus.
  QPushButton* Button(QAnyStringView text, QAnyStringView id, QRect rect) const;
  QCheckBox* CheckBox(QAnyStringView text, QAnyStringView id, QRect rect) const;
  QLineEdit* Edit(QAnyStringView id, QRect rect) const;
  // A drop-down list. The template's height includes the open list; the closed box is one row
  // of the given height.
  QComboBox* List(QAnyStringView id, const QStringList& items, QRect rect) const;

 private:
  QWidget& parent_;
  DialogUnits units_;
};

}  // namespace veltra::ui
