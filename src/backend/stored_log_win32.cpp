#include <string_view>

#include "backend/stored_log.h"
#include "log/local_time.h"
#include "platform/win32/registry_settings.h"
#include "platform/win32/win32_debug_output.h"
#include "platform/win32/win32_log_file_store.h"

namespace veltra::backend {

namespace {

class Win32StoredLog final : public StoredLog {
 public:
  explicit Win32StoredLog(log::LogSettings settings) : log_(settings, file_, debug_, time_) {}
  log::DiagnosticLog& Log() override { return log_; }

 private:
  win32::Win32LogFileStore file_{win32::Win32LogFileStore::DefaultPath()};
  win32::Win32DebugOutput debug_;
  log::SystemLocalTime time_;
  log::DiagnosticLog log_;
};

}  // namespace

std::optional<log::LogSettings> SystemLogSettings() {
  constexpr std::wstring_view kNames[] = {L"EnableLog", L"LogType"};
  const auto values = win32::ReadUserDwordValues(L"Software\\Stellan\\ConfigTool", kNames);
  return log::FromRegistryValues(values[0], values[1]);
}

std::unique_ptr<StoredLog> OpenStoredLog() {
  const log::LogSettings settings = *SystemLogSettings();
  if (!settings.enabled) return nullptr;
  return std::make_unique<Win32StoredLog>(settings);
}

std::unique_ptr<platform::LogFileStore> OpenLogFileStore() {
  return std::make_unique<win32::Win32LogFileStore>(win32::Win32LogFileStore::DefaultPath());
}

std::unique_ptr<platform::DebugOutput> OpenDebugOutput() {
  return std::make_unique<win32::Win32DebugOutput>();
}

}  // namespace veltra::backend
