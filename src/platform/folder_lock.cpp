#include "platform/folder_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <system_error>
#include <thread>

#include "platform/file_replace.h"

namespace veltra::platform {

namespace {

constexpr std::chrono::milliseconds kPollInterval{10};

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

FolderLock::FolderLock() = default;

FolderLock::~FolderLock() {
  Release();
}

std::string FolderLock::Acquire(const std::string& filePath, std::chrono::milliseconds timeout) {
  if (Held()) return {};
  std::string problem;
  // A link is written through to its target: the target's folder is where the rename happens.
  const std::string target = FollowLinks(filePath, problem);
  if (target.empty()) return problem;
  const int fd = ::open(FolderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOENT) return {};
    return std::generic_category().message(errno);
  }
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
      fd_ = fd;
      return {};
    }
    if (errno == EINTR) continue;
    if (errno != EWOULDBLOCK) {
      // No locks here (some network file systems): working unserialised beats not working.
      ::close(fd);
      return {};
    }
    if (std::chrono::steady_clock::now() >= deadline) break;
    std::this_thread::sleep_for(kPollInterval);
  }
  ::close(fd);
  const auto seconds = std::chrono::duration_cast<std::chrono::duration<double>>(timeout).count();
  char waited[32];
  std::snprintf(waited, sizeof waited, "%g", seconds);
  return std::string("another program is using it (waited ") + waited + " s)";
}

bool FolderLock::Held() const {
  return fd_ >= 0;
}

void FolderLock::Release() {
  if (fd_ < 0) return;
  ::close(fd_);  // drops the lock
  fd_ = -1;
}

}  // namespace veltra::platform
