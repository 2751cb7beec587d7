#include "platform/win32/registry_settings.h"

#include <string>

#include "platform/windows_api.h"

namespace veltra::win32 {

std::vector<std::optional<uint32_t>> ReadUserDwordValues(std::wstring_view keyPath,
                                                         std::span<const std::wstring_view> names) {
  std::vector<std::optional<uint32_t>> values(names.size());
  HKEY key = nullptr;
  const std::wstring path(keyPath);
  if (::RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_READ | KEY_WOW64_64KEY, nullptr, &key, nullptr) != ERROR_SUCCESS)
    return values;
  for (size_t i = 0; i < names.size(); ++i) {
    const std::wstring name(names[i]);
    uint32_t value = 0;
    DWORD size = sizeof value;
    if (::RegQueryValueExW(key, name.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(&value),
                           &size) == ERROR_SUCCESS)
      values[i] = value;
  }
  ::RegCloseKey(key);
  return values;
}

}  // namespace veltra::win32
