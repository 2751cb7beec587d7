#include "image/usb_rules.h"

#include <charconv>
#include <system_error>

namespace veltra::image {
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

const char* CheckIdText(std::string_view text) {
  if (text == "0000") return usb_text::kZero;
  bool error = false;
  HexStringToInt(text, &error);
  return error ? usb_text::kSpecialCharacters : nullptr;
}

std::optional<long long> LeadingInteger(std::string_view text) {
  const char* at = text.data();
  const char* end = at + text.size();
  while (at != end &&
         (*at == ' ' || *at == '\t' || *at == '\n' || *at == '\r' || *at == '\v' || *at == '\f'))
    ++at;
  bool negative = false;
  if (at != end && (*at == '+' || *at == '-')) negative = *at++ == '-';
  if (at == end || *at < '0' || *at > '9') return std::nullopt;
  long long value = 0;
  // Out of range for the type is out of range for the check too.
  if (std::from_chars(at, end, value).ec == std::errc::result_out_of_range)
    return kHidIntervalMaximum + 1LL;
  return negative ? -value : value;
}

bool HidIntervalAccepted(std::string_view text) {
  if (text.empty()) return true;
  const std::optional<long long> value = LeadingInteger(text);
  return value && *value <= kHidIntervalMaximum && *value >= 0;
}

}  // namespace veltra::image
