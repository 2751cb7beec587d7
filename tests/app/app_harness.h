#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include "app/gui_backend.h"
#include "app/main_window.h"
#include "backend/simulated_backend.h"
#include "log/local_time.h"
#include "log/log_settings.h"
#include "platform/log_file_store.h"
#include "platform/sim/capturing_debug_output.h"
#include "platform/sim/faults.h"
#include "platform/sim/sim_system.h"
#include "ui/scripted_user_dialogs.h"

namespace veltra::app::testing {

// What the EEPROM of the simulated device holds at start: its file holds the factory image, is
// missing, or holds the given bytes.
enum class Contents { kFactory, kErased, kGiven };

struct HarnessOptions {
  backend::DeviceOptions device;
  Contents contents = Contents::kFactory;
  std::vector<uint8_t> bytes;  // kGiven
  log::LogSettings log;        // off unless asked for; the file is TempPath("state/...")
  bool usedOnlySave = false;   // as veltra-config --used-only
  QString settingsFile;        // the tool's own settings; empty: TempPath("state/settings.ini")
};

// One main window on one simulated device, with scripted dialogs and a private temporary
// directory for every file it touches.
class AppHarness {
 public:
  explicit AppHarness(HarnessOptions options = {});
  ~AppHarness();

  CDemoDlg& Window() { return *window_; }
  GuiBackend& Backend() { return *backend_; }
  backend::SimulatedBackend& Simulated() { return backend_->Simulated()->Machine(); }
  ui::testing::ScriptedUserDialogs& Dialogs() { return dialogs_; }
  QString TempPath(const QString& name) const { return dir_.filePath(name); }

  template <typename T = QWidget>
  T* Control(const char* id) {
    return window_->findChild<T*>(QString::fromLatin1(id));
  }
  QPushButton* Button(const char* id) { return Control<QPushButton>(id); }

  void ChooseType(const QString& name);
  void TypeIds(const QString& vid, const QString& pid);
  // Clicks a button and waits until the window is idle and enabled again.
  bool ClickAndWait(const char* id);
  bool WaitIdle();
  // S24C64 (or the given type), 5A52 / 7731, Connect; true when connected afterwards.
  bool Connect(const QString& type = QStringLiteral("S24C64"));
  std::vector<uint8_t> EepromBytes();
  void SetFaults(const sim::Faults& faults);
  // Records, for every dialog an operation raises, whether the window was disabled and the
  // progress window shown at that moment.
  void WatchCover();
  bool EveryDialogCovered() const { return uncovered_ == 0 && covered_ > 0; }
  bool DeviceButtonsEnabled();

 private:
  QTemporaryDir dir_;
  std::unique_ptr<GuiBackend> backend_;
  ui::testing::ScriptedUserDialogs dialogs_;
  std::unique_ptr<platform::PosixLogFileStore> logFile_;
  sim::CapturingDebugOutput debug_;
  log::SystemLocalTime localTime_;
  std::unique_ptr<CDemoDlg> window_;
  int covered_ = 0;
  int uncovered_ = 0;
};

// A file's whole content; empty when it cannot be read.
QByteArray ReadFile(const QString& path);
// Replaces a file's content; false when it cannot be written whole.
bool WriteFile(const QString& path, const QByteArray& bytes);
QByteArray Bytes(std::span<const uint8_t> bytes);

}  // namespace veltra::app::testing
