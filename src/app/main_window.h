#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include <QDialog>
#include <QRect>
#include <QSize>
#include <QString>

#include "app/auto_reset_event.h"
#include "app/operation_state.h"
#include "log/diagnostic_log.h"
#include "platform/device_broadcast.h"
#include "ui/dialog_units.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QStyle;
class QTabWidget;

namespace veltra::device {
class DeviceChannel;
class VendorTransport;
}  // namespace veltra::device
namespace veltra::image {
class EepromConfig;
}
namespace veltra::pages {
class ConfigPage;
class CAboutPage;
class CAudioCfgPage;
class CEQPage;
class CMCUPage;
class CRecordEQPage;
class CUsbCfgPage;
}  // namespace veltra::pages
namespace veltra::ui {
class UserDialogs;
}

namespace veltra::app {

class BackgroundOperations;
class CProgress;
class ModelMessageSink;
class QtPlatformWindow;
class QtTimers;

// What the main window works with; everything outlives it.
struct MainWindowServices {
  device::DeviceChannel& channel;
  device::VendorTransport& transport;
  ui::UserDialogs& dialogs;
  platform::LogFileStore& logFile;
  platform::DebugOutput& debug;
  log::LocalTimeSource& localTime;
  // The device channel's owner window; it outlives the main window, which becomes its handler.
  QtPlatformWindow& window;
  // Reads the two log settings; the settings store when not given.
  std::function<log::LogSettings()> readLogSettings;
  // Held while a worker thread owns the device, when given.
  QtTimers* timers = nullptr;
  // Shown on the About page: which device back end is in use.
  QString backendDescription;
  // Why the back end could not keep what the last transfer wrote, or empty; may be unset.
  std::function<std::string()> storageProblem;
  // Save EEPROM writes only the part of the EEPROM the image uses (--used-only): the window's
  // check box starts checked, whatever the settings remember.
  bool usedOnlySave = false;
  // The tool's own settings store, where the check box is remembered; empty: the tool's key.
  QString settingsFile;
};

// "Veltra Configuration": the page set above the row of device commands. It keeps the
// connected state, decides which pages are present, has the pages load and store themselves,
// and hands the EEPROM transfers to the background operations.
class CDemoDlg : public QDialog {
  Q_OBJECT

 public:
  explicit CDemoDlg(MainWindowServices services, QWidget* parent = nullptr);
  ~CDemoDlg() override;

  static const char* const kTitle;
  static const char* const kStopQuestion;
  static const char* const kRefreshQuestion;
  static const char* const kExitQuestion;
  static const char* const kEraseQuestion;
  // Where the check box "Write only the part the configuration uses" is remembered.
  static const char* const kUsedOnlySetting;

  // State, for tests and the device panel.
  bool IsConnected() const { return state_.connected == 1; }
  bool IsBusy() const;
  uint32_t TransferLength() const { return state_.transferLength; }
  QString VidText() const { return vidText_; }
  QString PidText() const { return pidText_; }
  QStringList PageTitles() const;
  pages::ConfigPage* CurrentPage() const;
  QTabWidget& PageSet() const { return *pageSet_; }
  CProgress& Progress() const { return *progress_; }
  image::EepromConfig& Model() const { return *model_; }
  QtPlatformWindow& PlatformWindow() const { return *platformWindow_; }
  log::DiagnosticLog& Log() { return *log_; }
  pages::CUsbCfgPage& UsbPage() const { return *usbPage_; }
  pages::CAudioCfgPage& AudioPage() const { return *audioPage_; }
  pages::CMCUPage& McuPage() const { return *mcuPage_; }
  pages::CEQPage& PlaybackEqPage() const { return *playbackEqPage_; }
  pages::CRecordEQPage& RecordEqPage() const { return *recordEqPage_; }
  pages::CAboutPage& AboutPage() const { return *aboutPage_; }
  // The grid of the row of commands under the page set.
  const ui::DialogUnits& RowUnits() const { return rowUnits_; }

 signals:
  // After a background operation has ended and the window is enabled again.
  void OperationFinished(int operationCode);

 protected:
  // The close button, the system menu and Escape all ask before closing.
  void reject() override;
  // A page whose contents need more room than the others makes the window grow while it is the
  // current page.
  bool event(QEvent* event) override;
  // A command button's click taken by a message shown as the focus left a control.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildControls();
  void CreatePages();

  void OnEepromTypeChanged(int index);
  void OnConnectClicked();
  void OnRefreshClicked();
  void OnSaveClicked();
  void OnEraseClicked();
  void OnDumpClicked();
  void OnLoadClicked();
  void OnUsedOnlyToggled(bool checked);
  void ConnectAndRead();  // Connect steps 1 to 5
  void OnReadDone();      // the read-done message, while the worker waits
  void Disconnect();
  void StartOperation(int operationCode, int signalOnFinish);
  void OnOperationEnding(int operationCode);

  void OnPostedMessage(uint32_t message, uintptr_t wParam, intptr_t lParam);
  void OnDeviceChange(uint32_t event, const platform::DeviceBroadcast* header);

  std::vector<pages::ConfigPage*> AllPages() const;
  // The largest font, down to a smallest, with which the window fits the screen.
  void ChooseFontForScreen();
  int TabRowWidth(int frameWidth) const;
  int RowHeight() const;
  // The page set as large as the current page needs, the row of commands under it.
  void FitToCurrentPage();
  // A window grown past the screen's edge moves back onto it.
  void KeepOnScreen();

  void SetDeviceButtonsEnabled(bool enabled);
  bool HasPage(pages::ConfigPage& page) const;
  void AddPage(pages::ConfigPage& page);
  void RemovePage(pages::ConfigPage& page);
  void SelectPage(pages::ConfigPage& page);
  void OnCurrentPageChanged(int index);

  MainWindowServices services_;
  OperationState state_;
  QString vidText_;
  QString pidText_;

  std::optional<log::DiagnosticLog> log_;
  std::unique_ptr<ModelMessageSink> messageSink_;
  std::unique_ptr<image::EepromConfig> model_;
  QtPlatformWindow* platformWindow_ = nullptr;
  CProgress* progress_ = nullptr;
  AutoResetEvent completion_;
  BackgroundOperations* operations_ = nullptr;
  // Device-change notices that arrived while a worker thread owned the device.
  std::vector<std::pair<uint32_t, std::optional<platform::DeviceBroadcast>>> deferredNotices_;
  // A removal message that arrived while connected and busy.
  bool removalDeferred_ = false;

  QTabWidget* pageSet_ = nullptr;
  QStyle* tabStyle_ = nullptr;
  pages::ConfigPage* activePage_ = nullptr;
  pages::CUsbCfgPage* usbPage_ = nullptr;
  pages::CAudioCfgPage* audioPage_ = nullptr;
  pages::CMCUPage* mcuPage_ = nullptr;
  pages::CEQPage* playbackEqPage_ = nullptr;
  pages::CRecordEQPage* recordEqPage_ = nullptr;
  pages::CAboutPage* aboutPage_ = nullptr;

  // The row of commands: its grid, spanning the window's regular width, and every control's
  // rectangle in the template.
  ui::DialogUnits rowUnits_{1, 1};
  std::vector<std::pair<QWidget*, QRect>> rowControls_;
  // Without a page that needs more room.
  QSize regularSize_;

  QComboBox* eepromType_ = nullptr;
  QPushButton* refresh_ = nullptr;
  QPushButton* erase_ = nullptr;
  QPushButton* save_ = nullptr;
  QCheckBox* usedOnly_ = nullptr;
  QLineEdit* vid_ = nullptr;
  QLineEdit* pid_ = nullptr;
  QPushButton* connect_ = nullptr;
  QPushButton* dump_ = nullptr;
  QPushButton* load_ = nullptr;
};

}  // namespace veltra::app
