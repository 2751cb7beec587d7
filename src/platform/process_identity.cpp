#include "platform/process_identity.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <climits>
#include <cstdint>
#include <fstream>
#include <vector>

#include "platform/text.h"

namespace veltra::platform {
namespace {

// When a process started, in clock ticks since boot (/proc/PID/stat, field 22). 0 when it cannot
// be read.
uint64_t StartOf(pid_t pid) {
  std::ifstream file("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  if (!std::getline(file, line)) return 0;
  // The command name in parentheses may hold blanks and parentheses; the fields follow the last.
  const size_t close = line.rfind(')');
  if (close == std::string::npos) return 0;
  size_t at = close + 1;
  for (int field = 3; field <= 22; ++field) {  // the state is field 3
    at = line.find_first_not_of(' ', at);
    if (at == std::string::npos) return 0;
    if (field == 22) break;
    at = line.find(' ', at);
  }
  uint64_t start = 0;
  const auto [end, error] = std::from_chars(line.data() + at, line.data() + line.size(), start);
  return error == std::errc() ? start : 0;
}

uint64_t OwnStart() {
  static const uint64_t start = StartOf(::getpid());
  return start;
}

}  // namespace

std::string OwnProcessTag() {
  return std::to_string(::getpid()) + "." + std::to_string(OwnStart());
}

bool ProcessHasEnded(std::string_view tag) {
  const std::vector<uint64_t> fields = DotSeparatedNumbers(tag);
  if (fields.size() != 1 && fields.size() != 2) return false;
  if (fields[0] == 0 || fields[0] > static_cast<uint64_t>(INT_MAX)) return false;
  const auto pid = static_cast<pid_t>(fields[0]);
  if (pid == ::getpid()) return fields.size() == 2 && fields[1] != 0 && fields[1] != OwnStart();
  if (fields.size() == 2 && fields[1] != 0) {
    if (const uint64_t start = StartOf(pid); start != 0) return start != fields[1];
  }
  return ::kill(pid, 0) != 0 && errno == ESRCH;
}

}  // namespace veltra::platform
