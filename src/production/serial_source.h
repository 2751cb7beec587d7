#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "production/production_log.h"

// Where a production line's serials come from: one source for the whole line, giving each serial
// out at most once across every process and station that shares it, and keeping what became of
// each. A reserved serial becomes programmed, failed or void; one whose run ended before it
// recorded that is recorded once as abandoned.
namespace veltra::production {

enum class SerialState { kNotGiven, kReserved, kProgrammed, kFailed, kVoid, kAbandoned };

// "not-given", "reserved", "programmed", "failed", "void", "abandoned".
std::string_view SerialStateName(SerialState state);

// What a unit's record makes of its serial: programmed when it passed, void when it was refused
// before anything was written, failed otherwise.
SerialState FateOf(const UnitRecord& record);

// What a source can still give, told before the first unit.
struct SerialSupply {
  uint64_t left = 0;
  std::string next;     // what the next reservation gives; "" when nothing is left
  std::string longest;  // the longest serial it may give, for the template's fit
};

class SerialSource {
 public:
  virtual ~SerialSource() = default;

  // One line for a person: "counter c.txt (VT-%06u)".
  virtual std::string Describe() const = 0;
  // Checks the source before the first unit and tells what it can still give; nullopt with the
  // one-line reason in error. Writes nothing.
  virtual std::optional<SerialSupply> SerialsLeft(std::string& error) = 0;
  // Records as abandoned each serial that a run reserved and ended without recording, once; the
  // serials it recorded now, for the run's log. nullopt with the reason in error.
  virtual std::optional<std::vector<std::string>> RecordAbandoned(std::string& error) = 0;
  // The next serial, reserved for the unit about to be written and never given out again;
  // nullopt with the reason in error.
  virtual std::optional<std::string> Reserve(std::string& error) = 0;
  // What the source knows of a serial: kNotGiven when it never gave it out. nullopt with the
  // reason in error.
  virtual std::optional<SerialState> StateOf(const std::string& serial, std::string& error) = 0;
  // A unit's outcome: its serial (reserved, or kept for rework) takes FateOf(record). A source
  // may keep units without a serial too. "" or the reason.
  virtual std::string Record(const UnitRecord& record) = 0;
  // Gives a serial up for good, with why: "" or the reason.
  virtual std::string Void(const std::string& serial, std::string_view reason) = 0;
};

}  // namespace veltra::production
