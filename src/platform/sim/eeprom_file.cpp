#include "platform/sim/eeprom_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace veltra::sim {

namespace {

std::string Reason(int error) {
  return std::generic_category().message(error != 0 ? error : EIO);
}

}  // namespace

ImageFileRead ReadImageFile(const std::string& path, uint64_t maxBytes) {
  ImageFileRead result;
  // O_NONBLOCK: a named pipe put in the image's place must not hold the tool; it is refused
  // below as any file that is not a regular one.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOENT) {
      result.status = ImageFileRead::Status::kMissing;
    } else {
      result.reason = Reason(errno);
    }
    return result;
  }
  // Everything below describes the one file opened, whatever replaces it meanwhile.
  struct stat status {};
  if (::fstat(fd, &status) != 0) {
    result.reason = Reason(errno);
  } else if (!S_ISREG(status.st_mode)) {
    result.reason = "not a regular file";
  } else if (static_cast<uint64_t>(status.st_size) > maxBytes) {
    result.fileSize = static_cast<uint64_t>(status.st_size);
    result.stamp = platform::StampOfOpenFile(fd);
    result.status = ImageFileRead::Status::kTooLarge;
  } else {
    result.fileSize = static_cast<uint64_t>(status.st_size);
    // Taken before the read: a write in place during it shows as a change at the next transfer.
    result.stamp = platform::StampOfOpenFile(fd);
    result.bytes.resize(static_cast<size_t>(result.fileSize));
    size_t done = 0;
    while (done < result.bytes.size()) {
      const ssize_t got = ::read(fd, result.bytes.data() + done, result.bytes.size() - done);
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) {
        result.reason = got < 0 ? Reason(errno) : "file changed while being read";
        break;
      }
      done += static_cast<size_t>(got);
    }
    if (result.reason.empty()) {
      result.status = ImageFileRead::Status::kLoaded;
    } else {
      result.bytes.clear();
    }
  }
  ::close(fd);
  return result;
}

}  // namespace veltra::sim
