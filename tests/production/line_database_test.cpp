#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#include <csignal>
#endif

#include "production/line_database.h"

// Against the real server of the ctest fixture line_db (scripts/line-db-cluster.sh).
namespace veltra::production {
namespace {

std::string Database() {
  const char* connection = std::getenv("VELTRA_TEST_LINE_DB");
  return connection != nullptr ? connection : "";
}

// A line of its own for each test, so runs of the suite may share the server.
std::string NewLine(const LineSerials& serials) {
  const std::string name = "t-" + NewRunId().substr(0, 12);
  std::string error;
  const auto db = LineDatabase::Connect(Database(), error);
  EXPECT_TRUE(db) << error;
  EXPECT_EQ(db->CreateLine(name, serials), "");
  return name;
}

LineSerials Counter(const char* format, uint64_t start) {
  std::string error;
  return {SerialFormat::Parse(format, error), start, {}};
}

std::unique_ptr<LineRun> OpenRun(const std::string& line, const char* station = "s1") {
  std::string error;
  auto run = LineRun::Open(Database(), line, {station, "op", NewRunId(), "t1", "0.1"}, error);
  EXPECT_TRUE(run) << error;
  return run;
}

UnitRecord Unit(const std::string& serial, const char* result) {
  return {.serial = serial, .devicePath = "sim", .result = result, .seconds = 0.5};
}

TEST(LineDatabase, EverySerialGivenOutHasAStateAndStatusCountsThem) {
  const std::string line = NewLine(Counter("VH-%04u", 7));
  const auto run = OpenRun(line);
  std::string error;
  std::vector<std::string> serials;
  for (int i = 0; i < 3; ++i)
    serials.push_back(run->Reserve(error).value_or(error));
  EXPECT_EQ(serials, (std::vector<std::string>{"VH-0007", "VH-0008", "VH-0009"}));
  EXPECT_EQ(run->Record(Unit("VH-0007", "ok")), "");
  EXPECT_EQ(run->Record(Unit("VH-0008", "verify-failed")), "");
  EXPECT_EQ(run->Void("VH-0009", "unit dropped"), "");
  // Given out or not yet, never once more; only this line's serials have a state for it.
  const auto db = LineDatabase::Connect(Database(), error);
  const std::vector<std::string> voided{"VH-0010", "VH-0012"};
  EXPECT_EQ(db->VoidSerials(line, voided, "labels torn"), "");
  EXPECT_EQ(run->Reserve(error), "VH-0011");
  EXPECT_EQ(run->StateOf("VH-0007", error), LineSerialState::kProgrammed);
  EXPECT_EQ(run->StateOf("VH-0008", error), LineSerialState::kFailed);
  EXPECT_EQ(run->StateOf("VH-0013", error), std::nullopt);
  EXPECT_EQ(OpenRun(NewLine(Counter("VH-%04u", 7)))->StateOf("VH-0007", error), std::nullopt);

  const auto status = db->Status(line, error);
  ASSERT_TRUE(status) << error;
  EXPECT_EQ(status->counts, (std::array<int64_t, 5>{1, 1, 1, 3, 0}));
  EXPECT_EQ(status->yield, 0.5);
  EXPECT_EQ(status->next, "VH-0013");
  EXPECT_EQ(status->left, 9999 - 13 + 1);
  EXPECT_EQ(run->SerialsLeft(error), 9999 - 13 + 1);
}

TEST(LineDatabase, VoidRefusesWhatItMustNotVoidAndVoidsNoneThen) {
  const std::string line = NewLine(Counter("A%u", 1));
  const auto run = OpenRun(line);
  std::string error;
  run->Reserve(error);
  run->Reserve(error);
  run->Record(Unit("A1", "ok"));
  const auto db = LineDatabase::Connect(Database(), error);
  for (const std::vector<std::string>& serials : std::vector<std::vector<std::string>>{
           {"A3", "A1"}, {"A3", "A2"}, {"A3", "B7"}, {"A3", "A3"}, {"A3", "A 4"}}) {
    EXPECT_NE(db->VoidSerials(line, serials, "why"), "") << serials[1];
  }
  EXPECT_EQ(db->Status(line, error)->counts, (std::array<int64_t, 5>{1, 1, 0, 0, 0}));
  EXPECT_EQ(db->Status("no such line", error), std::nullopt);
  EXPECT_NE(error.find("no line"), std::string::npos) << error;
}

TEST(LineDatabase, ListLineGivesItsSerialsOnceAndKeepsThemItsOwn) {
  const std::string line = NewLine({std::nullopt, 1, {"L-1", "L-2"}});
  const auto run = OpenRun(line);
  std::string error;
  EXPECT_EQ(run->Reserve(error), "L-1");
  EXPECT_EQ(run->Reserve(error), "L-2");
  EXPECT_EQ(run->Reserve(error), std::nullopt);
  EXPECT_NE(error.find("no serial left"), std::string::npos) << error;
  // A serial another line has is not another line's too.
  const auto db = LineDatabase::Connect(Database(), error);
  EXPECT_NE(db->CreateLine(line + "b", {std::nullopt, 1, {"L-3", "L-2"}}), "");
  EXPECT_NE(db->CreateLine(line, {std::nullopt, 1, {"L-9"}}), "");
  EXPECT_FALSE(LineRun::Open(Database(), line + "b", {}, error));
}

#ifndef _WIN32
// Runs work in a child process, which ends as work returns (0 on success); its pid.
template <typename Work>
pid_t Child(Work work) {
  const pid_t pid = fork();
  if (pid == 0) _exit(work() ? 0 : 1);
  return pid;
}

int Wait(pid_t pid) {
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Four stations reserve at once: no serial twice, each with a state, the counter past them all.
TEST(LineDatabase, StationsReservingAtOnceNeverShareASerial) {
  const std::string line = NewLine(Counter("C%06u", 1));
  int pipes[2];
  ASSERT_EQ(pipe(pipes), 0);
  std::vector<pid_t> stations;
  for (int station = 0; station < 4; ++station) {
    stations.push_back(Child([&] {
      std::string error;
      const auto run = LineRun::Open(Database(), line, {"s" + std::to_string(station)}, error);
      for (int unit = 0; run && unit < 25; ++unit) {
        const auto serial = run->Reserve(error);
        if (!serial || !run->Record(Unit(*serial, unit % 5 ? "ok" : "write-failed")).empty()) {
          return false;
        }
        const std::string line = *serial + "\n";
        if (write(pipes[1], line.data(), line.size()) != static_cast<ssize_t>(line.size())) {
          return false;
        }
      }
      return run != nullptr;
    }));
  }
  close(pipes[1]);
  std::string given;
  char buffer[512];
  for (ssize_t got; (got = read(pipes[0], buffer, sizeof buffer)) > 0;)
    given.append(buffer, static_cast<size_t>(got));
  close(pipes[0]);
  for (const pid_t pid : stations)
    EXPECT_EQ(Wait(pid), 0);
  std::set<std::string> distinct;
  for (size_t at = 0; at < given.size(); at = given.find('\n', at) + 1)
    distinct.insert(given.substr(at, given.find('\n', at) - at));
  EXPECT_EQ(distinct.size(), 100u);
  std::string error;
  const auto status = LineDatabase::Connect(Database(), error)->Status(line, error);
  EXPECT_EQ(status->counts, (std::array<int64_t, 5>{0, 80, 20, 0, 0}));
  EXPECT_EQ(status->next, "C000101");
}

// A station killed with its serial reserved: the next run marks it abandoned, once; a run still
// going keeps its own.
TEST(LineDatabase, KilledRunsReservationBecomesAbandonedOnce) {
  const std::string line = NewLine(Counter("K%u", 1));
  const auto going = OpenRun(line, "s1");
  std::string error;
  EXPECT_EQ(going->Reserve(error), "K1");
  const pid_t killed = Child([&] {
    const auto run = OpenRun(line, "s2");
    if (run && run->Reserve(error)) raise(SIGKILL);
    return false;
  });
  EXPECT_EQ(Wait(killed), 128 + SIGKILL);
  EXPECT_EQ(OpenRun(line, "s3")->RecordAbandoned(error), std::vector<std::string>{"K2"});
  EXPECT_EQ(OpenRun(line, "s3")->RecordAbandoned(error), std::vector<std::string>{});
  EXPECT_EQ(going->RecordAbandoned(error), std::vector<std::string>{});
  EXPECT_EQ(going->Record(Unit("K1", "ok")), "");
  const auto db = LineDatabase::Connect(Database(), error);
  EXPECT_EQ(db->Status(line, error)->counts, (std::array<int64_t, 5>{0, 1, 0, 0, 1}));
  EXPECT_EQ(db->VoidSerials(line, std::vector<std::string>{"K2"}, "never reached a unit"), "");
}
#endif

TEST(LineDatabase, UnreachableOrRefusingServerIsOneLineWithItsState) {
  std::string database = Database();
  const size_t password = database.find("Pwd=");
  ASSERT_NE(password, std::string::npos);
  for (const std::string& bad : {database.substr(0, password) + "Pwd=wrong;",
                                 std::string("Driver={No such driver};Server=127.0.0.1;")}) {
    std::string error;
    EXPECT_FALSE(LineDatabase::Connect(bad, error));
    EXPECT_NE(error.find("(SQLSTATE "), std::string::npos) << error;
    EXPECT_EQ(error.find('\n'), std::string::npos) << error;
  }
}

}  // namespace
}  // namespace veltra::production
