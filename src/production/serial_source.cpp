#include "production/serial_source.h"

namespace veltra::production {

std::string_view SerialStateName(SerialState state) {
  switch (state) {
    case SerialState::kNotGiven:
      return "not-given";
    case SerialState::kReserved:
      return "reserved";
    case SerialState::kProgrammed:
      return "programmed";
    case SerialState::kFailed:
      return "failed";
    case SerialState::kVoid:
      return "void";
    case SerialState::kAbandoned:
      return "abandoned";
  }
  return "";
}

SerialState FateOf(const UnitRecord& record) {
  if (record.result == kResultOk) return SerialState::kProgrammed;
  if (record.result == kResultRefused) return SerialState::kVoid;
  return SerialState::kFailed;
}

}  // namespace veltra::production
