#include "pages/usb_string_text.h"

#include <algorithm>

#include <QLineEdit>

#include "image/string_descriptor.h"

namespace veltra::pages {

namespace {

// Removes unpaired surrogates; position follows the text it pointed into.
QString DropUnpairedSurrogates(const QString& text, int* position) {
  QString out;
  out.reserve(text.size());
  // Halves are counted against the position in the original text.
  const qsizetype original = position != nullptr ? *position : 0;
  for (qsizetype i = 0; i < text.size(); ++i) {
    const QChar unit = text[i];
    if (unit.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
      out += unit;
      out += text[++i];
    } else if (unit.isSurrogate()) {
      if (position != nullptr && i < original) --*position;
    } else {
      out += unit;
    }
  }
  return out;
}

}  // namespace

QString FitUsbStringText(const QString& text) {
  const QString whole = DropUnpairedSurrogates(text, nullptr);
  const std::u16string units = whole.toStdU16String();
  return QString::fromStdU16String(
      std::u16string(image::CutUtf16(units, image::kMaxStringDescriptorUnits)));
}

std::vector<uint8_t> UsbStringDescriptor(const QString& text) {
  const std::u16string units = FitUsbStringText(text).toStdU16String();
  return image::EncodeStringDescriptor(std::u16string_view(units));
}

QString UsbStringText(std::span<const uint8_t> section) {
  return FitUsbStringText(QString::fromStdU16String(image::DecodeStringDescriptorUtf16(section)));
}

namespace {

// The box's limit never cuts what it holds: a longer text shrinks it as the user deletes.
void FitLimitTo(QLineEdit& box, qsizetype length) {
  box.setMaxLength(static_cast<int>(std::max<qsizetype>(kUsbStringMaxUnits, length)));
}

}  // namespace

void MakeUsbStringBox(QLineEdit& box) {
  box.setMaxLength(kUsbStringMaxUnits);
  box.setValidator(new SurrogatePairValidator(&box));
  QObject::connect(&box, &QLineEdit::textEdited, &box,
                   [&box](const QString& text) { FitLimitTo(box, text.size()); });
}

void ShowUsbString(QLineEdit& box, const QString& text) {
  const QString fitted = FitUsbStringText(text);
  FitLimitTo(box, fitted.size());
  box.setText(fitted);
}

QValidator::State SurrogatePairValidator::validate(QString& input, int& position) const {
  int adjusted = position;
  const QString fixed = DropUnpairedSurrogates(input, &adjusted);
  if (fixed.size() != input.size()) {
    input = fixed;
    position = adjusted;
  }
  return Acceptable;
}

}  // namespace veltra::pages
