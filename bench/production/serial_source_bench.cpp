// The start-up of a production run whose files have served 100,000 units: the counter or list,
// its journal as runs leave it (a reservation and a fate a unit, one reservation abandoned) and a
// log of as many rows, read, checked and compacted before the first unit, then once more as the
// next run finds them; and the reservations that follow. The goal: under 0.5 s a start-up.
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "production/file_serial_source.h"
#include "production/production_log.h"

namespace {

using namespace veltra::production;
using Clock = std::chrono::steady_clock;

constexpr int kUnits = 100'000;

double Since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

std::string Serial(int n) {
  char text[16];
  std::snprintf(text, sizeof text, "VT-%06d", n);
  return text;
}

// The files a line of kUnits units leaves in folder; the source's path.
std::string MakeLine(const std::filesystem::path& folder, bool list) {
  std::filesystem::create_directories(folder);
  const std::string source = (folder / (list ? "list.txt" : "counter.txt")).string();
  std::ofstream journal(source + ".journal"), log(folder / "log.csv");
  std::ofstream file(source);
  log << kLogHeader;
  for (int n = 1; n <= kUnits; ++n) {
    journal << "reserved " << Serial(n) << " 1.1\n";
    if (n < kUnits) journal << "programmed " << Serial(n) << '\n';
    if (list) file << "# used " << Serial(n) << '\n';
    log << "2026-12-07T19:05:03+01:00," << Serial(n)
        << ",\\\\?\\usb#vid_5a52&pid_7731,ok,,0.41,0123456789abcdef\n";
  }
  if (list) {
    for (int n = kUnits + 1; n <= 2 * kUnits; ++n)
      file << Serial(n) << '\n';
  } else {
    file << kUnits + 1 << '\n';
  }
  return source;
}

bool StartUp(const char* what, const std::string& source, const std::string& log, bool list) {
  const auto start = Clock::now();
  const std::clock_t processor = std::clock();
  std::string error;
  FileSerialSource files =
      list ? FileSerialSource::List(source)
           : FileSerialSource::Counter(source, *SerialFormat::Parse("VT-%06u", error), 1);
  files.SetLog(log);
  const auto supply = files.SerialsLeft(error);
  const auto abandoned = supply ? files.RecordAbandoned(error) : std::nullopt;
  const double seconds = Since(start);
  const double cpu = static_cast<double>(std::clock() - processor) / CLOCKS_PER_SEC;
  if (!abandoned) {
    std::printf("%s: %s\n", what, error.c_str());
    return false;
  }
  const auto reserving = Clock::now();
  for (int i = 0; i < 10; ++i)
    files.Reserve(error);
  std::printf(
      "%-24s %6.3f s (%5.3f s processor; goal < 0.5 s)  next %s, %zu abandoned, "
      "%.1f ms a reservation\n",
      what, seconds, cpu, supply->next.c_str(), abandoned->size(), Since(reserving) * 100);
  return error.empty();
}

}  // namespace

int main() {
  const auto folder =
      std::filesystem::temp_directory_path() /
      ("veltra-serial-bench-" + std::to_string(Clock::now().time_since_epoch().count()));
  bool ok = true;
  for (const bool list : {false, true}) {
    const std::filesystem::path line = folder / (list ? "list" : "counter");
    const std::string source = MakeLine(line, list);
    const std::string log = (line / "log.csv").string();
    ok =
        StartUp(list ? "list, first start-up" : "counter, first start-up", source, log, list) && ok;
    ok = StartUp(list ? "list, next start-up" : "counter, next start-up", source, log, list) && ok;
  }
  std::filesystem::remove_all(folder);
  return ok ? 0 : 1;
}
