#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/vendor_request_trace.h"
#include "production/production_log.h"

namespace veltra::production {

// The vendor requests of the unit under way, for a production run's trace: one file per line
// beside the log, each unit's requests appended once the unit is done, under a comment line
// naming the unit, its serial, result and device, so the trace is searchable by serial and a
// kill loses the unit under way only.
class UnitTrace final : public platform::TraceSink {
 public:
  void Line(std::string_view line) override;
  // The unit's comment line and its requests; the next unit starts afresh.
  std::string TakeUnit(uint64_t number, const UnitRecord& record);

 private:
  std::string text_;
};

}  // namespace veltra::production
