#include "cli/output_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace veltra::cli {

namespace {

std::string Failure(const std::string& path, int error) {
  return path + ": " + std::generic_category().message(error);
}

}  // namespace

PendingOutputFile::~PendingOutputFile() {
  Discard();
}

std::string PendingOutputFile::Open(const std::string& path) {
  Discard();
  path_ = path;
  descriptor_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  created_ = descriptor_ >= 0;
  // An existing file: opened for writing but kept as it is until Commit.
  if (descriptor_ < 0 && errno == EEXIST) descriptor_ = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
  if (descriptor_ < 0) return Failure(path, errno);
  return {};
}

std::string PendingOutputFile::Commit(std::span<const uint8_t> bytes) {
  if (descriptor_ < 0) return Failure(path_, EBADF);
  int error = 0;
  if (::ftruncate(descriptor_, 0) != 0) error = errno;
  for (size_t done = 0; error == 0 && done < bytes.size();) {
    const ssize_t written = ::write(descriptor_, bytes.data() + done, bytes.size() - done);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      error = written < 0 ? errno : EIO;
      break;
    }
    done += static_cast<size_t>(written);
  }
  if (::close(descriptor_) != 0 && error == 0) error = errno;
  descriptor_ = -1;
  if (error != 0) {
    // Neither the old contents nor the whole new ones: no file is better than a partial one.
    ::unlink(path_.c_str());
    created_ = false;
    return Failure(path_, error);
  }
  created_ = false;  // kept
  return {};
}

void PendingOutputFile::Discard() {
  if (descriptor_ < 0) return;
  ::close(descriptor_);
  descriptor_ = -1;
  if (created_) ::unlink(path_.c_str());
  created_ = false;
}

}  // namespace veltra::cli
