#include "backend/transfer_failure.h"

namespace veltra::backend {

std::string TransferFailureText(DeviceBackend& backend, std::string_view text) {
  std::string reason(text);
  if (const std::string problem = backend.StorageProblem(); !problem.empty()) {
    reason += ": " + problem;
  } else if (const std::string fault = backend.Transport().LastFaultText(); !fault.empty()) {
    reason += ": " + fault;
  }
  return reason;
}

}  // namespace veltra::backend
