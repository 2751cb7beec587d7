#include "log/diagnostic_log.h"

#include <gtest/gtest.h>

#include <string>

#include "log/log_settings.h"
#include "log_fakes.h"

namespace veltra::log {
namespace {

using testing::CapturingDebugOutput;
using testing::FixedLocalTime;
using testing::MemoryLogFile;

constexpr LocalTime kSevenMarch{3, 7, 9, 5, 41};  // 09:05:41 on 7 March

struct LogRig {
  explicit LogRig(LogSettings settings, std::string path = "/state/VeltraConfig.log")
      : file(std::move(path)), log(settings, file, debug, clock) {}
  MemoryLogFile file;
  CapturingDebugOutput debug;
  FixedLocalTime clock{kSevenMarch};
  DiagnosticLog log;
};

TEST(LogSettings, AbsentValuesKeepTheDefaultsAndNonZeroCountsAsOne) {
  const struct {
    std::optional<uint32_t> enableLog, logType;
    LogSettings expected;
  } cases[] = {
      {std::nullopt, std::nullopt, {false, LogType::kFile}},
      {1, std::nullopt, {true, LogType::kFile}},
      {1, 0, {true, LogType::kDebugger}},
      {0, 1, {false, LogType::kFile}},
      {7, 0xFFFFFFFF, {true, LogType::kFile}},
      {0x80000000, 2, {true, LogType::kFile}},
      {std::nullopt, 0, {false, LogType::kDebugger}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FromRegistryValues(c.enableLog, c.logType), c.expected)
        << c.enableLog.value_or(99) << " " << c.logType.value_or(99);
  }
}

TEST(DiagnosticLog, FileRecordsCarryTheStampWithoutLeadingZerosAndNoAddedLineEnd) {
  LogRig rig({true, LogType::kFile});
  rig.log.LogPrintf("PlayBackEQ Band(%d) A21(%08X)\n", 1, 0x3F2F0C0Fu);
  rig.log.LogPrintf("%s", "second");
  EXPECT_EQ(rig.file.contents,
            "[3/7 9:5:41] PlayBackEQ Band(1) A21(3F2F0C0F)\n"
            "[3/7 9:5:41] second");
  EXPECT_EQ(rig.file.appends, 2);  // one open-append-close per record
  EXPECT_TRUE(rig.debug.lines.empty());
}

TEST(DiagnosticLog, DebuggerTypeSendsTheBareMessageAndLeavesTheFileAlone) {
  LogRig rig({true, LogType::kDebugger});
  rig.log.LogPrintf("RecordEQ Band(%d) S(%8X)\n", 1, 0x67C891u);
  ASSERT_EQ(rig.debug.lines.size(), 1u);
  EXPECT_EQ(rig.debug.lines[0], "RecordEQ Band(1) S(  67C891)\n");
  EXPECT_EQ(rig.file.appends, 0);
}

TEST(DiagnosticLog, WritesNothingWhenDisabledWithoutAPathOrWithoutAFormat) {
  for (LogType type : {LogType::kFile, LogType::kDebugger}) {
    LogRig disabled({false, type});
    disabled.log.LogPrintf("x\n");
    LogRig pathless({true, type}, "");
    pathless.log.LogPrintf("x\n");
    LogRig formatless({true, type});
    formatless.log.LogPrintf(nullptr);
    for (LogRig* rig : {&disabled, &pathless, &formatless}) {
      EXPECT_EQ(rig->file.appends, 0);
      EXPECT_TRUE(rig->debug.lines.empty());
    }
  }
}

TEST(DiagnosticLog, LongMessagesAreCutToTheBuffer) {
  LogRig toFile({true, LogType::kFile});
  LogRig toDebugger({true, LogType::kDebugger});
  const std::string longText(1000, 'x');
  toFile.log.LogPrintf("%s%s", longText.c_str(), "tail\n");
  toDebugger.log.LogPrintf("%s%s", longText.c_str(), "tail\n");
  const std::string cut(kMessageBufferSize - 1, 'x');
  EXPECT_EQ(toFile.file.contents, "[3/7 9:5:41] " + cut);
  ASSERT_EQ(toDebugger.debug.lines.size(), 1u);
  EXPECT_EQ(toDebugger.debug.lines[0], cut);
}

TEST(DiagnosticLog, StampFieldsOfAnyWidthFitTheRecord) {
  MemoryLogFile file;
  CapturingDebugOutput debug;
  FixedLocalTime clock({INT32_MIN, INT32_MIN, INT32_MIN, INT32_MIN, INT32_MIN});
  DiagnosticLog log({true, LogType::kFile}, file, debug, clock);
  const std::string longText(kMessageBufferSize - 1, 'y');
  log.LogPrintf("%s", longText.c_str());
  EXPECT_EQ(file.contents,
            "[-2147483648/-2147483648 -2147483648:-2147483648:-2147483648] " + longText);
}

TEST(DiagnosticLog, StartDeletesTheFileWhateverTheSettings) {
  for (LogSettings settings :
       {LogSettings{false, LogType::kFile}, LogSettings{true, LogType::kDebugger},
        LogSettings{true, LogType::kFile}}) {
    MemoryLogFile file;
    file.contents = "[1/1 0:0:0] old run\n";
    CapturingDebugOutput debug;
    FixedLocalTime clock(kSevenMarch);
    DiagnosticLog log = DiagnosticLog::Start(settings, file, debug, clock);
    EXPECT_EQ(file.deletes, 1);
    EXPECT_EQ(file.contents, "");
    EXPECT_EQ(log.Settings(), settings);
  }
}

}  // namespace
}  // namespace veltra::log
