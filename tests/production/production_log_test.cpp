#include <gtest/gtest.h>

#ifndef _WIN32
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>
#endif

#include <filesystem>

#include <regex>
#include <string>
#include <vector>

#include "production/file_serial_source.h"
#include "production/production_log.h"
#include "test_files.h"

namespace veltra::production {
namespace {

using test_files::TempDir;
using test_files::Text;

TEST(ProductionLog, RowsAreQuotedAndTheHeaderComesOnce) {
  UnitRecord record{.time = 0,
                    .serial = "VT-1",
                    .devicePath = "p",
                    .result = "write-failed",
                    .detail = "chunk 0x0040: \"x\", y",
                    .seconds = 0.414,
                    .imageHash = Fnv1a64(std::vector<uint8_t>{'a'})};
  const std::string row = CsvRow(record);
  EXPECT_EQ(row.substr(row.find(',')),
            ",VT-1,p,write-failed,\"chunk 0x0040: \"\"x\"\", y\",0.41,af63dc4c8601ec8c\n");
  EXPECT_EQ(Fnv1a64({}), "cbf29ce484222325");
  EXPECT_TRUE(std::regex_match(IsoLocalTime(86400 * 365),
                               std::regex(R"((1970-12-31|1971-01-01)T\d\d:\d\d:00[+-]\d\d:\d\d)")));
  TempDir dir;
  const std::string log = dir.File("log.csv");
  ASSERT_EQ(AppendUnitRecord(log, record), "");
  ASSERT_EQ(AppendUnitRecord(log, record), "");
  EXPECT_EQ(Text(log), std::string(kLogHeader) + row + row);
}

#ifndef _WIN32
// A full disk in the middle of a row (the file size limit stands in for it): the log is cut back
// to the rows before, so the next run's row never glues onto a fragment. Another user's link in a
// sticky world-writable folder is neither appended nor read through.
TEST(ProductionLog, AFailedAppendLeavesTheLogAsItWasAndForeignLinksAreRefused) {
  TempDir dir;
  const std::string log = dir.File("log.csv");
  const UnitRecord record{.serial = "VT-1", .devicePath = "p", .result = "ok"};
  ASSERT_EQ(AppendUnitRecord(log, record), "");
  const std::string before = Text(log);
  rlimit old{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
  rlimit small = old;
  small.rlim_cur = before.size() + 10;
  const auto previous = ::signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  const std::string problem = AppendUnitRecord(log, record);
  ::setrlimit(RLIMIT_FSIZE, &old);
  ::signal(SIGXFSZ, previous);
  EXPECT_NE(problem, "");
  EXPECT_EQ(Text(log), before);

  if (::geteuid() != 0) GTEST_SKIP() << "only root can make another user's link";
  const std::filesystem::path shared = dir.Path() / "shared";
  std::filesystem::create_directory(shared);
  ASSERT_EQ(::chmod(shared.c_str(), 01777), 0);
  std::filesystem::create_symlink(log, shared / "log.csv");
  ASSERT_EQ(::lchown((shared / "log.csv").c_str(), 65534, 65534), 0);
  EXPECT_NE(AppendUnitRecord((shared / "log.csv").string(), record).find("not followed"),
            std::string::npos);
  EXPECT_EQ(Text(log), before);
  // Nor is a counter read through one: a 0600 file of the link's target never shows.
  std::string error;
  EXPECT_FALSE(FileSerialSource::Counter((shared / "log.csv").string(), {}, 1).SerialsLeft(error));
  EXPECT_NE(error.find("not followed"), std::string::npos) << error;
}
#endif

}  // namespace
}  // namespace veltra::production
