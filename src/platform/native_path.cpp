#include "platform/native_path.h"

#include "platform/text.h"

namespace veltra::platform {

std::filesystem::path NativePath(const std::string& utf8) {
#ifdef _WIN32
  const std::u16string wide = ToUtf16(utf8);
  return std::filesystem::path(std::wstring(wide.begin(), wide.end()));
#else
  return std::filesystem::path(utf8);
#endif
}

std::string PathText(const std::filesystem::path& path) {
#ifdef _WIN32
  const std::wstring& wide = path.native();
  return ToUtf8(std::u16string(wide.begin(), wide.end()));
#else
  return path.string();
#endif
}

}  // namespace veltra::platform
