#include "production/unit_trace.h"

#include "production/durable_append.h"

namespace veltra::production {

std::string UnitTrace::Check() const {
  const std::string problem = AppendDurably(path_, "");
  return problem.empty() ? "" : "trace " + path_ + ": " + problem;
}

void UnitTrace::Line(std::string_view line) {
  text_ += line;
  text_ += '\n';
}

std::string UnitTrace::AppendUnit(uint64_t number, const UnitRecord& record) {
  const std::string head = "# unit " + std::to_string(number) + ": " +
                           (record.serial.empty() ? "-" : record.serial) + ' ' + record.result +
                           ' ' + record.devicePath + '\n';
  const std::string problem = AppendDurably(path_, head + text_);
  text_.clear();
  return problem.empty() ? "" : "trace " + path_ + ": " + problem;
}

}  // namespace veltra::production
