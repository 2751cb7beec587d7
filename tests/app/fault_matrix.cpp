#include "fault_matrix.h"

#include <QLineEdit>

#include "device/eeprom_types.h"
#include "image/eeprom_config.h"
#include "image/operation_texts.h"
#include "pages/usb_config_page.h"
#include "platform/sim/sim_system.h"

namespace veltra::app::testing {

namespace {

namespace text = image::text;

constexpr int64_t kSecond = 1'000'000'000;
constexpr int kRealTimeoutMs = 20'000;

// Configurations are equal whatever pages the window shows for them.
bool SameConfiguration(ModelSnapshot a, ModelSnapshot b) {
  a.pages.clear();
  b.pages.clear();
  return a == b;
}

const QStringList kBasePages = {QStringLiteral("USB Config"), QStringLiteral("Audio I/O Config"),
                                QStringLiteral("MCU Config")};

}  // namespace

const char* Name(MatrixOperation operation) {
  switch (operation) {
    case MatrixOperation::kSave:
      return "save";
    case MatrixOperation::kConnect:
      return "connect";
    case MatrixOperation::kDump:
      return "dump";
  }
  return "?";
}

const char* Name(FaultKind fault) {
  switch (fault) {
    case FaultKind::kFailOnce:
      return "fail";
    case FaultKind::kNack:
      return "nack";
    case FaultKind::kBusy:
      return "busy";
    case FaultKind::kUnplug:
      return "unplug";
  }
  return "?";
}

const char* Name(RunOutcome outcome) {
  switch (outcome) {
    case RunOutcome::kCompleted:
      return "completed";
    case RunOutcome::kReported:
      return "reported";
    case RunOutcome::kSilent:
      return "silent";
    case RunOutcome::kWrong:
      return "wrong";
    case RunOutcome::kHung:
      return "hung";
  }
  return "?";
}

std::optional<MatrixOperation> OperationFromName(const std::string& name) {
  for (MatrixOperation operation :
       {MatrixOperation::kSave, MatrixOperation::kConnect, MatrixOperation::kDump})
    if (name == Name(operation)) return operation;
  return std::nullopt;
}

std::optional<FaultKind> FaultFromName(const std::string& name) {
  for (FaultKind fault :
       {FaultKind::kFailOnce, FaultKind::kNack, FaultKind::kBusy, FaultKind::kUnplug})
    if (name == Name(fault)) return fault;
  return std::nullopt;
}

FaultMatrix::FaultMatrix(MatrixOperation operation, sim::EepromPart part)
    : operation_(operation), part_(part), transferLength_(sim::PartInfo(part).size - 1) {
  HarnessOptions options;
  options.device.eeprom = device::EepromTypeBySize(sim::PartInfo(part).size);
  app_ = std::make_unique<AppHarness>(options);
  // Only requests and waits move the clock: every run sends the same requests.
  app_->Simulated().System().Clock().SetFollowRealTime(false);
  old_ = app_->EepromBytes();
  dumpFile_ = app_->TempPath(QStringLiteral("dump.bin"));
  previousFile_ = QByteArrayLiteral("the dump made before");

  std::string problem;
  if (!Prepare(problem)) {
    problem_ = "before the run without a fault: " + problem;
    return;
  }
  sim::SimSystem& system = app_->Simulated().System();
  const uint64_t base = system.RequestCount();
  const int64_t start = system.Clock().NowNs();
  system.ClearRequestLog();
  system.SetRequestLogEnabled(true);
  const bool ended = Click();
  requests_ = system.RequestCount() - base;
  referenceNs_ = system.Clock().NowNs() - start;
  for (const sim::RequestRecord& record : TakeLog(base))
    referenceRequests_.push_back({record.ioctl, record.packet});
  const QStringList messages = app_->Dialogs().Messages();
  if (!ended) {
    problem_ = "the run without a fault did not end";
  } else if (const std::string release = ReleaseProblem(*app_); !release.empty()) {
    problem_ = "the run without a fault: " + release;
  }
  if (!problem_.empty()) return;

  switch (operation_) {
    case MatrixOperation::kSave: {
      written_ = app_->EepromBytes();
      const auto image = app_->Window().Model().ImageBuffer();
      if (messages != QStringList{text::kSaveDone} || written_ == old_ ||
          !std::equal(written_.begin(), written_.begin() + transferLength_, image.begin()))
        problem_ = "the save without a fault: " + DescribeMessages(messages).toStdString();
      break;
    }
    case MatrixOperation::kConnect:
      reference_ = TakeSnapshot(app_->Window());
      if (!messages.isEmpty() || !app_->Window().IsConnected() || reference_.empty)
        problem_ = "the connect without a fault: " + DescribeMessages(messages).toStdString();
      break;
    case MatrixOperation::kDump:
      if (messages != QStringList{text::kDumpDone} ||
          ReadFile(dumpFile_) != Bytes(std::span(old_).first(transferLength_)))
        problem_ = "the dump without a fault: " + DescribeMessages(messages).toStdString();
      break;
  }
}

FaultMatrix::~FaultMatrix() = default;

bool FaultMatrix::ConnectWindow() {
  app_->ChooseType(TypeName());
  app_->TypeIds(QStringLiteral("5A52"), QStringLiteral("7731"));
  app_->Button("1017")->click();
  if (!WaitReleased(app_->Window(), kRealTimeoutMs)) return false;
  Settle();
  return app_->Window().IsConnected();
}

QString FaultMatrix::TypeName() const {
  return QStringLiteral("S") + QString::fromLatin1(sim::PartInfo(part_).name);
}

void FaultMatrix::Edit() {
  // A longer product string moves every section after it: most bytes of the image change.
  auto* product = app_->Window().UsbPage().findChild<QLineEdit*>(QStringLiteral("1019"));
  if (product != nullptr) product->setText(QStringLiteral("Fault matrix run"));
}

bool FaultMatrix::Prepare(std::string& problem) {
  AppHarness& app = *app_;
  sim::SimSystem& system = app.Simulated().System();
  app.SetFaults({});
  Settle();
  if (!app.Backend().IsPlugged()) {
    app.Backend().Plug();
    Settle();
  }
  {
    auto lock = system.Lock();
    sim::SimUsbDevice& device = app.Simulated().Device();
    device.Chip().PowerOn();
    device.Eeprom().Contents() = old_;
  }
  system.Clock().Advance(kSecond);  // any write cycle is over

  CDemoDlg& window = app.Window();
  if (operation_ == MatrixOperation::kSave && window.IsConnected()) {
    // Every Save starts from a fresh read, as the run without a fault did: to a window that
    // still knew what it wrote, the contents restored above would be another program's change.
    app.Dialogs().AnswerQuestion(true);
    app.Button("1017")->click();
    Settle();
    if (window.IsConnected()) {
      problem = "the window stays connected after Stop";
      return false;
    }
  }
  if (operation_ == MatrixOperation::kConnect) {
    // Connected, then stopped: a failed read leaves the device attached, which the next
    // Connect would let go first, with one more request.
    if (!window.IsConnected() && !ConnectWindow()) {
      problem = "cannot connect: " + DescribeMessages(app.Dialogs().Messages()).toStdString();
      return false;
    }
    app.Dialogs().AnswerQuestion(true);
    app.Button("1017")->click();
    Settle();
    if (window.IsConnected()) {
      problem = "the window stays connected after Stop";
      return false;
    }
    app.ChooseType(TypeName());
    app.TypeIds(QStringLiteral("5A52"), QStringLiteral("7731"));
  } else if (!window.IsConnected()) {
    if (!ConnectWindow()) {
      problem = "cannot connect: " + DescribeMessages(app.Dialogs().Messages()).toStdString();
      return false;
    }
    if (operation_ == MatrixOperation::kSave) Edit();
  }
  if (operation_ == MatrixOperation::kDump) {
    if (!WriteFile(dumpFile_, previousFile_)) {
      problem = "cannot write " + dumpFile_.toStdString();
      return false;
    }
  }
  Settle();
  app.Dialogs().Clear();
  if (operation_ == MatrixOperation::kDump) app.Dialogs().AnswerFile(dumpFile_);
  return true;
}

bool FaultMatrix::Click() {
  const char* id = "3";
  if (operation_ == MatrixOperation::kConnect) id = "1017";
  if (operation_ == MatrixOperation::kDump) id = "1160";
  QPushButton* button = app_->Button(id);
  if (button == nullptr || !button->isEnabled()) return false;
  button->click();
  const bool ended = WaitReleased(app_->Window(), kRealTimeoutMs);
  Settle();
  return ended;
}

RunResult FaultMatrix::Run(FaultKind fault, uint64_t request) {
  std::string problem;
  if (!Prepare(problem)) return {RunOutcome::kWrong, "cannot prepare the run: " + problem};
  sim::SimSystem& system = app_->Simulated().System();
  const uint64_t at = system.RequestCount() + request;
  sim::Faults faults;
  switch (fault) {
    case FaultKind::kFailOnce:
      faults.failRequest = at;
      break;
    case FaultKind::kNack:
      faults.nackFrom = at;
      break;
    case FaultKind::kBusy:
      faults.busyFrom = at;
      break;
    case FaultKind::kUnplug:
      faults.unplugAfter = at;
      break;
  }
  app_->SetFaults(faults);
  const int64_t start = system.Clock().NowNs();
  system.ClearRequestLog();
  const bool ended = Click();
  const std::vector<sim::RequestRecord> log = TakeLog(at - request);
  RunResult result = Judge(ended, system.Clock().NowNs() - start, log);
  app_->SetFaults({});
  // The run went the way of the one without a fault up to its fault, or it tested another
  // request than it says.
  for (const sim::RequestRecord& record : log) {
    const uint64_t n = record.sequence;
    if (n >= request) break;
    if (n > referenceRequests_.size() ||
        !(Request{record.ioctl, record.packet} == referenceRequests_[n - 1])) {
      result.outcome = RunOutcome::kWrong;
      result.detail = "request " + std::to_string(n) + " is not the one of the run without a fault";
      break;
    }
  }
  return result;
}

std::vector<sim::RequestRecord> FaultMatrix::TakeLog(uint64_t base) {
  sim::SimSystem& system = app_->Simulated().System();
  std::vector<sim::RequestRecord> log = system.RequestLog();
  system.ClearRequestLog();
  std::erase_if(log, [&](const sim::RequestRecord& record) { return record.sequence <= base; });
  for (sim::RequestRecord& record : log)
    record.sequence -= base;
  return log;
}

RunResult FaultMatrix::Judge(bool ended, int64_t virtualNs,
                             const std::vector<sim::RequestRecord>& log) {
  RunResult result;
  result.virtualNs = virtualNs;
  if (!ended) {
    result.outcome = RunOutcome::kHung;
    result.detail = "the window was not released within 20 s";
    return result;
  }
  // A fault costs at most a few chunks' retries on top of the run without one.
  if (virtualNs > 2 * referenceNs_ + 5 * kSecond) {
    result.outcome = RunOutcome::kHung;
    result.detail = "took " + std::to_string(virtualNs / 1'000'000) + " ms of virtual time";
    return result;
  }
  switch (operation_) {
    case MatrixOperation::kSave:
      result = JudgeSave(log);
      break;
    case MatrixOperation::kConnect:
      result = JudgeConnect();
      break;
    case MatrixOperation::kDump:
      result = JudgeDump();
      break;
  }
  result.virtualNs = virtualNs;
  if (result.outcome != RunOutcome::kCompleted && result.outcome != RunOutcome::kReported)
    return result;
  if (const std::string release = ReleaseProblem(*app_); !release.empty()) {
    result.outcome = RunOutcome::kWrong;
    result.detail += "; " + release;
  } else if (app_->Window().IsConnected() && !app_->Backend().IsPlugged()) {
    result.outcome = RunOutcome::kWrong;
    result.detail += "; still connected to a device that is gone";
  }
  return result;
}

RunResult FaultMatrix::JudgeSave(const std::vector<sim::RequestRecord>& log) {
  const QStringList messages = app_->Dialogs().Messages();
  const std::vector<uint8_t> now = app_->EepromBytes();
  RunResult result;
  result.detail = DescribeMessages(messages).toStdString();
  const bool lastByteKept = now[transferLength_] == old_[transferLength_];
  const bool complete =
      std::equal(written_.begin(), written_.begin() + transferLength_, now.begin());
  if (messages == QStringList{text::kSaveDone}) {
    result.outcome = complete && lastByteKept ? RunOutcome::kCompleted : RunOutcome::kSilent;
    if (result.outcome == RunOutcome::kSilent) result.detail += "; the EEPROM is not the image";
    return result;
  }
  if (messages != QStringList{QString::fromLatin1(image::kOperateEepromFailedText)}) {
    result.outcome = messages.isEmpty() && !complete ? RunOutcome::kSilent : RunOutcome::kWrong;
    return result;
  }
  // The checks before the write and the read-back after it only read: a fault there fails the
  // Save with the EEPROM as it was, or as written.
  if (now == old_ || complete) {
    result.outcome = lastByteKept ? RunOutcome::kReported : RunOutcome::kWrong;
    return result;
  }
  // The chunk being written when the transfer stopped: the one whose write command record went
  // out last (the first chunk when none did).
  const uint32_t eepromSize = transferLength_ + 1;
  const uint32_t page = TransportPage(eepromSize);
  uint32_t first = 0;
  for (const sim::RequestRecord& record : log) {
    if (record.ioctl != platform::kIoctlVendorRequest ||
        record.packet.requestCode != platform::kRequestWrite || record.packet.index != 0x80 ||
        record.packet.length != 16 || record.data.size() < 3 || (record.data[0] & 1) != 0)
      continue;
    // Below 4 KiB the device address byte carries address bits 10..8.
    first = eepromSize >= 4096 ? uint32_t{record.data[2]} << 8 | record.data[1]
                               : uint32_t{record.data[0] & 0x0Eu} << 7 | record.data[1];
  }
  const uint32_t end = std::min(first - first % page + page, transferLength_);
  result.failedChunk = std::make_pair(first, end);
  bool sound = lastByteKept;
  for (uint32_t i = 0; i < transferLength_; ++i) {
    if (i < first) {
      sound = sound && now[i] == written_[i];
    } else if (i >= end) {
      sound = sound && now[i] == old_[i];
    } else if (now[i] != written_[i] && now[i] != old_[i]) {
      ++result.mixedBytes;
    }
  }
  result.outcome = sound ? RunOutcome::kReported : RunOutcome::kWrong;
  if (!sound) result.detail += "; bytes outside the failed chunk are not new before it, old after";
  return result;
}

RunResult FaultMatrix::JudgeConnect() {
  const QStringList messages = app_->Dialogs().Messages();
  CDemoDlg& window = app_->Window();
  const ModelSnapshot shown = TakeSnapshot(window);
  RunResult result;
  result.detail = DescribeMessages(messages).toStdString();
  if (app_->EepromBytes() != old_) {
    result.outcome = RunOutcome::kWrong;
    result.detail += "; a read changed the EEPROM";
  } else if (window.IsConnected()) {
    if (shown != reference_) {
      result.outcome = RunOutcome::kSilent;
      result.detail += "; shows a configuration the device does not hold";
    } else {
      result.outcome = messages.isEmpty() ? RunOutcome::kCompleted : RunOutcome::kWrong;
    }
  } else if (messages == QStringList{text::kCannotFindDevice} ||
             messages == QStringList{text::kReadFailed}) {
    // Not connected, and nothing half read kept: the model is empty or as it was before.
    const bool keptNothing =
        window.Model().Sections().empty() || SameConfiguration(shown, reference_);
    result.outcome =
        keptNothing && shown.pages == kBasePages ? RunOutcome::kReported : RunOutcome::kWrong;
    if (!keptNothing) result.detail += "; the model keeps part of a read";
  } else if (messages.isEmpty() && !app_->Backend().IsPlugged() &&
             SameConfiguration(shown, reference_) && shown.pages == kBasePages) {
    // Read whole, then the device went away: the window let it go without a word.
    result.outcome = RunOutcome::kCompleted;
  } else {
    result.outcome = messages.isEmpty() ? RunOutcome::kSilent : RunOutcome::kWrong;
  }
  return result;
}

RunResult FaultMatrix::JudgeDump() {
  const QStringList messages = app_->Dialogs().Messages();
  const QByteArray file = ReadFile(dumpFile_);
  RunResult result;
  result.detail = DescribeMessages(messages).toStdString();
  if (app_->EepromBytes() != old_) {
    result.outcome = RunOutcome::kWrong;
    result.detail += "; a read changed the EEPROM";
  } else if (messages == QStringList{text::kDumpDone}) {
    result.outcome = file == Bytes(std::span(old_).first(transferLength_)) ? RunOutcome::kCompleted
                                                                           : RunOutcome::kSilent;
    if (result.outcome == RunOutcome::kSilent) result.detail += "; the file is not the EEPROM";
  } else if (messages == QStringList{text::kReadFailed}) {
    result.outcome = file == previousFile_ ? RunOutcome::kReported : RunOutcome::kWrong;
    if (file != previousFile_) result.detail += "; the chosen file changed";
  } else {
    result.outcome = messages.isEmpty() ? RunOutcome::kSilent : RunOutcome::kWrong;
  }
  return result;
}

}  // namespace veltra::app::testing
