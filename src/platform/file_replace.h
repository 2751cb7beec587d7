#pragma once

#ifndef _WIN32
#include <sys/types.h>
#endif

#include <cstdint>
#include <span>
#include <string>

// Writing a user's file so that it is never lost or half-written: new contents go into a file
// of their own beside the target and take its place in one rename once they are complete, so
// the target holds the old or the new contents whatever happens on the way (a full disk, a
// kill, a power cut after the rename). POSIX and the standard library only; on Windows the
// same steps on the Windows API.
namespace veltra::platform {

#ifndef _WIN32

// The system calls a file is written with, one place for tests to make any step fail. Each
// returns what the POSIX call returns and sets errno the same way.
class FileCalls {
 public:
  virtual ~FileCalls() = default;
  virtual int Open(const char* path, int flags, mode_t mode);
  virtual ssize_t Write(int fd, const void* data, size_t size);
  virtual int Fchown(int fd, uid_t owner, gid_t group);
  virtual int Fchmod(int fd, mode_t mode);
  virtual int Fsync(int fd);
  // Gives the unnamed file open as fd (O_TMPFILE) the name path; never replaces anything.
  virtual int Link(int fd, const char* path);
  virtual int Close(int fd);
  virtual int Rename(const char* from, const char* to);
  virtual int Unlink(const char* path);
};

// The real calls.
FileCalls& SystemFileCalls();

#endif  // !_WIN32

// The reason given for a target that is neither a regular file nor, where allowed, a stream.
inline constexpr char kNotRegularFile[] = "not a regular file";
// The reason given for a name of one of the process's own descriptors (/dev/stdout) where
// streams are refused.
inline constexpr char kOwnDescriptor[] = "names an open descriptor of this program, not a file";
// The reason given for a symbolic link the system's rule for shared folders would not follow.
inline constexpr char kForeignLink[] =
    "a symbolic link of another user in a sticky world-writable folder: not followed";

// New contents for one file, prepared before they are known: Open checks that the path can be
// written and makes room for the contents without touching the file (a long read can follow),
// Commit puts them in place. Anything not committed is discarded without a trace, and an
// existing file is never truncated, replaced or removed before its new contents are complete.
//
// A regular file (or a path where none exists yet) is replaced: the contents are written into an
// unnamed file in the target's folder (O_TMPFILE, which vanishes with a killed process), or, where
// the file system has none, into a hidden file of a fixed pattern that the next write of the same
// target removes once its writer is gone (its pid no longer runs or belongs to a process of another
// start time); then synced, given the target's permission bits and owner, named and renamed over
// the target. A symbolic link is written through to its target and stays a link, but only where the
// kernel's rule for shared folders would follow it (in a sticky world-writable folder only a link
// of this user or of the folder's owner): the rename would escape that rule. A name of one of the
// process's own descriptors (/dev/stdout, /dev/fd/N, /proc/self/fd/N) is that descriptor, a stream
// like "-". A target nobody may write is refused with the system's reason even for root, as is a
// folder without room or permission. Nothing that is not a regular file is ever truncated or
// unlinked: a character device or named pipe is written straight through when the caller allows
// streams (as any Unix tool writes to /dev/null or a pipe), and refused otherwise.
//
// On Windows the contents go into a hidden file of the same pattern, are flushed and take the
// target's place with MoveFileExW (replace, write through); a read-only file is refused, and a
// character device or pipe (NUL, CON, \\.\pipe\...) is a stream.
class FileReplacement {
 public:
  enum class Streams { kRefuse, kWriteThrough };

#ifndef _WIN32
  explicit FileReplacement(FileCalls& calls = SystemFileCalls());
#else
  FileReplacement();
#endif
  ~FileReplacement();
  FileReplacement(const FileReplacement&) = delete;
  FileReplacement& operator=(const FileReplacement&) = delete;

  // "" when the path can take the contents, else the system's reason ("Permission denied",
  // "No such file or directory", "Is a directory", kNotRegularFile, ...).
  std::string Open(const std::string& path, Streams streams = Streams::kRefuse);
  // Writes bytes as the whole new contents and puts them in place: "" or the reason. After a
  // failure the target is as it was before Open.
  std::string Commit(std::span<const uint8_t> bytes);
  // Drops what Open prepared; the destructor does it too.
  void Discard();

  // Whether Open found a character device or named pipe, written straight through.
  bool IsStream() const {
    return kind_ == Kind::kStream;
  }

 private:
  enum class Kind { kNone, kStream, kUnnamed, kNamed };

  std::string CommitStream(std::span<const uint8_t> bytes);
  std::string CommitReplacement(std::span<const uint8_t> bytes);

#ifndef _WIN32
  std::string OpenTemporary(mode_t mode);

  FileCalls& calls_;
  int fd_ = -1;
  mode_t mode_ = 0;
  uid_t owner_ = 0;
  gid_t group_ = 0;
#else
  std::string OpenTemporary();

  void* handle_ = nullptr;   // HANDLE of the stream or the temporary; null when none
  uint32_t attributes_ = 0;  // of the target, given to the new file
#endif
  Kind kind_ = Kind::kNone;
  std::string target_;     // the name the contents go to, links resolved
  std::string temporary_;  // the temporary file's name once it has one
  bool existed_ = false;
};

// Open and Commit in one step, refusing streams: "" or the system's reason.
#ifndef _WIN32
std::string ReplaceFile(const std::string& path, std::span<const uint8_t> bytes,
                        FileCalls& calls = SystemFileCalls());
#else
std::string ReplaceFile(const std::string& path, std::span<const uint8_t> bytes);
#endif

// The name a write through path lands on: symbolic links followed to the last one's target,
// which need not exist. "" with error set when the links cannot be followed (EACCES for a link
// the kernel's rule for shared folders would not follow).
std::string FinalName(const std::string& path, int& error);

// The name a read or an append through path reaches, links followed as for a write; "" with
// problem set when they cannot be followed (kForeignLink for a link the rule for shared folders
// refuses, else the system's reason). A name that does not exist yet is its own.
std::string FollowLinks(const std::string& path, std::string& problem);

// Removes the temporary files that killed writers of path left beside it (those of processes
// that no longer run). A writer does it before every write; a tool may also do it at start.
void RemoveStaleTemporaries(const std::string& path);

}  // namespace veltra::platform
