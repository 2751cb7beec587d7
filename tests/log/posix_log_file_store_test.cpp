#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "log/diagnostic_log.h"
#include "log_fakes.h"
#include "platform/log_file_store.h"

namespace veltra::platform {
namespace {

namespace fs = std::filesystem;

class PosixLogFileStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "veltra-log-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    root_ = pattern;
  }
  void TearDown() override { fs::remove_all(root_); }

  std::string LogPath() const { return (root_ / "state/veltra-config/VeltraConfig.log").string(); }
  static std::string Read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
  static unsigned Mode(const fs::path& path) {
    struct stat info {};
    EXPECT_EQ(::lstat(path.c_str(), &info), 0);
    return info.st_mode & 07777;
  }

  fs::path root_;
};

TEST(LogFilePath, FollowsTheXdgStateDirectoryThenHome) {
  const struct {
    const char* xdg;
    const char* home;
    const char* path;
  } cases[] = {
      {"/x/state", "/home/u", "/x/state/veltra-config/VeltraConfig.log"},
      {"/x/state/", "/home/u", "/x/state/veltra-config/VeltraConfig.log"},
      {nullptr, "/home/u", "/home/u/.local/state/veltra-config/VeltraConfig.log"},
      {"", "/home/u/", "/home/u/.local/state/veltra-config/VeltraConfig.log"},
      {"relative/state", "/home/u", "/home/u/.local/state/veltra-config/VeltraConfig.log"},
      {"/", nullptr, "/veltra-config/VeltraConfig.log"},
      {nullptr, nullptr, ""},
      {"", "relative", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PosixLogFileStore::PathFromEnvironment(c.xdg, c.home), c.path)
        << (c.xdg ? c.xdg : "(unset)") << " " << (c.home ? c.home : "(unset)");
  }
}

TEST_F(PosixLogFileStoreTest, AppendCreatesPrivateDirectoryAndFileAndAppends) {
  PosixLogFileStore store(LogPath());
  ASSERT_TRUE(store.Append("[1/2 3:4:5] one\n"));
  ASSERT_TRUE(store.Append("[1/2 3:4:6] two"));
  EXPECT_EQ(Read(LogPath()), "[1/2 3:4:5] one\n[1/2 3:4:6] two");
  EXPECT_EQ(Mode(root_ / "state/veltra-config"), 0700u);
  EXPECT_EQ(Mode(root_ / "state"), 0700u);
  EXPECT_EQ(Mode(LogPath()) & 0077u, 0u);
}

TEST_F(PosixLogFileStoreTest, DeleteRemovesTheFileAndIgnoresAMissingOne) {
  PosixLogFileStore store(LogPath());
  store.Delete();  // nothing there yet
  ASSERT_TRUE(store.Append("x"));
  store.Delete();
  EXPECT_FALSE(fs::exists(LogPath()));
}

TEST_F(PosixLogFileStoreTest, RefusesToFollowASymbolicLink) {
  const fs::path victim = root_ / "victim.txt";
  std::ofstream(victim) << "keep";
  fs::create_directories(fs::path(LogPath()).parent_path());
  fs::create_symlink(victim, LogPath());
  PosixLogFileStore store(LogPath());
  EXPECT_FALSE(store.Append("attack"));
  EXPECT_EQ(Read(victim), "keep");
  store.Delete();  // removes the link, not its target
  EXPECT_FALSE(fs::is_symlink(LogPath()));
  EXPECT_EQ(Read(victim), "keep");
}

TEST_F(PosixLogFileStoreTest, RefusesALinkedDirectory) {
  const fs::path elsewhere = root_ / "elsewhere";
  fs::create_directories(elsewhere);
  fs::create_directories(root_ / "state");
  fs::create_directory_symlink(elsewhere, root_ / "state/veltra-config");
  PosixLogFileStore store(LogPath());
  EXPECT_FALSE(store.Append("attack"));
  EXPECT_FALSE(fs::exists(elsewhere / "VeltraConfig.log"));
}

// A folder others may write to lets them plant the file (or swap it between delete and
// append): neither the start-up delete nor the append uses it.
TEST_F(PosixLogFileStoreTest, RefusesAFolderOthersMayWriteTo) {
  for (const unsigned mode : {0777u, 01777u, 0770u, 0720u, 0702u}) {
    const fs::path folder = fs::path(LogPath()).parent_path();
    fs::create_directories(folder);
    std::ofstream(LogPath()) << "planted";
    ASSERT_EQ(::chmod(folder.c_str(), mode), 0);
    PosixLogFileStore store(LogPath());
    store.Delete();
    EXPECT_EQ(Read(LogPath()), "planted") << std::oct << mode;
    EXPECT_FALSE(store.Append("record")) << std::oct << mode;
    EXPECT_EQ(Read(LogPath()), "planted") << std::oct << mode;
    fs::remove_all(root_ / "state");
  }
}

TEST_F(PosixLogFileStoreTest, DeleteDoesNotFollowALinkedFolder) {
  const fs::path elsewhere = root_ / "elsewhere";
  fs::create_directories(elsewhere);
  std::ofstream(elsewhere / "VeltraConfig.log") << "keep";
  fs::create_directories(root_ / "state");
  fs::create_directory_symlink(elsewhere, root_ / "state/veltra-config");
  PosixLogFileStore store(LogPath());
  store.Delete();
  EXPECT_EQ(Read(elsewhere / "VeltraConfig.log"), "keep");
}

// Only root can give a file to another user; everyone else skips.
TEST_F(PosixLogFileStoreTest, LeavesALogFileOfAnotherUserAlone) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to give the file to another user";
  fs::create_directories(fs::path(LogPath()).parent_path());
  std::ofstream(LogPath()) << "theirs";
  ASSERT_EQ(::chown(LogPath().c_str(), 65534, 65534), 0);
  ASSERT_EQ(::chmod(LogPath().c_str(), 0666), 0);
  PosixLogFileStore store(LogPath());
  EXPECT_FALSE(store.Append("record"));
  store.Delete();
  EXPECT_EQ(Read(LogPath()), "theirs");
}

TEST_F(PosixLogFileStoreTest, RefusesAFifoWithoutBlocking) {
  fs::create_directories(fs::path(LogPath()).parent_path());
  ASSERT_EQ(::mkfifo(LogPath().c_str(), 0600), 0);
  PosixLogFileStore store(LogPath());
  EXPECT_FALSE(store.Append("x"));
}

TEST_F(PosixLogFileStoreTest, EmptyPathWritesNothing) {
  PosixLogFileStore store("");
  EXPECT_FALSE(store.Append("x"));
  store.Delete();
}

TEST_F(PosixLogFileStoreTest, EachStartLeavesOnlyItsOwnRecords) {
  PosixLogFileStore store(LogPath());
  log::testing::CapturingDebugOutput debug;
  log::testing::FixedLocalTime clock({12, 31, 23, 59, 58});
  const log::LogSettings settings{true, log::LogType::kFile};
  {
    log::DiagnosticLog first = log::DiagnosticLog::Start(settings, store, debug, clock);
    first.LogPrintf("first run\n");
  }
  {
    log::DiagnosticLog second = log::DiagnosticLog::Start(settings, store, debug, clock);
    second.LogPrintf("second run\n");
  }
  EXPECT_EQ(Read(LogPath()), "[12/31 23:59:58] second run\n");
  // A start with the log switched off still removes the old file.
  log::DiagnosticLog::Start({false, log::LogType::kFile}, store, debug, clock).LogPrintf("x\n");
  EXPECT_FALSE(fs::exists(LogPath()));
}

}  // namespace
}  // namespace veltra::platform
