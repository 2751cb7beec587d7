#include "cli/bin_file_notice.h"

namespace veltra::cli {

std::optional<std::string> BinFileFitNotice(const std::string& path, const image::BinFileRead& read,
                                            uint32_t transferLength) {
  const std::string sizes = path + " holds " + std::to_string(read.fileLength) +
                            " bytes, the EEPROM's transfer length is " +
                            std::to_string(transferLength);
  switch (read.fit) {
    case image::BinFileFit::kShort:
      return sizes + ": the missing bytes are taken as 0";
    case image::BinFileFit::kLong:
      return sizes + ": the bytes beyond it are ignored";
    case image::BinFileFit::kExact:
      break;
  }
  return std::nullopt;
}

}  // namespace veltra::cli
