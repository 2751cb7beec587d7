#include "platform/log_file_store.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <optional>
#include <utility>

namespace veltra::platform {
namespace {

constexpr char kLogDirectoryName[] = "veltra-config";

bool IsAbsolute(const char* path) {
  return path != nullptr && path[0] == '/';
}

// "/" itself becomes empty, so joining with "/name" never doubles the slash.
std::string WithoutTrailingSlashes(std::string path) {
  while (!path.empty() && path.back() == '/')
    path.pop_back();
  return path;
}

// mkdir -p with owner-only permissions; existing components are left as they are.
bool MakeDirectories(const std::string& directory) {
  for (size_t slash = directory.find('/', 1);; slash = directory.find('/', slash + 1)) {
    const std::string prefix = directory.substr(0, slash);
    if (!prefix.empty() && ::mkdir(prefix.c_str(), 0700) != 0 && errno != EEXIST) return false;
    if (slash == std::string::npos) return true;
  }
}

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<size_t>(written));
  }
  return true;
}

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileDescriptor(FileDescriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int Get() const { return fd_; }
  bool Valid() const { return fd_ >= 0; }

 private:
  int fd_;
};

// The log's folder, opened without following a link, when it is this user's own and nobody
// else may write to it: another account could otherwise plant or swap the file in it.
struct LogPlace {
  FileDescriptor directory;
  std::string name;
};

std::optional<LogPlace> OpenLogPlace(const std::string& path, bool create) {
  const size_t slash = path.rfind('/');
  if (path.empty() || slash == std::string::npos || slash + 1 == path.size()) return std::nullopt;
  const std::string directory = slash == 0 ? "/" : path.substr(0, slash);
  if (create && !MakeDirectories(directory)) return std::nullopt;
  LogPlace place{
      FileDescriptor(::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC)),
      path.substr(slash + 1)};
  if (!place.directory.Valid()) return std::nullopt;
  struct stat info {};
  if (::fstat(place.directory.Get(), &info) != 0 || info.st_uid != ::geteuid() ||
      (info.st_mode & 022) != 0)
    return std::nullopt;
  return place;
}

}  // namespace

std::string PosixLogFileStore::PathFromEnvironment(const char* xdgStateHome, const char* home) {
  std::string base;
  if (IsAbsolute(xdgStateHome)) {
    base = WithoutTrailingSlashes(xdgStateHome);
  } else if (IsAbsolute(home)) {
    base = WithoutTrailingSlashes(home) + "/.local/state";
  } else {
    return {};
  }
  return base + "/" + kLogDirectoryName + "/" + kLogFileName;
}

std::string PosixLogFileStore::DefaultPath() {
  return PathFromEnvironment(std::getenv("XDG_STATE_HOME"), std::getenv("HOME"));
}

void PosixLogFileStore::Delete() {
  const std::optional<LogPlace> place = OpenLogPlace(path_, false);
  if (!place) return;
  // Another user's file is not ours to remove (a link is removed itself, never its target).
  struct stat info {};
  if (::fstatat(place->directory.Get(), place->name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0 ||
      info.st_uid != ::geteuid())
    return;
  ::unlinkat(place->directory.Get(), place->name.c_str(), 0);
}

bool PosixLogFileStore::Append(std::string_view record) {
  const std::optional<LogPlace> place = OpenLogPlace(path_, true);
  if (!place) return false;
  // O_NONBLOCK keeps a FIFO planted at the path from stalling the caller; it is then refused as
  // not a regular file.
  const FileDescriptor file(::openat(
      place->directory.Get(), place->name.c_str(),
      O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK | O_NOCTTY, 0600));
  if (!file.Valid()) return false;
  struct stat info {};
  if (::fstat(file.Get(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != ::geteuid())
    return false;
  return WriteAll(file.Get(), record);
}

}  // namespace veltra::platform
