#include "image/bin_file.h"

#include <cerrno>
#include <cstdio>
#include <memory>
#include <system_error>

namespace veltra::image {

namespace {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

std::string Failure(const std::filesystem::path& path, int error) {
  return path.string() + ": " + std::generic_category().message(error);
}

}  // namespace

BinFileRead ReadBinFile(const std::filesystem::path& path, uint32_t transferLength) {
  BinFileRead result;
  errno = 0;
  File file(std::fopen(path.c_str(), "rb"));
  if (!file) {
    result.error = Failure(path, errno != 0 ? errno : EIO);
    return result;
  }
  // One byte more than needed tells a longer file from an exact one.
  result.bytes.assign(uint64_t{transferLength} + 1, 0);
  const size_t got = std::fread(result.bytes.data(), 1, result.bytes.size(), file.get());
  if (std::ferror(file.get())) {
    result.error = Failure(path, errno != 0 ? errno : EIO);
    result.bytes.clear();
    return result;
  }
  result.bytes.resize(transferLength);
  result.fileLength = got;
  if (got > transferLength) {
    result.fit = BinFileFit::kLong;
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    if (!ec) result.fileLength = size;
  } else if (got < transferLength) {
    result.fit = BinFileFit::kShort;
  }
  return result;
}

std::string WriteBinFile(const std::filesystem::path& path, std::span<const uint8_t> bytes) {
  errno = 0;
  File file(std::fopen(path.c_str(), "wb"));
  if (!file) return Failure(path, errno != 0 ? errno : EIO);
  // A dump cut short would read back as an image with zeros or garbage at its end: no file is
  // better than a partial one.
  auto fail = [&path](int error) {
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
    return Failure(path, error != 0 ? error : EIO);
  };
  if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file.get()) != bytes.size()) {
    const int error = errno;
    file.reset();
    return fail(error);
  }
  if (std::fclose(file.release()) != 0) return fail(errno);
  return {};
}

}  // namespace veltra::image
