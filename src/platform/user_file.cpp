#include "platform/user_file.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <system_error>
#include <vector>

#ifdef _WIN32
#include <io.h>

#include "platform/windows_api.h"
#include "platform/windows_text.h"
#else
#include <sys/file.h>
#include <unistd.h>
#endif

#include "platform/file_replace.h"

namespace veltra::platform {
namespace {

std::string Reason(int error) {
  return std::generic_category().message(error != 0 ? error : EIO);
}

#ifdef _WIN32
using FileStatus = struct _stat64;
int StatusOf(int fd, FileStatus& status) {
  return ::_fstat64(fd, &status);
}
int StatusOf(const std::string& path, FileStatus& status) {
  return ::_wstat64(WideText(path).c_str(), &status);
}
int CanWrite(const std::string& folder) {
  return ::_waccess(WideText(folder).c_str(), 2);
}
int Truncate(int fd, uint64_t length) {
  HANDLE handle = reinterpret_cast<HANDLE>(::_get_osfhandle(fd));
  LARGE_INTEGER at{};
  at.QuadPart = static_cast<LONGLONG>(length);
  return ::SetFilePointerEx(handle, at, nullptr, FILE_BEGIN) && ::SetEndOfFile(handle) ? 0 : -1;
}
int Sync(int fd) {
  return ::_commit(fd);
}
int CloseFd(int fd) {
  return ::_close(fd);
}
long long WriteFd(int fd, const char* data, size_t size) {
  return ::_write(fd, data, static_cast<unsigned>(size));
}
long long ReadFd(int fd, char* data, size_t size) {
  return ::_read(fd, data, static_cast<unsigned>(size));
}
long long Seek(int fd, uint64_t offset) {
  return ::_lseeki64(fd, static_cast<__int64>(offset), SEEK_SET);
}
// A byte far past any file's end: locking it excludes other appenders without keeping readers
// from the file's bytes, which Windows' mandatory locks would.
constexpr DWORD kLockOffsetHigh = 0x40000000;
bool LockFd(int fd, bool lock) {
  HANDLE handle = reinterpret_cast<HANDLE>(::_get_osfhandle(fd));
  OVERLAPPED at{};
  at.OffsetHigh = kLockOffsetHigh;
  return lock ? ::LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &at) != 0
              : ::UnlockFileEx(handle, 0, 1, 0, &at) != 0;
}
#else
using FileStatus = struct stat;
int StatusOf(int fd, FileStatus& status) {
  return ::fstat(fd, &status);
}
int StatusOf(const std::string& path, FileStatus& status) {
  return ::stat(path.c_str(), &status);
}
int CanWrite(const std::string& folder) {
  return ::access(folder.c_str(), W_OK | X_OK);
}
int Truncate(int fd, uint64_t length) {
  return ::ftruncate(fd, static_cast<off_t>(length));
}
int Sync(int fd) {
  return ::fsync(fd);
}
int CloseFd(int fd) {
  return ::close(fd);
}
long long WriteFd(int fd, const char* data, size_t size) {
  for (;;) {
    const ssize_t written = ::write(fd, data, size);
    if (written >= 0 || errno != EINTR) return written;
  }
}
long long ReadFd(int fd, char* data, size_t size) {
  for (;;) {
    const ssize_t got = ::read(fd, data, size);
    if (got >= 0 || errno != EINTR) return got;
  }
}
long long Seek(int fd, uint64_t offset) {
  return ::lseek(fd, static_cast<off_t>(offset), SEEK_SET);
}
bool LockFd(int fd, bool lock) {
  for (;;) {
    if (::flock(fd, lock ? LOCK_EX : LOCK_UN) == 0) return true;
    if (errno != EINTR) return false;
  }
}
#endif

#ifdef _WIN32
constexpr char kSeparators[] = "\\/";
#else
constexpr char kSeparators[] = "/";
#endif

bool IsRegular(const FileStatus& status) {
  return (status.st_mode & S_IFMT) == S_IFREG;
}

// The lock of an append, released on every way out.
class AppendLock {
 public:
  explicit AppendLock(int fd) : fd_(fd), held_(LockFd(fd, true)) {}
  ~AppendLock() {
    if (held_) LockFd(fd_, false);
  }
  AppendLock(const AppendLock&) = delete;
  AppendLock& operator=(const AppendLock&) = delete;

 private:
  int fd_;
  // A file system without locks (some network ones) still takes the append, unserialised.
  bool held_;
};

}  // namespace

std::string TooLargeText(size_t maxBytes) {
  return "larger than " + std::to_string(maxBytes) + " bytes";
}

UserFile::~UserFile() {
  Close();
}

void UserFile::Close() {
  if (fd_ >= 0) CloseFd(fd_);
  fd_ = -1;
}

std::string UserFile::Open(const std::string& path, Access access, bool create,
                           const std::string& permissionsOf) {
  Close();
  missing_ = false;
  std::string problem;
  const std::string name = FollowLinks(path, problem);
  if (name.empty()) return problem;
#ifdef _WIN32
  int flags =
      _O_BINARY | _O_NOINHERIT | (access == Access::kRead ? _O_RDONLY : _O_WRONLY | _O_APPEND);
  int mode = _S_IREAD | _S_IWRITE;
  (void)permissionsOf;
#else
  // O_NOFOLLOW: a link put in the name's place since it was resolved is not followed.
  int flags = O_CLOEXEC | O_NOCTTY | O_NOFOLLOW | O_NONBLOCK |
              (access == Access::kRead ? O_RDONLY : O_WRONLY | O_APPEND);
  mode_t mode = 0666;
  struct stat served {};
  if (!permissionsOf.empty() && ::stat(permissionsOf.c_str(), &served) == 0) {
    mode = served.st_mode & 0666;
  }
#endif
  if (create && access == Access::kAppend) flags |= O_CREAT;
#ifdef _WIN32
  fd_ = ::_wopen(WideText(name).c_str(), flags, mode);
#else
  // O_NONBLOCK: opening a pipe for reading does not wait for a writer before it is refused.
  fd_ = ::open(name.c_str(), flags, mode);
#endif
  if (fd_ < 0) {
    const int error = errno;
    missing_ = error == ENOENT;
    // A pipe without a reader, a socket: what it is says more than why it could not be opened.
    FileStatus found{};
    if (!missing_ && StatusOf(name, found) == 0 && (found.st_mode & S_IFMT) != S_IFREG &&
        (found.st_mode & S_IFMT) != S_IFDIR) {
      return kNotRegularFile;
    }
    return Reason(error);
  }
  FileStatus status{};
  if (StatusOf(fd_, status) != 0) {
    const int error = errno;
    Close();
    return Reason(error);
  }
  if (!IsRegular(status)) {
    Close();
    return kNotRegularFile;
  }
#ifndef _WIN32
  ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) & ~O_NONBLOCK);
#endif
  return {};
}

std::string UserFile::CanAppend(const std::string& path) {
  UserFile file;
  const std::string problem = file.Open(path, Access::kAppend);
  if (!file.Missing()) return problem;
  std::string ignored;
  const std::string name = FollowLinks(path, ignored);
  const size_t slash = name.find_last_of(kSeparators);
  // A root keeps its separator ("/", "C:\\"); another folder is named without one.
  const bool root = slash == 0 || (slash == 2 && name[1] == ':');
  const std::string folder =
      slash == std::string::npos ? "." : name.substr(0, root ? slash + 1 : slash);
  FileStatus status{};
  if (StatusOf(folder, status) != 0) return Reason(errno);
  if ((status.st_mode & S_IFMT) != S_IFDIR) return Reason(ENOTDIR);
  return CanWrite(folder) == 0 ? "" : Reason(errno);
}

std::string UserFile::ReadAll(const std::string& path, size_t maxBytes, std::string& text,
                              bool& missing) {
  UserFile file;
  const std::string problem = file.Open(path, Access::kRead);
  missing = file.Missing();
  return problem.empty() ? file.ReadFrom(0, maxBytes, text) : problem;
}

uint64_t UserFile::Length() const {
  FileStatus status{};
  if (fd_ < 0 || StatusOf(fd_, status) != 0) return 0;
  return static_cast<uint64_t>(status.st_size);
}

std::string UserFile::Read(uint64_t offset, size_t count, std::string& text) {
  text.clear();
  if (fd_ < 0) return Reason(EBADF);
  if (Seek(fd_, offset) < 0) return Reason(errno);
  std::vector<char> buffer(64 * 1024);
  while (text.size() < count) {
    const long long got = ReadFd(fd_, buffer.data(), std::min(buffer.size(), count - text.size()));
    if (got < 0) return Reason(errno);
    if (got == 0) break;
    text.append(buffer.data(), static_cast<size_t>(got));
  }
  return {};
}

std::string UserFile::ReadFrom(uint64_t offset, size_t maxBytes, std::string& text) {
  if (std::string problem = Read(offset, maxBytes + 1, text); !problem.empty()) return problem;
  if (text.size() <= maxBytes) return {};
  text.clear();
  return TooLargeText(maxBytes);
}

std::string UserFile::Append(std::string_view text, std::string_view header) {
  if (fd_ < 0) return Reason(EBADF);
  const AppendLock lock(fd_);
  FileStatus status{};
  if (StatusOf(fd_, status) != 0) return Reason(errno);
  const auto before = static_cast<uint64_t>(status.st_size);
  std::string bytes;
  if (before == 0) bytes = header;
  bytes += text;
  if (bytes.empty()) return {};
  const long long written = WriteFd(fd_, bytes.data(), bytes.size());
  std::string problem;
  if (written < 0) {
    problem = Reason(errno);
  } else if (static_cast<size_t>(written) != bytes.size()) {
    problem = "short write (disk full?)";
  } else if (Sync(fd_) != 0) {
    problem = Reason(errno);
  }
  if (!problem.empty() && Truncate(fd_, before) == 0) Sync(fd_);
  return problem;
}

}  // namespace veltra::platform
