#include "platform/file_stamp.h"

#include <sys/stat.h>

namespace veltra::platform {
namespace {

FileStamp StampOf(const struct stat& status) {
  return {static_cast<uint64_t>(status.st_dev), static_cast<uint64_t>(status.st_ino),
          static_cast<uint64_t>(status.st_size),
          static_cast<int64_t>(status.st_mtim.tv_sec) * 1'000'000'000 + status.st_mtim.tv_nsec};
}

}  // namespace

std::optional<FileStamp> StampOfPath(const std::string& path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) return std::nullopt;
  return StampOf(status);
}

std::optional<FileStamp> StampOfOpenFile(int fd) {
  struct stat status {};
  if (fd < 0 || ::fstat(fd, &status) != 0) return std::nullopt;
  return StampOf(status);
}

}  // namespace veltra::platform
