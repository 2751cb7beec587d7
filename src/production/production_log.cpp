#include "production/production_log.h"

#include <chrono>
#include <cstdio>
#include <mutex>

#include "platform/user_file.h"
#include "production/durable_append.h"

namespace veltra::production {
namespace {

// A log of a million units is some 100 MB.
constexpr size_t kMaxLogBytes = size_t{1} << 30;

std::string CsvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (const char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + '"';
}

}  // namespace

std::string IsoLocalTime(std::time_t time) {
  std::tm local{};
  {
    // std::localtime hands out a shared buffer; copy it out under a lock.
    static std::mutex bufferLock;
    const std::lock_guard<std::mutex> lock(bufferLock);
    const std::tm* parts = std::localtime(&time);
    if (parts == nullptr) return {};
    local = *parts;
  }
  // The offset from the local fields read as UTC: strftime's %z names the zone on Windows.
  const std::chrono::sys_days day{std::chrono::year(local.tm_year + 1900) /
                                  std::chrono::month(static_cast<unsigned>(local.tm_mon + 1)) /
                                  std::chrono::day(static_cast<unsigned>(local.tm_mday))};
  const int64_t asUtc = day.time_since_epoch().count() * 86400LL + local.tm_hour * 3600LL +
                        local.tm_min * 60LL + local.tm_sec;
  const int64_t offset = asUtc - static_cast<int64_t>(time);
  const int64_t minutes = (offset < 0 ? -offset : offset) / 60;
  char text[48];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d%c%02d:%02d", local.tm_year + 1900,
                local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
                offset < 0 ? '-' : '+', static_cast<int>(minutes / 60),
                static_cast<int>(minutes % 60));
  return text;
}

std::string Fnv1a64(std::span<const uint8_t> bytes) {
  uint64_t hash = 14695981039346656037ULL;
  for (const uint8_t byte : bytes) {
    hash ^= byte;
    hash *= 1099511628211ULL;
  }
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
  return text;
}

std::string CsvRow(const UnitRecord& record) {
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, "%.2f", record.seconds);
  return CsvField(IsoLocalTime(record.time)) + ',' + CsvField(record.serial) + ',' +
         CsvField(record.devicePath) + ',' + CsvField(record.result) + ',' +
         CsvField(record.detail) + ',' + seconds + ',' + CsvField(record.imageHash) + '\n';
}

std::string ReadLoggedSerials(const std::string& path,
                              const std::function<void(std::string_view serial)>& take) {
  std::string text;
  bool missing = false;
  const std::string problem = platform::UserFile::ReadAll(path, kMaxLogBytes, text, missing);
  if (missing) return "";
  if (!problem.empty()) return path + ": " + problem;
  // RFC 4180: a quoted field may hold commas, doubled quotes and line breaks.
  std::string field;
  size_t column = 0;
  bool quoted = false;
  bool header = true;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quoted) {
      if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
        field += '"';
        ++i;
      } else if (c == '"') {
        quoted = false;
      } else {
        field += c;
      }
    } else if (c == '"') {
      quoted = true;
    } else if (c == ',' || c == '\n') {
      if (column == 1 && !header && !field.empty()) take(field);
      field.clear();
      column = c == ',' ? column + 1 : 0;
      if (c == '\n') header = false;
    } else if (c != '\r') {
      field += c;
    }
  }
  return "";
}

std::string AppendUnitRecord(const std::string& path, const UnitRecord& record) {
  const std::string problem = AppendDurably(path, CsvRow(record), kLogHeader);
  return problem.empty() ? "" : path + ": " + problem;
}

}  // namespace veltra::production
