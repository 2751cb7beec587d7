#include "platform/file_replace.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <charconv>
#include <climits>
#include <system_error>
#include <vector>

namespace veltra::platform {

namespace {

constexpr char kTemporaryMark[] = ".veltra-tmp.";
constexpr size_t kMaxBaseInTemporaryName = 200;  // the whole name must stay below NAME_MAX
constexpr int kMaxLinkHops = 40;                 // as the kernel's own limit

std::string Reason(int error) {
  return std::generic_category().message(error != 0 ? error : EIO);
}

std::string Directory(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string BaseName(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// ".<name>.veltra-tmp.": hidden, and recognisable as this tool's temporary of that target.
std::string TemporaryPrefix(const std::string& target) {
  return "." + BaseName(target).substr(0, kMaxBaseInTemporaryName) + kTemporaryMark;
}

std::string TemporaryName(const std::string& target) {
  static std::atomic<unsigned> counter{0};
  const std::string directory = Directory(target);
  return (directory == "/" ? "" : directory) + "/" + TemporaryPrefix(target) +
         std::to_string(::getpid()) + "." + std::to_string(counter++);
}

// The pid in "<pid>.<n>", or 0 when the rest of a name is not of that form.
pid_t WriterOf(std::string_view rest) {
  const size_t dot = rest.find('.');
  if (dot == std::string_view::npos || dot == 0 || dot + 1 == rest.size()) return 0;
  for (const char c : rest.substr(dot + 1))
    if (c < '0' || c > '9') return 0;
  pid_t pid = 0;
  const auto [end, error] = std::from_chars(rest.data(), rest.data() + dot, pid);
  if (error != std::errc() || end != rest.data() + dot) return 0;
  return pid;
}

std::string WriteAll(FileCalls& calls, int fd, std::span<const uint8_t> bytes) {
  for (size_t done = 0; done < bytes.size();) {
    const ssize_t written = calls.Write(fd, bytes.data() + done, bytes.size() - done);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return Reason(written < 0 ? errno : EIO);
    done += static_cast<size_t>(written);
  }
  return {};
}

// The rename is only durable once the folder's entry is; a file system that cannot sync a
// folder has nothing better to offer, so failing here does not fail the write.
void SyncDirectory(const std::string& directory) {
  const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

bool ProcessesCanBeNamed() {
  return ::access("/proc/self/fd", X_OK) == 0;
}

}  // namespace

int FileCalls::Open(const char* path, int flags, mode_t mode) {
  return ::open(path, flags, mode);
}

ssize_t FileCalls::Write(int fd, const void* data, size_t size) {
  return ::write(fd, data, size);
}

int FileCalls::Fchown(int fd, uid_t owner, gid_t group) {
  return ::fchown(fd, owner, group);
}

int FileCalls::Fchmod(int fd, mode_t mode) {
  return ::fchmod(fd, mode);
}

int FileCalls::Fsync(int fd) {
  return ::fsync(fd);
}

int FileCalls::Link(int fd, const char* path) {
  // Through /proc a process may name its own unnamed file; AT_EMPTY_PATH would need a
  // capability ordinary users lack.
  const std::string self = "/proc/self/fd/" + std::to_string(fd);
  return ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path, AT_SYMLINK_FOLLOW);
}

int FileCalls::Close(int fd) {
  return ::close(fd);
}

int FileCalls::Rename(const char* from, const char* to) {
  return ::rename(from, to);
}

int FileCalls::Unlink(const char* path) {
  return ::unlink(path);
}

FileCalls& SystemFileCalls() {
  static FileCalls calls;
  return calls;
}

std::string FinalName(const std::string& path, int& error) {
  std::string current = path;
  for (int hop = 0; hop <= kMaxLinkHops; ++hop) {
    struct stat status {};
    if (::lstat(current.c_str(), &status) != 0) {
      if (errno == ENOENT) return current;  // a file still to be made, or a dangling link's target
      error = errno;
      return {};
    }
    if (!S_ISLNK(status.st_mode)) return current;
    std::vector<char> target(static_cast<size_t>(status.st_size > 0 ? status.st_size : PATH_MAX) +
                             1);
    const ssize_t length = ::readlink(current.c_str(), target.data(), target.size());
    if (length < 0) {
      error = errno;
      return {};
    }
    if (static_cast<size_t>(length) >= target.size()) {  // the link changed meanwhile: look again
      --hop;
      continue;
    }
    const std::string next(target.data(), static_cast<size_t>(length));
    if (next.empty()) {
      error = ENOENT;
      return {};
    }
    current = next.front() == '/' ? next : Directory(current) + "/" + next;
  }
  error = ELOOP;
  return {};
}

void RemoveStaleTemporaries(const std::string& path) {
  int error = 0;
  const std::string target = FinalName(path, error);
  if (target.empty()) return;
  const std::string directory = Directory(target);
  const std::string prefix = TemporaryPrefix(target);
  DIR* folder = ::opendir(directory.c_str());
  if (folder == nullptr) return;
  std::vector<std::string> stale;
  while (const dirent* entry = ::readdir(folder)) {
    const std::string_view name(entry->d_name);
    if (!name.starts_with(prefix)) continue;
    const pid_t writer = WriterOf(name.substr(prefix.size()));
    // A writer still running may be about to rename its file; this process's own are in use.
    if (writer <= 0 || writer == ::getpid()) continue;
    if (::kill(writer, 0) == 0 || errno != ESRCH) continue;
    stale.emplace_back(name);
  }
  ::closedir(folder);
  for (const std::string& name : stale) {
    const std::string file = (directory == "/" ? "" : directory) + "/" + name;
    struct stat status {};
    if (::lstat(file.c_str(), &status) == 0 && S_ISREG(status.st_mode)) ::unlink(file.c_str());
  }
}

FileReplacement::FileReplacement(FileCalls& calls) : calls_(calls) {}

FileReplacement::~FileReplacement() {
  Discard();
}

std::string FileReplacement::Open(const std::string& path, Streams streams) {
  Discard();
  struct stat status {};
  existed_ = ::stat(path.c_str(), &status) == 0;
  if (!existed_ && errno != ENOENT) return Reason(errno);
  if (existed_ && S_ISDIR(status.st_mode)) return Reason(EISDIR);
  if (existed_ && !S_ISREG(status.st_mode)) {
    const bool stream = S_ISCHR(status.st_mode) || S_ISFIFO(status.st_mode);
    if (!stream || streams != Streams::kWriteThrough) return kNotRegularFile;
    // No O_TRUNC, no O_CREAT: a device or pipe is written, never made or cut. Opening a pipe
    // waits for its reader, as for any writer of a pipe.
    fd_ = calls_.Open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC, 0);
    if (fd_ < 0) return Reason(errno);
    kind_ = Kind::kStream;
    return {};
  }

  int error = 0;
  target_ = FinalName(path, error);
  if (target_.empty()) return Reason(error);
  mode_t mode = 0666;  // a new file: as any new file, less the umask
  if (existed_) {
    if (::access(target_.c_str(), W_OK) != 0) return Reason(errno);
    // Root may write anything; a file that nobody may write was made read-only on purpose.
    if ((status.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return Reason(EACCES);
    mode_ = status.st_mode & 07777;
    owner_ = status.st_uid;
    group_ = status.st_gid;
    mode = 0600;  // until Commit gives it the target's bits
  }
  RemoveStaleTemporaries(target_);
  return OpenTemporary(mode);
}

std::string FileReplacement::OpenTemporary(mode_t mode) {
  const std::string directory = Directory(target_);
  if (ProcessesCanBeNamed()) {
    fd_ = calls_.Open(directory.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
    if (fd_ >= 0) {
      kind_ = Kind::kUnnamed;
      return {};
    }
    // Older kernels take O_TMPFILE for O_DIRECTORY and say EISDIR; some file systems have none.
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) return Reason(errno);
  }
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name = TemporaryName(target_);
    fd_ = calls_.Open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
    if (fd_ >= 0) {
      temporary_ = std::move(name);
      kind_ = Kind::kNamed;
      return {};
    }
    if (errno != EEXIST) return Reason(errno);
  }
  return Reason(EEXIST);
}

std::string FileReplacement::Commit(std::span<const uint8_t> bytes) {
  if (kind_ == Kind::kNone) return Reason(EBADF);
  const std::string problem =
      kind_ == Kind::kStream ? CommitStream(bytes) : CommitReplacement(bytes);
  Discard();
  return problem;
}

std::string FileReplacement::CommitStream(std::span<const uint8_t> bytes) {
  std::string problem = WriteAll(calls_, fd_, bytes);
  const int fd = fd_;
  fd_ = -1;
  kind_ = Kind::kNone;
  if (calls_.Close(fd) != 0 && problem.empty()) problem = Reason(errno);
  return problem;
}

std::string FileReplacement::CommitReplacement(std::span<const uint8_t> bytes) {
  if (std::string problem = WriteAll(calls_, fd_, bytes); !problem.empty()) return problem;
  if (existed_) {
    // Another owner's file rewritten by root stays theirs; an owner change the system refuses
    // leaves the writer's own, which is no reason to fail.
    struct stat written {};
    if (::fstat(fd_, &written) == 0 && (written.st_uid != owner_ || written.st_gid != group_))
      calls_.Fchown(fd_, owner_, group_);
    if (calls_.Fchmod(fd_, mode_) != 0) return Reason(errno);
  }
  if (calls_.Fsync(fd_) != 0) return Reason(errno);
  if (kind_ == Kind::kUnnamed) {
    // A name is needed for rename, which alone can replace the target in one step.
    for (int attempt = 0;; ++attempt) {
      std::string name = TemporaryName(target_);
      if (calls_.Link(fd_, name.c_str()) == 0) {
        temporary_ = std::move(name);
        break;
      }
      if (errno != EEXIST || attempt >= 100) return Reason(errno);
    }
  }
  const int fd = fd_;
  fd_ = -1;
  if (calls_.Close(fd) != 0) return Reason(errno);  // NFS reports write errors here
  if (calls_.Rename(temporary_.c_str(), target_.c_str()) != 0) return Reason(errno);
  temporary_.clear();
  kind_ = Kind::kNone;
  SyncDirectory(Directory(target_));
  return {};
}

void FileReplacement::Discard() {
  if (fd_ >= 0) calls_.Close(fd_);
  fd_ = -1;
  if (!temporary_.empty()) calls_.Unlink(temporary_.c_str());
  temporary_.clear();
  kind_ = Kind::kNone;
}

std::string ReplaceFile(const std::string& path, std::span<const uint8_t> bytes, FileCalls& calls) {
  FileReplacement replacement(calls);
  if (std::string problem = replacement.Open(path); !problem.empty()) return problem;
  return replacement.Commit(bytes);
}

}  // namespace veltra::platform
