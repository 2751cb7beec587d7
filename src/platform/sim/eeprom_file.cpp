#include "platform/sim/eeprom_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace veltra::sim {

namespace fs = std::filesystem;

ImageFileRead ReadImageFile(const std::string& path, uint64_t maxBytes) {
  ImageFileRead result;
  std::error_code ec;
  const fs::file_status status = fs::status(path, ec);
  if (status.type() == fs::file_type::not_found) {
    result.status = ImageFileRead::Status::kMissing;
    return result;
  }
  if (ec) {
    result.reason = ec.message();
    return result;
  }
  if (!fs::is_regular_file(status)) {
    result.reason = "not a regular file";
    return result;
  }
  result.fileSize = fs::file_size(path, ec);
  if (ec) {
    result.reason = ec.message();
    return result;
  }
  if (result.fileSize > maxBytes) {
    result.status = ImageFileRead::Status::kTooLarge;
    return result;
  }
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) {
    result.reason = std::strerror(errno);
    return result;
  }
  result.bytes.resize(static_cast<size_t>(result.fileSize));
  const size_t got = std::fread(result.bytes.data(), 1, result.bytes.size(), file);
  const bool failed = std::ferror(file) != 0;
  std::fclose(file);
  if (failed || got != result.bytes.size()) {
    result.reason = failed ? "read error" : "file changed while being read";
    result.bytes.clear();
    return result;
  }
  result.status = ImageFileRead::Status::kLoaded;
  return result;
}

namespace {

// A fresh name for every write: O_EXCL never opens what is already there, so neither a link
// planted under the name nor another writer of the same image shares the file.
std::FILE* CreateTemporary(const std::string& path, std::string& temporary) {
  static std::atomic<unsigned> counter{0};
  for (int tries = 0; tries < 100; ++tries) {
    temporary = path + ".tmp." + std::to_string(::getpid()) + "." + std::to_string(counter++);
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      return nullptr;
    }
    std::FILE* file = ::fdopen(fd, "wb");
    if (file == nullptr) {
      const int saved = errno;
      ::close(fd);
      ::unlink(temporary.c_str());
      errno = saved;
    }
    return file;
  }
  errno = EEXIST;
  return nullptr;
}

}  // namespace

bool WriteImageFileAtomically(const std::string& path, std::span<const uint8_t> bytes,
                              std::string& error) {
  std::string temporary;
  std::FILE* file = CreateTemporary(path, temporary);
  if (file == nullptr) {
    error = std::strerror(errno);
    return false;
  }
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  ok = ok && std::fflush(file) == 0 && ::fsync(::fileno(file)) == 0;
  if (!ok) error = std::strerror(errno);
  if (std::fclose(file) != 0 && ok) {
    error = std::strerror(errno);
    ok = false;
  }
  std::error_code ec;
  if (ok) {
    fs::rename(temporary, path, ec);
    if (ec) {
      error = ec.message();
      ok = false;
    }
  }
  if (!ok) fs::remove(temporary, ec);
  return ok;
}

}  // namespace veltra::sim
