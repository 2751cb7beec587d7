#include "ui/dialog_units.h"

#include <algorithm>
#include <cmath>

#include <QApplication>
#include <QFontMetrics>

namespace veltra::ui {

namespace {

// The average width of the 52 Latin letters, rounded to the nearest pixel.
int AverageLetterWidth(const QFontMetrics& metrics) {
  const int width = metrics.horizontalAdvance(
      QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
  return (width / 26 + 1) / 2;
}

int MulDiv(int value, int numerator, int denominator) {
  // Round half away from zero, as dialog templates are mapped.
  const long long product = static_cast<long long>(value) * numerator;
  const long long half = denominator / 2;
  return static_cast<int>(product >= 0 ? (product + half) / denominator
                                       : (product - half) / denominator);
}

// Far beyond any screen; keeps the conversion to int defined whatever the factor.
constexpr double kLargestPixel = 1 << 24;

}  // namespace

DialogUnits::DialogUnits(const QFont& font) {
  const QFontMetrics metrics(font);
  baseX_ = AverageLetterWidth(metrics);
  baseY_ = metrics.height();
  if (baseX_ < 1) baseX_ = 1;
  if (baseY_ < 1) baseY_ = 1;
}

DialogUnits::DialogUnits(int averageCharWidth, int charHeight)
    : baseX_(averageCharWidth < 1 ? 1 : averageCharWidth),
      baseY_(charHeight < 1 ? 1 : charHeight) {}

DialogUnits DialogUnits::Scaled(double factor) const {
  DialogUnits scaled = *this;
  const double scale = scale_ * factor;
  if (std::isfinite(scale) && scale > 0) scaled.scale_ = scale;
  return scaled;
}

int DialogUnits::Map(int units, int base, int divisor) const {
  if (scale_ == 1.0) return MulDiv(units, base, divisor);
  const double pixels = static_cast<double>(units) * base * scale_ / divisor;
  return static_cast<int>(std::lround(std::clamp(pixels, -kLargestPixel, kLargestPixel)));
}

int DialogUnits::X(int units) const {
  return Map(units, baseX_, 4);
}

int DialogUnits::Y(int units) const {
  return Map(units, baseY_, 8);
}

QRect DialogUnits::Rect(int x, int y, int width, int height) const {
  // Map both corners so that adjacent controls share their edges exactly.
  const int left = X(x);
  const int top = Y(y);
  return QRect(left, top, X(x + width) - left, Y(y + height) - top);
}

QSize DialogUnits::Size(int width, int height) const {
  return QSize(X(width), Y(height));
}

QFont TemplateFont(int pixelSize) {
  QFont font = QApplication::font();
  font.setPixelSize(pixelSize);
  return font;
}

}  // namespace veltra::ui
