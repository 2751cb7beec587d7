// What every device command does alike: --trace, progress on a terminal, confirmation of
// changes to the EEPROM, standard output kept for results.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "backend/simulated_backend.h"
#include "cli/cli_result.h"
#include "cli/console.h"
#include "cli/dump_command.h"
#include "cli/erase_command.h"
#include "cli/load_command.h"
#include "cli/progress_meter.h"
#include "cli/read_command.h"
#include "cli/verify_command.h"
#include "cli_test_support.h"
#include "image/factory_image.h"
#include "platform/sim/sim_system.h"

namespace veltra::cli {
namespace {

using testing::IsJson;
using testing::Outcome;
using testing::ReadFile;
using testing::RunCommand;
using testing::TempDir;
using testing::WriteFile;

constexpr uint32_t kSize = 256;  // S24C02
constexpr uint32_t kTransfer = kSize - 1;

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    lines.push_back(line);
  return lines;
}

class HabitsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    factory_ = *image::BuildFactoryImage(0x5A52, 0x7731, kSize);
    WriteFile(eeprom_, factory_);
  }
  std::vector<std::string> Args(std::vector<std::string> args) const {
    args.insert(args.end(), {"--eeprom", "S24C02", "--image", eeprom_});
    return args;
  }
  std::vector<uint8_t> Eeprom() const { return ReadFile(eeprom_).value_or(std::vector<uint8_t>{}); }
  std::string Text(const std::string& path) const {
    const auto bytes = ReadFile(path);
    return bytes ? std::string(bytes->begin(), bytes->end()) : std::string();
  }

  TempDir dir_;
  const std::string eeprom_ = dir_.File("eeprom.bin");
  const std::string trace_ = dir_.File("trace.txt");
  std::vector<uint8_t> factory_;
};

// The start of a read as the trace shows it: the attach probe, the capability register, the
// I2C master switched on, then the first chunk of the header read, command by command.
TEST_F(HabitsTest, TraceHoldsEveryVendorRequestOfAKnownSequence) {
  const Outcome o = RunCommand(RunReadCommand, Args({"--trace", trace_}));
  ASSERT_EQ(o.code, kExitSuccess) << o.err;
  const std::vector<std::string> lines = Lines(Text(trace_));
  ASSERT_GT(lines.size(), 12u);
  EXPECT_EQ(lines[0], "# veltra vendor request trace 1: seconds code register length data result");
  const std::vector<std::string> start = {
      "2 0x0000 16 00000000000000000000000000000000 ok",
      "2 0x00D9 1 34 ok",
      "2 0x0095 1 00 ok",
      "1 0x0095 1 80 ok",
      "1 0x0094 1 50 ok",
      "1 0x0080 16 A1000000000000000000000000000000 ok",
      "1 0x0090 5 000000109A ok",
  };
  const std::regex line(R"((\d+\.\d{6}) ([0-2]) (0x[0-9A-F]{4}) (\d+) ([0-9A-F]+|-) (ok|fail))");
  double previous = 0;
  for (size_t i = 1; i < lines.size(); ++i) {
    std::smatch match;
    ASSERT_TRUE(std::regex_match(lines[i], match, line)) << lines[i];
    const double seconds = std::stod(match[1]);
    EXPECT_GE(seconds, previous);
    previous = seconds;
    if (i <= start.size()) {
      EXPECT_EQ(lines[i].substr(lines[i].find(' ') + 1), start[i - 1]);
    }
  }
  // The read ends by switching the master off again.
  EXPECT_EQ(lines.back().substr(lines.back().find(' ') + 1), "1 0x0095 1 00 ok");
}

TEST_F(HabitsTest, AFailedCommandStillLeavesItsTrace) {
  const Outcome o = RunCommand(RunDumpCommand, Args({dir_.File("d.bin"), "--trace", trace_}),
                               [](backend::SimulatedBackend& simulated) {
                                 sim::SimSystem& system = simulated.System();
                                 system.SetFaults({.forceNack = true});
                               });
  EXPECT_EQ(o.code, kExitFailure);
  const std::vector<std::string> lines = Lines(Text(trace_));
  ASSERT_GT(lines.size(), 10u);
  // A NACK is no failed request: the status register has bit 0 set and says so.
  EXPECT_NE(Text(trace_).find(" 2 0x0094 1 1B ok\n"), std::string::npos);
}

TEST_F(HabitsTest, ATraceThatCannotBeWrittenFailsBeforeTheDeviceIsTouched) {
  bool hookRan = false;
  const std::string path = dir_.File("no-such-directory/trace.txt");
  const Outcome o = RunCommand(RunEraseCommand, Args({"--yes", "--trace", path}),
                               [&hookRan](backend::SimulatedBackend&) { hookRan = true; });
  EXPECT_EQ(o.code, kExitFailure);
  EXPECT_EQ(o.err, "veltra-cli: erase: trace " + path + ": No such file or directory\n");
  EXPECT_FALSE(hookRan);
  EXPECT_EQ(Eeprom(), factory_);

  // An old trace is replaced whole.
  WriteFile(trace_, std::vector<uint8_t>(100000, '~'));
  ASSERT_EQ(RunCommand(RunReadCommand, Args({"--trace", trace_})).code, kExitSuccess);
  EXPECT_EQ(Text(trace_).find('~'), std::string::npos);
}

// At a terminal a change to the EEPROM is asked for on standard error; only yes goes on.
TEST_F(HabitsTest, ChangesAreConfirmedAtATerminalAndNeedYesWithoutOne) {
  const std::string file = dir_.File("zeros.bin");
  WriteFile(file, std::vector<uint8_t>(kTransfer, 0));
  struct Case {
    const char* name;
    bool terminal;
    std::string answer;
    bool yes;
    int code;
    bool asked;
    bool changed;
  };
  const std::vector<Case> cases = {
      {"yes typed", true, "y\n", false, kExitSuccess, true, true},
      {"YES typed", true, "YES\n", false, kExitSuccess, true, true},
      {"no typed", true, "n\n", false, kExitFailure, true, false},
      {"enter", true, "\n", false, kExitFailure, true, false},
      {"end of input", true, "", false, kExitFailure, true, false},
      {"--yes at a terminal", true, "", true, kExitSuccess, false, true},
      {"no terminal", false, "y\n", false, kExitUsage, false, false},
      {"--yes without a terminal", false, "", true, kExitSuccess, false, true},
  };
  for (const bool erase : {false, true}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(erase ? "erase, " : "load, ") + c.name);
      WriteFile(eeprom_, factory_);
      std::istringstream in(c.answer);
      const ScopedConsole console({&in, c.terminal, c.terminal});
      std::vector<std::string> args = erase ? Args({}) : Args({file});
      if (c.yes) args.push_back("--yes");
      const testing::CommandFunction run =
          erase ? static_cast<testing::CommandFunction>(RunEraseCommand)
                : static_cast<testing::CommandFunction>(RunLoadCommand);
      const Outcome o = RunCommand(run, args);
      EXPECT_EQ(o.code, c.code) << o.err;
      EXPECT_EQ(o.out, "");
      const std::string question =
          erase ? "veltra-cli: erase: erase the S24C02 EEPROM? [y/N] "
                : "veltra-cli: load: write " + file + " into the S24C02 EEPROM? [y/N] ";
      EXPECT_EQ(o.err.rfind(question, 0) == 0, c.asked) << o.err;
      EXPECT_EQ(Eeprom() != factory_, c.changed);
      if (c.code == kExitFailure) {
        EXPECT_NE(o.err.find("not confirmed"), std::string::npos);
      }
    }
  }
}

TEST(ProgressMeter, ShowsAfterASecondAtMostTenTimesASecondAndClearsItsLine) {
  int64_t now = 0;
  std::ostringstream err;
  {
    ProgressMeter meter(err, "dump: ", true, [&now] { return now; });
    const device::TransferProgress progress = meter.Begin("reading EEPROM");
    ASSERT_TRUE(progress);
    now = 900'000'000;
    progress(16, 255);  // too early: a short transfer shows nothing
    EXPECT_EQ(err.str(), "");
    now = 1'000'000'000;
    progress(32, 255);
    EXPECT_EQ(err.str(), "\r\033[Kveltra-cli: dump: reading EEPROM 32/255 bytes (12%)");
    now += 50'000'000;
    progress(48, 255);  // within a tenth of a second: not rewritten
    now += 60'000'000;
    progress(64, 255);
    now += 1;
    progress(255, 255);  // the end is always shown
    EXPECT_EQ(err.str(),
              "\r\033[Kveltra-cli: dump: reading EEPROM 32/255 bytes (12%)"
              "\r\033[Kveltra-cli: dump: reading EEPROM 64/255 bytes (25%)"
              "\r\033[Kveltra-cli: dump: reading EEPROM 255/255 bytes (100%)");
    meter.End();
    EXPECT_EQ(err.str().substr(err.str().size() - 4), "\r\033[K");
  }
  // Disabled (no terminal, --json, --quiet): nothing at all.
  std::ostringstream quiet;
  ProgressMeter meter(quiet, "dump: ", false, [&now] { return now; });
  EXPECT_FALSE(meter.Begin("reading EEPROM"));
  meter.End();
  EXPECT_EQ(quiet.str(), "");
}

// A transfer of over a second, on a terminal: the progress line comes and goes on standard
// error; with --json or --quiet, or without a terminal, standard error stays empty.
TEST_F(HabitsTest, ProgressShowsOnlyOnATerminalWithoutJsonOrQuiet) {
  // 84 requests of 15 ms each.
  const std::vector<std::string> slow = {"--latency", "15"};
  struct Case {
    const char* name;
    bool terminal;
    std::string option;
    bool shown;
  };
  const std::vector<Case> cases = {
      {"terminal", true, "", true},
      {"--json", true, "--json", false},
      {"--quiet", true, "--quiet", false},
      {"no terminal", false, "", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::istringstream in;
    const ScopedConsole console({&in, false, c.terminal});
    std::vector<std::string> args = Args({dir_.File("dump.bin")});
    args.insert(args.end(), slow.begin(), slow.end());
    Outcome o;
    if (c.option == "--json") {
      args.front() = "--json";  // verify prints JSON; the file is the dump made before
      args.insert(args.begin(), dir_.File("dump.bin"));
      o = RunCommand(RunVerifyCommand, args);
      EXPECT_TRUE(IsJson(o.out)) << o.out;
    } else {
      if (!c.option.empty()) args.push_back(c.option);
      o = RunCommand(RunDumpCommand, args);
      EXPECT_EQ(o.out, "");
    }
    EXPECT_EQ(o.code, kExitSuccess) << o.err;
    if (c.shown) {
      EXPECT_NE(o.err.find("veltra-cli: dump: reading EEPROM "), std::string::npos) << o.err;
      EXPECT_EQ(o.err.substr(o.err.size() - 4), "\r\033[K");
    } else {
      EXPECT_EQ(o.err, "");
    }
  }
}

}  // namespace
}  // namespace veltra::cli
