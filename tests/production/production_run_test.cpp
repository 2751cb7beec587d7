#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "backend/simulated_backend.h"
#include "image/factory_image.h"
#include "image/image_layout.h"
#include "production/file_serial_source.h"
#include "production/production_run.h"
#include "production/unit_programming.h"
#include "test_files.h"

namespace veltra::production {
namespace {

using test_files::ReadFile;
using test_files::TempDir;
using test_files::Text;

constexpr uint32_t kSize = 8192;  // 24C64

class Seen final : public RunObserver {
 public:
  std::vector<UnitRecord> units;
  std::string notes, stopped;
  std::optional<SerialSupply> supply;

  void Started(std::string_view, const std::optional<SerialSupply>& s) override { supply = s; }
  void UnitDone(uint64_t, const UnitRecord& record) override { units.push_back(record); }
  void Note(std::string_view text) override { notes += std::string(text) + '\n'; }
  void Stopped(std::string_view reason) override { stopped = reason; }
  // "N1 ok, N2 write-failed, - refused"
  std::string Results() const {
    std::string text;
    for (const UnitRecord& unit : units)
      text += (text.empty() ? "" : ", ") + (unit.serial.empty() ? "-" : unit.serial) + ' ' +
              unit.result;
    return text;
  }
};

class RunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto image = image::BuildFactoryImage(0x5A52, 0x7731, kSize);
    ASSERT_TRUE(image);
    settings_.configuration = *image::DecodeConfiguration(image::ReadImage(*image, kSize - 1));
    settings_.eeprom = *device::FindEepromType("S24C64");
    settings_.device.simulated = true;
    settings_.units = dir_.File("units");
    settings_.log = dir_.File("log.csv");
    std::filesystem::create_directory(dir_.File("units"));
  }
  void AddUnits(std::initializer_list<const char*> names) {
    for (const char* name : names)
      test_files::WriteFile(Unit(name), {});
  }
  std::string Unit(const char* name) const { return dir_.File(std::string("units/") + name); }
  std::unique_ptr<SerialSource> Counter() const {
    std::string error;
    return std::make_unique<FileSerialSource>(
        FileSerialSource::Counter(dir_.File("c.txt"), *SerialFormat::Parse("N%u", error), 1));
  }
  // A run of settings_ on the units: what it saw; check is what Check said.
  Seen Run(std::unique_ptr<SerialSource> serials, std::string* check = nullptr) {
    Seen seen;
    run_ = std::make_unique<ProductionRun>(settings_, std::move(serials), seen);
    const std::string problem = run_->Check();
    if (check != nullptr) *check = problem;
    if (problem.empty()) run_->Run();
    return seen;
  }
  std::string SerialIn(const char* unit) const {
    const auto bytes = ReadFile(Unit(unit));
    const auto configuration = image::DecodeConfiguration(image::ReadImage(*bytes, kSize - 1));
    return configuration ? SerialOf(*configuration) : "";
  }

  TempDir dir_;
  RunSettings settings_;
  std::unique_ptr<ProductionRun> run_;
};

TEST_F(RunTest, AFailingUnitInTheMiddleKeepsItsSerialAndTheLineGoesOn) {
  AddUnits({"a.bin", "b-nack.bin", "c.bin"});
  const Seen seen = Run(Counter());
  EXPECT_EQ(seen.Results(), "N1 ok, N2 write-failed, N3 ok");
  EXPECT_EQ(seen.units[1].detail.substr(0, 36), "Fail to write EEPROM: chunk 0x0000: ");
  EXPECT_EQ(seen.supply->next, "N1");
  const std::string log = Text(dir_.File("log.csv"));
  EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 4);
  EXPECT_NE(log.find(",N2,"), std::string::npos);
  EXPECT_EQ(Text(dir_.File("c.txt")), "4\n");
  // The failed unit's EEPROM was left erased; the others hold the template.
  EXPECT_EQ(ReadFile(Unit("b-nack.bin")), std::vector<uint8_t>(kSize, 0xFF));
  EXPECT_EQ(SerialIn("c.bin"), "N3");
}

// A unit carries the serial it was given: one programmed on this line is refused unless
// reprogrammed with it; rework takes only units whose serial failed, and keeps it.
TEST_F(RunTest, AUnitKeepsTheSerialItCarriesOnlyForReworkOrReprogramming) {
  AddUnits({"a.bin", "b.bin"});
  settings_.whole = true;
  const auto protectB = [](backend::SimulatedBackend& unit) {
    // What is written past 0x1000 is lost: the unit fails its read-back, its serial written.
    backend::SimulatedFaults faults;
    faults.writeProtectFrom = 0x1000;
    if (std::filesystem::path(unit.ImageFile()).filename() == "b.bin") unit.SetFaults(faults);
  };
  settings_.simulatedUnitHook = protectB;
  EXPECT_EQ(Run(Counter()).Results(), "N1 ok, N2 verify-failed");
  settings_.simulatedUnitHook = {};
  const Seen again = Run(Counter());
  EXPECT_EQ(again.Results(), "- refused, N3 ok");
  EXPECT_NE(again.units[0].detail.find("carries 'N1', programmed on this line: --reprogram"),
            std::string::npos);
  test_files::WriteFile(Unit("b.bin"), {});
  settings_.simulatedUnitHook = protectB;
  EXPECT_EQ(Run(Counter()).Results(), "- refused, N4 verify-failed");
  settings_.simulatedUnitHook = {};
  settings_.rework = true;
  const Seen rework = Run(Counter());
  EXPECT_EQ(rework.Results(), "- refused, N4 ok");
  EXPECT_NE(rework.units[0].detail.find("recorded as programmed: --rework takes"),
            std::string::npos);
  EXPECT_EQ(Run(Counter()).Results(), "- refused, - refused");
  settings_.rework = false;
  settings_.reprogram = true;
  EXPECT_EQ(Run(Counter()).Results(), "N1 ok, N4 ok");
  EXPECT_EQ(Text(dir_.File("c.txt")), "5\n");
}

// Before the first unit: the log can be written, serials are left and the template fits with the
// longest of them. A run that fails a check writes nothing.
TEST_F(RunTest, EveryCheckBeforeTheFirstUnitWritesNothing) {
  AddUnits({"a.bin"});
  std::filesystem::create_directory(dir_.File("folder.csv"));
  test_files::WriteFile(dir_.File("list.txt"), {'N', '1', '\n'});
  const auto list = [this] {
    return std::make_unique<FileSerialSource>(FileSerialSource::List(dir_.File("list.txt")));
  };
  struct Case {
    std::string log;
    std::string eeprom;
    bool used;  // the list's one serial was used
    const char* reason;
  } const cases[] = {{dir_.File("folder.csv"), "S24C64", false, "log "},
                     {dir_.File("log.csv"), "S24C02", false, "EEPROM Size Not Enough"},
                     {dir_.File("log.csv"), "S24C64", true, "no serial left"}};
  for (const Case& c : cases) {
    settings_.log = c.log;
    settings_.eeprom = *device::FindEepromType(c.eeprom);
    if (c.used)
      test_files::WriteFile(dir_.File("list.txt"),
                            {'#', ' ', 'u', 's', 'e', 'd', ' ', 'N', '1', '\n'});
    std::string check;
    EXPECT_TRUE(Run(list(), &check).units.empty());
    EXPECT_NE(check.find(c.reason), std::string::npos) << check;
  }
  EXPECT_FALSE(std::filesystem::exists(dir_.File("log.csv")));
  EXPECT_FALSE(std::filesystem::exists(dir_.File("list.txt.journal")));
  EXPECT_EQ(ReadFile(Unit("a.bin")), std::vector<uint8_t>{});
  // Without a source every unit keeps the template's serial, and its record says which.
  settings_.eeprom = *device::FindEepromType("S24C64");
  const std::string serial = SerialOf(settings_.configuration);
  EXPECT_EQ(Run(nullptr).Results(), (serial.empty() ? "-" : serial) + " ok");
}

// Two interrupts while the part is checked (the unit holds an image to check against) or after
// the first slice read back: the unit stops at the next read and is recorded as failed.
TEST_F(RunTest, ASecondInterruptAbortsThePartCheckAndTheReadBack) {
  struct Case {
    bool holdsImage;
    uint32_t transfer;  // the length of the transfers counted
    int interruptAfter;
    const char* row;
  };
  settings_.whole = true;
  settings_.abortCause = " by X";
  for (const Case& c :
       {Case{true, 60, 1, "- refused: aborted while the part was checked by X"},
        Case{false, 1024, 8, "N1 verify-failed: aborted reading back at 0x0400 by X"}}) {
    test_files::WriteFile(Unit("a.bin"), c.holdsImage
                                             ? *image::BuildFactoryImage(0x5A52, 0x7731, kSize)
                                             : std::vector<uint8_t>{});
    int ended = 0;
    settings_.simulatedUnitHook = [&](backend::SimulatedBackend& machine) {
      machine.Transport().SetProgress([&](uint32_t done, uint32_t length) {
        if (done != length || length != c.transfer || ++ended != c.interruptAfter) return;
        run_->Interrupt();
        run_->Interrupt();
      });
    };
    const Seen seen = Run(Counter());
    ASSERT_EQ(seen.units.size(), 1u);
    EXPECT_EQ(seen.Results() + ": " + seen.units[0].detail, c.row);
  }
}

TEST_F(RunTest, ATemplateTheVariantCannotTakeIsRefusedWithoutASerial) {
  AddUnits({"a.bin"});
  settings_.configuration.header.audio.lineIn = true;
  settings_.device.capability = 0x14;
  const Seen refused = Run(Counter());
  EXPECT_EQ(refused.Results(), "- refused");
  EXPECT_NE(refused.units[0].detail.find(
                "variant 1 would change header.audio.inputTerminal from lineIn to micIn"),
            std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(dir_.File("c.txt")));
  EXPECT_EQ(ReadFile(Unit("a.bin")), std::vector<uint8_t>(kSize, 0xFF));
  // Normalized, each unit gets what the chip's pages would store.
  settings_.normalize = true;
  EXPECT_EQ(Run(Counter()).Results(), "N1 ok");
  EXPECT_EQ(SerialIn("a.bin"), "N1");
}

}  // namespace
}  // namespace veltra::production
