#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include <QString>
#include <QValidator>

class QLineEdit;

namespace veltra::pages {

// At most 31 UTF-16 units can be typed into a USB string box, so a typed descriptor is at most
// 64 bytes; a character outside the Basic Multilingual Plane takes two of them. A longer text
// that another tool stored is shown and kept whole: the limit applies to typing only.
inline constexpr int kUsbStringMaxUnits = 31;

// The text a string box may hold: unpaired surrogates dropped, then cut, without splitting a
// pair, to what a descriptor can carry (its length is one byte).
QString FitUsbStringText(const QString& text);

// The descriptor bytes of a box's text (fitted first).
std::vector<uint8_t> UsbStringDescriptor(const QString& text);
// A stored string section as a box shows it (fitted).
QString UsbStringText(std::span<const uint8_t> section);

// Makes a line edit a USB string box: typing stops at 31 units and never leaves half a pair.
void MakeUsbStringBox(QLineEdit& box);
// Puts a text into a string box whole (fitted): typing can add to it again only once it is
// shorter than 31 units.
void ShowUsbString(QLineEdit& box, const QString& text);

// A line edit's length limit cuts typed or pasted text by units and can leave half a pair;
// this validator drops such halves so the box never holds a broken character.
class SurrogatePairValidator final : public QValidator {
  Q_OBJECT

 public:
  using QValidator::QValidator;
  State validate(QString& input, int& position) const override;
};

}  // namespace veltra::pages
