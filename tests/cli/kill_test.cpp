// The real veltra-cli killed (SIGKILL) at random points of a 24C512 dump and load: the file it
// writes holds its old or its new contents afterwards, nothing else, and no stray file stays.
// VELTRA_KILL_RUNS sets the number of kills per command (20 by default).
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "cli_test_support.h"

namespace veltra::cli {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

constexpr uint32_t kSize = 65536;  // 24C512

std::vector<uint8_t> Random(size_t length, std::mt19937& random) {
  std::vector<uint8_t> bytes(length);
  for (uint8_t& byte : bytes)
    byte = static_cast<uint8_t>(random());
  return bytes;
}

int Runs() {
  const char* text = std::getenv("VELTRA_KILL_RUNS");
  const int runs = text != nullptr ? std::atoi(text) : 0;
  return runs > 0 ? runs : 20;
}

pid_t Start(const std::vector<std::string>& args) {
  const pid_t child = ::fork();
  if (child == 0) {
    const int null = ::open("/dev/null", O_WRONLY);
    ::dup2(null, STDOUT_FILENO);
    ::dup2(null, STDERR_FILENO);
    std::vector<char*> argv;
    std::string program = VELTRA_CLI_BINARY;
    argv.push_back(program.data());
    std::vector<std::string> copies = args;
    for (std::string& arg : copies)
      argv.push_back(arg.data());
    argv.push_back(nullptr);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  return child;
}

// Runs the command to its end; its exit code.
int RunToEnd(const std::vector<std::string>& args) {
  const pid_t child = Start(args);
  int status = 0;
  if (child <= 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

struct Counts {
  int runs = 0;
  int old = 0;
  int fresh = 0;
  int other = 0;
};

class KillTest : public ::testing::Test {
 protected:
  std::set<std::string> Names() const {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir_.Path()))
      names.insert(entry.path().filename().string());
    return names;
  }

  // Kills the command at random moments up to a little beyond its usual run time; each time
  // the target must hold old or fresh.
  Counts KillRepeatedly(const std::vector<std::string>& args, const std::string& target,
                        const std::vector<uint8_t>& old, const std::vector<uint8_t>& fresh,
                        const std::function<void()>& reset) {
    reset();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(RunToEnd(args), 0);
    const auto duration = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(ReadFile(target), fresh);

    std::uniform_int_distribution<int64_t> moment(
        0, std::chrono::duration_cast<std::chrono::microseconds>(duration).count() * 5 / 4);
    Counts counts;
    for (int run = 0; run < Runs(); ++run) {
      reset();
      const pid_t child = Start(args);
      std::this_thread::sleep_for(std::chrono::microseconds(moment(random_)));
      ::kill(child, SIGKILL);
      ::waitpid(child, nullptr, 0);
      const std::optional<std::vector<uint8_t>> now = ReadFile(target);
      ++counts.runs;
      if (now == old) {
        ++counts.old;
      } else if (now == fresh) {
        ++counts.fresh;
      } else {
        ++counts.other;
      }
    }
    return counts;
  }

  static void Report(const char* command, const Counts& c) {
    std::printf("%s killed: runs %d, old %d, new %d, other %d\n", command, c.runs, c.old, c.fresh,
                c.other);
    std::fflush(stdout);
  }

  TempDir dir_;
  const unsigned seed_ = std::random_device{}();
  std::mt19937 random_{seed_};
};

TEST_F(KillTest, ADumpOrLoadKilledAnywhereLeavesOldOrNewContents) {
  SCOPED_TRACE("seed " + std::to_string(seed_));
  const std::string eeprom = dir_.File("eeprom.bin");
  const std::string backup = dir_.File("backup.bin");
  const std::string input = dir_.File("input.bin");
  const std::vector<uint8_t> image = Random(kSize, random_);
  const std::vector<uint8_t> oldBackup = Random(kSize - 1, random_);
  const std::vector<uint8_t> newBackup(image.begin(), image.end() - 1);

  const Counts dump = KillRepeatedly({"dump", backup, "--eeprom", "S24C512", "--image", eeprom},
                                     backup, oldBackup, newBackup, [&] {
                                       WriteFile(eeprom, image);
                                       WriteFile(backup, oldBackup);
                                     });
  Report("dump", dump);
  EXPECT_EQ(dump.other, 0);

  // Load: the EEPROM's file is what gets written.
  const std::vector<uint8_t> loaded = Random(kSize - 1, random_);
  std::vector<uint8_t> newImage = loaded;
  newImage.push_back(image.back());  // the last byte is never transferred
  const Counts load =
      KillRepeatedly({"load", input, "--yes", "--eeprom", "S24C512", "--image", eeprom}, eeprom,
                     image, newImage, [&] {
                       WriteFile(eeprom, image);
                       WriteFile(input, loaded);
                     });
  Report("load", load);
  EXPECT_EQ(load.other, 0);

  // A temporary named in the moment before its rename is gone after the next run.
  EXPECT_EQ(RunToEnd({"dump", backup, "--eeprom", "S24C512", "--image", eeprom}), 0);
  EXPECT_EQ(RunToEnd({"load", input, "--yes", "--eeprom", "S24C512", "--image", eeprom}), 0);
  EXPECT_EQ(Names(), (std::set<std::string>{"backup.bin", "eeprom.bin", "input.bin"}));
}

}  // namespace
}  // namespace veltra::cli
