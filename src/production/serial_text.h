#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// What a production serial may be: it goes into the Serial string of the USB Config page, into
// the log's CSV and a person's screen, so it is short and plain.
namespace veltra::production {

// The Serial String of the USB Config page holds at most this many characters.
inline constexpr size_t kMaxSerialLength = 31;

// "" when text may be a serial: 1 to kMaxSerialLength printable ASCII characters without blanks
// or commas; else why not, naming it as SerialForScreen shows it ("the serial 'VT 1' holds a
// blank: ...").
std::string SerialTextProblem(std::string_view text);

// The text in quotes as a screen or a log may show it: a byte other than printable ASCII as
// \xNN, at most 40 characters of it and then "...".
std::string SerialForScreen(std::string_view text);

}  // namespace veltra::production
