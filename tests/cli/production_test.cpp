#include <gtest/gtest.h>

#include <csignal>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "backend/simulated_backend.h"
#include "cli/cli_test_support.h"
#include "cli/production_log.h"
#include "cli/program_command.h"
#include "cli/serial_book.h"
#include "image/factory_image.h"

namespace veltra::cli {
namespace {

using testing::ReadFile;
using testing::TempDir;

std::string Text(const std::string& path) {
  const auto bytes = ReadFile(path);
  return bytes ? std::string(bytes->begin(), bytes->end()) : std::string();
}

TEST(SerialFormat, FormatsAndRefuses) {
  std::string error;
  const auto format = SerialFormat::Parse("VT-%06u%%", error);
  ASSERT_TRUE(format) << error;
  EXPECT_EQ(format->Format(17), "VT-000017%");
  EXPECT_EQ(SerialFormat::Parse("A%3u", error)->Format(5), "A  5");
  for (const char* bad : {"VT-", "%d", "%u-%u", "%06x", "%-6u"}) {
    EXPECT_FALSE(SerialFormat::Parse(bad, error)) << bad;
  }
  EXPECT_EQ(SerialFitsText(std::string(126, 'x')), "");
  EXPECT_NE(SerialFitsText(std::string(127, 'x')), "");
}

// A run killed after each step of a unit: journalled, counter replaced, logged. The next run
// never gives the same serial again and names what was reserved and not logged.
TEST(SerialBook, KillAtEveryStepNeverGivesASerialTwice) {
  for (int killedAfter = 0; killedAfter < 3; ++killedAfter) {
    TempDir dir;
    const std::string counter = dir.File("c.txt");
    std::string error;
    const auto format = *SerialFormat::Parse("S%u", error);
    {
      auto book = SerialBook::OpenCounter(counter, format, 7, error);
      ASSERT_TRUE(book) << error;
      ASSERT_EQ(book->Peek(), "S7");
      ASSERT_EQ(book->JournalReservation("S7"), "");
      if (killedAfter >= 1) {
        ASSERT_EQ(book->AdvanceSource("S7"), "");
      }
      if (killedAfter >= 2) {
        ASSERT_EQ(book->MarkLogged("S7"), "");
      }
    }
    auto next = SerialBook::OpenCounter(counter, format, 7, error);
    ASSERT_TRUE(next) << error;
    EXPECT_EQ(next->Peek(), "S8") << "killed after step " << killedAfter;
    EXPECT_EQ(next->Unlogged(),
              killedAfter < 2 ? std::vector<std::string>{"S7"} : std::vector<std::string>{});
    EXPECT_EQ(next->Reserve(error), "S8");
    EXPECT_EQ(Text(counter), "9\n");
  }
}

TEST(SerialBook, ListMarksUsedSerialsAndEndsWhenUsedUp) {
  TempDir dir;
  const std::string list = dir.File("serials.txt");
  testing::WriteFile(list, {'A', '1', '\n', '#', 'x', '\n', 'B', '2', '\n'});
  std::string error;
  {
    auto book = SerialBook::OpenList(list, error);
    ASSERT_TRUE(book) << error;
    EXPECT_EQ(book->Reserve(error), "A1");
    // Killed before the list was rewritten: the journal alone keeps B2 from coming again.
    EXPECT_EQ(book->JournalReservation("B2"), "");
  }
  EXPECT_EQ(Text(list), "# used A1\n#x\nB2\n");
  auto book = SerialBook::OpenList(list, error);
  ASSERT_TRUE(book) << error;
  EXPECT_EQ(book->Unlogged(), (std::vector<std::string>{"A1", "B2"}));
  EXPECT_FALSE(book->Reserve(error));
  EXPECT_NE(error.find("every serial of the list is used"), std::string::npos);
}

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

class ProgramRun : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto image = image::BuildFactoryImage(0x5A52, 0x7731, 8192);
    ASSERT_TRUE(image);
    testing::WriteFile(dir_.File("factory.bin"), *image);
    const auto exported = testing::RunCommand(
        RunExportCommand, {dir_.File("factory.bin"), "--eeprom", "S24C64", "-o", Template()});
    ASSERT_EQ(exported.code, 0) << exported.err;
    std::filesystem::create_directory(dir_.File("units"));
  }
  std::string Template() const { return dir_.File("t.json"); }
  void AddUnit(const std::string& name) { testing::WriteFile(dir_.File("units/" + name), {}); }
  testing::Outcome Program(std::vector<std::string> extra, const DeviceHook& hook = {}) {
    std::vector<std::string> args{Template(),
                                  "--simulated",
                                  "--units",
                                  dir_.File("units"),
                                  "--eeprom",
                                  "S24C64",
                                  "--yes",
                                  "--serial-format",
                                  "N%u",
                                  "--serial-counter",
                                  dir_.File("c.txt"),
                                  "--log",
                                  dir_.File("log.csv")};
    args.insert(args.end(), extra.begin(), extra.end());
    std::ostringstream out, err;
    const int code = RunProgramCommand(args, out, err, hook);
    return {code, out.str(), err.str()};
  }

  TempDir dir_;
};

TEST_F(ProgramRun, AFailingUnitInTheMiddleKeepsItsSerialAndTheLineGoesOn) {
  AddUnit("a.bin");
  AddUnit("b-nack.bin");
  AddUnit("c.bin");
  const auto run = Program({"--watch", "--count", "3"});
  EXPECT_EQ(run.code, 1) << run.err;
  EXPECT_NE(run.out.find("unit 1: N1 ok"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("unit 2: N2 write-failed"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("unit 3: N3 ok"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("2 programmed, 1 failed\n"), std::string::npos);
  const std::string log = Text(dir_.File("log.csv"));
  EXPECT_EQ(testing::LineCount(log), 4u);
  EXPECT_NE(log.find(",N2,"), std::string::npos);
  EXPECT_NE(log.find(",write-failed,Fail to write EEPROM: chunk 0x0000"), std::string::npos);
  EXPECT_EQ(Text(dir_.File("c.txt")), "4\n");
  // The failed unit's EEPROM was left erased; the others hold the template.
  EXPECT_EQ(ReadFile(dir_.File("units/b-nack.bin")), std::vector<uint8_t>(8192, 0xFF));
  EXPECT_EQ((*ReadFile(dir_.File("units/c.bin")))[0], 'Z');
}

// Two Ctrl+C while the part is checked (the unit holds an image to check against) or after the
// first slice read back: the unit stops at the next read and is logged as failed.
TEST_F(ProgramRun, ASecondCtrlCAbortsThePartCheckAndTheReadBack) {
  struct Case {
    bool holdsImage;
    uint32_t transfer;  // the length of the transfers counted
    int interruptAfter;
    const char* row;
  };
  for (const Case& c :
       {Case{true, 60, 1, ",,.*,refused,aborted while the part was checked by a second Ctrl\\+C,"},
        Case{false, 1024, 8, ",N1,.*,verify-failed,aborted reading back at 0x0400 by a second"}}) {
    std::filesystem::remove_all(dir_.File("units"));
    std::filesystem::create_directory(dir_.File("units"));
    std::filesystem::remove(dir_.File("log.csv"));
    testing::WriteFile(dir_.File("units/a.bin"),
                       c.holdsImage ? *ReadFile(dir_.File("factory.bin")) : std::vector<uint8_t>{});
    int ended = 0;
    const DeviceHook hook = [&](backend::SimulatedBackend& machine) {
      machine.Transport().SetProgress([&](uint32_t done, uint32_t length) {
        if (done != length || length != c.transfer || ++ended != c.interruptAfter) return;
        std::raise(SIGINT);
        std::raise(SIGINT);
      });
    };
    const auto run = Program({"--whole"}, hook);
    EXPECT_EQ(run.code, 1) << run.out << run.err;
    EXPECT_TRUE(std::regex_search(Text(dir_.File("log.csv")), std::regex(c.row)))
        << Text(dir_.File("log.csv"));
  }
}

TEST_F(ProgramRun, ATemplateTheVariantCannotTakeIsRefusedWithoutASerial) {
  AddUnit("a.bin");
  std::string text = Text(Template());
  const size_t at = text.find("\"inputTerminal\": \"micIn\"");
  ASSERT_NE(at, std::string::npos);
  text.replace(at, 24, "\"inputTerminal\": \"lineIn\"");
  testing::WriteFile(Template(), std::vector<uint8_t>(text.begin(), text.end()));
  const auto run = Program({"--capability", "14"});
  EXPECT_EQ(run.code, 1);
  EXPECT_NE(run.out.find("unit 1: - refused"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("variant 1 would change header.audio.inputTerminal from lineIn to micIn"),
            std::string::npos);
  EXPECT_FALSE(ReadFile(dir_.File("c.txt")));
  EXPECT_EQ(ReadFile(dir_.File("units/a.bin")), std::vector<uint8_t>(8192, 0xFF));
  // --normalize writes what the chip's pages would store.
  const auto normalized = Program({"--capability", "14", "--normalize"});
  EXPECT_EQ(normalized.code, 0) << normalized.out << normalized.err;
  const auto exported =
      testing::RunCommand(RunExportCommand, {dir_.File("units/a.bin"), "--eeprom", "S24C64"});
  EXPECT_NE(exported.out.find("\"inputTerminal\": \"micIn\""), std::string::npos);
  EXPECT_NE(exported.out.find("\"text\": \"N1\""), std::string::npos);
}

}  // namespace
}  // namespace veltra::cli
