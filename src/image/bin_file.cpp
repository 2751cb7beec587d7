#include "image/bin_file.h"

#include <cerrno>
#include <cstdio>
#include <memory>
#include <system_error>

#include "platform/native_path.h"

namespace veltra::image {

namespace {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

std::string Failure(const std::filesystem::path& path, int error) {
  return platform::PathText(path) + ": " + std::generic_category().message(error);
}

}  // namespace

BinFileFit FitOf(uint64_t fileLength, uint32_t transferLength) {
  if (fileLength < transferLength) return BinFileFit::kShort;
  // The EEPROM's last byte is never transferred, but a file of the whole EEPROM is as normal
  // as a dump: the simulated EEPROM keeps its file at that size.
  if (fileLength <= uint64_t{transferLength} + 1) return BinFileFit::kExact;
  return BinFileFit::kLong;
}

BinFileRead ReadBinFile(const std::filesystem::path& path, uint32_t transferLength) {
  BinFileRead result;
  errno = 0;
#ifdef _WIN32
  File file(::_wfopen(path.c_str(), L"rb"));
#else
  File file(std::fopen(path.c_str(), "rb"));
#endif
  if (!file) {
    int error = errno != 0 ? errno : EIO;
    // Windows refuses to open a folder as a file with "access denied".
    std::error_code ec;
    if (error == EACCES && std::filesystem::is_directory(path, ec)) error = EISDIR;
    result.error = Failure(path, error);
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
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    if (!ec) result.fileLength = size;
  }
  result.fit = FitOf(result.fileLength, transferLength);
  return result;
}

std::optional<std::string> BinFileFitNotice(const std::string& path, uint64_t fileLength,
                                            uint32_t transferLength) {
  const std::string sizes = path + " holds " + std::to_string(fileLength) +
                            " bytes, the EEPROM's transfer length is " +
                            std::to_string(transferLength);
  switch (FitOf(fileLength, transferLength)) {
    case BinFileFit::kShort:
      return sizes + ": the missing bytes are taken as 0";
    case BinFileFit::kLong:
      return sizes + ": the bytes beyond it are ignored";
    case BinFileFit::kExact:
      break;
  }
  return std::nullopt;
}

}  // namespace veltra::image
