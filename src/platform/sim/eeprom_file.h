#pragma once

#include <sys/types.h>

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

// Reading the .bin files that back a simulated EEPROM (they are written with
// platform::ReplaceFile), and telling whether such a file changed since it was read.
namespace veltra::sim {

// What identifies a file's contents without reading them: a replacement by rename gives a new
// inode, a write in place a new size or modification time.
struct FileStamp {
  bool exists = false;
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = 0;
  timespec modified{};

  friend bool operator==(const FileStamp& a, const FileStamp& b) {
    return a.exists == b.exists && a.device == b.device && a.inode == b.inode && a.size == b.size &&
           a.modified.tv_sec == b.modified.tv_sec && a.modified.tv_nsec == b.modified.tv_nsec;
  }
};

struct ImageFileRead {
  enum class Status { kLoaded, kMissing, kTooLarge, kError };
  Status status = Status::kError;
  std::vector<uint8_t> bytes;  // kLoaded
  uint64_t fileSize = 0;       // kLoaded, kTooLarge
  std::string reason;          // kError: what the system said
  FileStamp stamp;             // kLoaded, kTooLarge: the file that was read
};

// Reads the whole file unless it holds more than maxBytes. A missing file is no error.
ImageFileRead ReadImageFile(const std::string& path, uint64_t maxBytes);

// The stamp of the file path names (links followed); exists is false when there is none.
FileStamp StampOf(const std::string& path);

}  // namespace veltra::sim
