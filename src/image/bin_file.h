#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

namespace veltra::image {

// How a .bin file's length compared with the transfer length it was read for.
enum class BinFileFit {
  kExact,
  kShort,  // zero-filled up to the transfer length
  kLong,   // cut to the transfer length
};

struct BinFileRead {
  std::vector<uint8_t> bytes;  // exactly the transfer length, from address 0
  uint64_t fileLength = 0;
  BinFileFit fit = BinFileFit::kExact;
  std::string error;  // "<file>: <reason>"; empty when the file was read
  bool Ok() const { return error.empty(); }
};

// A .bin file holds the image from address 0 for the transfer length of the EEPROM.
BinFileRead ReadBinFile(const std::filesystem::path& path, uint32_t transferLength);

// Writes the bytes as the whole file. Returns "" or "<file>: <reason>"; a file that could not be
// written completely is removed.
std::string WriteBinFile(const std::filesystem::path& path, std::span<const uint8_t> bytes);

}  // namespace veltra::image
