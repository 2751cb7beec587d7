// Writes the fuzzer's seed images, each as a .bin file of its EEPROM's transfer length, made by
// the packer: make_image_corpus <directory>.
#include <cstdio>
#include <filesystem>
#include <numeric>
#include <string>
#include <vector>

#include "image/image_layout.h"
#include "platform/file_replace.h"

namespace {

using namespace veltra::image;

struct Seed {
  const char* name;
  uint32_t transferLength;
  std::vector<std::pair<int, uint32_t>> sections;  // row, length
  bool tail1;
  bool tail2;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <directory>\n", argv[0]);
    return 2;
  }
  const std::vector<Seed> seeds{
      {"header_only_24c02.bin", 255, {}, false, false},
      {"audio_only_24c02.bin", 255, {{1, 37}}, false, false},
      {"eq_24c04.bin", 511, {{1, 37}, {10, 84}, {11, 66}}, true, true},
      {"record_eq_tail2_24c02.bin", 255, {{11, 66}}, false, true},
      {"strings_mcu_24c08.bin", 1023, {{0, 200}, {2, 10}, {3, 22}, {4, 6}, {8, 4}}, false, false},
      {"all_sections_24c16.bin",
       2047,
       {{0, 300},
        {1, 37},
        {2, 8},
        {3, 8},
        {4, 8},
        {5, 5},
        {6, 5},
        {7, 5},
        {8, 8},
        {9, 5},
        {10, 84},
        {11, 66}},
       true,
       true},
  };
  const std::vector<uint8_t> header{0, 0, 0x52, 0x5A, 0x31, 0x77, 0xE0, 0x04, 0x41, 0x9D, 0x80};
  TailRecord tail1;
  TailRecord tail2;
  std::iota(tail1.begin(), tail1.end(), uint8_t{0x10});
  std::iota(tail2.begin(), tail2.end(), uint8_t{0x40});
  for (const Seed& seed : seeds) {
    std::vector<std::vector<uint8_t>> data;
    for (const auto& [index, length] : seed.sections) {
      data.emplace_back(length);
      std::iota(data.back().begin(), data.back().end(), static_cast<uint8_t>(index * 13));
    }
    std::vector<PackSection> sections;
    for (size_t i = 0; i < data.size(); ++i)
      sections.push_back({seed.sections[i].first, data[i]});
    std::vector<uint8_t> image(seed.transferLength);
    const PackInput input{sections, header, seed.tail1 ? &tail1 : nullptr,
                          seed.tail2 ? &tail2 : nullptr};
    if (!PackImage(input, seed.transferLength, image).fits) {
      std::fprintf(stderr, "%s does not fit\n", seed.name);
      return 1;
    }
    const std::string path = (std::filesystem::path(argv[1]) / seed.name).string();
    const std::string error = veltra::platform::ReplaceFile(path, image);
    if (!error.empty()) {
      std::fprintf(stderr, "%s: %s\n", path.c_str(), error.c_str());
      return 1;
    }
  }
  return 0;
}
