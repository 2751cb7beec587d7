// verify, load --verify, erase --verify and regs against the simulated device and files.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "backend/simulated_backend.h"
#include "cli/cli_result.h"
#include "cli/dump_command.h"
#include "cli/erase_command.h"
#include "cli/load_command.h"
#include "cli/regs_command.h"
#include "cli/verify_command.h"
#include "cli_test_support.h"
#include "document/configuration_json.h"
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

constexpr uint32_t kSize = 512;  // S24C04
constexpr uint32_t kTransfer = kSize - 1;

DeviceHook WithFaults(sim::Faults faults) {
  return [faults](backend::SimulatedBackend& simulated) {
    sim::SimSystem& system = simulated.System();
    system.SetFaults(faults);
  };
}

std::string Hex(const char* format, unsigned value) {
  char text[32];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

class VerifyRegsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    factory_ = *image::BuildFactoryImage(0x5A52, 0x7731, kSize);
    WriteFile(eeprom_, factory_);
    dump_.assign(factory_.begin(), factory_.begin() + kTransfer);
    WriteFile(dumpFile_, dump_);
  }
  std::vector<std::string> Args(std::vector<std::string> args) const {
    args.insert(args.end(), {"--eeprom", "S24C04", "--image", eeprom_});
    return args;
  }
  std::vector<uint8_t> Eeprom() const { return ReadFile(eeprom_).value_or(std::vector<uint8_t>{}); }

  TempDir dir_;
  const std::string eeprom_ = dir_.File("eeprom.bin");
  const std::string dumpFile_ = dir_.File("dump.bin");
  std::vector<uint8_t> factory_;
  std::vector<uint8_t> dump_;
};

TEST_F(VerifyRegsTest, VerifyReportsAMatchAndFindsAnInjectedDifference) {
  Outcome o = RunCommand(RunVerifyCommand, Args({dumpFile_}));
  EXPECT_EQ(o.code, kExitSuccess) << o.err;
  EXPECT_EQ(o.out, "EEPROM matches " + dumpFile_ + " (511 bytes)\n");
  EXPECT_EQ(o.err, "");

  // Two bytes of the EEPROM differ from the file.
  std::vector<uint8_t> changed = factory_;
  changed[0x1F0] ^= 0xFF;
  changed[0x1FD] ^= 0x01;
  WriteFile(eeprom_, changed);
  o = RunCommand(RunVerifyCommand, Args({dumpFile_}));
  EXPECT_EQ(o.code, kExitFailure);
  EXPECT_EQ(o.out, "EEPROM differs from " + dumpFile_ + ": 2 bytes differ, the first at 0x01F0 " +
                       "(EEPROM " + Hex("0x%02X", changed[0x1F0]) + ", file " +
                       Hex("0x%02X", factory_[0x1F0]) + ")\n");
  EXPECT_EQ(o.err, "");

  o = RunCommand(RunVerifyCommand, Args({dumpFile_, "--json"}));
  EXPECT_EQ(o.code, kExitFailure);
  EXPECT_TRUE(IsJson(o.out)) << o.out;
  // The file name as JSON writes it: a Windows path's backslashes escaped.
  EXPECT_EQ(o.out, "{\"file\":" + document::JsonLine(dumpFile_) +
                       ",\"length\":511,\"identical\":false,\"differingBytes\":2,"
                       "\"firstDifference\":{\"address\":496,\"eeprom\":" +
                       std::to_string(changed[0x1F0]) +
                       ",\"file\":" + std::to_string(factory_[0x1F0]) + "}}\n");

  // --quiet: the exit code alone tells.
  o = RunCommand(RunVerifyCommand, Args({dumpFile_, "--quiet"}));
  EXPECT_EQ(o.code, kExitFailure);
  EXPECT_EQ(o.out + o.err, "");
  EXPECT_EQ(Eeprom(), changed);  // verify writes nothing
}

TEST_F(VerifyRegsTest, VerifyTakesAShortFileAsLoadWritesIt) {
  // load completes a short file with zeros; verify compares against the same bytes.
  const std::string shorter = dir_.File("short.bin");
  WriteFile(shorter, std::vector<uint8_t>(dump_.begin(), dump_.begin() + 100));
  std::vector<uint8_t> loaded(dump_.begin(), dump_.begin() + 100);
  loaded.resize(kSize, 0);
  WriteFile(eeprom_, loaded);
  Outcome o = RunCommand(RunVerifyCommand, Args({shorter, "--json"}));
  EXPECT_EQ(o.code, kExitSuccess) << o.err;
  EXPECT_TRUE(IsJson(o.out)) << o.out;
  EXPECT_EQ(testing::LineCount(o.err), 1u);  // the warning, on standard error only
  EXPECT_NE(o.err.find("holds 100 bytes"), std::string::npos) << o.err;
  EXPECT_EQ(RunCommand(RunVerifyCommand, Args({shorter, "--quiet"})).err, "");
}

TEST_F(VerifyRegsTest, VerifyOfAnUnreadableEepromFailsWithTheReason) {
  const Outcome o =
      RunCommand(RunVerifyCommand, Args({dumpFile_}), WithFaults({.stuckBusy = true}));
  EXPECT_EQ(o.code, kExitFailure);
  EXPECT_EQ(o.out, "");
  EXPECT_EQ(o.err, "veltra-cli: verify: Fail to read EEPROM: chunk 0x0000: busy after 50 polls\n");
}

// The EEPROM's write protection keeps the upper part: every write is acknowledged, so only a
// read back finds it, and names the first address that did not take.
TEST_F(VerifyRegsTest, LoadVerifyNamesTheFirstAddressTheEepromDidNotTake) {
  std::mt19937 random(7);
  std::vector<uint8_t> fresh(kTransfer);
  for (uint8_t& byte : fresh)
    byte = static_cast<uint8_t>(random());
  fresh[0x100] = static_cast<uint8_t>(factory_[0x100] ^ 0x5A);
  const std::string file = dir_.File("fresh.bin");
  WriteFile(file, fresh);
  uint32_t differing = 0;
  for (uint32_t a = 0x100; a < kTransfer; ++a)
    differing += fresh[a] != factory_[a] ? 1 : 0;

  const DeviceHook protect = WithFaults({.writeProtectFrom = 0x100});
  // Without --verify the load looks fine.
  Outcome o = RunCommand(RunLoadCommand, Args({file, "--yes"}), protect);
  EXPECT_EQ(o.code, kExitSuccess) << o.err;
  WriteFile(eeprom_, factory_);

  o = RunCommand(RunLoadCommand, Args({file, "--yes", "--verify"}), protect);
  EXPECT_EQ(o.code, kExitFailure);
  EXPECT_EQ(o.out, "");
  EXPECT_EQ(o.err, "veltra-cli: load: verify failed: " + std::to_string(differing) +
                       " bytes differ, the first at 0x0100 (EEPROM " +
                       Hex("0x%02X", factory_[0x100]) + ", file " + Hex("0x%02X", fresh[0x100]) +
                       ")\n");

  WriteFile(eeprom_, factory_);
  o = RunCommand(RunLoadCommand, Args({file, "--yes", "--verify"}));
  EXPECT_EQ(o.code, kExitSuccess) << o.err;
  EXPECT_EQ(o.out + o.err, "");
  const std::vector<uint8_t> loaded = Eeprom();
  ASSERT_EQ(loaded.size(), kSize);
  EXPECT_EQ(std::vector<uint8_t>(loaded.begin(), loaded.begin() + kTransfer), fresh);
}

TEST_F(VerifyRegsTest, EraseVerifyNamesTheFirstByteLeftStanding) {
  uint32_t first = 0x40;
  while (factory_[first] == 0)
    ++first;
  uint32_t standing = 0;
  for (uint32_t a = 0x40; a < kTransfer; ++a)
    standing += factory_[a] != 0 ? 1 : 0;
  Outcome o = RunCommand(RunEraseCommand, Args({"--yes", "--verify"}),
                         WithFaults({.writeProtectFrom = 0x40}));
  EXPECT_EQ(o.code, kExitFailure);
  EXPECT_EQ(o.err, "veltra-cli: erase: verify failed: " + std::to_string(standing) +
                       " bytes differ, the first at " + Hex("0x%04X", first) + " (EEPROM " +
                       Hex("0x%02X", factory_[first]) + ", erased 0x00)\n");

  o = RunCommand(RunEraseCommand, Args({"--yes", "--verify"}));
  EXPECT_EQ(o.code, kExitSuccess) << o.err;
  EXPECT_EQ(o.out + o.err, "");
}

TEST_F(VerifyRegsTest, RegsReadAndWrite) {
  // Register 0xD9 is the chip's capability register; the device options set it.
  Outcome o = RunCommand(RunRegsCommand, Args({"read", "D9"}));
  EXPECT_EQ(o.code, kExitSuccess) << o.err;
  EXPECT_EQ(o.out, "34\n");
  EXPECT_EQ(RunCommand(RunRegsCommand, Args({"read", "0xd9", "--capability", "14"})).out, "14\n");
  o = RunCommand(RunRegsCommand, Args({"read", "0xD9", "1", "--json"}));
  EXPECT_TRUE(IsJson(o.out)) << o.out;
  EXPECT_EQ(o.out, "{\"register\":217,\"data\":[52]}\n");
  // The I2C master's command register idles at 0x50; sixteen bytes from 0x80 in one access.
  o = RunCommand(RunRegsCommand, Args({"read", "80", "16"}));
  EXPECT_EQ(o.out, "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00\n");
  EXPECT_EQ(RunCommand(RunRegsCommand, Args({"read", "94"})).out, "50\n");
  // No --eeprom: the register access does not need one.
  EXPECT_EQ(RunCommand(RunRegsCommand, {"read", "D9", "--image", eeprom_}).out, "34\n");

  // A write prints nothing; its trace shows the one request it made.
  const std::string trace = dir_.File("trace.txt");
  o = RunCommand(RunRegsCommand, Args({"write", "40", "12", "ab", "--trace", trace}));
  EXPECT_EQ(o.code, kExitSuccess) << o.err;
  EXPECT_EQ(o.out + o.err, "");
  const auto text = ReadFile(trace);
  ASSERT_TRUE(text.has_value());
  const std::string lines(text->begin(), text->end());
  EXPECT_NE(lines.find(" 1 0x0040 2 12AB ok\n"), std::string::npos) << lines;
  EXPECT_EQ(Eeprom(), factory_);

  // Connect attaches, probes, detaches and attaches again; the register read is request 5.
  o = RunCommand(RunRegsCommand, Args({"read", "D9"}), WithFaults({.failRequest = 5}));
  EXPECT_EQ(o.code, kExitFailure);
  EXPECT_EQ(o.err, "veltra-cli: regs: Fail to read 1 register at 0xD9: request failed\n");
}

TEST_F(VerifyRegsTest, MalformedCommandLinesAreOneLineExitTwoAndTouchNothing) {
  bool hookRan = false;
  const DeviceHook hook = [&hookRan](backend::SimulatedBackend&) { hookRan = true; };
  const std::string missing = dir_.File("missing.bin");
  const std::string trace = dir_.File("trace.txt");
  struct Case {
    testing::DeviceCommandFunction run;
    std::vector<std::string> args;
  };
  const std::vector<Case> cases = {
      {RunVerifyCommand, {}},
      {RunVerifyCommand, {dumpFile_, dumpFile_}},
      {RunVerifyCommand, {dumpFile_, "--yes"}},
      {RunVerifyCommand, {dumpFile_, "--eeprom", "S24C03"}},
      {RunVerifyCommand, {dumpFile_, "--latency", "nan"}},
      {RunVerifyCommand, {dumpFile_, "--trace"}},
      {RunVerifyCommand, {dumpFile_, "--trace", ""}},
      {RunLoadCommand, {dumpFile_, "--verify=1"}},
      {RunLoadCommand, {dumpFile_, "--json"}},
      {RunLoadCommand, {dumpFile_}},  // no --yes, and no terminal to ask on
      {RunEraseCommand, {"--verify"}},
      {RunRegsCommand, {}},
      {RunRegsCommand, {"peek", "D9"}},
      {RunRegsCommand, {"read"}},
      {RunRegsCommand, {"read", "XYZ"}},
      {RunRegsCommand, {"read", "10000"}},
      {RunRegsCommand, {"read", "D9", "0"}},
      {RunRegsCommand, {"read", "D9", "17"}},
      {RunRegsCommand, {"read", "D9", "1", "2"}},
      {RunRegsCommand, {"write", "D9"}},
      {RunRegsCommand, {"write", "D9", "100"}},
      {RunRegsCommand, {"write", "40", "1", "--json"}},
      {RunRegsCommand,
       {"write", "40", "0", "1", "2", "3", "4", "5", "6", "7", "8", "9", "A", "B", "C", "D", "E",
        "F", "10"}},
  };
  for (const Case& c : cases) {
    // The options every case has come first, so the case's own last word stays last.
    std::vector<std::string> args = {"--eeprom", "S24C04", "--image", eeprom_, "--trace", trace};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const Outcome o = RunCommand(c.run, args, hook);
    std::string shown;
    for (const std::string& a : c.args)
      shown += a + ' ';
    EXPECT_EQ(o.code, kExitUsage) << shown << o.err;
    EXPECT_EQ(o.out, "") << shown;
    EXPECT_EQ(testing::LineCount(o.err), 1u) << shown << o.err;
  }
  EXPECT_FALSE(hookRan);
  EXPECT_FALSE(std::filesystem::exists(trace));
  EXPECT_EQ(Eeprom(), factory_);
}

}  // namespace
}  // namespace veltra::cli
