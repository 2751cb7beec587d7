#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include <QString>
#include <QValidator>

namespace veltra::pages {

// A USB string box holds at most 31 UTF-16 units, so a descriptor is at most 64 bytes; a
// character outside the Basic Multilingual Plane takes two of them.
inline constexpr int kUsbStringMaxUnits = 31;

// The text a string box may hold: unpaired surrogates dropped, then cut to 31 units without
// splitting a pair.
QString FitUsbStringText(const QString& text);

// The descriptor bytes of a box's text (fitted first).
std::vector<uint8_t> UsbStringDescriptor(const QString& text);
// A stored string section as a box shows it (fitted).
QString UsbStringText(std::span<const uint8_t> section);

// A line edit's length limit cuts typed or pasted text by units and can leave half a pair;
// this validator drops such halves so the box never holds a broken character.
class SurrogatePairValidator final : public QValidator {
  Q_OBJECT

 public:
  using QValidator::QValidator;
  State validate(QString& input, int& position) const override;
};

}  // namespace veltra::pages
