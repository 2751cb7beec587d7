#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace veltra::app {

// The single-instance rule: a named lock that only one process of a user holds at a time, the
// same for every copy of that user whatever its environment (another XDG_RUNTIME_DIR or TMPDIR,
// as after su or in another session). It is an advisory lock on a file in a folder of that user,
// so the system drops it when the holder dies, and a file left behind by a killed copy blocks
// nobody. On Windows it is the named mutex of that name, which the system likewise drops with
// its last holder.
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

  // directory empty: the first of LockDirectories() that takes the lock file. Windows has no
  // directory: the name is the mutex's.
  Result Acquire(std::string_view name, const std::string& directory = {});
  void Release();
#ifdef _WIN32
  bool Held() const {
    return mutex_ != nullptr;
  }
#else
  bool Held() const {
    return fd_ >= 0;
  }
  const std::string& Path() const {
    return path_;
  }

  // "TR7731 Configuration Tool " -> "TR7731_Configuration_Tool_.lock": every character that is
  // not a letter, digit, '.', '-' or '_' becomes '_'.
  static std::string FileNameFor(std::string_view name);
  // Where the lock may be, in order, from the user alone: a private folder of this user in /tmp
  // (/tmp/veltra-config-<uid>, on the machine itself, which a home on a network share is not),
  // then one in the home folder the user database names, for when another user has taken the
  // name under /tmp (every copy of this user walks the same list, so they meet in the same
  // file). Either is left out when it cannot be made this user's own.
  static std::vector<std::string> LockDirectories();
  // The same under tmp and home.
  static std::vector<std::string> LockDirectoriesFrom(const std::string& tmp,
                                                      const std::string& home);
  // The lock file in the first directory that holds one of this user's own (a link, folder or
  // another user's file at the lock's name is passed over): kAlreadyRunning or kAcquired there.
  Result AcquireIn(std::string_view name, const std::vector<std::string>& directories);
#endif

 private:
#ifdef _WIN32
  void* mutex_ = nullptr;  // HANDLE
#else
  int fd_ = -1;
  std::string path_;
#endif
};

}  // namespace veltra::app
