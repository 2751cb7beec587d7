// Random section sets on every EEPROM type: packed and written through the simulated chip, read
// back with Reload and packed again, they give the same bytes.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "image/eeprom_config.h"
#include "image/model_contents.h"
#include "simulated_chip.h"

namespace veltra::image {
namespace {

using testing::SimulatedChip;

class RoundTripProperty : public ::testing::TestWithParam<sim::EepromPart> {};

// Fills the model with a random set of sections that fits the transfer length and can be
// described by the entries: encoding-A sections start at or below 32767.
void Randomise(EepromConfig& config, uint32_t transferLength, std::mt19937& rng) {
  auto chance = [&](int percent) { return static_cast<int>(rng() % 100) < percent; };
  auto below = [&](uint32_t bound) {
    return bound == 0 ? 0u : static_cast<uint32_t>(rng() % bound);
  };
  // Leave room for tail records in some sets and none in others.
  const uint32_t budget =
      transferLength - kDataStart - below(std::min(transferLength - kDataStart, 200u));
  uint32_t position = kDataStart;
  for (const SectionKind& kind : kSectionKinds) {
    Section* section = config.FindSection(kind.type);
    ASSERT_NE(section, nullptr);
    if (kind.encoding == EntryEncoding::kNone) {
      for (auto& byte : section->data)
        byte = static_cast<uint8_t>(rng());
      continue;
    }
    const uint32_t room = kDataStart + budget - position;
    if (!chance(60) || position > MaxEntryOffset(kind.encoding)) continue;
    uint32_t length = 0;
    if (kind.policy == BufferPolicy::kFixed) {
      length = chance(80) ? kind.defaultLength : below(kind.defaultLength + 1);
    } else if (!chance(5)) {
      length = 1 + below(std::min(room, MaxEntryLength(kind.encoding)));
    }
    if (length > room) continue;
    section->SetPresent(true);
    section->SetLength(length);
    if (kind.policy == BufferPolicy::kOnDemand) section->data.assign(length, 0);
    for (size_t i = 0; i < length; ++i)
      section->data[i] = static_cast<uint8_t>(rng());
    position += length;
  }
  for (int index : {section_index::kPlaybackEq, section_index::kRecordEq}) {
    TailRecord record;
    for (auto& byte : record)
      byte = static_cast<uint8_t>(rng());
    record[0] |= 0x80;
    config.SetTailRecord(record.data(), static_cast<uint32_t>(record.size()), index);
  }
}

// The model read back holds what reading its bytes as a file gives.
void ExpectSameContents(const ImageContents& model, const ImageContents& file) {
  EXPECT_EQ(model.hasMagic, file.hasMagic);
  EXPECT_EQ(model.header, file.header);
  EXPECT_EQ(model.total, file.total);
  EXPECT_EQ(model.tailRecords.first, file.tailRecords.first);
  EXPECT_EQ(model.tailRecords.second, file.tailRecords.second);
  for (size_t row = 0; row < file.sections.size(); ++row) {
    ASSERT_EQ(model.sections[row].has_value(), file.sections[row].has_value()) << row;
    if (file.sections[row]) {
      EXPECT_EQ(model.sections[row]->data, file.sections[row]->data) << row;
    }
  }
}

TEST_P(RoundTripProperty, PackWriteReloadPackGivesTheSameBytes) {
  SimulatedChip chip(GetParam());
  ASSERT_TRUE(chip.connected);
  chip.system.SetRequestLogEnabled(false);
  const uint32_t t = chip.transferLength;
  const int rounds = chip.size >= 16384 ? 8 : 25;
  int withTailRecord = 0;
  for (int round = 0; round < rounds; ++round) {
    SCOPED_TRACE(round);
    std::mt19937 rng(static_cast<uint32_t>(chip.size * 31 + round));
    NullMessageSink sink;
    EepromConfig written(chip.transport, &sink);
    ASSERT_EQ(written.BuildSections(), kSOk);
    ASSERT_EQ(written.SetEepromSize(t), kSOk);
    Randomise(written, t, rng);
    if (HasFatalFailure()) return;
    chip.Settle();
    ASSERT_EQ(written.WriteToEeprom(), 0);
    const auto buffer = written.ImageBuffer();
    const std::vector<uint8_t> first(buffer.begin(), buffer.begin() + t);
    ASSERT_TRUE(std::equal(first.begin(), first.end(), chip.Eeprom().begin()));
    const uint32_t tailPlace = kDataStart + written.Total();
    if (tailPlace < t && (first[tailPlace] & 0x80) != 0) ++withTailRecord;

    chip.Settle();
    EepromConfig read(chip.transport, &sink);
    ASSERT_EQ(read.Reload(t), kSOk);
    ASSERT_FALSE(read.IsEmpty());
    ASSERT_EQ(read.SetEepromSize(t), kSOk);
    read.LoadTailRecords();
    ExpectSameContents(ModelContents(read), ReadImage(first, t));
    ASSERT_EQ(read.Pack(), 1);
    const auto again = read.ImageBuffer();
    EXPECT_EQ(std::vector<uint8_t>(again.begin(), again.begin() + t), first);
  }
  EXPECT_GT(withTailRecord, 0);  // the sets do reach the tail records
}

INSTANTIATE_TEST_SUITE_P(AllParts, RoundTripProperty, ::testing::ValuesIn(sim::kAllEepromParts),
                         [](const auto& info) {
                           return std::string(sim::PartInfo(info.param).name);
                         });

}  // namespace
}  // namespace veltra::image
