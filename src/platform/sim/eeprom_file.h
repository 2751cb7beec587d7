#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/file_stamp.h"

// Reading the .bin files that back a simulated EEPROM (they are written with
// platform::ReplaceFile), and telling whether such a file changed since it was read.
namespace veltra::sim {

struct ImageFileRead {
  enum class Status { kLoaded, kMissing, kTooLarge, kError };
  Status status = Status::kError;
  std::vector<uint8_t> bytes;                // kLoaded
  uint64_t fileSize = 0;                     // kLoaded, kTooLarge
  std::string reason;                        // kError: what the system said
  std::optional<platform::FileStamp> stamp;  // kLoaded, kTooLarge: the file that was read
};

// Reads the whole file unless it holds more than maxBytes. A missing file is no error.
ImageFileRead ReadImageFile(const std::string& path, uint64_t maxBytes);

}  // namespace veltra::sim
