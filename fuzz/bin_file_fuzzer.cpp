// The input is a .bin file as a user hands it to FILE -> EEPROM or to --image, behind a first
// byte that picks the EEPROM part. The file loader must give exactly the transfer length: the
// file's bytes, then zeros. The simulated EEPROM must take a file of up to its size (a shorter
// one completed with zeros) and refuse a longer one, leaving itself erased and unbound; after a
// one-byte write through its bus it must write its file back whole, at the length it keeps.
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "image/bin_file.h"
#include "platform/sim/eeprom_file.h"
#include "platform/sim/eeprom_part.h"
#include "platform/sim/sim_eeprom.h"

namespace {

using namespace veltra;

void Require(bool condition) {
  if (!condition) __builtin_trap();
}

// One scratch folder for the whole run, in memory where the system has such a folder: every
// input is written, read and replaced there.
const std::filesystem::path& Scratch() {
  static const std::filesystem::path folder = [] {
    std::string base = "/dev/shm";
    if (::access(base.c_str(), W_OK) != 0) {
      const char* tmp = std::getenv("TMPDIR");
      base = tmp != nullptr && tmp[0] != '\0' ? tmp : "/tmp";
    }
    std::string pattern = base + "/veltra-bin-fuzz-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) std::abort();
    std::atexit([] {
      std::error_code ec;
      std::filesystem::remove_all(Scratch(), ec);
    });
    return std::filesystem::path(pattern);
  }();
  return folder;
}

void WriteWhole(const std::filesystem::path& path, std::span<const uint8_t> bytes) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) std::abort();
  if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size())
    std::abort();
  if (std::fclose(file) != 0) std::abort();
}

// The bytes an image of this transfer length holds: the file's, then zeros.
bool HoldsFileThenZeros(std::span<const uint8_t> image, std::span<const uint8_t> file) {
  for (size_t i = 0; i < image.size(); ++i) {
    if (image[i] != (i < file.size() ? file[i] : 0)) return false;
  }
  return true;
}

void CheckBinFile(const std::filesystem::path& path, std::span<const uint8_t> file,
                  uint32_t transferLength) {
  const image::BinFileRead read = image::ReadBinFile(path, transferLength);
  Require(read.Ok());
  Require(read.bytes.size() == transferLength);
  Require(read.fileLength == file.size());
  Require(HoldsFileThenZeros(read.bytes, file));
  Require(read.fit == image::FitOf(file.size(), transferLength));
  const bool exact = read.fit == image::BinFileFit::kExact;
  Require(image::BinFileFitNotice(path.string(), read.fileLength, transferLength).has_value() ==
          !exact);
}

// One byte written at address through the part's own addressing, as the chip's I2C master
// writes it, with STOP starting the write cycle.
void WriteByteThroughBus(sim::SimEeprom& eeprom, uint32_t address, uint8_t value) {
  const sim::EepromPartInfo& info = eeprom.Info();
  const uint32_t blockMask = (1u << info.blockBits) - 1;
  const auto device =
      static_cast<uint8_t>(info.deviceAddress | (((address >> 8) & blockMask) << 1));
  eeprom.BeginTransfer();
  eeprom.Start(0);
  Require(eeprom.WriteByte(device, 0));
  if (info.addressBytes == 2) Require(eeprom.WriteByte(static_cast<uint8_t>(address >> 8), 0));
  Require(eeprom.WriteByte(static_cast<uint8_t>(address), 0));
  Require(eeprom.WriteByte(value, 0));
  eeprom.Stop(0);
  eeprom.EndTransfer();
}

void CheckSimulatedEeprom(sim::EepromPart part, const std::filesystem::path& path,
                          std::span<const uint8_t> file, uint8_t addressSeed) {
  sim::SimEeprom eeprom(part);
  const uint32_t size = eeprom.Info().size;
  if (!eeprom.LoadFromFile(path.string())) {
    Require(file.size() > size);
    Require(!eeprom.LastError().empty());
    Require(!eeprom.IsFileBacked());
    Require(std::all_of(eeprom.Contents().begin(), eeprom.Contents().end(),
                        [](uint8_t b) { return b == 0xFF; }));
    return;
  }
  Require(file.size() <= size);
  Require(eeprom.LoadedFileSize() == file.size());
  Require(eeprom.Contents().size() == size);
  Require(HoldsFileThenZeros(eeprom.Contents(), file));

  const uint32_t address = (static_cast<uint32_t>(file.size()) * 131 + addressSeed) % size;
  const auto value = static_cast<uint8_t>(~eeprom.Contents()[address]);
  WriteByteThroughBus(eeprom, address, value);
  Require(eeprom.Contents()[address] == value);
  Require(eeprom.LastError().empty());
  // A file of the part's size or one byte less keeps its length; any other becomes the part.
  const uint64_t kept = file.size() + 1 >= size ? file.size() : size;
  const sim::ImageFileRead written = sim::ReadImageFile(path.string(), size);
  Require(written.status == sim::ImageFileRead::Status::kLoaded);
  Require(written.bytes.size() == kept);
  Require(std::equal(written.bytes.begin(), written.bytes.end(), eeprom.Contents().begin()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const sim::EepromPart part = sim::kAllEepromParts[data[0] % sim::kAllEepromParts.size()];
  const uint8_t addressSeed = data[0] / sim::kAllEepromParts.size();
  const std::span<const uint8_t> file(data + 1, size - 1);
  const std::filesystem::path path = Scratch() / "image.bin";
  WriteWhole(path, file);

  const uint32_t partSize = sim::PartInfo(part).size;
  CheckBinFile(path, file, partSize - 1);
  // And as long as the file: an exact dump.
  CheckBinFile(path, file, static_cast<uint32_t>(std::min<size_t>(file.size(), 65535)));
  CheckSimulatedEeprom(part, path, file, addressSeed);
  return 0;
}
