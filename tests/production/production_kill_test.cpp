// Two stations (processes) programming simulated units with serials from one counter file, each
// killed (SIGKILL) at random moments and restarted: afterwards no serial is on two units and
// every serial the journal holds has a state past reserved. VELTRA_KILL_RUNS sets the rounds of
// kills (12 by default).
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "image/factory_image.h"
#include "production/file_serial_source.h"
#include "production/production_run.h"
#include "production/unit_programming.h"
#include "test_files.h"

namespace veltra::production {
namespace {

constexpr uint32_t kSize = 8192;
constexpr int kStations = 2;
constexpr int kUnitsPerStation = 10;

class Quiet final : public RunObserver {
  void Started(std::string_view, const std::optional<SerialSupply>&) override {}
  void UnitDone(uint64_t, const UnitRecord&) override {}
  void Note(std::string_view) override {}
  void Stopped(std::string_view) override {}
};

int Rounds() {
  const char* text = std::getenv("VELTRA_KILL_RUNS");
  const int rounds = text != nullptr ? std::atoi(text) : 0;
  return rounds > 0 ? rounds : 12;
}

TEST(ProductionKill, TwoStationsOnOneCounterNeverGiveASerialTwice) {
  test_files::TempDir dir;
  const std::string counter = dir.File("serial.txt");
  const auto factory = image::BuildFactoryImage(0x5A52, 0x7731, kSize);
  RunSettings settings;
  settings.configuration = *image::DecodeConfiguration(image::ReadImage(*factory, kSize - 1));
  settings.eeprom = *device::FindEepromType("S24C64");
  settings.device.simulated = true;
  // Some 0.35 s a unit, so that most kills land in the middle of one.
  settings.device.latencyNs = 1'000'000;
  for (int station = 0; station < kStations; ++station) {
    std::filesystem::create_directory(dir.File("units" + std::to_string(station)));
    for (int unit = 0; unit < kUnitsPerStation; ++unit) {
      test_files::WriteFile(
          dir.File("units" + std::to_string(station) + "/" + std::to_string(unit) + ".bin"), {});
    }
  }
  // A station: a process of its own that programs its units once and ends.
  const auto start = [&](int station) {
    const pid_t child = ::fork();
    if (child != 0) return child;
    RunSettings own = settings;
    own.units = dir.File("units" + std::to_string(station));
    own.log = dir.File("log" + std::to_string(station) + ".csv");
    std::string error;
    Quiet quiet;
    ProductionRun run(own,
                      std::make_unique<FileSerialSource>(FileSerialSource::Counter(
                          counter, *SerialFormat::Parse("VT-%06u", error), 1)),
                      quiet);
    if (run.Check().empty()) run.Run();
    ::_exit(0);
  };
  std::mt19937 random{std::random_device{}()};
  std::uniform_int_distribution<int> moment(0, 700);
  for (int round = 0; round <= Rounds(); ++round) {
    std::vector<pid_t> stations;
    for (int station = 0; station < kStations; ++station)
      stations.push_back(start(station));
    for (const pid_t station : stations) {
      // The last round runs to its end.
      if (round < Rounds()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(moment(random)));
        ::kill(station, SIGKILL);
      }
      ::waitpid(station, nullptr, 0);
    }
  }

  std::map<std::string, std::string> carriers;
  for (int station = 0; station < kStations; ++station) {
    for (int unit = 0; unit < kUnitsPerStation; ++unit) {
      const std::string file =
          dir.File("units" + std::to_string(station) + "/" + std::to_string(unit) + ".bin");
      const auto bytes = test_files::ReadFile(file);
      const auto configuration = image::DecodeConfiguration(image::ReadImage(*bytes, kSize - 1));
      ASSERT_TRUE(configuration) << file;
      const std::string serial = SerialOf(*configuration);
      EXPECT_TRUE(carriers.emplace(serial, file).second)
          << serial << " is on " << carriers[serial] << " and " << file;
    }
  }
  std::string error;
  FileSerialSource source =
      FileSerialSource::Counter(counter, *SerialFormat::Parse("VT-%06u", error), 1);
  ASSERT_TRUE(source.RecordAbandoned(error)) << error;
  const std::string journal = test_files::Text(source.JournalPath());
  for (size_t at = journal.find("\nreserved "); at != std::string::npos;
       at = journal.find("\nreserved ", at + 1)) {
    const std::string serial = journal.substr(at + 10, 9);
    EXPECT_NE(source.StateOf(serial, error), SerialState::kReserved) << serial;
  }
  const std::string next = test_files::Text(counter);
  std::printf("%d units, %d rounds of kills: the counter's next number %s",
              kStations * kUnitsPerStation, Rounds(), next.c_str());
}

}  // namespace
}  // namespace veltra::production
