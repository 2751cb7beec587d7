#pragma once

#include <QFont>
#include <QRect>
#include <QSize>

namespace veltra::ui {

// Dialog-unit geometry: one horizontal unit is a quarter of the font's average character width,
// one vertical unit an eighth of its character height, as dialog templates are laid out.
class DialogUnits {
 public:
  explicit DialogUnits(const QFont& font);
  // For tests and fixed layouts: the base units in pixels.
  DialogUnits(int averageCharWidth, int charHeight);

  int AverageCharWidth() const { return baseX_; }
  int CharHeight() const { return baseY_; }

  // The same grid enlarged (or reduced) by factor in both directions, for an arrangement that
  // must span a given width; a factor that is not a positive finite number leaves it as it is.
  DialogUnits Scaled(double factor) const;

  int X(int units) const;
  int Y(int units) const;
  QRect Rect(int x, int y, int width, int height) const;
  QSize Size(int width, int height) const;

 private:
  int Map(int units, int base, int divisor) const;

  int baseX_;
  int baseY_;
  double scale_ = 1.0;
};

// Dialog templates name Windows faces ("System", "MS Sans Serif") that do not exist here: the
// platform's sans face at the template's pixel height keeps the proportions of the arrangement.
QFont TemplateFont(int pixelSize);

}  // namespace veltra::ui
