#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace veltra::platform {

// Interface paths and service names are UTF-16 on the wire, as on Windows.
std::string ToUtf8(std::u16string_view text);
std::u16string ToUtf16(std::string_view text);

// Windows compares service names, device paths and file names without regard to case.
bool EqualsIgnoreAsciiCase(std::string_view a, std::string_view b);
bool EqualsIgnoreAsciiCase(std::u16string_view a, std::u16string_view b);

// The text without the blanks and tabs around it.
std::string_view TrimBlanks(std::string_view text);

// The numbers of a text of decimal fields between dots ("<a>.<b>..."), or nothing when the text
// is not of that form.
std::vector<uint64_t> DotSeparatedNumbers(std::string_view text);

}  // namespace veltra::platform
