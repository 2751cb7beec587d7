#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "production/file_serial_source.h"
#include "test_files.h"

namespace veltra::production {
namespace {

using test_files::TempDir;
using test_files::Text;

void Write(const std::string& path, const std::string& text) {
  test_files::WriteFile(path, std::vector<uint8_t>(text.begin(), text.end()));
}

SerialFormat Format(const char* text) {
  std::string error;
  return *SerialFormat::Parse(text, error);
}

TEST(SerialFormat, FormatsParsesItsOwnSerialsAndKnowsItsLastNumber) {
  std::string error;
  const auto format = SerialFormat::Parse("VT-%06u%%", error);
  ASSERT_TRUE(format) << error;
  EXPECT_EQ(format->Format(17), "VT-000017%");
  EXPECT_EQ(format->NumberOf("VT-000017%"), 17u);
  EXPECT_EQ(format->NumberOf("VT-17%"), std::nullopt);
  EXPECT_EQ(format->LastNumber(), 999999u);
  EXPECT_EQ(Format("%u").LastNumber(), UINT64_MAX - 1);
  EXPECT_EQ(Format("%u").NumberOf(std::to_string(UINT64_MAX)), UINT64_MAX);
  for (const char* bad : {"VT-", "%d", "%u-%u", "%06x", "%-6u"}) {
    EXPECT_FALSE(SerialFormat::Parse(bad, error)) << bad;
  }
}

// Every file a line would take wrongly is refused before the first unit, in one line naming it,
// and nothing is written beside it.
TEST(FileSerialSource, BadCountersListsAndFormatsAreRefusedBeforeAnything) {
  TempDir dir;
  const std::string file = dir.File("serials.txt");
  struct Case {
    const char* format;  // null: a list
    std::string text;
    const char* reason;
  } const cases[] = {
      {"S%u", "1\n2\n", "holds '1\\x0A2\\x0A', not the next serial number"},
      {"S%u", "18446744073709551615\n", "no serial left"},
      {"S%04u", "10000\n", "past the last one 'S%04u' makes (9999)"},
      {"S%3u", "", "pads with blanks"},
      {"SERIAL-NUMBER-OF-THIS-LINE-%06u", "", "has 33 characters"},
      {nullptr, "A1\nB\x01\n", "line 2: the serial 'B\\x01' holds the byte 0x01"},
      {nullptr, "A1\n\xE9t\xE9\n", "the byte 0xE9"},
      {nullptr, "A1\r\nB2\r\n", "line 1 ends in a carriage return"},
      {nullptr, "A,1\n", "holds a comma"},
      {nullptr, "A1\nB2\n# used A1\n", "line 3: A1 is on line 1 too"},
      {nullptr, std::string(32, 'x') + "\n", "has 32 characters"},
  };
  for (const Case& c : cases) {
    Write(file, c.text);
    FileSerialSource source = c.format ? FileSerialSource::Counter(file, Format(c.format), 1)
                                       : FileSerialSource::List(file);
    std::string error;
    EXPECT_FALSE(source.SerialsLeft(error)) << c.text;
    EXPECT_NE(error.find(c.reason), std::string::npos) << error;
    EXPECT_EQ(error.find('\n'), std::string::npos) << error;
    EXPECT_FALSE(std::filesystem::exists(file + ".journal"));
  }
#ifndef _WIN32
  for (const char* device : {"/dev/null", "/dev/zero"}) {
    std::string error;
    EXPECT_FALSE(FileSerialSource::Counter(device, Format("S%u"), 1).SerialsLeft(error));
    EXPECT_FALSE(FileSerialSource::List(device).SerialsLeft(error));
    EXPECT_NE(error.find("not a regular file"), std::string::npos) << error;
  }
  EXPECT_FALSE(std::filesystem::exists("/dev/null.journal"));
#endif
}

// Two processes' worth of sources on one counter: each reservation reads the counter and the
// journal afresh under the lock, so they never give a serial twice. Fates go to the journal,
// which takes the counter's permission bits.
TEST(FileSerialSource, SourcesSharingACounterTakeTurnsAndRecordEveryFate) {
  TempDir dir;
  const std::string counter = dir.File("c.txt");
  Write(counter, "7\n");
#ifndef _WIN32
  ::chmod(counter.c_str(), 0600);
#endif
  FileSerialSource a = FileSerialSource::Counter(counter, Format("S%u"), 1);
  FileSerialSource b = FileSerialSource::Counter(counter, Format("S%u"), 1);
  std::string error;
  std::vector<std::string> given;
  for (FileSerialSource* source : {&a, &b, &a, &b})
    given.push_back(*source->Reserve(error));
  EXPECT_EQ(given, (std::vector<std::string>{"S7", "S8", "S9", "S10"}));
  EXPECT_EQ(Text(counter), "11\n");
  EXPECT_EQ(a.Record({.serial = "S7", .result = kResultOk}), "");
  EXPECT_EQ(b.Record({.serial = "S8", .result = kResultVerifyFailed}), "");
  EXPECT_EQ(a.Record({.serial = "S9", .result = kResultRefused, .detail = "no\nroom"}), "");
  const std::pair<const char*, SerialState> states[] = {{"S7", SerialState::kProgrammed},
                                                        {"S8", SerialState::kFailed},
                                                        {"S9", SerialState::kVoid},
                                                        {"S10", SerialState::kReserved},
                                                        {"S11", SerialState::kNotGiven}};
  for (const auto& [serial, state] : states)
    EXPECT_EQ(b.StateOf(serial, error), state) << serial;
#ifndef _WIN32
  struct stat journal {};
  ASSERT_EQ(::stat(a.JournalPath().c_str(), &journal), 0);
  EXPECT_EQ(journal.st_mode & 0777, 0600u);
#endif
}

// A run killed after each step of a reservation: journalled, source replaced. The next start
// never gives that serial again, records it as abandoned once, and compacts a long journal.
TEST(FileSerialSource, AKillBetweenStepsNeverGivesASerialTwiceAndIsRecordedAbandonedOnce) {
  for (const bool listSource : {false, true}) {
    for (int killedAfter = 0; killedAfter < 2; ++killedAfter) {
      TempDir dir;
      const std::string path = dir.File("serials.txt");
      if (listSource) Write(path, "A1\n#x\nB2\nC3\n");
      auto open = [&] {
        return listSource ? FileSerialSource::List(path)
                          : FileSerialSource::Counter(path, Format("S%u"), 7);
      };
      const std::string first = listSource ? "A1" : "S7";
      const std::string second = listSource ? "B2" : "S8";
      // A long history before, and the reservation of a process that is gone.
      std::string history = "# veltra serial journal 0000000000000001\n";
      for (int i = 0; i < 200; ++i) {
        history +=
            "reserved X" + std::to_string(i) + " 1.1\nprogrammed X" + std::to_string(i) + "\n";
      }
      Write(path + ".journal", history + "reserved " + first + " 2147483646.1\n");
      if (killedAfter == 1) Write(path, listSource ? "# used A1\n#x\nB2\nC3\n" : "8\n");
      FileSerialSource next = open();
      std::string error;
      const auto supply = next.SerialsLeft(error);
      ASSERT_TRUE(supply) << error;
      EXPECT_EQ(supply->next, second);
      EXPECT_EQ(next.RecordAbandoned(error), std::vector<std::string>{first});
      EXPECT_EQ(open().RecordAbandoned(error), std::vector<std::string>{});
      EXPECT_EQ(next.StateOf(first, error), SerialState::kAbandoned);
      EXPECT_EQ(next.Reserve(error), second);
      const std::string journal = Text(path + ".journal");
      EXPECT_LE(std::count(journal.begin(), journal.end(), '\n'), 204);
      EXPECT_EQ(open().StateOf("X99", error), SerialState::kProgrammed);
    }
  }
}

// A list serial the journal or the log already holds is refused; a used-up list says so.
TEST(FileSerialSource, AListNeverGivesASerialTheJournalOrTheLogHolds) {
  TempDir dir;
  const std::string list = dir.File("l.txt"), log = dir.File("log.csv");
  Write(list, "A1\nB2\n");
  Write(log, "time,serial,device,result,detail,seconds,image_fnv1a64\nt,\"B2\",p,ok,,1,h\n");
  FileSerialSource source = FileSerialSource::List(list);
  source.SetLog(log);
  std::string error;
  EXPECT_FALSE(source.SerialsLeft(error));
  EXPECT_EQ(error, list + ": line 2: B2 is in " + log + " already");
  Write(log, "");
  Write(list + ".journal", "failed A1\n");
  EXPECT_FALSE(source.SerialsLeft(error));
  EXPECT_NE(error.find("A1 was given out before (failed"), std::string::npos) << error;
  Write(list + ".journal", "");
  EXPECT_EQ(source.Reserve(error), "A1");
  EXPECT_EQ(source.Reserve(error), "B2");
  EXPECT_EQ(Text(list), "# used A1\n# used B2\n");
  EXPECT_FALSE(source.Reserve(error));
  EXPECT_NE(error.find("every serial of the list is used"), std::string::npos);
}

}  // namespace
}  // namespace veltra::production
