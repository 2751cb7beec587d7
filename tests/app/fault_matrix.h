#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "outcome_checks.h"
#include "platform/sim/eeprom_part.h"
#include "platform/sim/request_log.h"

// The fault matrix: one device operation, driven through the real main window on a simulated
// device, run again and again with one fault at one of its requests.
namespace veltra::app::testing {

enum class MatrixOperation { kSave, kConnect, kDump };

// What goes wrong at request N (counted from the click that starts the operation, 1-based).
enum class FaultKind {
  kFailOnce,  // request N fails
  kNack,      // the EEPROM acknowledges nothing from N until the I2C master is disabled
  kBusy,      // the I2C master stays busy from N until it is disabled
  kUnplug,    // the device is pulled out right after request N
};

enum class RunOutcome {
  kCompleted,  // the operation succeeded all the same, and its result is right
  kReported,   // it failed with its own message, and the state afterwards is sound
  kSilent,     // its result is wrong and nothing said so
  kWrong,      // a wrong or missing message, or a state check failed
  kHung,       // it did not end within its bound
};

const char* Name(MatrixOperation operation);
const char* Name(FaultKind fault);
const char* Name(RunOutcome outcome);
std::optional<MatrixOperation> OperationFromName(const std::string& name);
std::optional<FaultKind> FaultFromName(const std::string& name);

struct RunResult {
  RunOutcome outcome = RunOutcome::kWrong;
  std::string detail;  // what was seen; why, for anything but completed and reported
  // A failed write: the chunk the transport was writing when it stopped, [first, end). The
  // EEPROM must hold the new image before it and the old one from its end on.
  std::optional<std::pair<uint32_t, uint32_t>> failedChunk;
  // Bytes of that chunk that are neither the new nor the old ones.
  uint32_t mixedBytes = 0;
  int64_t virtualNs = 0;  // the virtual time the operation took
};

class FaultMatrix {
 public:
  // Builds the window on a fresh device with the factory image and runs the operation once
  // without a fault; Ready() says whether that went as it must.
  FaultMatrix(MatrixOperation operation, sim::EepromPart part);
  ~FaultMatrix();
  FaultMatrix(const FaultMatrix&) = delete;
  FaultMatrix& operator=(const FaultMatrix&) = delete;

  bool Ready() const { return problem_.empty(); }
  const std::string& Problem() const { return problem_; }
  // The requests the operation sends without a fault.
  uint64_t Requests() const { return requests_; }
  int64_t ReferenceNs() const { return referenceNs_; }

  RunResult Run(FaultKind fault, uint64_t request);

 private:
  // Back to the state before the operation: fault-free, the device plugged, the EEPROM holding
  // its first contents, the window connected (Save, Dump) or not (Connect).
  bool Prepare(std::string& problem);
  bool ConnectWindow();
  QString TypeName() const;  // in the EEPROM TYPE list
  void Edit();
  // Clicks the operation's button; false when it did not end in time.
  bool Click();
  // One request as it shows in the request log, without its data.
  struct Request {
    uint32_t ioctl = 0;
    platform::VendorPacket packet;
    friend bool operator==(const Request& a, const Request& b) {
      return a.ioctl == b.ioctl && a.packet.requestCode == b.packet.requestCode &&
             a.packet.index == b.packet.index && a.packet.length == b.packet.length;
    }
  };
  // The requests of the click, numbered from 1; the log is cleared.
  std::vector<sim::RequestRecord> TakeLog(uint64_t base);
  RunResult Judge(bool ended, int64_t virtualNs, const std::vector<sim::RequestRecord>& log);
  RunResult JudgeSave(const std::vector<sim::RequestRecord>& log);
  RunResult JudgeConnect();
  RunResult JudgeDump();

  MatrixOperation operation_;
  sim::EepromPart part_;
  uint32_t transferLength_ = 0;
  std::unique_ptr<AppHarness> app_;
  std::string problem_;
  uint64_t requests_ = 0;
  std::vector<Request> referenceRequests_;
  int64_t referenceNs_ = 0;
  std::vector<uint8_t> old_;      // the EEPROM before the operation
  std::vector<uint8_t> written_;  // Save: what it writes
  ModelSnapshot reference_;       // Connect: what a clean read shows
  QString dumpFile_;              // Dump: the file chosen
  QByteArray previousFile_;       // ... and what it held before
};

}  // namespace veltra::app::testing
