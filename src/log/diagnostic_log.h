#pragma once

#include <cstdarg>
#include <cstddef>

#include "log/local_time.h"
#include "log/log_settings.h"
#include "platform/debug_output.h"
#include "platform/log_file_store.h"
#include "platform/printf_format.h"

namespace veltra::log {

// A formatted message is cut to fit this buffer, terminator included.
inline constexpr size_t kMessageBufferSize = 260;

// The optional diagnostic log. Calls come from the window thread only; it takes no lock.
// Failures are silent by design: a record that cannot be written is dropped.
class DiagnosticLog {
 public:
  DiagnosticLog(LogSettings settings, platform::LogFileStore& file, platform::DebugOutput& debug,
                LocalTimeSource& clock)
      : settings_(settings), file_(file), debug_(debug), clock_(clock) {}

  // The start-up's file side: every start begins without a log file, whatever the settings say,
  // so the file only ever holds this run's records.
  static DiagnosticLog Start(LogSettings settings, platform::LogFileStore& file,
                             platform::DebugOutput& debug, LocalTimeSource& clock);

  // printf-style. To the file as "[month/day hour:minute:second] message" with no line end
  // added; to the debugger output as the bare message. Does nothing when the log is off, the
  // file has no path or format is null.
  void LogPrintf(const char* format, ...) __attribute__((format(VELTRA_PRINTF_FORMAT, 2, 3)));
  void LogVPrintf(const char* format, va_list args)
      __attribute__((format(VELTRA_PRINTF_FORMAT, 2, 0)));

  const LogSettings& Settings() const { return settings_; }

 private:
  LogSettings settings_;
  platform::LogFileStore& file_;
  platform::DebugOutput& debug_;
  LocalTimeSource& clock_;
};

}  // namespace veltra::log
