#include "eq/number_text.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

namespace veltra::eq {

namespace {

bool IsBlank(char ch) {
  return ch == ' ' || ch == '\t' || ch == '\n' || ch == '\r' || ch == '\v' || ch == '\f';
}

// Skips the blanks and the sign; true for a minus.
bool SkipToDigits(const char*& at, const char* end) {
  while (at != end && IsBlank(*at))
    ++at;
  bool negative = false;
  if (at != end && (*at == '+' || *at == '-')) negative = *at++ == '-';
  return negative;
}

bool StartsWithHexPrefix(const char* at, const char* end) {
  return end - at > 2 && at[0] == '0' && (at[1] == 'x' || at[1] == 'X');
}

}  // namespace

int32_t ScanInt(std::string_view text) {
  const char* at = text.data();
  const char* end = at + text.size();
  const bool negative = SkipToDigits(at, end);
  if (at == end || *at < '0' || *at > '9') return 0;
  int64_t value = 0;
  constexpr int64_t kLimit = int64_t{std::numeric_limits<int32_t>::max()} + 1;
  for (; at != end && *at >= '0' && *at <= '9'; ++at) {
    value = value * 10 + (*at - '0');
    if (value > kLimit) value = kLimit;
  }
  if (negative) return static_cast<int32_t>(-value);
  return static_cast<int32_t>(value >= kLimit ? kLimit - 1 : value);
}

double ScanDouble(std::string_view text) {
  const char* at = text.data();
  const char* end = at + text.size();
  const bool negative = SkipToDigits(at, end);
  double value = 0.0;
  std::from_chars_result result{};
  if (StartsWithHexPrefix(at, end)) {
    result = std::from_chars(at + 2, end, value, std::chars_format::hex);
    // "0x" without hexadecimal digits is the number 0 followed by text.
    if (result.ptr == at + 2) return 0.0;
  } else {
    result = std::from_chars(at, end, value, std::chars_format::general);
  }
  if (result.ec == std::errc::invalid_argument) return 0.0;
  if (result.ec == std::errc::result_out_of_range) {
    // The exponent decides which way the number left the range.
    bool tiny = false;
    for (const char* p = at; p != result.ptr; ++p) {
      if ((*p == 'e' || *p == 'E' || *p == 'p' || *p == 'P') && p + 1 != result.ptr)
        tiny = p[1] == '-';
    }
    value = tiny ? 0.0 : std::numeric_limits<double>::infinity();
  }
  return negative ? -value : value;
}

}  // namespace veltra::eq
