#include "ui/hex_string.h"

#include <QByteArray>
#include <QString>

namespace veltra::ui {

namespace {

// Callers pass short box contents; the working copy holds at most this many characters.
constexpr size_t kWorkingCopyLength = 259;
constexpr size_t kDigitsUsed = 8;

int DigitValue(char c) {
  if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

uint32_t HexStringToInt(std::string_view text, bool* error) {
  std::string_view copy = text.substr(0, kWorkingCopyLength);
  const size_t n = copy.size() < kDigitsUsed ? copy.size() : kDigitsUsed;
  uint32_t value = 0;
  for (size_t i = 0; i < n; ++i) {
    const int digit = DigitValue(copy[i]);
    if (digit < 0) {
      if (error != nullptr) *error = true;
      continue;
    }
    value += static_cast<uint32_t>(digit) << (4 * (n - 1 - i));
  }
  return value;
}

uint16_t HexBoxValue(const QString& text, bool* error) {
  const QByteArray bytes = text.toLatin1();
  const std::string_view view(bytes.constData(), static_cast<size_t>(bytes.size()));
  return static_cast<uint16_t>(HexStringToInt(view, error) & 0xFFFF);
}

}  // namespace veltra::ui
