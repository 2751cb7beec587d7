#include "production/serial_text.h"

#include <cstdio>

namespace veltra::production {
namespace {

constexpr char kRule[] = "a serial is 1 to 31 printable ASCII characters without blanks or commas";
constexpr size_t kShownCharacters = 40;

bool IsPrintable(char c) {
  return c >= 0x20 && c <= 0x7E;
}

}  // namespace

std::string SerialForScreen(std::string_view text) {
  std::string shown = "'";
  for (size_t i = 0; i < text.size(); ++i) {
    if (i == kShownCharacters) {
      shown += "...";
      break;
    }
    if (IsPrintable(text[i]) && text[i] != '\\') {
      shown += text[i];
    } else {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", static_cast<unsigned char>(text[i]));
      shown += escaped;
    }
  }
  return shown + "'";
}

std::string SerialTextProblem(std::string_view text) {
  if (text.empty()) return std::string("an empty serial: ") + kRule;
  const auto named = [&] { return "the serial " + SerialForScreen(text); };
  if (text.size() > kMaxSerialLength) {
    return named() + " has " + std::to_string(text.size()) + " characters: " + kRule;
  }
  for (const char c : text) {
    if (c > ' ' && c < 0x7F && c != ',') continue;
    std::string what = c == ' ' ? "a blank" : c == ',' ? "a comma" : "";
    if (what.empty()) {
      char byte[32];
      std::snprintf(byte, sizeof byte, "the byte 0x%02X", static_cast<unsigned char>(c));
      what = byte;
    }
    return named() + " holds " + what + ": " + kRule;
  }
  return "";
}

}  // namespace veltra::production
