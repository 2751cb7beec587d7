// The line database's cost per unit: four stations (processes) on one line reserve a serial and
// record its unit at once, over and over; the time of each reservation and record, p50 and p99.
// Starts a throwaway PostgreSQL server (scripts/line-db-cluster.sh), or uses the one
// VELTRA_BENCH_LINE_DB names. Exits non-zero when a station fails or a serial is given twice.
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "production/line_database.h"

namespace {

using namespace veltra::production;
using Clock = std::chrono::steady_clock;

constexpr int kStations = 4;
constexpr int kUnits = 250;

struct Sample {
  double reserveMs;
  double recordMs;
  char serial[32];
};

double Ms(Clock::duration duration) {
  return std::chrono::duration<double, std::milli>(duration).count();
}

// One station's units, each sample written to out.
bool Station(const std::string& database, const std::string& line, int station, int out) {
  std::string error;
  const auto run = LineRun::Open(database, line, {"bench-" + std::to_string(station)}, error);
  for (int unit = 0; run && unit < kUnits; ++unit) {
    Sample sample{};
    const auto start = Clock::now();
    const auto serial = run->Reserve(error);
    const auto reserved = Clock::now();
    if (!serial) break;
    error = run->Record({.serial = *serial, .devicePath = "sim", .result = "ok", .seconds = 1});
    sample.reserveMs = Ms(reserved - start);
    sample.recordMs = Ms(Clock::now() - reserved);
    serial->copy(sample.serial, sizeof sample.serial - 1);
    if (!error.empty() || write(out, &sample, sizeof sample) != sizeof sample) break;
  }
  if (!error.empty()) std::fprintf(stderr, "station %d: %s\n", station, error.c_str());
  return error.empty() && run;
}

double Percentile(std::vector<double> values, double p) {
  std::sort(values.begin(), values.end());
  return values[std::min(values.size() - 1, static_cast<size_t>(p * values.size()))];
}

}  // namespace

int main() {
  std::string database;
  const std::string state = std::string(VELTRA_BENCH_STATE);
  if (const char* given = std::getenv("VELTRA_BENCH_LINE_DB")) {
    database = given;
  } else {
    const std::string start = "bash " VELTRA_CLUSTER_SCRIPT " start " + state + " 39871";
    if (std::system(start.c_str()) != 0) return 1;
    database = "Driver=" VELTRA_ODBC_DRIVER
               ";Server=127.0.0.1;Port=39871;Database=line;Uid=station;Pwd=station-pw;";
  }
  std::string error;
  const std::string line = "bench-" + NewRunId().substr(0, 8);
  const auto db = LineDatabase::Connect(database, error);
  if (db) error = db->CreateLine(line, {*SerialFormat::Parse("B%07u", error), 1, {}});
  int status = error.empty() ? 0 : 1;
  std::vector<Sample> samples;
  if (status == 0) {
    int pipes[2];
    if (pipe(pipes) != 0) return 1;
    std::vector<pid_t> stations;
    const auto started = Clock::now();
    for (int station = 0; station < kStations; ++station) {
      const pid_t pid = fork();
      if (pid == 0) _exit(Station(database, line, station, pipes[1]) ? 0 : 1);
      stations.push_back(pid);
    }
    close(pipes[1]);
    for (Sample sample; read(pipes[0], &sample, sizeof sample) == sizeof sample;)
      samples.push_back(sample);
    for (const pid_t pid : stations) {
      int code = 0;
      waitpid(pid, &code, 0);
      if (!WIFEXITED(code) || WEXITSTATUS(code) != 0) status = 1;
    }
    const double seconds = Ms(Clock::now() - started) / 1000;
    std::set<std::string> distinct;
    std::vector<double> reserve, record;
    for (const Sample& sample : samples) {
      distinct.insert(sample.serial);
      reserve.push_back(sample.reserveMs);
      record.push_back(sample.recordMs);
    }
    if (distinct.size() != samples.size() || samples.size() != kStations * kUnits) status = 1;
    if (!samples.empty()) {
      std::printf(
          "line database, %d stations at once, %zu units in %.1f s (%zu serials, each once)\n",
          kStations, samples.size(), seconds, distinct.size());
      std::printf("  reserve  p50 %6.2f ms  p99 %6.2f ms\n", Percentile(reserve, 0.5),
                  Percentile(reserve, 0.99));
      std::printf("  record   p50 %6.2f ms  p99 %6.2f ms\n", Percentile(record, 0.5),
                  Percentile(record, 0.99));
    }
  } else {
    std::fprintf(stderr, "%s\n", error.c_str());
  }
  if (!std::getenv("VELTRA_BENCH_LINE_DB")) {
    std::system(("bash " VELTRA_CLUSTER_SCRIPT " stop " + state).c_str());
  }
  return status;
}
