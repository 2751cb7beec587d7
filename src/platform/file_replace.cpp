#include "platform/file_replace.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cstdlib>
#include <memory>
#include <optional>
#include <system_error>
#include <vector>

#include "platform/process_identity.h"
#include "platform/text.h"

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

// ".<name>.veltra-tmp.<pid>.<start>.<n>": the writer's pid and start time tell a later writer
// whether it still runs.
std::string TemporaryName(const std::string& target) {
  static std::atomic<unsigned> counter{0};
  const std::string directory = Directory(target);
  return (directory == "/" ? "" : directory) + "/" + TemporaryPrefix(target) + OwnProcessTag() +
         "." + std::to_string(counter++);
}

// Whether the writer a temporary's name records ("<pid>.<n>", or "<pid>.<start>.<n>") is gone.
// This process's own are in use; a writer still running may be about to rename its file.
bool WriterIsGone(std::string_view rest) {
  const size_t counter = rest.rfind('.');
  return counter != std::string_view::npos && ProcessHasEnded(rest.substr(0, counter));
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

namespace {

// The descriptor a name is one of this process's own by (/dev/stdout, /dev/fd/N,
// /proc/self/fd/N, /proc/PID/fd/N, /proc/thread-self/fd/N however spelt), else -1.
int OwnDescriptor(const std::string& name) {
  const std::string base = BaseName(name);
  int fd = -1;
  const auto [end, error] = std::from_chars(base.data(), base.data() + base.size(), fd);
  if (base.empty() || error != std::errc() || end != base.data() + base.size()) return -1;
  const std::unique_ptr<char, decltype(&std::free)> folder(
      ::realpath(Directory(name).c_str(), nullptr), &std::free);
  if (!folder) return -1;
  const std::string process = "/proc/" + std::to_string(::getpid());
  const std::string_view real(folder.get());
  if (real == process + "/fd") return fd;
  const std::string task = process + "/task/";
  if (!real.starts_with(task) || !real.ends_with("/fd")) return -1;
  const std::vector<uint64_t> thread =
      DotSeparatedNumbers(real.substr(task.size(), real.size() - task.size() - 3));
  return thread.size() == 1 ? fd : -1;
}

// Whether the kernel's rule for links in shared folders (protected_symlinks) lets this process
// follow the link: in a sticky world-writable folder only a link of its own or of the folder's
// owner. The tool resolves links itself and renames over the last one's target, where the
// kernel would not look.
bool MayFollow(const std::string& link, const struct stat& linkStatus) {
  struct stat folder {};
  if (::stat(Directory(link).c_str(), &folder) != 0) return true;  // later steps say why
  const bool shared = (folder.st_mode & S_ISVTX) != 0 && (folder.st_mode & S_IWOTH) != 0;
  return !shared || linkStatus.st_uid == ::geteuid() || linkStatus.st_uid == folder.st_uid;
}

struct Resolved {
  std::string name;  // the last link's target, which need not exist; empty on failure
  int error = 0;
  int descriptor = -1;       // the name is this process's own descriptor
  bool refusedLink = false;  // a link the kernel's rule would not follow
};

Resolved Resolve(const std::string& path) {
  Resolved result;
  std::string current = path;
  for (int hop = 0; hop <= kMaxLinkHops; ++hop) {
    if ((result.descriptor = OwnDescriptor(current)) >= 0) {
      result.name = current;
      return result;
    }
    struct stat status {};
    if (::lstat(current.c_str(), &status) != 0) {
      // A file still to be made, or a dangling link's target.
      if (errno == ENOENT) result.name = current;
      result.error = errno;
      return result;
    }
    if (!S_ISLNK(status.st_mode)) {
      result.name = current;
      return result;
    }
    if (!MayFollow(current, status)) {
      result.error = EACCES;
      result.refusedLink = true;
      return result;
    }
    std::vector<char> target(static_cast<size_t>(status.st_size > 0 ? status.st_size : PATH_MAX) +
                             1);
    const ssize_t length = ::readlink(current.c_str(), target.data(), target.size());
    if (length < 0) {
      result.error = errno;
      return result;
    }
    if (static_cast<size_t>(length) >= target.size()) {  // the link changed meanwhile: look again
      --hop;
      continue;
    }
    const std::string next(target.data(), static_cast<size_t>(length));
    if (next.empty()) {
      result.error = ENOENT;
      return result;
    }
    current = next.front() == '/' ? next : Directory(current) + "/" + next;
  }
  result.error = ELOOP;
  return result;
}

}  // namespace

std::string FinalName(const std::string& path, int& error) {
  const Resolved resolved = Resolve(path);
  if (resolved.name.empty()) error = resolved.error;
  return resolved.name;
}

std::string FollowLinks(const std::string& path, std::string& problem) {
  const Resolved resolved = Resolve(path);
  if (resolved.refusedLink) {
    problem = kForeignLink;
  } else if (resolved.name.empty()) {
    problem = Reason(resolved.error);
  }
  return resolved.name;
}

void RemoveStaleTemporaries(const std::string& path) {
  const Resolved resolved = Resolve(path);
  if (resolved.name.empty() || resolved.descriptor >= 0) return;
  const std::string& target = resolved.name;
  const std::string directory = Directory(target);
  const std::string prefix = TemporaryPrefix(target);
  DIR* folder = ::opendir(directory.c_str());
  if (folder == nullptr) return;
  std::vector<std::string> stale;
  while (const dirent* entry = ::readdir(folder)) {
    const std::string_view name(entry->d_name);
    if (!name.starts_with(prefix)) continue;
    if (!WriterIsGone(name.substr(prefix.size()))) continue;
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
  const Resolved resolved = Resolve(path);
  if (resolved.refusedLink) return kForeignLink;
  if (resolved.descriptor >= 0) {
    // Written where the descriptor points, at its offset (appended after ">>"), as "-" is:
    // following the descriptor's link to its file and replacing that would drop what the
    // file held.
    if (streams != Streams::kWriteThrough) return kOwnDescriptor;
    fd_ = ::fcntl(resolved.descriptor, F_DUPFD_CLOEXEC, 0);
    if (fd_ < 0) return Reason(errno);
    kind_ = Kind::kStream;
    return {};
  }
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

  if (resolved.name.empty()) return Reason(resolved.error);
  target_ = resolved.name;
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
