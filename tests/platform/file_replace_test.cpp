// Replacing a user's file: old or new contents, never a part, never a stray file, never a
// device, pipe or link destroyed.
#include "platform/file_replace.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace veltra::platform {
namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> Pattern(size_t length, uint8_t seed) {
  std::vector<uint8_t> bytes(length);
  for (size_t i = 0; i < length; ++i)
    bytes[i] = static_cast<uint8_t>(seed + i * 13);
  return bytes;
}

void WriteRaw(const fs::path& path, const std::vector<uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}

std::vector<uint8_t> ReadRaw(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

mode_t ModeOf(const fs::path& path) {
  struct stat status {};
  EXPECT_EQ(::lstat(path.c_str(), &status), 0) << path;
  return status.st_mode;
}

std::set<std::string> Names(const fs::path& dir) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir))
    names.insert(entry.path().filename().string());
  return names;
}

std::string Message(int error) {
  return std::strerror(error);
}

// The steps of a replacement, each of which can be made to fail.
enum class Step { kOpen, kWrite, kFchmod, kFsync, kLink, kClose, kRename };

const char* Name(Step step) {
  switch (step) {
    case Step::kOpen:
      return "open";
    case Step::kWrite:
      return "write";
    case Step::kFchmod:
      return "fchmod";
    case Step::kFsync:
      return "fsync";
    case Step::kLink:
      return "link";
    case Step::kClose:
      return "close";
    case Step::kRename:
      return "rename";
  }
  return "?";
}

// The real calls, with one step failing if asked, file systems without O_TMPFILE if asked, and
// writes cut into small pieces so that a failing write comes after a part was written.
class FaultyCalls final : public FileCalls {
 public:
  std::optional<Step> failing;
  int error = EIO;
  bool noUnnamedFiles = false;
  std::vector<Step> steps;

  int Open(const char* path, int flags, mode_t mode) override {
    if ((flags & O_TMPFILE) == O_TMPFILE && noUnnamedFiles) return Fail(EOPNOTSUPP);
    if (Failing(Step::kOpen)) return Fail(error);
    return FileCalls::Open(path, flags, mode);
  }
  ssize_t Write(int fd, const void* data, size_t size) override {
    // The first piece goes through, the second fails: the file holds a part by then.
    if (writes_++ > 0 && Failing(Step::kWrite)) return Fail(error);
    steps.push_back(Step::kWrite);
    return FileCalls::Write(fd, data, std::min<size_t>(size, 512));
  }
  int Fchmod(int fd, mode_t mode) override {
    if (Failing(Step::kFchmod)) return Fail(error);
    return FileCalls::Fchmod(fd, mode);
  }
  int Fsync(int fd) override {
    if (Failing(Step::kFsync)) return Fail(error);
    return FileCalls::Fsync(fd);
  }
  int Link(int fd, const char* path) override {
    if (Failing(Step::kLink)) return Fail(error);
    return FileCalls::Link(fd, path);
  }
  int Close(int fd) override {
    // Linux closes the descriptor even when close reports an error.
    const bool fail = Failing(Step::kClose);
    const int result = FileCalls::Close(fd);
    return fail ? Fail(error) : result;
  }
  int Rename(const char* from, const char* to) override {
    if (Failing(Step::kRename)) return Fail(error);
    return FileCalls::Rename(from, to);
  }

 private:
  bool Failing(Step step) {
    if (step != Step::kWrite) steps.push_back(step);
    if (failing != step) return false;
    failing.reset();  // once
    return true;
  }
  static int Fail(int code) {
    errno = code;
    return -1;
  }
  int writes_ = 0;
};

class FileReplaceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "veltra-replace-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
  }
  void TearDown() override {
    std::error_code ignored;
    fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(dir_, ignored);
  }

  fs::path dir_;
  const std::vector<uint8_t> old_ = Pattern(1000, 1);
  const std::vector<uint8_t> new_ = Pattern(3000, 7);
};

TEST_F(FileReplaceTest, AFailureAtAnyStepLeavesTheOldFileAndNothingElse) {
  const Step steps[] = {Step::kOpen, Step::kWrite, Step::kFchmod, Step::kFsync,
                        Step::kLink, Step::kClose, Step::kRename};
  for (const bool unnamed : {true, false}) {
    for (const Step step : steps) {
      if (step == Step::kLink && !unnamed) continue;  // a named temporary needs no link
      for (const int error : {ENOSPC, EIO}) {
        SCOPED_TRACE(std::string(Name(step)) + (unnamed ? ", O_TMPFILE" : ", named") + ", " +
                     Message(error));
        const fs::path target = dir_ / "backup.bin";
        WriteRaw(target, old_);
        fs::permissions(target, fs::perms(0640));
        const fs::path fresh = dir_ / "fresh.bin";

        FaultyCalls calls;
        calls.noUnnamedFiles = !unnamed;
        calls.failing = step;
        calls.error = error;
        EXPECT_EQ(ReplaceFile(target.string(), new_, calls), Message(error));
        EXPECT_EQ(ReadRaw(target), old_);
        EXPECT_EQ(ModeOf(target) & 07777, 0640u);

        // A file that did not exist before does not exist after.
        if (step != Step::kFchmod) {  // a new file keeps the bits it was made with
          FaultyCalls again;
          again.noUnnamedFiles = !unnamed;
          again.failing = step;
          again.error = error;
          EXPECT_EQ(ReplaceFile(fresh.string(), new_, again), Message(error));
        }
        EXPECT_EQ(Names(dir_), std::set<std::string>{"backup.bin"});
        fs::remove(target);
      }
    }
  }
}

TEST_F(FileReplaceTest, TheContentsAreSyncedBeforeTheyTakeTheTargetsPlace) {
  const fs::path target = dir_ / "image.bin";
  WriteRaw(target, old_);
  for (const bool unnamed : {true, false}) {
    FaultyCalls calls;
    calls.noUnnamedFiles = !unnamed;
    ASSERT_EQ(ReplaceFile(target.string(), new_, calls), "");
    EXPECT_EQ(ReadRaw(target), new_);
    EXPECT_EQ(Names(dir_), std::set<std::string>{"image.bin"});
    std::vector<Step> expected = {Step::kOpen};
    expected.insert(expected.end(), (new_.size() + 511) / 512, Step::kWrite);
    expected.insert(expected.end(), {Step::kFchmod, Step::kFsync});
    if (unnamed) expected.push_back(Step::kLink);
    expected.insert(expected.end(), {Step::kClose, Step::kRename});
    EXPECT_EQ(calls.steps, expected) << (unnamed ? "O_TMPFILE" : "named");
  }
}

// Until Commit nothing a user can see changes: the path was only checked.
TEST_F(FileReplaceTest, OpenTouchesNothingAndDiscardLeavesNoTrace) {
  const fs::path existing = dir_ / "existing.bin";
  WriteRaw(existing, old_);
  const fs::path fresh = dir_ / "fresh.bin";
  {
    FileReplacement a;
    FileReplacement b;
    ASSERT_EQ(a.Open(existing.string()), "");
    ASSERT_EQ(b.Open(fresh.string()), "");
    EXPECT_EQ(ReadRaw(existing), old_);
    EXPECT_EQ(Names(dir_), std::set<std::string>{"existing.bin"});
  }
  EXPECT_EQ(Names(dir_), std::set<std::string>{"existing.bin"});

  // Where the file system has no unnamed files the temporary has a name while it is open.
  FaultyCalls calls;
  calls.noUnnamedFiles = true;
  {
    FileReplacement c(calls);
    ASSERT_EQ(c.Open(existing.string()), "");
    EXPECT_EQ(Names(dir_).size(), 2u);
  }
  EXPECT_EQ(Names(dir_), std::set<std::string>{"existing.bin"});
}

TEST_F(FileReplaceTest, PermissionBitsStayAndNewFilesFollowTheUmask) {
  const mode_t saved = ::umask(022);
  for (const mode_t mode : {0600u, 0640u, 0604u, 0660u, 0755u}) {
    const fs::path target = dir_ / "kept.bin";
    WriteRaw(target, old_);
    ASSERT_EQ(::chmod(target.c_str(), mode), 0);
    EXPECT_EQ(ReplaceFile(target.string(), new_), "");
    EXPECT_EQ(ModeOf(target) & 07777, mode);
    EXPECT_EQ(ReadRaw(target), new_);
  }
  const fs::path fresh = dir_ / "fresh.bin";
  EXPECT_EQ(ReplaceFile(fresh.string(), new_), "");
  EXPECT_EQ(ModeOf(fresh) & 07777, 0644u);
  ::umask(saved);
}

// Read-only is the owner's decision: even root, whom the system lets write, must not replace it.
TEST_F(FileReplaceTest, AReadOnlyFileIsRefusedWithTheSystemsReason) {
  const fs::path target = dir_ / "readonly.bin";
  WriteRaw(target, old_);
  ASSERT_EQ(::chmod(target.c_str(), 0444), 0);
  EXPECT_EQ(ReplaceFile(target.string(), new_), "Permission denied");
  FileReplacement early;
  EXPECT_EQ(early.Open(target.string()), "Permission denied");
  EXPECT_EQ(ReadRaw(target), old_);
  EXPECT_EQ(ModeOf(target) & 07777, 0444u);
  EXPECT_EQ(Names(dir_), std::set<std::string>{"readonly.bin"});
}

TEST_F(FileReplaceTest, ALinkIsWrittenThroughAndStaysALink) {
  fs::create_directories(dir_ / "real");
  const fs::path target = dir_ / "real" / "image.bin";
  WriteRaw(target, old_);
  fs::create_symlink("real/image.bin", dir_ / "link.bin");  // relative, from the link's folder
  fs::create_symlink(dir_ / "link.bin", dir_ / "chain.bin");
  fs::create_symlink("real/missing.bin", dir_ / "dangling.bin");

  EXPECT_EQ(ReplaceFile((dir_ / "chain.bin").string(), new_), "");
  EXPECT_EQ(ReadRaw(target), new_);
  EXPECT_TRUE(fs::is_symlink(dir_ / "link.bin"));
  EXPECT_TRUE(fs::is_symlink(dir_ / "chain.bin"));
  EXPECT_EQ(fs::read_symlink(dir_ / "link.bin"), "real/image.bin");

  EXPECT_EQ(ReplaceFile((dir_ / "dangling.bin").string(), old_), "");
  EXPECT_TRUE(fs::is_symlink(dir_ / "dangling.bin"));
  EXPECT_EQ(ReadRaw(dir_ / "real" / "missing.bin"), old_);
  EXPECT_EQ(Names(dir_), (std::set<std::string>{"real", "link.bin", "chain.bin", "dangling.bin"}));
  EXPECT_EQ(Names(dir_ / "real"), (std::set<std::string>{"image.bin", "missing.bin"}));

  fs::create_symlink("loop.bin", dir_ / "loop.bin");
  EXPECT_EQ(ReplaceFile((dir_ / "loop.bin").string(), new_), Message(ELOOP));
}

// A link is followed only where the kernel's protected_symlinks rule would follow it.
TEST_F(FileReplaceTest, AnotherUsersLinkInAStickyWorldWritableFolderIsNotFollowed) {
  if (::geteuid() != 0) GTEST_SKIP() << "only root can make another user's link";
  struct Case {
    mode_t folderMode;
    uid_t folderOwner, linkOwner;
    bool followed;
  } const cases[] = {{01777, 0, 65534, false},     // /tmp, another user's link
                     {01777, 0, 0, true},          // the follower's own
                     {01777, 65534, 65534, true},  // the folder owner's
                     {00777, 0, 65534, true}};     // not sticky
  for (const Case& c : cases) {
    const fs::path folder = dir_ / std::to_string(&c - cases), target = folder.string() + ".bin";
    fs::create_directory(folder);
    ASSERT_EQ(::chown(folder.c_str(), c.folderOwner, 0) | ::chmod(folder.c_str(), c.folderMode), 0);
    WriteRaw(target, old_);
    fs::create_symlink(target, folder / "dump.bin");
    ASSERT_EQ(::lchown((folder / "dump.bin").c_str(), c.linkOwner, 0), 0);
    EXPECT_EQ(ReplaceFile((folder / "dump.bin").string(), new_), c.followed ? "" : kForeignLink);
    EXPECT_EQ(ReadRaw(target), c.followed ? new_ : old_) << folder;
  }
}

// A null device made here when the system allows it; /dev/null otherwise, which an ordinary
// user cannot remove anyway.
fs::path CharacterDevice(const fs::path& dir) {
  const fs::path node = dir / "null";
  if (::mknod(node.c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0) {
    const int fd = ::open(node.c_str(), O_WRONLY);
    if (fd >= 0) {
      ::close(fd);
      return node;
    }
    fs::remove(node);
  }
  return "/dev/null";
}

TEST_F(FileReplaceTest, DevicesPipesAndFoldersAreNeverReplaced) {
  const fs::path device = CharacterDevice(dir_);
  const fs::path pipe = dir_ / "pipe";
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  for (const fs::path& path : {device, pipe}) {
    EXPECT_EQ(ReplaceFile(path.string(), new_), kNotRegularFile) << path;
    FileReplacement early;
    EXPECT_EQ(early.Open(path.string()), kNotRegularFile) << path;
  }
  EXPECT_TRUE(S_ISCHR(ModeOf(device)));
  EXPECT_TRUE(S_ISFIFO(ModeOf(pipe)));
  EXPECT_EQ(ReplaceFile(dir_.string(), new_), Message(EISDIR));
  EXPECT_EQ(ReplaceFile("/dev/stdout", new_), kOwnDescriptor);  // whatever stands behind it
}

TEST_F(FileReplaceTest, StreamsAreWrittenStraightThroughWhenAllowed) {
  const fs::path device = CharacterDevice(dir_);
  FileReplacement toDevice;
  ASSERT_EQ(toDevice.Open(device.string(), FileReplacement::Streams::kWriteThrough), "");
  EXPECT_TRUE(toDevice.IsStream());
  EXPECT_EQ(toDevice.Commit(new_), "");
  EXPECT_TRUE(S_ISCHR(ModeOf(device)));

  const fs::path pipe = dir_ / "pipe";
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  std::vector<uint8_t> received;
  std::thread reader([&] { received = ReadRaw(pipe); });
  FileReplacement toPipe;
  ASSERT_EQ(toPipe.Open(pipe.string(), FileReplacement::Streams::kWriteThrough), "");
  EXPECT_EQ(toPipe.Commit(new_), "");
  reader.join();
  EXPECT_EQ(received, new_);
  EXPECT_TRUE(S_ISFIFO(ModeOf(pipe)));
}

// Dead writers' temporaries go, and so do those whose pid now names a process of another start
// time; living writers' stay.
TEST_F(FileReplaceTest, TemporariesOfKilledWritersAreRemovedByTheNextWrite) {
  const pid_t child = ::fork();
  if (child == 0) ::_exit(0);
  ASSERT_GT(child, 0);
  ASSERT_EQ(::waitpid(child, nullptr, 0), child);  // a pid that no longer runs
  std::ifstream stat("/proc/" + std::to_string(::getppid()) + "/stat");
  std::string start((std::istreambuf_iterator<char>(stat)), {});
  std::istringstream fields(start.substr(start.rfind(')') + 2));
  for (int i = 3; i <= 22; ++i)
    fields >> start;  // the parent's start time, field 22
  const std::string prefix = ".image.bin.veltra-tmp.", parent = std::to_string(::getppid()) + ".";
  const std::string self = std::to_string(::getpid()) + ".", dead = std::to_string(child) + ".";
  const std::string living = prefix + parent + "0", livingNow = prefix + parent + start + ".3";
  const std::string mine = prefix + self + "99", other = ".other.bin.veltra-tmp." + dead + "0";
  for (const std::string& name :
       {prefix + dead + "0", prefix + dead + start + ".0", living, livingNow,
        prefix + parent + start + "1.0", prefix + self + "1.0", mine, other})
    WriteRaw(dir_ / name, old_);
  EXPECT_EQ(ReplaceFile((dir_ / "image.bin").string(), new_), "");
  EXPECT_EQ(Names(dir_), (std::set<std::string>{"image.bin", living, livingNow, mine, other}));
}

// The file system cuts the write short (a file size limit, as a quota would): the old file stays.
TEST_F(FileReplaceTest, AWriteTheSystemCutsShortKeepsTheOldFile) {
  const fs::path target = dir_ / "large.bin";
  WriteRaw(target, old_);
  rlimit saved{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit limited = saved;
  limited.rlim_cur = 2000;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
  const std::string problem = ReplaceFile(target.string(), Pattern(65535, 3));
  ::setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, oldHandler);
  EXPECT_EQ(problem, Message(EFBIG));
  EXPECT_EQ(ReadRaw(target), old_);
  EXPECT_EQ(Names(dir_), std::set<std::string>{"large.bin"});
}

TEST_F(FileReplaceTest, AMissingFolderIsNamedByTheSystemsReason) {
  EXPECT_EQ(ReplaceFile((dir_ / "no" / "such.bin").string(), new_), Message(ENOENT));
  FileReplacement early;
  EXPECT_EQ(early.Open((dir_ / "no" / "such.bin").string()), Message(ENOENT));
  EXPECT_EQ(early.Commit(new_), Message(EBADF));
}

}  // namespace
}  // namespace veltra::platform
