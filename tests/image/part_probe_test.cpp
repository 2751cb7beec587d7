#include "image/part_probe.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <vector>

#include "image/factory_image.h"
#include "simulated_chip.h"

namespace veltra::image {
namespace {

using Outcome = PartProbe::Outcome;
using sim::EepromPart;

struct Case {
  EepromPart part;
  uint32_t chosenSize;
  int fill;  // a byte, or -1: the factory image
  Outcome outcome;
  uint32_t partSize;
  uint64_t reads;  // of the 60-byte header (28 requests each at the tests' timing); 0: not counted
  uint32_t copyAt = 0;                    // the header copied here as well
  std::optional<uint32_t> protectFrom{};  // write-protected from here
};

class PartProbeTest : public ::testing::TestWithParam<Case> {};

TEST_P(PartProbeTest, OnlyAByteThatComesBackAtZeroRefusesTheType) {
  const Case& c = GetParam();
  testing::SimulatedChip chip(c.part);
  chip.Seed(c.fill < 0 ? *BuildFactoryImage(0x5A52, 0x7731, chip.size)
                       : std::vector<uint8_t>(chip.size, static_cast<uint8_t>(c.fill)));
  if (c.copyAt != 0) std::copy_n(chip.Eeprom().begin(), 60, chip.Eeprom().begin() + c.copyAt);
  chip.system.SetFaults({.writeProtectFrom = c.protectFrom});
  chip.transport.SetTransportEepromSize(c.chosenSize);
  const std::vector<uint8_t> before = chip.Eeprom();
  const uint64_t start = chip.system.RequestCount();
  const PartProbe probe = ProbeEepromPart(chip.transport);
  EXPECT_EQ(probe.outcome, c.outcome);
  EXPECT_EQ(probe.partSize, c.partSize);
  if (c.reads != 0) {
    EXPECT_EQ(chip.system.RequestCount() - start, 28 * c.reads);
  }
  EXPECT_EQ(chip.Eeprom(), before);
}

// An erased or constant EEPROM matches itself everywhere: never evidence against the right
// type, nor for a wrong one (the read-back after the write catches that). A header that only
// repeats (an image rolled over into the right part) is no evidence either.
INSTANTIATE_TEST_SUITE_P(
    Parts, PartProbeTest,
    ::testing::Values(Case{EepromPart::k24C64, 8192, 0xFF, Outcome::kNoSmallerPart, 0, 1},
                      Case{EepromPart::k24C64, 8192, 0x00, Outcome::kNoSmallerPart, 0, 1},
                      Case{EepromPart::k24C64, 8192, -1, Outcome::kNoSmallerPart, 0, 6},
                      Case{EepromPart::k24C512, 65536, -1, Outcome::kNoSmallerPart, 0, 9},
                      Case{EepromPart::k24C02, 256, -1, Outcome::kNoSmallerPart, 0, 0},
                      Case{EepromPart::k24C64, 65536, -1, Outcome::kSmallerPart, 8192, 0},
                      Case{EepromPart::k24C32, 32768, -1, Outcome::kSmallerPart, 4096, 0},
                      Case{EepromPart::k24C64, 65536, 0xFF, Outcome::kNoSmallerPart, 0, 1},
                      Case{EepromPart::k24C64, 8192, -1, Outcome::kNoSmallerPart, 0, 0, 0x100},
                      Case{EepromPart::k24C64, 8192, -1, Outcome::kRepeats, 256, 0, 0x100, 0x100},
                      Case{EepromPart::k24C64, 65536, -1, Outcome::kRepeats, 8192, 0, 0, 0}));

TEST(PartProbe, AnUnreadableEepromIsNoEvidence) {
  testing::SimulatedChip chip(EepromPart::k24C64);
  chip.system.SetFaults({.forceNack = true});
  EXPECT_EQ(ProbeEepromPart(chip.transport).outcome, Outcome::kReadFailed);
}

}  // namespace
}  // namespace veltra::image
