#pragma once

#include <filesystem>
#include <string>

namespace veltra::platform {

// The tool keeps file names as UTF-8 text. On Windows a narrow name would be read in the ANSI
// code page, so paths for the standard library are built from the UTF-16 form.
std::filesystem::path NativePath(const std::string& utf8);
// The path as UTF-8 text again, for messages.
std::string PathText(const std::filesystem::path& path);

}  // namespace veltra::platform
