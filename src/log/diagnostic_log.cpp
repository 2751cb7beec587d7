#include "log/diagnostic_log.h"

#include <cstdio>
#include <cstring>
#include <string_view>

namespace veltra::log {
namespace {

// Five stamp numbers of at most 11 characters each, their separators, the message and its
// terminator: a record never needs cutting.
constexpr size_t kRecordBufferSize = kMessageBufferSize + 64;

}  // namespace

DiagnosticLog DiagnosticLog::Start(LogSettings settings, platform::LogFileStore& file,
                                   platform::DebugOutput& debug, LocalTimeSource& clock) {
  file.Delete();
  return DiagnosticLog(settings, file, debug, clock);
}

void DiagnosticLog::LogPrintf(const char* format, ...) {
  va_list args;
  va_start(args, format);
  LogVPrintf(format, args);
  va_end(args);
}

void DiagnosticLog::LogVPrintf(const char* format, va_list args) {
  if (!settings_.enabled || file_.Path().empty() || format == nullptr) return;
  const LocalTime now = clock_.Now();

  char message[kMessageBufferSize];
  // vsnprintf cuts a longer message and always terminates it.
  if (std::vsnprintf(message, sizeof message, format, args) < 0) return;

  if (settings_.type == LogType::kDebugger) {
    debug_.Write(std::string_view(message, std::strlen(message)));
    return;
  }
  char record[kRecordBufferSize];
  const int length = std::snprintf(record, sizeof record, "[%d/%d %d:%d:%d] %s", now.month, now.day,
                                   now.hour, now.minute, now.second, message);
  if (length < 0) return;
  const size_t recordLength =
      static_cast<size_t>(length) < sizeof record ? static_cast<size_t>(length) : sizeof record - 1;
  file_.Append(std::string_view(record, recordLength));
}

}  // namespace veltra::log
