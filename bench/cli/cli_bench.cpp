// export and import of a full 24C512 image, as documents in memory and as the commands run them
// with their files, and the start-up of the veltra-cli program for 'show' (process start to exit).
#include <benchmark/benchmark.h>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <numeric>
#include <sstream>
#include <string>
#include <vector>

#include "cli/export_command.h"
#include "cli/import_command.h"
#include "device/eeprom_types.h"
#include "document/configuration_json.h"
#include "image/configuration.h"
#include "image/factory_image.h"

extern char** environ;

namespace veltra::cli {
namespace {

constexpr device::EepromType kEeprom = device::kEepromTypes.back();  // S24C512

std::vector<uint8_t> Filled(size_t length, uint8_t seed) {
  std::vector<uint8_t> bytes(length);
  std::iota(bytes.begin(), bytes.end(), seed);
  return bytes;
}

// The factory configuration with the largest firmware and pass-through sections the directory
// can place: about 32 KiB of sections, the packed image as long as an image gets.
std::vector<uint8_t> FullImage() {
  const std::vector<uint8_t> factory = *image::BuildFactoryImage(0x5A52, 0x7731, kEeprom.size);
  image::Configuration c =
      *image::DecodeConfiguration(image::ReadImage(factory, kEeprom.transferLength));
  c.mcuFirmware = image::RawSection{Filled(16383, 1)};
  c.passThrough4 = image::RawSection{Filled(4095, 2)};
  c.passThrough5 = image::RawSection{Filled(4095, 3)};
  c.passThrough6 = image::RawSection{Filled(4095, 4)};
  c.ocString = image::RawSection{Filled(64, 5)};
  c.passThrough8 = image::RawSection{Filled(3000, 6)};
  const image::PackedConfiguration packed = image::PackConfiguration(c, kEeprom.transferLength);
  if (!packed.fits) std::abort();
  return packed.image;
}

class ScratchDir {
 public:
  ScratchDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "veltra-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) != nullptr) path_ = pattern;
  }
  ~ScratchDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  std::string File(const char* name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

void BM_ExportDocument24C512(benchmark::State& state) {
  const std::vector<uint8_t> image = FullImage();
  size_t length = 0;
  for (auto _ : state) {
    const auto c = image::DecodeConfiguration(image::ReadImage(image, kEeprom.transferLength));
    const std::string text = document::ConfigurationJsonText(*c, kEeprom);
    length = text.size();
    benchmark::DoNotOptimize(text.data());
  }
  state.counters["document_bytes"] = static_cast<double>(length);
}
BENCHMARK(BM_ExportDocument24C512)->Unit(benchmark::kMicrosecond);

void BM_ImportDocument24C512(benchmark::State& state) {
  const std::vector<uint8_t> image = FullImage();
  const std::string text = document::ConfigurationJsonText(
      *image::DecodeConfiguration(image::ReadImage(image, kEeprom.transferLength)), kEeprom);
  for (auto _ : state) {
    std::string error;
    const auto parsed = document::ReadConfigurationJson(text, error);
    if (!parsed) state.SkipWithError(error.c_str());
    const auto packed = image::PackConfiguration(parsed->configuration, kEeprom.transferLength);
    benchmark::DoNotOptimize(packed.image.data());
  }
}
BENCHMARK(BM_ImportDocument24C512)->Unit(benchmark::kMicrosecond);

// The commands in this process, files included (the output replaced in one step, synced).
void BM_ExportCommand24C512(benchmark::State& state) {
  const ScratchDir dir;
  const std::vector<uint8_t> image = FullImage();
  WriteBytes(dir.File("full.bin"), std::string(image.begin(), image.end()));
  const std::vector<std::string> args{dir.File("full.bin"), "--eeprom", "S24C512", "-o",
                                      dir.File("full.json")};
  for (auto _ : state) {
    std::ostringstream out, err;
    if (RunExportCommand(args, out, err) != 0) state.SkipWithError(err.str().c_str());
  }
}
BENCHMARK(BM_ExportCommand24C512)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ImportCommand24C512(benchmark::State& state) {
  const ScratchDir dir;
  const std::vector<uint8_t> image = FullImage();
  WriteBytes(
      dir.File("full.json"),
      document::ConfigurationJsonText(
          *image::DecodeConfiguration(image::ReadImage(image, kEeprom.transferLength)), kEeprom));
  const std::vector<std::string> args{dir.File("full.json"), "-o", dir.File("full.bin")};
  for (auto _ : state) {
    std::ostringstream out, err;
    if (RunImportCommand(args, out, err) != 0) state.SkipWithError(err.str().c_str());
  }
}
BENCHMARK(BM_ImportCommand24C512)->Unit(benchmark::kMillisecond)->UseRealTime();

// veltra-cli show FILE.bin --eeprom S24C512, from spawning the process to its exit.
void BM_ShowProcessStartToExit(benchmark::State& state) {
  const ScratchDir dir;
  const std::vector<uint8_t> image = FullImage();
  const std::string path = dir.File("full.bin");
  WriteBytes(path, std::string(image.begin(), image.end()));
  std::vector<std::string> args{VELTRA_CLI_BINARY, "show", path, "--eeprom", "S24C512"};
  std::vector<char*> argv;
  for (std::string& arg : args)
    argv.push_back(arg.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  for (auto _ : state) {
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
      state.SkipWithError("cannot start veltra-cli");
      break;
    }
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) state.SkipWithError("show failed");
  }
  posix_spawn_file_actions_destroy(&actions);
}
BENCHMARK(BM_ShowProcessStartToExit)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace veltra::cli
