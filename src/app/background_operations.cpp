#include "app/background_operations.h"

#include <algorithm>
#include <filesystem>
#include <new>
#include <vector>

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QWidget>

#include "app/progress_window.h"
#include "device/progress_tally.h"
#include "device/transport.h"
#include "device/write_check.h"
#include "image/bin_file.h"
#include "image/eeprom_config.h"
#include "image/image_layout.h"
#include "image/operation_texts.h"
#include "image/part_probe.h"
#include "platform/file_replace.h"
#include "ui/user_dialogs.h"

namespace veltra::app {

namespace {

std::filesystem::path ToPath(const QString& file) {
  return std::filesystem::path(file.toStdU16String());
}

// A named pipe would hold the worker, and the disabled window with it, until some other
// process opened the pipe's other end: only regular files are read or overwritten.
bool ExistsButIsNoRegularFile(const QString& file) {
  const QFileInfo info(file);
  return info.exists() && !info.isFile();
}

QString Latin1(std::string_view text) {
  return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

QString NoRegularFile(const QString& file) {
  return file + QStringLiteral(": not a regular file");
}

// A buffer of the transfer length, or nothing when there is no memory for it.
std::optional<std::vector<uint8_t>> TransferBuffer(uint32_t length) {
  try {
    return std::vector<uint8_t>(length, 0);
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
}

}  // namespace

BackgroundOperations::BackgroundOperations(Services services, QObject* parent)
    : QObject(parent), services_(std::move(services)), bridge_(&services_.mainWindow) {}

BackgroundOperations::~BackgroundOperations() {
  // The threads end by themselves once the operation has run its course; an operation still
  // running needs the GUI thread for its hand-overs, so keep serving it until it is done.
  while (busy_)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  if (progressThread_.joinable()) progressThread_.join();
  if (workerThread_.joinable()) workerThread_.join();
}

bool BackgroundOperations::Start(int operationCode, int signalOnFinish) {
  if (busy_) return false;
  // Both threads of the previous operation have finished their work; collect them.
  if (progressThread_.joinable()) progressThread_.join();
  if (workerThread_.joinable()) workerThread_.join();
  services_.state.operationCode = operationCode;
  services_.state.signalOnFinish = signalOnFinish;
  busy_ = true;
  focusBefore_ = services_.mainWindow.focusWidget();
  services_.mainWindow.setEnabled(false);
  try {
    progressThread_ = std::thread(&BackgroundOperations::ProgressThread, this);
  } catch (const std::system_error&) {
    busy_ = false;
    services_.mainWindow.setEnabled(true);
    return false;
  }
  return true;
}

void BackgroundOperations::ProgressThread() {
  bridge_.Call([this] {
    services_.progress.ResetProgress();
    services_.progress.ShowOverMainWindow();
    services_.mainWindow.setEnabled(false);
  });
  bridge_.Call([this] { StartWorker(); });  // kStartOperationMessage
  services_.completion.Wait();
  const int code = services_.state.operationCode;
  bridge_.Call([this, code] { Finish(code); });
}

void BackgroundOperations::StartWorker() {
  try {
    workerThread_ = std::thread(&BackgroundOperations::WorkerThread, this);
  } catch (const std::system_error&) {
    // Without a worker nothing would ever signal the event: end the operation here.
    services_.completion.Set();
  }
}

void BackgroundOperations::Finish(int operationCode) {
  services_.progress.hide();
  busy_ = false;
  emit Ending(operationCode);
  services_.mainWindow.setEnabled(true);
  RestoreKeyboardFocus();
  // Queued: a slot that starts the next operation must not run inside this hand-over, while
  // the progress thread still waits for it to return.
  QMetaObject::invokeMethod(
      this, [this, operationCode] { emit Finished(operationCode); }, Qt::QueuedConnection);
}

void BackgroundOperations::RestoreKeyboardFocus() {
  // Disabling the window took the keyboard focus from its control: the control gets it back, so
  // that a keyboard user goes on from the command just given. The activation is the window
  // manager's to give back: taking it here would steal it from whatever the user turned to.
  if (QWidget* control = focusBefore_.data();
      control != nullptr && control->window() == &services_.mainWindow && control->isEnabled() &&
      control->isVisible() && services_.mainWindow.focusWidget() == nullptr) {
    control->setFocus(Qt::OtherFocusReason);
  }
  focusBefore_.clear();
}

void BackgroundOperations::WorkerThread() {
  const int code = services_.state.operationCode;
  device::ProgressTally tally([this](uint64_t done, uint64_t toDo) { ReportProgress(done, toDo); },
                              &services_.transport);
  // What each operation moves is known before it starts, but for a read's sections (the model
  // announces them once it has read the directory): a write is read back, so it comes twice.
  const uint64_t length = services_.state.transferLength;
  const auto writeAndReadBack = [&tally](uint64_t bytes) {
    tally.Expect(bytes, device::TransferKind::kWrite);
    tally.Expect(bytes, device::TransferKind::kRead);
  };
  switch (code) {
    case kErase:
    case kLoadFromFile:
      writeAndReadBack(length);
      break;
    case kDumpToFile:
      tally.Expect(length);
      break;
    case kSaveImage:
      // The Save packs again before it writes: the same bytes.
      services_.model.Pack();
      writeAndReadBack(services_.model.WriteLength());
      break;
    case kReadImage:
      tally.Expect(image::kHeaderReadLength);
      services_.model.SetReadAnnouncer([&tally](uint64_t bytes) { tally.Expect(bytes); });
      break;
    default:
      break;
  }
  tally_ = &tally;
  PauseProgress(false);
  Run(code);
  PauseProgress(true);
  services_.model.SetReadAnnouncer({});
  tally_ = nullptr;
  if (services_.state.signalOnFinish == 1) services_.completion.Set();
}

void BackgroundOperations::PauseProgress(bool paused) {
  services_.transport.SetProgress(paused || tally_ == nullptr ? device::TransferProgress{}
                                                              : tally_->Callback());
}

void BackgroundOperations::ReportProgress(uint64_t done, uint64_t toDo) {
  progressDone_.store(done);
  progressToDo_.store(toDo);
  progressSecondsLeft_.store(tally_ != nullptr ? tally_->SecondsLeft().value_or(-1) : -1);
  if (progressPending_.exchange(true)) return;
  QMetaObject::invokeMethod(this, &BackgroundOperations::ShowProgress, Qt::QueuedConnection);
}

void BackgroundOperations::ShowProgress() {
  progressPending_.store(false);
  const int64_t secondsLeft = progressSecondsLeft_.load();
  services_.progress.SetProgress(progressDone_.load(), progressToDo_.load(),
                                 secondsLeft >= 0 ? std::optional(secondsLeft) : std::nullopt);
}

void BackgroundOperations::Run(int operationCode) {
  switch (operationCode) {
    case kSaveImage:
      SaveImage();
      break;
    case kReadImage:
      ReadImage();
      break;
    case kErase:
      Erase();
      break;
    case kDumpToFile:
      DumpToFile();
      break;
    case kLoadFromFile:
      LoadFromFile();
      break;
    default:
      break;
  }
}

void BackgroundOperations::Message(const QString& text) const {
  bridge_.Call([this, &text] { services_.dialogs.ShowMessage(&services_.mainWindow, text); });
}

std::optional<QString> BackgroundOperations::AskSaveFile() const {
  return bridge_.Call([this] {
    return services_.dialogs.GetSaveFileName(&services_.mainWindow,
                                             QString::fromLatin1(kEepromFileFilter),
                                             QString::fromLatin1(kEepromFileSuffix));
  });
}

std::optional<QString> BackgroundOperations::AskOpenFile() const {
  return bridge_.Call([this] {
    return services_.dialogs.GetOpenFileName(&services_.mainWindow,
                                             QString::fromLatin1(kEepromFileFilter),
                                             QString::fromLatin1(kEepromFileSuffix));
  });
}

bool BackgroundOperations::Ask(const QString& text) const {
  return bridge_.Call([this, &text] { return services_.dialogs.Ask(&services_.mainWindow, text); });
}

void BackgroundOperations::Log(const std::string& line) const {
  if (!services_.logLine) return;
  bridge_.Call([this, &line] { services_.logLine(line); });
}

std::optional<QString> BackgroundOperations::StorageFailure(std::string_view failedText) const {
  if (!services_.storageProblem) return std::nullopt;
  const std::string problem = services_.storageProblem();
  if (problem.empty()) return std::nullopt;
  return QStringLiteral("%1\n\n%2").arg(Latin1(failedText), QString::fromStdString(problem));
}

QString BackgroundOperations::FailureText(std::string_view failedText) const {
  return StorageFailure(failedText).value_or(Latin1(failedText));
}

QString BackgroundOperations::ReadFailureText() const {
  const QString text = FailureText(image::text::kReadFailed);
  const device::TransferFault fault = services_.transport.LastFault();
  if (fault.kind != device::TransferFault::Kind::kNotAcknowledged ||
      !services_.transport.AnswersAsOtherKind())
    return text;
  return QStringLiteral("%1\n\n%2").arg(
      text, QString::fromStdString(device::UnansweredReadText(fault.address)));
}

void BackgroundOperations::LogTransferFault(std::string_view failedText) const {
  const std::string fault = services_.transport.LastFaultText();
  if (fault.empty()) return;
  Log(std::string(failedText) + ": " + fault);
}

bool BackgroundOperations::PartFitsType(std::string_view failedText) {
  PauseProgress(true);
  const image::PartProbe probe = image::ProbeEepromPart(services_.transport);
  PauseProgress(false);
  const uint32_t chosenSize = services_.transport.EepromSize();
  switch (probe.outcome) {
    case image::PartProbe::Outcome::kNoSmallerPart:
      return true;
    case image::PartProbe::Outcome::kReadFailed:
      LogTransferFault(failedText);
      Message(FailureText(failedText));
      return false;
    case image::PartProbe::Outcome::kRepeats: {
      const std::string reason = image::RepeatingPartText(chosenSize, probe.partSize);
      Log(reason);
      return Ask(QStringLiteral("%1\n\nWrite it as %2 all the same?")
                     .arg(QString::fromStdString(reason),
                          QString::fromStdString(image::PartName(chosenSize))));
    }
    case image::PartProbe::Outcome::kSmallerPart:
      break;
  }
  const std::string reason = image::SmallerPartText(chosenSize, probe.partSize);
  Log(std::string(image::text::kTypeTooLarge) + " " + reason);
  Message(
      QStringLiteral("%1\n\n%2")
          .arg(QString::fromLatin1(image::text::kTypeTooLarge), QString::fromStdString(reason)));
  return false;
}

bool BackgroundOperations::WrittenAsMeant(std::span<const uint8_t> written,
                                          std::string_view failedText,
                                          std::string_view what) const {
  const device::WriteCheck check = device::ReadBack(services_.transport, 0, written);
  if (check.Ok()) return true;
  Log(std::string(failedText) + ": " +
      device::DescribeWriteCheck(check, services_.transport, what));
  Message(FailureText(failedText));
  return false;
}

void BackgroundOperations::SaveImage() {
  if (services_.state.connected == 0) return;
  image::EepromConfig& model = services_.model;
  // Whether the image fits is known without the device: no question is asked for a Save that
  // cannot be written.
  if (model.Pack() == 0) {
    Message(QString::fromLatin1(image::text::kSizeNotEnough));
    return;
  }
  if (!PartFitsType(image::kOperateEepromFailedText)) return;
  if (loadedSinceRead_ && !Ask(QString::fromLatin1(kEepromLoadedQuestion))) return;
  // The image was read at Connect: another program's change since then is not overwritten
  // unasked. Refresh is the way to see that change first.
  PauseProgress(true);
  const image::EepromCheck check = model.CheckEepromUnchanged();
  PauseProgress(false);
  switch (check) {
    case image::EepromCheck::kUnchanged:
      break;
    case image::EepromCheck::kChanged:
      if (!Ask(QString::fromLatin1(kEepromChangedQuestion))) return;
      break;
    case image::EepromCheck::kReadFailed:
      LogTransferFault(image::kOperateEepromFailedText);
      Message(FailureText(image::kOperateEepromFailedText));
      return;
  }
  const int result = model.WriteToEeprom();
  if (result == image::kWriteNotFit) {
    Message(QString::fromLatin1(image::text::kSizeNotEnough));
    return;
  }
  if (result != 0) {
    model.ForgetEepromContents();
    LogTransferFault(image::kOperateEepromFailedText);
    if (auto failure = StorageFailure(image::text::kWriteFailed)) {
      // The model has shown its own message; the file's reason is what the user can act on.
      Message(*failure);
    }
    return;
  }
  // The chip took every byte, but a simulated EEPROM must also have kept them in its file.
  if (auto failure = StorageFailure(image::text::kWriteFailed)) {
    model.ForgetEepromContents();
    Message(*failure);
    return;
  }
  const std::span<const uint8_t> written = model.ImageBuffer().first(model.WriteLength());
  if (!WrittenAsMeant(written, image::kOperateEepromFailedText, "written")) {
    model.ForgetEepromContents();
    return;
  }
  model.NoteEepromContents(written,
                           image::UsedImageLength(model.Total(), services_.state.transferLength));
  loadedSinceRead_ = false;
  Message(QString::fromLatin1(image::text::kSaveDone));
}

void BackgroundOperations::ReadImage() {
  OperationState& state = services_.state;
  if (services_.model.Reload(state.transferLength) < 0) {
    // Nothing was read: no read-done message. The type must be chosen again before the next
    // Connect; the window is released without connecting.
    state.transferLength = 0;
    LogTransferFault(image::text::kReadFailed);
    Message(ReadFailureText());
    services_.completion.Set();
    return;
  }
  loadedSinceRead_ = false;
  state.readOk = services_.model.SetEepromSize(state.transferLength) >= 0 ? 1 : 0;
  bridge_.Call(services_.readDone);  // kReadDoneMessage; the handler signals the event
}

// No part check: erasing a smaller part than the chosen type erases it whole.
void BackgroundOperations::Erase() {
  image::EepromConfig& model = services_.model;
  if (services_.transport.EraseEeprom() == 0) {
    model.ForgetEepromContents();
    LogTransferFault(image::text::kEraseFailed);
    Message(FailureText(image::text::kEraseFailed));
    return;
  }
  if (auto failure = StorageFailure(image::text::kEraseFailed)) {
    model.ForgetEepromContents();
    Message(*failure);
    return;
  }
  const std::optional<std::vector<uint8_t>> zeros = TransferBuffer(services_.state.transferLength);
  if (!zeros || !WrittenAsMeant(*zeros, image::text::kEraseFailed, "erased")) {
    model.ForgetEepromContents();
    if (!zeros) Message(QString::fromLatin1(image::text::kEraseFailed));
    return;
  }
  // A Save after this window's own erase is no other program's change.
  model.NoteEepromContents(*zeros, image::kHeaderReadLength);
  loadedSinceRead_ = false;
  Message(QString::fromLatin1(image::text::kEraseDone));
}

void BackgroundOperations::DumpToFile() {
  const uint32_t length = services_.state.transferLength;
  if (length == 0) return;
  std::optional<std::vector<uint8_t>> buffer = TransferBuffer(length);
  if (!buffer) return;
  const std::optional<QString> file = AskSaveFile();
  if (!file) return;
  if (ExistsButIsNoRegularFile(*file)) {
    Message(QStringLiteral("Fail to write file\n\n%1").arg(NoRegularFile(*file)));
    return;
  }
  // Checked before the read, so a file that cannot be written does not cost a long read; the
  // chosen file itself is not touched until the new contents are complete.
  platform::FileReplacement output;
  if (const std::string problem = output.Open(QFile::encodeName(*file).toStdString());
      !problem.empty()) {
    Message(
        QStringLiteral("Fail to write file\n\n%1: %2").arg(*file, QString::fromStdString(problem)));
    return;
  }
  std::fill(buffer->begin(), buffer->end(), 0);
  if (services_.transport.EepromTransfer(false, 0, buffer->data(), length) == 0) {
    LogTransferFault(image::text::kReadFailed);
    Message(ReadFailureText());
    return;
  }
  if (const std::string problem = output.Commit(*buffer); !problem.empty()) {
    Message(
        QStringLiteral("Fail to write file\n\n%1: %2").arg(*file, QString::fromStdString(problem)));
    return;
  }
  Message(QString::fromLatin1(image::text::kDumpDone));
}

void BackgroundOperations::LoadFromFile() {
  const uint32_t length = services_.state.transferLength;
  if (length == 0) return;
  std::optional<std::vector<uint8_t>> buffer = TransferBuffer(length);
  if (!buffer) return;
  const std::optional<QString> file = AskOpenFile();
  if (!file) return;
  if (ExistsButIsNoRegularFile(*file)) {
    Message(QStringLiteral("Fail to read file\n\n%1").arg(NoRegularFile(*file)));
    return;
  }
  // A shorter file leaves the rest zero; bytes past the transfer length are ignored.
  image::BinFileRead read = image::ReadBinFile(ToPath(*file), length);
  if (!read.Ok()) {
    Message(QStringLiteral("Fail to read file\n\n%1").arg(QString::fromStdString(read.error)));
    return;
  }
  *buffer = std::move(read.bytes);
  buffer->resize(length, 0);
  if (!PartFitsType(image::text::kWriteFailed)) return;
  image::EepromConfig& model = services_.model;
  if (services_.transport.EepromTransfer(true, 0, buffer->data(), length) == 0) {
    model.ForgetEepromContents();
    LogTransferFault(image::text::kWriteFailed);
    Message(FailureText(image::text::kWriteFailed));
    return;
  }
  if (auto failure = StorageFailure(image::text::kWriteFailed)) {
    model.ForgetEepromContents();
    Message(*failure);
    return;
  }
  if (!WrittenAsMeant(*buffer, image::text::kWriteFailed, "file")) {
    model.ForgetEepromContents();
    return;
  }
  model.NoteEepromContents(*buffer, image::kHeaderReadLength);
  loadedSinceRead_ = true;
  Message(QString::fromLatin1(image::text::kLoadDone));
}

}  // namespace veltra::app
