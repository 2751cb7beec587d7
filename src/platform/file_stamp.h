#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace veltra::platform {

// What tells one version of a file from another: which file it is, its size and its last change.
// An editor or a build tool that saves by rename leaves the path naming another file.
struct FileStamp {
  uint64_t device = 0;
  uint64_t inode = 0;
  uint64_t size = 0;
  int64_t modifiedNs = 0;

  friend bool operator==(const FileStamp&, const FileStamp&) = default;
};

// The file a path names now (symbolic links followed); nullopt when it cannot be examined.
std::optional<FileStamp> StampOfPath(const std::string& path);
// The file behind an open descriptor.
std::optional<FileStamp> StampOfOpenFile(int fd);

}  // namespace veltra::platform
