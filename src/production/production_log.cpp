#include "production/production_log.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <system_error>

#include "production/durable_append.h"

namespace veltra::production {
namespace {

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

std::string AppendUnitRecord(const std::string& path, const UnitRecord& record) {
  std::error_code ec;
  const bool fresh =
      !std::filesystem::exists(path, ec) || std::filesystem::file_size(path, ec) == 0;
  const std::string text = (fresh ? std::string(kLogHeader) : std::string()) + CsvRow(record);
  const std::string problem = AppendDurably(path, text);
  return problem.empty() ? "" : path + ": " + problem;
}

}  // namespace veltra::production
