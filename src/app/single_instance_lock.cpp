#include "app/single_instance_lock.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

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

// dir, made 0700 when missing, if it is a private directory of this user; else "".
std::string PrivateDirectory(const std::string& dir) {
  if (mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) return {};
  return IsPrivateDirectory(dir) ? dir : std::string();
}

// The home folder of this user as the user database has it, whatever HOME says.
std::string UserHome() {
  const long hint = sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buffer(hint > 0 ? static_cast<size_t>(hint) : 16384);
  struct passwd entry {};
  struct passwd* found = nullptr;
  if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || found == nullptr)
    return {};
  return found->pw_dir != nullptr ? found->pw_dir : "";
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

std::vector<std::string> SingleInstanceLock::LockDirectories() {
  return LockDirectoriesFrom("/tmp", UserHome());
}

std::vector<std::string> SingleInstanceLock::LockDirectoriesFrom(const std::string& tmp,
                                                                 const std::string& home) {
  std::vector<std::string> directories;
  if (std::string own = PrivateDirectory(tmp + "/veltra-config-" + std::to_string(getuid()));
      !own.empty())
    directories.push_back(std::move(own));
  // Only this user can take a name in the home folder from this user.
  if (home.starts_with('/') && IsOwnDirectory(home)) {
    if (std::string own = PrivateDirectory(home + "/.veltra-config-lock"); !own.empty())
      directories.push_back(std::move(own));
  }
  return directories;
}

SingleInstanceLock::Result SingleInstanceLock::Acquire(std::string_view name,
                                                       const std::string& directory) {
  return directory.empty() ? AcquireIn(name, LockDirectories()) : AcquireIn(name, {directory});
}

SingleInstanceLock::Result SingleInstanceLock::AcquireIn(
    std::string_view name, const std::vector<std::string>& directories) {
  Release();
  for (const std::string& dir : directories) {
    const std::string path = dir + "/" + FileNameFor(name);
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600);
    if (fd < 0) continue;  // a link or a folder at the name
    struct stat info {};
    // Another user's file there could be locked by that user for good.
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != getuid()) {
      close(fd);
      continue;
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
      const int error = errno;
      close(fd);
      if (error == EWOULDBLOCK) return Result::kAlreadyRunning;
      continue;
    }
    fd_ = fd;
    path_ = path;
    return Result::kAcquired;
  }
  return Result::kUnavailable;
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
