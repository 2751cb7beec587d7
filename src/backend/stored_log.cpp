#include "backend/stored_log.h"

namespace veltra::backend {

std::optional<log::LogSettings> SystemLogSettings() {
  return std::nullopt;
}

std::unique_ptr<StoredLog> OpenStoredLog() {
  return nullptr;
}

std::unique_ptr<platform::LogFileStore> OpenLogFileStore() {
  return std::make_unique<platform::PosixLogFileStore>(platform::PosixLogFileStore::DefaultPath());
}

std::unique_ptr<platform::DebugOutput> OpenDebugOutput() {
  return std::make_unique<platform::StderrDebugOutput>();
}

}  // namespace veltra::backend
