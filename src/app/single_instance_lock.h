#pragma once

#include <string>
#include <string_view>

namespace veltra::app {

// The single-instance rule: a named lock that only one process holds at a time. It is an
// advisory lock on a file in the user's runtime directory, so the system drops it when the
// holder dies, and a file left behind by a killed copy blocks nobody.
class SingleInstanceLock {
 public:
  enum class Result {
    kAcquired,        // this process is the one copy
    kAlreadyRunning,  // another process holds the lock
    kUnavailable,     // no lock could be made (no usable directory, file cannot be opened)
  };

  SingleInstanceLock() = default;
  ~SingleInstanceLock();
  SingleInstanceLock(const SingleInstanceLock&) = delete;
  SingleInstanceLock& operator=(const SingleInstanceLock&) = delete;

  // directory empty: the per-user runtime directory (LockDirectory()).
  Result Acquire(std::string_view name, const std::string& directory = {});
  void Release();
  bool Held() const { return fd_ >= 0; }
  const std::string& Path() const { return path_; }

  // "TR7731 Configuration Tool " -> "TR7731_Configuration_Tool_.lock": every character that is
  // not a letter, digit, '.', '-' or '_' becomes '_'.
  static std::string FileNameFor(std::string_view name);
  // $XDG_RUNTIME_DIR when it is an absolute path to a directory of this user that nobody else
  // may write to (in a shared one another account could hold the lock and keep the tool from
  // starting); otherwise a private directory of this user under $TMPDIR or /tmp. Empty when
  // neither is usable.
  static std::string LockDirectory();
  // The same from these values of the two variables (null: unset).
  static std::string LockDirectoryFrom(const char* runtimeDirectory, const char* tmpDirectory);

 private:
  int fd_ = -1;
  std::string path_;
};

}  // namespace veltra::app
