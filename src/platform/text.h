#pragma once

#include <string>
#include <string_view>

namespace veltra::platform {

// Interface paths and service names are UTF-16 on the wire, as on Windows.
std::string ToUtf8(std::u16string_view text);
std::u16string ToUtf16(std::string_view text);

// Windows compares service names, device paths and file names without regard to case.
bool EqualsIgnoreAsciiCase(std::string_view a, std::string_view b);
bool EqualsIgnoreAsciiCase(std::u16string_view a, std::u16string_view b);

}  // namespace veltra::platform
