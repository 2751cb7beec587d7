#include "production/serial_format.h"

#include <algorithm>
#include <charconv>
#include <limits>

#include "platform/text.h"
#include "production/serial_text.h"

namespace veltra::production {

std::optional<SerialFormat> SerialFormat::Parse(std::string_view text, std::string& error) {
  SerialFormat format;
  format.text = text;
  bool found = false;
  std::string* part = &format.before;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      *part += text[i];
      continue;
    }
    if (i + 1 < text.size() && text[i + 1] == '%') {
      *part += '%';
      ++i;
      continue;
    }
    size_t j = i + 1;
    const bool zero = j < text.size() && text[j] == '0';
    if (zero) ++j;
    unsigned width = 0;
    while (j < text.size() && text[j] >= '0' && text[j] <= '9' && width < 100) {
      width = width * 10 + static_cast<unsigned>(text[j] - '0');
      ++j;
    }
    if (j >= text.size() || text[j] != 'u' || width > 20) {
      error = "--serial-format takes one %u conversion (such as %06u), not '" +
              std::string(text.substr(i, j + 1 - i)) + "'";
      return std::nullopt;
    }
    if (found) {
      error = "--serial-format takes one %u conversion, not two";
      return std::nullopt;
    }
    found = true;
    format.zeroPad = zero;
    format.width = width;
    part = &format.after;
    i = j;
  }
  if (!found) {
    error = "--serial-format needs a %u conversion for the number ('VT-%06u')";
    return std::nullopt;
  }
  return format;
}

std::string SerialFormat::Format(uint64_t number) const {
  std::string digits = std::to_string(number);
  if (digits.size() < width) digits.insert(0, width - digits.size(), zeroPad ? '0' : ' ');
  return before + digits + after;
}

std::optional<uint64_t> SerialFormat::NumberOf(std::string_view serial) const {
  if (serial.size() <= fixed() || !serial.starts_with(before) || !serial.ends_with(after)) {
    return std::nullopt;
  }
  const std::string_view digits =
      platform::TrimBlanks(serial.substr(before.size(), serial.size() - fixed()));
  uint64_t number = 0;
  const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
  if (ec != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
  // Only what this format makes: "VT-12345" is not a serial of "VT-%04u", nor "VT-0017" of
  // "VT-%u".
  if (!zeroPad && width > 0) return Format(number) == serial ? std::optional(number) : std::nullopt;
  const size_t shortest = std::max<size_t>(width, 1);
  if (digits.size() != serial.size() - fixed() || digits.size() < shortest ||
      (digits.size() > shortest && digits.front() == '0')) {
    return std::nullopt;
  }
  return number;
}

std::optional<uint64_t> SerialFormat::LastNumber() const {
  if (fixed() >= kMaxSerialLength) return std::nullopt;
  const size_t digits = width > 0 ? width : kMaxSerialLength - fixed();
  // The largest number is one short of the type's end, so "the next number" always fits.
  uint64_t last = 0;
  for (size_t i = 0; i < digits; ++i) {
    if (last > (std::numeric_limits<uint64_t>::max() - 1 - 9) / 10) {
      return std::numeric_limits<uint64_t>::max() - 1;
    }
    last = last * 10 + 9;
  }
  return last;
}

}  // namespace veltra::production
