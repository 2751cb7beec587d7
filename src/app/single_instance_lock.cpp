#include "app/single_instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace veltra::app {

namespace {

// A directory, not a link, owned by this user, that no one else may write to.
bool IsOwnDirectory(const std::string& path) {
  struct stat info {};
  if (lstat(path.c_str(), &info) != 0) return false;
  return S_ISDIR(info.st_mode) && info.st_uid == getuid() && (info.st_mode & 022) == 0;
}

// A directory of our own: created 0700, not a link, owned by this user and closed to others.
bool IsPrivateDirectory(const std::string& path) {
  struct stat info {};
  if (lstat(path.c_str(), &info) != 0) return false;
  return S_ISDIR(info.st_mode) && info.st_uid == getuid() && (info.st_mode & 077) == 0;
}

std::string FallbackDirectory(const char* tmp) {
  std::string base = (tmp != nullptr && tmp[0] == '/') ? tmp : "/tmp";
  const std::string dir = base + "/veltra-config-" + std::to_string(getuid());
  if (mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) return {};
  return IsPrivateDirectory(dir) ? dir : std::string();
}

}  // namespace

SingleInstanceLock::~SingleInstanceLock() {
  Release();
}

std::string SingleInstanceLock::FileNameFor(std::string_view name) {
  std::string file;
  file.reserve(name.size() + 5);
  for (char c : name) {
    const bool keep = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                      c == '.' || c == '-' || c == '_';
    file.push_back(keep ? c : '_');
  }
  return file + ".lock";
}

std::string SingleInstanceLock::LockDirectory() {
  return LockDirectoryFrom(std::getenv("XDG_RUNTIME_DIR"), std::getenv("TMPDIR"));
}

std::string SingleInstanceLock::LockDirectoryFrom(const char* runtimeDirectory,
                                                  const char* tmpDirectory) {
  if (runtimeDirectory != nullptr && runtimeDirectory[0] == '/' && IsOwnDirectory(runtimeDirectory))
    return runtimeDirectory;
  return FallbackDirectory(tmpDirectory);
}

SingleInstanceLock::Result SingleInstanceLock::Acquire(std::string_view name,
                                                       const std::string& directory) {
  Release();
  const std::string dir = directory.empty() ? LockDirectory() : directory;
  if (dir.empty()) return Result::kUnavailable;
  const std::string path = dir + "/" + FileNameFor(name);
  const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) return Result::kUnavailable;
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    close(fd);
    return error == EWOULDBLOCK ? Result::kAlreadyRunning : Result::kUnavailable;
  }
  fd_ = fd;
  path_ = path;
  return Result::kAcquired;
}

void SingleInstanceLock::Release() {
  if (fd_ < 0) return;
  // The file stays: removing it could let a third copy lock a new file while a second copy
  // still waits on the old one.
  flock(fd_, LOCK_UN);
  close(fd_);
  fd_ = -1;
  path_.clear();
}

}  // namespace veltra::app
