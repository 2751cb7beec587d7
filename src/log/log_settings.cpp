#include "log/log_settings.h"

namespace veltra::log {

LogSettings FromRegistryValues(std::optional<uint32_t> enableLog, std::optional<uint32_t> logType) {
  LogSettings settings;
  if (enableLog) settings.enabled = *enableLog != 0;
  if (logType) settings.type = *logType != 0 ? LogType::kFile : LogType::kDebugger;
  return settings;
}

}  // namespace veltra::log
