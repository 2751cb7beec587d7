#pragma once

#include <string>
#include <string_view>

namespace veltra::platform {

// Interface paths and service names are UTF-16 on the wire, as on Windows.
std::string ToUtf8(std::u16string_view text);
std::u16string ToUtf16(std::string_view text);

}  // namespace veltra::platform
