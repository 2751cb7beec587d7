// Where 'veltra-cli dump' may write: a regular file is replaced only once the new image is
// complete, anything else is written like any Unix tool writes it, or refused, never removed.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "backend/simulated_backend.h"
#include "cli/cli_result.h"
#include "cli/dump_command.h"
#include "cli_test_support.h"
#include "image/factory_image.h"

namespace veltra::cli {
namespace {

namespace fs = std::filesystem;
using testing::Outcome;
using testing::ReadFile;
using testing::RunCommand;
using testing::TempDir;
using testing::WriteFile;

constexpr uint32_t kSize = 512;
constexpr uint32_t kTransfer = kSize - 1;

class DumpTargetsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    factory_ = *image::BuildFactoryImage(0x5A52, 0x7731, kSize);
    WriteFile(eeprom_, factory_);
  }
  std::vector<std::string> Args(const std::string& target) const {
    return {target, "--eeprom", "S24C04", "--image", eeprom_};
  }
  std::vector<uint8_t> Dump() const {
    return std::vector<uint8_t>(factory_.begin(), factory_.begin() + kTransfer);
  }
  std::set<std::string> Names() const {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir_.Path()))
      names.insert(entry.path().filename().string());
    return names;
  }

  TempDir dir_;
  const std::string eeprom_ = dir_.File("eeprom.bin");
  std::vector<uint8_t> factory_;
};

// 'dump - | xxd', 'dump /dev/null', 'dump pipe': run as root, dump used to remove the device or
// pipe and put a regular file in its place.
TEST_F(DumpTargetsTest, StandardOutputDevicesAndPipesAreWrittenAsTheyAre) {
  const Outcome out = RunCommand(RunDumpCommand, Args("-"));
  EXPECT_EQ(out.code, kExitSuccess) << out.err;
  const std::vector<uint8_t> dump = Dump();
  EXPECT_EQ(out.out, std::string(dump.begin(), dump.end()));

  // A null device of the test's own where the system lets it be made and used.
  fs::path device = dir_.File("null");
  const bool made = ::mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0;
  const int usable = made ? ::open(device.c_str(), O_WRONLY) : -1;
  if (usable >= 0) ::close(usable);
  if (usable < 0) device = "/dev/null";
  const Outcome toDevice = RunCommand(RunDumpCommand, Args(device.string()));
  EXPECT_EQ(toDevice.code, kExitSuccess) << toDevice.err;
  EXPECT_TRUE(fs::is_character_file(device));

  const std::string pipe = dir_.File("pipe");
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  std::vector<uint8_t> received;
  std::thread reader([&] { received = ReadFile(pipe).value_or(std::vector<uint8_t>{}); });
  const Outcome toPipe = RunCommand(RunDumpCommand, Args(pipe));
  reader.join();
  EXPECT_EQ(toPipe.code, kExitSuccess) << toPipe.err;
  EXPECT_EQ(received, Dump());
  EXPECT_TRUE(fs::is_fifo(pipe));
}

TEST_F(DumpTargetsTest, AReadOnlyTargetIsRefusedBeforeTheRead) {
  const std::string target = dir_.File("backup.bin");
  const std::vector<uint8_t> old(kTransfer, 0x42);
  WriteFile(target, old);
  ASSERT_EQ(::chmod(target.c_str(), 0444), 0);
  bool connected = false;
  const Outcome o = RunCommand(RunDumpCommand, Args(target),
                               [&connected](backend::SimulatedBackend&) { connected = true; });
  EXPECT_EQ(o.code, kExitFailure);
  EXPECT_EQ(o.err, "veltra-cli: dump: " + target + ": Permission denied\n");
  EXPECT_FALSE(connected);
  EXPECT_EQ(ReadFile(target), old);
  EXPECT_EQ(fs::status(target).permissions(), fs::perms(0444));
}

TEST_F(DumpTargetsTest, ALinkedTargetIsWrittenThroughAndKeepsItsMode) {
  fs::create_directories(dir_.File("backups"));
  const std::string target = dir_.File("backups/latest.bin");
  WriteFile(target, {1, 2, 3});
  ASSERT_EQ(::chmod(target.c_str(), 0640), 0);
  const std::string link = dir_.File("latest.bin");
  fs::create_symlink("backups/latest.bin", link);
  const Outcome o = RunCommand(RunDumpCommand, Args(link));
  EXPECT_EQ(o.code, kExitSuccess) << o.err;
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(ReadFile(target), Dump());
  EXPECT_EQ(fs::status(target).permissions(), fs::perms(0640));
  EXPECT_EQ(Names(), (std::set<std::string>{"backups", "eeprom.bin", "latest.bin"}));
}

// Runs body in a child process with a 64 KiB tmpfs mounted at mountPoint, in a mount namespace
// of its own so the host never sees it. The child's exit code: 0 passed, 77 no tmpfs to be
// had; anything it has to say comes back as text.
struct ChildResult {
  int code = -1;
  std::string text;
};
void WriteProc(const char* file, const std::string& text) {
  const int fd = ::open(file, O_WRONLY);
  if (fd < 0) return;
  (void)::write(fd, text.data(), text.size());
  ::close(fd);
}

// Without the right to mount: a user namespace of one's own, as one's own user, may.
bool UnshareAsUser() {
  const uid_t uid = ::getuid();
  const gid_t gid = ::getgid();
  if (::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0) return false;
  WriteProc("/proc/self/setgroups", "deny");
  WriteProc("/proc/self/uid_map", std::to_string(uid) + " " + std::to_string(uid) + " 1");
  WriteProc("/proc/self/gid_map", std::to_string(gid) + " " + std::to_string(gid) + " 1");
  return true;
}

template <typename Body>
ChildResult WithSmallTmpfs(const std::string& mountPoint, Body body) {
  int channel[2];
  if (::pipe(channel) != 0) return {};
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(channel[0]);
    const bool isolated = ::unshare(CLONE_NEWNS) == 0 || UnshareAsUser();
    if (!isolated || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        ::mount("tmpfs", mountPoint.c_str(), "tmpfs", 0, "size=64k") != 0) {
      ::_exit(77);
    }
    const std::string text = body();
    if (!text.empty()) (void)::write(channel[1], text.data(), text.size());
    ::_exit(text.empty() ? 0 : 1);
  }
  ::close(channel[1]);
  ChildResult result;
  char buffer[512];
  for (ssize_t got; (got = ::read(channel[0], buffer, sizeof buffer)) > 0;)
    result.text.append(buffer, static_cast<size_t>(got));
  ::close(channel[0]);
  int status = 0;
  if (child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status))
    result.code = WEXITSTATUS(status);
  return result;
}

// Seen on a full disk: the dump failed and the old backup was gone.
TEST_F(DumpTargetsTest, AFullFileSystemKeepsTheOldBackup) {
  const std::string mountPoint = dir_.File("small");
  fs::create_directories(mountPoint);
  const std::string backup = mountPoint + "/mybackup.bin";
  const std::vector<uint8_t> old(kTransfer, 0x42);
  const std::vector<std::string> args = Args(backup);
  const ChildResult result = WithSmallTmpfs(mountPoint, [&]() -> std::string {
    WriteFile(backup, old);
    // Fill the rest of the file system.
    const int filler = ::open((mountPoint + "/filler").c_str(), O_WRONLY | O_CREAT, 0600);
    const std::vector<char> block(4096, 'f');
    while (::write(filler, block.data(), block.size()) > 0) {
    }
    ::close(filler);
    const Outcome o = RunCommand(RunDumpCommand, args);
    std::string problems;
    if (o.code != kExitFailure) problems += "exit code " + std::to_string(o.code) + "; ";
    if (o.err != "veltra-cli: dump: " + backup + ": No space left on device\n")
      problems += "error '" + o.err + "'; ";
    if (ReadFile(backup) != old) problems += "the old backup changed; ";
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(mountPoint))
      names.insert(entry.path().filename().string());
    if (names != std::set<std::string>{"filler", "mybackup.bin"}) problems += "stray files; ";
    return problems;
  });
  if (result.code == 77) GTEST_SKIP() << "no tmpfs can be mounted here";
  EXPECT_EQ(result.code, 0) << result.text;
  EXPECT_EQ(result.text, "");
}

}  // namespace
}  // namespace veltra::cli
