#pragma once

#include <cstdint>
#include <optional>

namespace veltra::log {

// Where the settings live: the current user's registry key on Windows, the QSettings store of
// this organisation and application elsewhere. The front ends read them; the core stays free
// of the toolkit.
inline constexpr char kSettingsRegistryKey[] = "Software\\Stellan\\ConfigTool";
inline constexpr char kSettingsOrganisation[] = "Stellan";
inline constexpr char kSettingsApplication[] = "ConfigTool";
inline constexpr char kEnableLogValue[] = "EnableLog";
inline constexpr char kLogTypeValue[] = "LogType";

enum class LogType : uint32_t {
  kDebugger = 0,
  kFile = 1,
};

struct LogSettings {
  bool enabled = false;
  LogType type = LogType::kFile;

  friend bool operator==(const LogSettings&, const LogSettings&) = default;
};

// The two stored 32-bit values as read: nullopt when absent or unreadable keeps the default;
// any non-zero value counts as 1.
LogSettings FromRegistryValues(std::optional<uint32_t> enableLog, std::optional<uint32_t> logType);

}  // namespace veltra::log
