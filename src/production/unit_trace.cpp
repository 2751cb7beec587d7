#include "production/unit_trace.h"

#include <utility>

namespace veltra::production {

void UnitTrace::Line(std::string_view line) {
  text_ += line;
  text_ += '\n';
}

std::string UnitTrace::TakeUnit(uint64_t number, const UnitRecord& record) {
  const std::string head = "# unit " + std::to_string(number) + ": " +
                           (record.serial.empty() ? "-" : record.serial) + ' ' + record.result +
                           ' ' + record.devicePath + '\n';
  return head + std::exchange(text_, {});
}

}  // namespace veltra::production
