#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <QByteArray>
#include <QString>

#include "outcome_checks.h"
#include "platform/sim/eeprom_part.h"

// The soak run: random operations through the real main window on a simulated device, some of
// them with a fault, each checked against what the EEPROM must hold afterwards.
namespace veltra::app::testing {

struct SoakOptions {
  uint64_t seed = 1;
  sim::EepromPart part = sim::EepromPart::k24C64;
  double faultChance = 0.35;  // of an operation that talks to the device
};

struct SoakFigures {
  uint64_t operations = 0;
  std::map<std::string, uint64_t> byKind;
  uint64_t withFault = 0;
  uint64_t reported = 0;     // failed, with the operation's message
  uint64_t succeeded = 0;    // device operations that reported success
  uint64_t cutsChecked = 0;  // failed writes whose EEPROM was checked old / new
  int64_t virtualNs = 0;
};

class Soak {
 public:
  explicit Soak(const SoakOptions& options);
  ~Soak();
  Soak(const Soak&) = delete;
  Soak& operator=(const Soak&) = delete;

  // Runs that many more operations; false at the first check that fails (see Problem()).
  bool Run(uint64_t operations);
  // The seed, the operation and what went wrong.
  const std::string& Problem() const { return problem_; }
  const SoakFigures& Figures() const { return figures_; }

 private:
  enum class Kind { kConnect, kSave, kRefresh, kDump, kLoad, kErase, kUnplug, kReplug };
  static const char* Name(Kind kind);

  bool Step();
  Kind Choose();
  void InjectFault(Kind kind);
  bool Click(const char* id);
  void EditPages();

  // Each returns "" or what is wrong after the operation.
  std::string Connect(Kind kind);
  std::string Save();
  std::string Dump();
  std::string Load();
  std::string Erase();
  // A write of `intended` over expected_ that the operation says failed (`failed`) or not.
  std::string JudgeWrite(bool succeeded, bool failed, const std::vector<uint8_t>& intended);
  // "" when the window shows what the expected EEPROM holds.
  std::string ShowsExpected();
  std::string CheckAfter();

  uint64_t Uniform(uint64_t from, uint64_t to);
  QString RandomText(int minLength, int maxLength);

  SoakOptions options_;
  std::mt19937_64 random_;
  std::unique_ptr<AppHarness> app_;
  uint32_t transferLength_ = 0;
  uint8_t lastByte_ = 0;                 // the EEPROM's last byte, never part of a transfer
  std::vector<uint8_t> expected_;        // what the EEPROM must hold over the transfer length
  std::optional<QString> savedProduct_;  // the product string of the image expected_ is
  std::map<QString, QByteArray> files_;  // .bin files and what they must hold
  std::map<Kind, uint64_t> requests_;    // the last fault-free request count of each kind
  bool faulted_ = false;                 // the running operation has a fault
  std::string faultText_;
  std::string problem_;
  SoakFigures figures_;
};

}  // namespace veltra::app::testing
