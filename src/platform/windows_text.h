#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Windows only: the bridge between the tool's UTF-8 text and the wide Windows API.
namespace veltra::platform {

std::wstring WideText(std::string_view utf8);
std::wstring WideText(std::u16string_view text);
std::u16string FromWide(std::wstring_view wide);
std::string Utf8FromWide(std::wstring_view wide);

// The reason for a Windows error code as the tool's messages give it. Errors that have a C
// library counterpart read as on the other systems ("No such file or directory", "Permission
// denied", ...); the others in the system's own words.
std::string WindowsErrorReason(uint32_t error);

}  // namespace veltra::platform
