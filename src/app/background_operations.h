#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <thread>

#include <QObject>
#include <QPointer>
#include <QString>

#include "app/auto_reset_event.h"
#include "app/operation_state.h"
#include "device/progress_tally.h"
#include "ui/worker_bridge.h"

class QWidget;

namespace veltra::device {
class VendorTransport;
}
namespace veltra::image {
class EepromConfig;
}
namespace veltra::ui {
class UserDialogs;
}

namespace veltra::app {

class CProgress;

inline constexpr char kEepromFileFilter[] = "EERPOM files (*.bin)|*.bin||";
inline constexpr char kEepromFileSuffix[] = "bin";
// Save EEPROM, when the EEPROM no longer holds what the window read from it or last wrote.
inline constexpr char kEepromChangedQuestion[] =
    "The EEPROM was changed by another program since it was read. Save over it?";
// Save EEPROM after FILE -> EEPROM: the window still shows what it read before the load.
inline constexpr char kEepromLoadedQuestion[] =
    "The EEPROM holds the file written by FILE -> EEPROM, not what this window read. Save over "
    "it?";

// Save image, Read image, Erase, Dump to file and Load from file, each on a worker thread
// behind the progress window. Per operation a progress thread covers and disables the main
// window, has the GUI thread start the worker (the start-operation message) and waits on the
// completion event; the worker runs the operation, raising its message boxes and file dialogs
// on the GUI thread and waiting for them, and signals the event. Read image instead hands the
// read-done message to the GUI thread, whose handler signals the event. Only then is the
// progress window hidden and the main window enabled again.
class BackgroundOperations final : public QObject {
  Q_OBJECT

 public:
  struct Services {
    QWidget& mainWindow;
    CProgress& progress;
    image::EepromConfig& model;
    device::VendorTransport& transport;
    ui::UserDialogs& dialogs;
    OperationState& state;
    AutoResetEvent& completion;
    // The read-done handler; it runs on the GUI thread and signals the completion event.
    std::function<void()> readDone;
    // Why the device back end could not keep what the last transfer wrote or could not use its
    // storage for the last transfer (a simulated EEPROM whose file could not be written, read
    // or locked), or empty; may be unset. Called on the worker thread.
    std::function<std::string()> storageProblem;
    // One line into the diagnostic log; may be unset. Called on the GUI thread.
    std::function<void(const std::string&)> logLine;
  };

  explicit BackgroundOperations(Services services, QObject* parent = nullptr);
  ~BackgroundOperations() override;

  // GUI thread. Records the operation, disables the main window at once (so no second command
  // can slip in before the progress thread does) and starts the progress thread. False when an
  // operation is still running.
  bool Start(int operationCode, int signalOnFinish);
  bool Busy() const { return busy_; }

 signals:
  // On the GUI thread in the step that enables the main window again, just before it: nothing
  // the user does can start the next operation in between.
  void Ending(int operationCode);
  // Queued to the GUI thread after the main window has been enabled again.
  void Finished(int operationCode);

 private:
  void ProgressThread();
  void StartWorker();  // the start-operation message, on the GUI thread
  void WorkerThread();
  void Run(int operationCode);
  void SaveImage();
  void ReadImage();
  void Erase();
  void DumpToFile();
  void LoadFromFile();
  void Finish(int operationCode);  // GUI thread
  void RestoreKeyboardFocus();     // GUI thread, with the main window enabled again

  // Before a write: false, with the reason shown, when the EEPROM reads as a part smaller
  // than the chosen type or cannot be read; failedText is the operation's failure text.
  bool PartFitsType(std::string_view failedText);
  // After a write: reads the bytes back from address 0; false, with failedText shown and the
  // first difference logged, when they are not what was written (what names them).
  bool WrittenAsMeant(std::span<const uint8_t> written, std::string_view failedText,
                      std::string_view what) const;
  // Worker side: the transport's progress of the operation into the bar, handed to the GUI
  // thread without waiting for it; one hand-over at a time, the latest figures win.
  void ReportProgress(uint64_t done, uint64_t toDo);
  void ShowProgress();  // GUI thread
  // Worker side: the short reads before a write stay off the bar, which counts the write and its
  // read-back as announced at the start.
  void PauseProgress(bool paused);

  // Worker side: dialogs raised on the GUI thread, owned by the main window.
  void Message(const QString& text) const;
  bool Ask(const QString& text) const;
  void Log(const std::string& line) const;
  std::optional<QString> AskSaveFile() const;
  std::optional<QString> AskOpenFile() const;
  // The failure text with the back end's reason when a write did not reach its storage.
  std::optional<QString> StorageFailure(std::string_view failedText) const;
  // A failed transfer's text, with the back end's reason when its storage was the cause.
  QString FailureText(std::string_view failedText) const;
  // "Fail to read EEPROM", and under it what a person can check when the part did not answer.
  QString ReadFailureText() const;
  // What the transport found wrong with the failed transfer, after the operation's text, into
  // the diagnostic log: the message boxes keep their own texts.
  void LogTransferFault(std::string_view failedText) const;

  Services services_;
  ui::WorkerBridge bridge_;
  std::thread progressThread_;
  std::thread workerThread_;
  bool busy_ = false;  // GUI thread only
  // FILE -> EEPROM wrote the EEPROM since the window last read or wrote it; worker side.
  bool loadedSinceRead_ = false;
  // The main window's control that had the keyboard focus when the operation started.
  QPointer<QWidget> focusBefore_;
  device::ProgressTally* tally_ = nullptr;  // the running operation's, worker side
  std::atomic<uint64_t> progressDone_{0};
  std::atomic<uint64_t> progressToDo_{0};
  std::atomic<int64_t> progressSecondsLeft_{-1};  // -1: not known
  std::atomic<bool> progressPending_{false};
};

}  // namespace veltra::app
