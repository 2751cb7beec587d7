#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "production/serial_book.h"
#include "test_files.h"

namespace veltra::production {
namespace {

using test_files::TempDir;
using test_files::Text;

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
  test_files::WriteFile(list, {'A', '1', '\n', '#', 'x', '\n', 'B', '2', '\n'});
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

}  // namespace
}  // namespace veltra::production
