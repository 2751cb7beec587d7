#include "image/part_probe.h"

#include <gtest/gtest.h>

#include <vector>

#include "image/factory_image.h"
#include "simulated_chip.h"

namespace veltra::image {
namespace {

using testing::Chunk;
using testing::Chunks;
using testing::SimulatedChip;
using Outcome = PartProbe::Outcome;

enum class Fill { kErased, kZeros, kFactory };

std::vector<uint8_t> Contents(Fill fill, uint32_t size) {
  if (fill == Fill::kFactory) return *BuildFactoryImage(0x5A52, 0x7731, size);
  return std::vector<uint8_t>(size, fill == Fill::kErased ? 0xFF : 0x00);
}

struct Case {
  sim::EepromPart part;
  uint32_t chosenSize;
  Fill fill;
  Outcome outcome;
  uint32_t partSize;
  // A header read: opening 2, 4 chunks of 6 (with one busy poll at the tests' timing),
  // closing 2.
  uint64_t requests;
};

class PartProbeTest : public ::testing::TestWithParam<Case> {};

TEST_P(PartProbeTest, FindsTheSmallerPartByItsRolloverOnly) {
  const Case& c = GetParam();
  SimulatedChip chip(c.part);
  ASSERT_TRUE(chip.connected);
  chip.Seed(Contents(c.fill, chip.size));
  chip.transport.SetTransportEepromSize(c.chosenSize);
  const std::vector<uint8_t> before = chip.Eeprom();
  const uint64_t start = chip.system.RequestCount();

  const PartProbe probe = ProbeEepromPart(chip.transport);

  EXPECT_EQ(probe.outcome, c.outcome);
  EXPECT_EQ(probe.partSize, c.partSize);
  EXPECT_EQ(chip.system.RequestCount() - start, c.requests);
  EXPECT_EQ(chip.Eeprom(), before);
  // Reads only: the header at 0, then at each smaller part size in turn.
  for (const Chunk& chunk : Chunks(chip.system.RequestLog(), c.chosenSize))
    EXPECT_TRUE(chunk.read);
}

// An erased or constant EEPROM matches itself at every address, and the right type is never
// refused for that; a part of the chosen size holds no copy of its header.
INSTANTIATE_TEST_SUITE_P(
    Parts, PartProbeTest,
    ::testing::Values(
        Case{sim::EepromPart::k24C64, 8192, Fill::kErased, Outcome::kNoSmallerPart, 0, 28},
        Case{sim::EepromPart::k24C64, 8192, Fill::kZeros, Outcome::kNoSmallerPart, 0, 28},
        Case{sim::EepromPart::k24C64, 8192, Fill::kFactory, Outcome::kNoSmallerPart, 0, 6 * 28},
        Case{sim::EepromPart::k24C512, 65536, Fill::kFactory, Outcome::kNoSmallerPart, 0, 9 * 28},
        Case{sim::EepromPart::k24C02, 256, Fill::kFactory, Outcome::kNoSmallerPart, 0, 0},
        Case{sim::EepromPart::k24C64, 65536, Fill::kFactory, Outcome::kSmallerPart, 8192, 7 * 28},
        Case{sim::EepromPart::k24C64, 16384, Fill::kFactory, Outcome::kSmallerPart, 8192, 7 * 28},
        Case{sim::EepromPart::k24C32, 32768, Fill::kFactory, Outcome::kSmallerPart, 4096, 6 * 28},
        // A wrong type on an erased part cannot be told: the read-back after the write is what
        // catches it then.
        Case{sim::EepromPart::k24C64, 65536, Fill::kErased, Outcome::kNoSmallerPart, 0, 28}));

TEST(PartProbe, AnUnreadableEepromIsNoEvidence) {
  SimulatedChip chip(sim::EepromPart::k24C64);
  chip.Seed(Contents(Fill::kFactory, chip.size));
  chip.system.Faults().forceNack = true;
  EXPECT_EQ(ProbeEepromPart(chip.transport).outcome, Outcome::kReadFailed);
}

TEST(PartProbe, TheTextNamesBothTypesAndTheAddress) {
  EXPECT_EQ(SmallerPartText(65536, 8192),
            "The EEPROM is likely a S24C64, not the chosen S24C512: its first 60 bytes read again "
            "at address 0x2000. Nothing was written.");
}

}  // namespace
}  // namespace veltra::image
