#include <gtest/gtest.h>

#include <csignal>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "backend/simulated_backend.h"
#include "cli/cli_test_support.h"
#include "cli/program_command.h"
#include "image/factory_image.h"

namespace veltra::cli {
namespace {

using test_files::Text;
using testing::ReadFile;
using testing::TempDir;

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
