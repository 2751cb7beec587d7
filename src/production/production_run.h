#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

#include "backend/device_options.h"
#include "device/eeprom_types.h"
#include "image/configuration.h"
#include "production/production_log.h"
#include "production/record_target.h"
#include "production/serial_source.h"
#include "production/unit_trace.h"

namespace veltra::backend {
class SimulatedBackend;
}  // namespace veltra::backend

// A production run, for any front end: one template written into unit after unit, each with a
// serial from the line's source, checked, recorded and logged.
namespace veltra::production {

struct RunSettings {
  image::Configuration configuration;  // the template
  device::EepromType eeprom;
  // The units' VID/PID, the one path where given, and whether they are simulated.
  backend::DeviceOptions device;
  bool whole = false;      // the whole transfer length, not only the used part
  bool normalize = false;  // see UnitJob
  // Units as they arrive, until count or a stop; otherwise the units attached now, once each.
  bool watch = false;
  std::optional<uint64_t> count;
  // Simulated units: every FOLDER/*.bin (see backend/simulated_units).
  std::optional<std::string> units;
  // The CSV log and the trace; "-" is the stream standardOutput.
  std::optional<std::string> log;
  std::optional<std::string> trace;
  std::ostream* standardOutput = nullptr;
  // A unit that carries a serial this line recorded as programmed is written again with it.
  bool reprogram = false;
  // Only units that carry a serial this line gave out and recorded as failed, each written
  // again with it.
  bool rework = false;
  // What an abort's detail adds ("aborted at 0x0400 by a second Ctrl+C").
  std::string abortCause;
  // Runs on each simulated unit's machine before it is attached: tests inject faults here.
  std::function<void(backend::SimulatedBackend&)> simulatedUnitHook;
};

// What the front end shows of a run. Called on the thread that runs it.
class RunObserver {
 public:
  virtual ~RunObserver() = default;
  // Every check passed; the units come next. supply: what the source can still give (none for
  // a run that keeps the template's serial).
  virtual void Started(std::string_view source, const std::optional<SerialSupply>& supply) = 0;
  // A unit is done: its serial recorded, before its log row is written.
  virtual void UnitDone(uint64_t number, const UnitRecord& record) = 0;
  // What is worth knowing and changes nothing (a serial recorded as abandoned).
  virtual void Note(std::string_view text) = 0;
  // Why the run stopped before its end: a serial source, a log or a trace that failed, or a
  // folder of units that cannot be read.
  virtual void Stopped(std::string_view reason) = 0;
};

struct RunSummary {
  uint64_t programmed = 0;
  uint64_t failed = 0;
  bool stopped = false;  // Stopped was called
};

class ProductionRun {
 public:
  // serials: the line's source; null keeps each unit's Serial string as the template has it.
  ProductionRun(RunSettings settings, std::unique_ptr<SerialSource> serials, RunObserver& observer);
  ~ProductionRun();
  ProductionRun(const ProductionRun&) = delete;
  ProductionRun& operator=(const ProductionRun&) = delete;

  // Everything checked before the first unit, nothing written: the log and the trace can be
  // appended to, the source is sound and has serials left, the template fits with the longest
  // of them. "" or the one-line reason.
  std::string Check();
  // Programs the units (Check first) until they are done, the run is stopped or something it
  // needs fails.
  RunSummary Run();

  // Safe from any thread and from a signal handler. The first ends the run once the unit under
  // way is done; the second aborts that unit at once.
  void Interrupt() { interrupts_.fetch_add(1); }
  bool Interrupted() const { return interrupts_.load() != 0; }

 private:
  bool Finished() const;
  void ProgramOne(const backend::DeviceOptions& selection, bool nackWrites);
  std::optional<std::string> SerialFor(const std::string& carried, std::string& error, bool& fatal,
                                       bool& kept);
  // The unit's record through the source, the log and the trace; false stops the run.
  bool Keep(const UnitRecord& record);
  void Stop(std::string_view reason);
  void RunSimulatedFolder();
  void RunAttachedUnits();

  RunSettings settings_;
  std::unique_ptr<SerialSource> serials_;
  RunObserver& observer_;
  std::optional<RecordTarget> log_;
  std::optional<RecordTarget> trace_;
  UnitTrace unitTrace_;
  std::optional<SerialSupply> supply_;
  RunSummary summary_;
  std::atomic<int> interrupts_{0};
};

}  // namespace veltra::production
