#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace veltra::image {

// How a .bin file's length compared with the transfer length it was read for.
enum class BinFileFit {
  kExact,  // the transfer length (a dump) or the EEPROM's whole size (a simulated EEPROM's file)
  kShort,  // zero-filled up to the transfer length
  kLong,   // cut to the transfer length
};

// A .bin file holds the image from address 0; every front end reads it the same way: the
// missing bytes of a shorter file are 0, bytes past the transfer length are not part of it.
BinFileFit FitOf(uint64_t fileLength, uint32_t transferLength);

struct BinFileRead {
  std::vector<uint8_t> bytes;  // exactly the transfer length, from address 0
  uint64_t fileLength = 0;
  BinFileFit fit = BinFileFit::kExact;
  std::string error;  // "<file>: <reason>"; empty when the file was read
  bool Ok() const { return error.empty(); }
};

BinFileRead ReadBinFile(const std::filesystem::path& path, uint32_t transferLength);

// What was done with a file of an unusual length, for the user; nullopt for a file of one of
// the two normal lengths.
std::optional<std::string> BinFileFitNotice(const std::string& path, uint64_t fileLength,
                                            uint32_t transferLength);

}  // namespace veltra::image
