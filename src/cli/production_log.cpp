#include "cli/production_log.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "cli/durable_append.h"

namespace veltra::cli {
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
  std::tm parts{};
#ifdef _WIN32
  if (localtime_s(&parts, &time) != 0) return {};
#else
  if (localtime_r(&time, &parts) == nullptr) return {};
#endif
  char text[40];
  if (std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S%z", &parts) == 0) return {};
  // %z gives +0100; ISO 8601's extended form wants +01:00.
  std::string stamp = text;
  if (stamp.size() >= 5) stamp.insert(stamp.size() - 2, ":");
  return stamp;
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

}  // namespace veltra::cli
