#pragma once

#include <memory>
#include <optional>

#include "log/diagnostic_log.h"
#include "log/log_settings.h"
#include "platform/debug_output.h"
#include "platform/log_file_store.h"

namespace veltra::backend {

// The two log settings where the system keeps them: the current user's registry key on
// Windows, read as the GUI always has (created when missing, 64-bit view, 32-bit values).
// nullopt elsewhere, where they live in the GUI's own settings store.
std::optional<log::LogSettings> SystemLogSettings();

// The GUI's diagnostic log, for another tool whose records belong there too (veltra-cli's EQ
// upload lines). The records are appended: a run of another tool must not delete the GUI's log.
class StoredLog {
 public:
  virtual ~StoredLog() = default;
  virtual log::DiagnosticLog& Log() = 0;
};

// Null when the system keeps no settings or they turn the log off.
std::unique_ptr<StoredLog> OpenStoredLog();

// The GUI's log file where the system keeps it (the Windows Temp folder; elsewhere the user's
// state folder), and the system's debugger output (OutputDebugString; elsewhere standard error).
std::unique_ptr<platform::LogFileStore> OpenLogFileStore();
std::unique_ptr<platform::DebugOutput> OpenDebugOutput();

}  // namespace veltra::backend
