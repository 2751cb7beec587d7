#pragma once

#include <chrono>
#include <memory>
#include <string>

namespace veltra::platform {

// A lock for the work on a user's file that tools and processes share (an EEPROM image file, a
// serial counter), held while the file is read and written back, so that no two interleave.
//
// The lock is flock on the folder that holds the file, not on the file: the file is replaced by
// rename, so a lock on its inode would be left behind with the old file while the next writer
// locks the new one, and a lock file beside it would be a stray file in the user's folder. The
// folder outlives every replacement and nothing is created in it. flock locks belong to an open
// file description, so two holders in one process exclude each other too, and the kernel drops
// the lock of a killed holder. Work on files in the same folder waits for each other's, which
// takes moments.
//
// On Windows the lock is a named mutex of the folder (its full path, without regard to case),
// held by a thread of its own so that any thread may release it; the system hands a killed
// holder's mutex to the next waiter.
class FolderLock {
 public:
  FolderLock();
  ~FolderLock();
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;

  // Waits at most timeout for the lock of filePath's folder. "" when it is held, or when there
  // is nothing to lock: no folder (so no file anyone could share) or a file system that has no
  // locks. Otherwise why not.
  std::string Acquire(const std::string& filePath, std::chrono::milliseconds timeout);
  void Release();
  bool Held() const;

 private:
#ifdef _WIN32
  class Holder;
  std::unique_ptr<Holder> holder_;
#else
  int fd_ = -1;
#endif
};

}  // namespace veltra::platform
