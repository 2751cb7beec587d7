#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/vendor_request_trace.h"
#include "production/production_log.h"

namespace veltra::production {

// The trace of a production run: each unit's vendor requests are appended to the one file once
// the unit is done, under a comment line naming the unit, its serial, result and device. One file
// per line beside the log, searchable by serial; appended and synced per unit as the log is, so a
// kill loses the unit under way only and a later run never replaces the trace of an earlier one.
class UnitTrace final : public platform::TraceSink {
 public:
  explicit UnitTrace(std::string path) : path_(std::move(path)) {}
  // "" when the file can be appended to (made when missing), else the reason naming it.
  std::string Check() const;
  void Line(std::string_view line) override;
  // Appends the unit's line and its requests, then starts on the next unit: "" or the reason.
  std::string AppendUnit(uint64_t number, const UnitRecord& record);

 private:
  std::string path_;
  std::string text_;
};

}  // namespace veltra::production
