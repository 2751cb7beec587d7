#include "production/serial_text.h"

#include <cstdio>

namespace veltra::production {

std::string CheckSerialText(std::string_view serial) {
  if (serial.empty()) return "a serial cannot be empty";
  const std::string shown(serial.substr(0, 40));
  if (serial.size() > kMaxSerialLength) {
    return "the serial '" + shown + (serial.size() > shown.size() ? "..." : "") + "' has " +
           std::to_string(serial.size()) + " characters, more than " +
           std::to_string(kMaxSerialLength);
  }
  for (const char c : serial) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte > ' ' && byte < 0x7F && c != ',') continue;
    char code[8];
    std::snprintf(code, sizeof code, "0x%02X", byte);
    const std::string what = c == ' '   ? "a blank"
                             : c == ',' ? "a comma"
                                        : std::string("byte ") + code;
    // Control bytes are not shown as they are: they would break the line.
    std::string safe;
    for (const char s : shown)
      safe +=
          static_cast<unsigned char>(s) >= ' ' && static_cast<unsigned char>(s) < 0x7F ? s : '?';
    return "the serial '" + safe + "' holds " + what +
           " (a serial is printable ASCII without blanks or commas)";
  }
  return "";
}

}  // namespace veltra::production
