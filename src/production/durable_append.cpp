#include "production/durable_append.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include "platform/file_replace.h"

namespace veltra::production {

std::string AppendDurably(const std::string& path, std::string_view text) {
#ifdef _WIN32
  const int fd = _open(path.c_str(), _O_WRONLY | _O_APPEND | _O_CREAT | _O_BINARY, 0644);
#else
  const int fd = open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY, 0644);
#endif
  if (fd < 0) return std::strerror(errno);
  struct stat info {};
  std::string problem;
  if (fstat(fd, &info) != 0) {
    problem = std::strerror(errno);
  } else if (!S_ISREG(info.st_mode)) {
    problem = platform::kNotRegularFile;
  } else {
#ifdef _WIN32
    const auto written = _write(fd, text.data(), static_cast<unsigned>(text.size()));
    const bool synced = _commit(fd) == 0;
#else
    const auto written = write(fd, text.data(), text.size());
    const bool synced = written >= 0 && fsync(fd) == 0;
#endif
    if (written < 0 || !synced) {
      problem = std::strerror(errno);
    } else if (static_cast<size_t>(written) != text.size()) {
      problem = "short write (disk full?)";
    }
  }
#ifdef _WIN32
  _close(fd);
#else
  close(fd);
#endif
  return problem;
}

}  // namespace veltra::production
