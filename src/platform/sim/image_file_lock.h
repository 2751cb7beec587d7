#pragma once

#include <chrono>
#include <memory>
#include <string>

namespace veltra::sim {

// Keeps two tools (the GUI and veltra-cli, or two of either) that share one EEPROM image file
// from interleaving their transfers: each holds this lock from the start of a transfer, when
// it re-reads the file, to the end, when it writes it back.
//
// The lock is flock on the folder that holds the image, not on the image: the image is
// replaced by rename, so a lock on its inode would be left behind with the old file while the
// next writer locks the new one, and a lock file beside it would be a stray file in the user's
// folder. The folder outlives every replacement and nothing is created in it. flock locks
// belong to an open file description, so two devices in one process exclude each other too,
// and the kernel drops the lock of a killed holder. Tools with images in the same folder wait
// for each other's transfers, which take moments.
//
// On Windows the lock is a named mutex of the folder (its full path, without regard to case),
// held by a thread of its own so that any thread may release it; the system hands a killed
// holder's mutex to the next waiter.
class ImageFileLock {
 public:
  ImageFileLock();
  ~ImageFileLock();
  ImageFileLock(const ImageFileLock&) = delete;
  ImageFileLock& operator=(const ImageFileLock&) = delete;

  // Waits at most timeout for the lock of imagePath's folder. "" when it is held, or when there
  // is nothing to lock: no folder (so no file anyone could share) or a file system that has no
  // locks. Otherwise why not.
  std::string Acquire(const std::string& imagePath, std::chrono::milliseconds timeout);
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

}  // namespace veltra::sim
