#include "platform/sim/default_device.h"

#ifndef _WIN32
#include <pwd.h>
#include <unistd.h>
#endif

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "platform/file_replace.h"
#include "platform/native_path.h"
#ifdef _WIN32
#include "platform/windows_text.h"
#endif

namespace veltra::sim {

namespace fs = std::filesystem;

namespace {

constexpr char kApplicationDirectory[] = "veltra-config";

#ifdef _WIN32

// The variable as UTF-8; empty when unset.
std::string Environment(const wchar_t* name) {
  const wchar_t* value = ::_wgetenv(name);
  return value == nullptr ? std::string() : platform::Utf8FromWide(value);
}

#else

std::string HomeDirectory() {
  if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') return home;
  // getpwuid_r's buffer size hint may be -1: fall back to a size that holds any sane entry.
  const long hint = ::sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buffer(hint > 0 ? static_cast<size_t>(hint) : 16384);
  passwd entry{};
  passwd* found = nullptr;
  if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
      found != nullptr && found->pw_dir != nullptr) {
    return found->pw_dir;
  }
  return "/";
}

#endif

}  // namespace

std::string UserDataDirectory() {
#ifdef _WIN32
  // The per-user, per-machine application data folder, as Windows programs keep their state.
  if (const std::string local = Environment(L"LOCALAPPDATA"); !local.empty())
    return local + "\\" + kApplicationDirectory;
  if (const std::string profile = Environment(L"USERPROFILE"); !profile.empty())
    return profile + "\\AppData\\Local\\" + kApplicationDirectory;
  return kApplicationDirectory;
#else
  fs::path base;
  // Relative values are to be ignored, as the XDG base directory rules say.
  if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg != nullptr && xdg[0] == '/') {
    base = xdg;
  } else {
    base = fs::path(HomeDirectory()) / ".local" / "share";
  }
  return (base / kApplicationDirectory).string();
#endif
}

std::string DefaultImageFile(uint16_t vid, uint16_t pid, EepromPart part) {
  char name[64];
  std::snprintf(name, sizeof name, "sim-eeprom-%04X-%04X-%s.bin", static_cast<unsigned>(vid),
                static_cast<unsigned>(pid), PartInfo(part).name);
  return platform::PathText(platform::NativePath(UserDataDirectory()) / name);
}

std::string CreateMissingImageFile(const std::string& path, EepromPart part,
                                   const ImageBuilder& build) {
  std::error_code error;
  const fs::path native = platform::NativePath(path);
  if (fs::exists(native, error)) return {};
  const fs::path directory = native.parent_path();
  // A directory that cannot be made shows as the write's own failure just below.
  if (!directory.empty()) fs::create_directories(directory, error);
  const uint32_t size = PartInfo(part).size;
  std::vector<uint8_t> bytes(size, 0xFF);
  if (build) {
    if (std::optional<std::vector<uint8_t>> image = build(size)) bytes = std::move(*image);
  }
  return platform::ReplaceFile(path, bytes);
}

}  // namespace veltra::sim
