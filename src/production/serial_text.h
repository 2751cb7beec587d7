#pragma once

#include <string>
#include <string_view>

namespace veltra::production {

// The longest serial: the USB Config page's Serial String holds 31 characters.
inline constexpr size_t kMaxSerialLength = 31;

// Whether text may be a serial: 1 to 31 characters of printable ASCII, no blank and no comma
// (a serial goes into CSV logs and shell words unquoted). "" or the one-line reason.
std::string CheckSerialText(std::string_view serial);

}  // namespace veltra::production
