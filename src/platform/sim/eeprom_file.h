#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

// Reading and writing the .bin files that back a simulated EEPROM.
namespace veltra::sim {

struct ImageFileRead {
  enum class Status { kLoaded, kMissing, kTooLarge, kError };
  Status status = Status::kError;
  std::vector<uint8_t> bytes;  // kLoaded
  uint64_t fileSize = 0;       // kLoaded, kTooLarge
  std::string reason;          // kError: what the system said
};

// Reads the whole file unless it holds more than maxBytes. A missing file is no error.
ImageFileRead ReadImageFile(const std::string& path, uint64_t maxBytes);

// Writes bytes into a temporary file beside path and renames it over path, so the file holds
// either the old or the new image, never a part of one. On failure error says why.
bool WriteImageFileAtomically(const std::string& path, std::span<const uint8_t> bytes,
                              std::string& error);

}  // namespace veltra::sim
