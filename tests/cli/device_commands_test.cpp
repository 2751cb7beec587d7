#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "backend/simulated_backend.h"
#include "cli/cli_result.h"
#include "cli/dump_command.h"
#include "cli/erase_command.h"
#include "cli/load_command.h"
#include "cli/read_command.h"
#include "cli/show_command.h"
#include "cli_test_support.h"
#include "image/directory_entry.h"
#include "image/factory_image.h"
#include "platform/sim/image_file_lock.h"
#include "platform/sim/sim_system.h"

namespace veltra::cli {
namespace {

using testing::Outcome;
using testing::ReadFile;
using testing::RunCommand;
using testing::ScopedEnv;
using testing::TempDir;
using testing::WriteFile;

constexpr uint32_t kSize = 512;  // S24C04: quick, and holds the factory image with both EQs
constexpr uint32_t kTransfer = kSize - 1;

DeviceHook WithFaults(sim::Faults faults, bool* called = nullptr) {
  return [faults, called](backend::SimulatedBackend& simulated) {
    sim::SimSystem& system = simulated.System();
    system.SetFaults(faults);
    if (called != nullptr) *called = true;
  };
}

class DeviceCommandsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    factory_ = *image::BuildFactoryImage(0x5A52, 0x7731, kSize);
    WriteFile(eeprom_, factory_);
  }

  // The device options of every command here: the S24C04 behind the test's file.
  std::vector<std::string> Args(std::vector<std::string> args) const {
    args.insert(args.end(), {"--eeprom", "S24C04", "--image", eeprom_});
    return args;
  }
  std::vector<uint8_t> Eeprom() const { return ReadFile(eeprom_).value_or(std::vector<uint8_t>{}); }

  TempDir dir_;
  const std::string eeprom_ = dir_.File("eeprom.bin");
  std::vector<uint8_t> factory_;
};

TEST_F(DeviceCommandsTest, DumpEraseLoadRoundTrip) {
  const std::string dump = dir_.File("dump.bin");
  Outcome o = RunCommand(RunDumpCommand, Args({dump}));
  ASSERT_EQ(o.code, kExitSuccess) << o.err;
  EXPECT_EQ(o.out + o.err, "");
  // The transfer length: all but the EEPROM's last byte.
  EXPECT_EQ(ReadFile(dump), std::vector<uint8_t>(factory_.begin(), factory_.begin() + kTransfer));

  o = RunCommand(RunEraseCommand, Args({"--yes"}));
  ASSERT_EQ(o.code, kExitSuccess) << o.err;
  EXPECT_EQ(o.out + o.err, "");
  std::vector<uint8_t> erased(kTransfer, 0);
  erased.push_back(factory_.back());
  EXPECT_EQ(Eeprom(), erased);

  o = RunCommand(RunLoadCommand, Args({dump, "--yes"}));
  ASSERT_EQ(o.code, kExitSuccess) << o.err;
  EXPECT_EQ(o.out + o.err, "");
  EXPECT_EQ(Eeprom(), factory_);
}

TEST_F(DeviceCommandsTest, ReadPrintsWhatShowPrintsForTheDump) {
  const std::string dump = dir_.File("dump.bin");
  ASSERT_EQ(RunCommand(RunDumpCommand, Args({dump})).code, kExitSuccess);
  for (const bool json : {false, true}) {
    std::vector<std::string> showArgs = {dump, "--eeprom", "S24C04"};
    std::vector<std::string> readArgs = Args({});
    if (json) {
      showArgs.push_back("--json");
      readArgs.push_back("--json");
    }
    const Outcome shown = RunCommand(RunShowCommand, showArgs);
    const Outcome read = RunCommand(RunReadCommand, readArgs);
    EXPECT_EQ(read.code, kExitSuccess) << read.err;
    EXPECT_EQ(read.err, "");
    if (json) {
      // The document show prints, with the chip after the layout.
      ASSERT_GE(shown.out.size(), 2u);
      EXPECT_EQ(read.out, shown.out.substr(0, shown.out.size() - 2) +
                              ",\"chip\":{\"variant\":3,\"capabilities\":[1,1,1,1,1,1,1]}}\n");
    } else {
      EXPECT_EQ(read.out, "Chip: variant 3, capability flags 1 1 1 1 1 1 1\n" + shown.out);
    }
  }
  // Variant 1 without the optional blocks.
  const Outcome variant1 = RunCommand(RunReadCommand, Args({"--capability", "0x10"}));
  EXPECT_EQ(variant1.out.substr(0, variant1.out.find('\n')),
            "Chip: variant 1, capability flags 1 0 0 0 0 0 0");
}

TEST_F(DeviceCommandsTest, LoadCompletesAShortFileWithZerosAndCutsALongOne) {
  const std::string shorter = dir_.File("short.bin");
  WriteFile(shorter, std::vector<uint8_t>(100, 0xAB));
  Outcome o = RunCommand(RunLoadCommand, Args({shorter, "--yes"}));
  EXPECT_EQ(o.code, kExitSuccess);
  EXPECT_EQ(o.err, "veltra-cli: load: warning: " + shorter +
                       " holds 100 bytes, the EEPROM's transfer length is 511: the missing bytes "
                       "are taken as 0\n");
  std::vector<uint8_t> expected(100, 0xAB);
  expected.resize(kTransfer, 0);
  expected.push_back(factory_.back());
  EXPECT_EQ(Eeprom(), expected);

  const std::string longer = dir_.File("long.bin");
  std::vector<uint8_t> bytes(600);
  for (size_t i = 0; i < bytes.size(); ++i)
    bytes[i] = static_cast<uint8_t>(i * 7);
  WriteFile(longer, bytes);
  o = RunCommand(RunLoadCommand, Args({longer, "--yes"}));
  EXPECT_EQ(o.code, kExitSuccess);
  EXPECT_EQ(o.err, "veltra-cli: load: warning: " + longer +
                       " holds 600 bytes, the EEPROM's transfer length is 511: the bytes beyond "
                       "it are ignored\n");
  expected.assign(bytes.begin(), bytes.begin() + kTransfer);
  expected.push_back(factory_.back());
  EXPECT_EQ(Eeprom(), expected);
}

TEST_F(DeviceCommandsTest, BadOutputPathFailsBeforeTheDeviceIsTouched) {
  bool hookRan = false;
  // A read would fail too; the file's reason must come first, before any transfer.
  const DeviceHook hook = WithFaults({.forceNack = true}, &hookRan);
  const std::string path = dir_.File("no-such-directory/dump.bin");
  const Outcome o = RunCommand(RunDumpCommand, Args({path}), hook);
  EXPECT_EQ(o.code, kExitFailure);
  EXPECT_EQ(o.err, "veltra-cli: dump: " + path + ": No such file or directory\n");
  EXPECT_FALSE(hookRan);

  const Outcome d = RunCommand(RunDumpCommand, Args({dir_.Path().string()}), hook);
  EXPECT_EQ(d.err, "veltra-cli: dump: " + dir_.Path().string() + ": Is a directory\n");
  EXPECT_FALSE(hookRan);
}

TEST_F(DeviceCommandsTest, FailedReadLeavesNoFileAndAnOldFileAsItWas) {
  const DeviceHook nack = WithFaults({.forceNack = true});
  const std::string fresh = dir_.File("fresh.bin");
  Outcome o = RunCommand(RunDumpCommand, Args({fresh}), nack);
  EXPECT_EQ(o.code, kExitFailure);
  EXPECT_EQ(o.err,
            "veltra-cli: dump: Fail to read EEPROM: chunk 0x0000: not acknowledged after 25 "
            "attempts in 25 ms\n");
  EXPECT_FALSE(std::filesystem::exists(fresh));

  const std::string old = dir_.File("old.bin");
  WriteFile(old, {1, 2, 3});
  o = RunCommand(RunDumpCommand, Args({old}), nack);
  EXPECT_EQ(o.code, kExitFailure);
  EXPECT_EQ(ReadFile(old), (std::vector<uint8_t>{1, 2, 3}));
}

TEST_F(DeviceCommandsTest, DeviceFailuresAreOneLineWithTheToolsText) {
  const std::string file = dir_.File("x.bin");
  WriteFile(file, std::vector<uint8_t>(kTransfer, 0x11));
  const DeviceHook unplug = [](backend::SimulatedBackend& simulated) {
    sim::SimSystem& system = simulated.System();
    sim::SimUsbDevice& device = simulated.Device();
    system.Unplug(device);
  };
  const DeviceHook nack = WithFaults({.forceNack = true});
  struct Case {
    testing::DeviceCommandFunction run;
    std::vector<std::string> args;
    DeviceHook hook;
    std::string err;
  };
  const std::vector<Case> cases = {
      {RunReadCommand, {}, unplug, "veltra-cli: read: Cannot find the HID device !!!\n"},
      {RunDumpCommand, {file}, unplug, "veltra-cli: dump: Cannot find the HID device !!!\n"},
      {RunLoadCommand,
       {file, "--yes"},
       unplug,
       "veltra-cli: load: Cannot find the HID device !!!\n"},
      {RunEraseCommand, {"--yes"}, unplug, "veltra-cli: erase: Cannot find the HID device !!!\n"},
      // What the bus said follows the tool's text: which chunk, and why.
      {RunReadCommand,
       {},
       nack,
       "veltra-cli: read: Fail to read EEPROM: chunk 0x0000: not acknowledged after 25 attempts "
       "in 25 ms\n"},
      {RunLoadCommand,
       {file, "--yes"},
       nack,
       "veltra-cli: load: Fail to write EEPROM: chunk 0x0000: not acknowledged after 25 attempts "
       "in 25 ms\n"},
      {RunEraseCommand,
       {"--yes"},
       nack,
       "veltra-cli: erase: Fail to erase EEPROM: chunk 0x0000: not acknowledged after 25 "
       "attempts in 25 ms\n"},
  };
  for (const Case& c : cases) {
    const Outcome o = RunCommand(c.run, Args(c.args), c.hook);
    EXPECT_EQ(o.code, kExitFailure) << c.err;
    EXPECT_EQ(o.out, "");
    EXPECT_EQ(o.err, c.err);
  }
  EXPECT_EQ(Eeprom(), factory_);
}

// The GUI in the middle of a transfer on the same file: the command waits a bounded time and
// then names the reason, touching nothing.
TEST_F(DeviceCommandsTest, AnEepromFileHeldByAnotherToolFailsWithTheReason) {
  sim::ImageFileLock gui;
  ASSERT_EQ(gui.Acquire(eeprom_, std::chrono::milliseconds(0)), "");
  const DeviceHook impatient = [](backend::SimulatedBackend& simulated) {
    sim::SimUsbDevice& device = simulated.Device();
    device.Eeprom().SetLockTimeout(std::chrono::milliseconds(100));
  };
  const std::string reason =
      ": cannot use EEPROM image " + eeprom_ + ": another program is using it (waited 0.1 s)\n";
  EXPECT_EQ(RunCommand(RunReadCommand, Args({}), impatient).err,
            "veltra-cli: read: Fail to read EEPROM" + reason);
  EXPECT_EQ(RunCommand(RunEraseCommand, Args({"--yes"}), impatient).err,
            "veltra-cli: erase: Fail to erase EEPROM" + reason);
  EXPECT_EQ(RunCommand(RunDumpCommand, Args({dir_.File("d.bin")}), impatient).err,
            "veltra-cli: dump: Fail to read EEPROM" + reason);
  EXPECT_FALSE(std::filesystem::exists(dir_.File("d.bin")));
  EXPECT_EQ(Eeprom(), factory_);
  gui.Release();
  EXPECT_EQ(RunCommand(RunEraseCommand, Args({"--yes"}), impatient).code, kExitSuccess);
}

// A 24C64 taken for a 24C512: a byte written at 0x2000 comes back at 0, so load refuses,
// writing nothing else; erase erases the part whole. Where the byte does not stay (write-protected
// whole), the part may still be the chosen one: load refuses naming --force, which writes.
TEST_F(DeviceCommandsTest, WritesRefuseATypeLargerThanThePart) {
  const std::string part = dir_.File("24c64.bin");
  const std::vector<uint8_t> image = *image::BuildFactoryImage(0x5A52, 0x7731, 8192);
  WriteFile(part, image);
  std::optional<uint32_t> protectFrom;
  const DeviceHook smallerPart = [&](backend::SimulatedBackend& simulated) {
    sim::SimSystem& system = simulated.System();
    sim::SimUsbDevice& device = simulated.Device();
    system.Unplug(device);
    system.AddDevice({.part = sim::EepromPart::k24C64, .backingFile = part});
    system.SetFaults({.writeProtectFrom = protectFrom});
  };
  const std::vector<std::string> type = {"--yes",   "--quiet", "--eeprom",
                                         "S24C512", "--image", eeprom_};
  std::vector<std::string> load = {dir_.File("x.bin")};
  WriteFile(load.front(), std::vector<uint8_t>(100, 0x11));
  load.insert(load.end(), type.begin(), type.end());
  EXPECT_EQ(RunCommand(RunLoadCommand, load, smallerPart).err,
            "veltra-cli: load: The EEPROM is an S24C64, not the chosen S24C512: a byte written at "
            "address 0x2000 came back at address 0x0000. It was put back; nothing else was "
            "written.\n");
  EXPECT_EQ(ReadFile(part), image);

  protectFrom = 0;
  Outcome o = RunCommand(RunLoadCommand, load, smallerPart);
  EXPECT_EQ(o.code, kExitFailure);
  EXPECT_EQ(o.err,
            "veltra-cli: load: The EEPROM may be an S24C64, not the chosen S24C512: its first 60 "
            "bytes read again at address 0x2000, and a test byte written there did not stay. An "
            "image rolled over into an S24C512 reads so too. Nothing was written; --force writes "
            "it as an S24C512.\n");
  EXPECT_EQ(ReadFile(part), image);
  load.push_back("--force");
  EXPECT_EQ(RunCommand(RunLoadCommand, load, smallerPart).code, kExitSuccess);

  protectFrom.reset();
  o = RunCommand(RunEraseCommand, type, smallerPart);
  EXPECT_EQ(o.code, kExitSuccess);
  EXPECT_EQ(ReadFile(part), std::vector<uint8_t>(8192, 0));
}

TEST_F(DeviceCommandsTest, ReadReportsAnEmptyEepromAndAnImageTooLargeForIt) {
  WriteFile(eeprom_, std::vector<uint8_t>(kSize, 0xFF));
  Outcome o = RunCommand(RunReadCommand, Args({}));
  EXPECT_EQ(o.code, kExitSuccess);
  EXPECT_EQ(o.out,
            "Chip: variant 3, capability flags 1 1 1 1 1 1 1\n"
            "EEPROM image, transfer length 511: empty (no magic \"ZR\")\n");
  EXPECT_EQ(o.err, "veltra-cli: read: EEPROM Empty\n");

  // A section named past the end of the EEPROM.
  std::vector<uint8_t> bytes(kSize, 0);
  bytes[0] = 'Z';
  bytes[1] = 'R';
  const image::EntryBytes entry = image::EncodeEntry(image::EntryEncoding::kA, 0x4, 400, 200);
  std::copy(entry.begin(), entry.end(), bytes.begin() + 12);
  WriteFile(eeprom_, bytes);
  o = RunCommand(RunReadCommand, Args({}));
  EXPECT_EQ(o.code, kExitFailure);
  EXPECT_EQ(o.out, "");
  EXPECT_EQ(o.err, "veltra-cli: read:  EEPROM Size Too Small\n");
}

TEST_F(DeviceCommandsTest, ImageFileProblems) {
  // Reading commands do not take a missing file for an erased EEPROM.
  const std::string missing = dir_.File("missing.bin");
  for (const bool dump : {false, true}) {
    std::vector<std::string> args = {"--eeprom", "S24C04", "--image", missing};
    if (dump) args.push_back(dir_.File("out.bin"));
    const Outcome o = RunCommand(dump ? static_cast<testing::CommandFunction>(RunDumpCommand)
                                      : static_cast<testing::CommandFunction>(RunReadCommand),
                                 args);
    EXPECT_EQ(o.code, kExitFailure);
    EXPECT_NE(o.err.find(missing + ": No such file or directory\n"), std::string::npos) << o.err;
    EXPECT_FALSE(std::filesystem::exists(dir_.File("out.bin")));
  }
  // Writing commands create it.
  EXPECT_EQ(RunCommand(RunEraseCommand, {"--yes", "--eeprom", "S24C04", "--image", missing}).code,
            kExitSuccess);
  EXPECT_EQ(ReadFile(missing)->size(), kSize);

  // A file larger than the part is refused, naming it.
  const Outcome large = RunCommand(RunReadCommand, {"--eeprom", "S24C02", "--image", eeprom_});
  EXPECT_EQ(large.code, kExitFailure);
  EXPECT_EQ(large.err, "veltra-cli: read: EEPROM image " + eeprom_ +
                           " refused: 512 bytes is more than the 256 bytes of a 24C02\n");

  // The EEPROM was written but its file could not be.
  const std::string unwritable = dir_.File("no-such-directory/eeprom.bin");
  const Outcome lost =
      RunCommand(RunEraseCommand, {"--yes", "--eeprom", "S24C04", "--image", unwritable});
  EXPECT_EQ(lost.code, kExitFailure);
  EXPECT_EQ(lost.err, "veltra-cli: erase: cannot write EEPROM image " + unwritable +
                          ": No such file or directory\n");
}

TEST_F(DeviceCommandsTest, DefaultDeviceKeepsItsEepromInTheDataDirectory) {
  const ScopedEnv data(testing::kDataHomeVariable, dir_.File("data").c_str());
  const Outcome o = RunCommand(RunReadCommand, {"--eeprom", "S24C64"});
  EXPECT_EQ(o.code, kExitSuccess) << o.err;
  EXPECT_NE(o.out.find("Header: VID 5A52, PID 7731\n"), std::string::npos);
  EXPECT_NE(o.out.find("  Manufacturer  \"Veltra Audio\"\n"), std::string::npos);
  const std::string file = dir_.File("data/veltra-config/sim-eeprom-5A52-7731-24C64.bin");
  EXPECT_EQ(ReadFile(file), image::BuildFactoryImage(0x5A52, 0x7731, 8192));

  // Another device has a file of its own; what is written stays for the next command.
  ASSERT_EQ(RunCommand(RunEraseCommand, {"--yes", "--eeprom", "S24C02", "--vid", "abc"}).code,
            kExitSuccess);
  const auto other = ReadFile(dir_.File("data/veltra-config/sim-eeprom-0ABC-7731-24C02.bin"));
  ASSERT_TRUE(other.has_value());
  EXPECT_EQ(std::count(other->begin(), other->end(), 0), 255);
  EXPECT_EQ(RunCommand(RunReadCommand, {"--eeprom", "S24C02", "--vid", "ABC"}).err,
            "veltra-cli: read: EEPROM Empty\n");
}

TEST_F(DeviceCommandsTest, WrongCommandLinesDoNothing) {
  bool hookRan = false;
  const DeviceHook hook = WithFaults({}, &hookRan);
  struct Case {
    testing::DeviceCommandFunction run;
    std::vector<std::string> args;
  };
  const std::string file = dir_.File("x.bin");
  const std::vector<Case> cases = {
      {RunEraseCommand, {"--eeprom", "S24C04"}},  // no --yes
      {RunEraseCommand, {"--yes"}},
      {RunEraseCommand, {"--yes", "--eeprom", "S24C04", file}},
      {RunReadCommand, {"--eeprom", "S24C3"}},
      {RunReadCommand, {}},
      {RunReadCommand, {"--eeprom", "S24C04", "--vid", "12345"}},
      {RunReadCommand, {"--eeprom", "S24C04", "--pid", "xyz"}},
      {RunReadCommand, {"--eeprom", "S24C04", "--capability", "100"}},
      {RunReadCommand, {"--eeprom", "S24C04", "--image", ""}},
      {RunDumpCommand, {"--eeprom", "S24C04"}},
      {RunDumpCommand, {file, file, "--eeprom", "S24C04"}},
      {RunDumpCommand, {file, "--eeprom", "nonsense"}},
      {RunLoadCommand, {"--eeprom", "S24C04"}},
      {RunLoadCommand, {file, "--json", "--eeprom", "S24C04"}},
  };
  for (const Case& c : cases) {
    const Outcome o = RunCommand(c.run, c.args, hook);
    EXPECT_EQ(o.code, kExitUsage) << o.err;
    EXPECT_EQ(o.out, "");
    EXPECT_EQ(testing::LineCount(o.err), 1u) << o.err;
  }
  EXPECT_FALSE(hookRan);
  EXPECT_FALSE(std::filesystem::exists(file));
  EXPECT_EQ(RunCommand(RunEraseCommand, {"--eeprom", "S24C04"}).err,
            "veltra-cli: erase: needs --yes: standard input is not a terminal to ask on\n");
}

}  // namespace
}  // namespace veltra::cli
