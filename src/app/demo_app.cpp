#include "app/demo_app.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include <QApplication>
#include <QScreen>
#include <QTimer>

#include "app/command_line.h"
#include "app/device_panel.h"
#include "app/gui_backend.h"
#include "app/main_window.h"
#include "app/qt_timers.h"
#include "app/screenshot_tour.h"
#include "app/single_instance_lock.h"
#include "app/user_output.h"
#include "app/widget_probe.h"
#include "backend/stored_log.h"
#include "log/local_time.h"
#ifdef _WIN32
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>
#endif
#include "ui/qt_user_dialogs.h"

namespace veltra::app {

namespace {

QStringList Arguments(int argc, char** argv) {
  QStringList arguments;
#ifdef _WIN32
  // The command line as typed: argv holds it in the ANSI code page, which may not hold a path.
  (void)argc;
  (void)argv;
  int count = 0;
  if (wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count); wide != nullptr) {
    for (int i = 0; i < count; ++i)
      arguments << QString::fromWCharArray(wide[i]);
    ::LocalFree(wide);
  }
#else
  for (int i = 0; i < argc; ++i)
    arguments << QString::fromLocal8Bit(argv[i]);
#endif
  return arguments;
}

#ifndef _WIN32
bool IsSet(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && value[0] != '\0';
}

// A window-system platform without a display to reach would abort deep inside the toolkit.
bool NeedsDisplay() {
  const char* platform = std::getenv("QT_QPA_PLATFORM");
  if (platform != nullptr && platform[0] != '\0') {
    const std::string name(platform);
    return name.rfind("xcb", 0) == 0 || name.rfind("wayland", 0) == 0;
  }
  return true;
}
#endif

// The single-instance name. Tests that run copies side by side give each a name of its own
// (VELTRA_CONFIG_INSTANCE); for a person the lock is the user's, whatever the environment.
std::string InstanceName() {
  const char* scope = std::getenv("VELTRA_CONFIG_INSTANCE");
  return std::string(kInstanceName) + (scope != nullptr ? scope : "");
}

}  // namespace

int CDemoApp::Run(int argc, char** argv) {
  const CommandLineResult parsed = ParseCommandLine(Arguments(argc, argv));
  if (!parsed.options) {
    TellUser(parsed.output, parsed.exitCode == 0 ? OutputStream::kOutput : OutputStream::kError,
             OtherwiseTo::kMessageBox);
    return parsed.exitCode;
  }
#ifndef _WIN32
  if (NeedsDisplay() && !IsSet("DISPLAY") && !IsSet("WAYLAND_DISPLAY")) {
    std::fputs(
        "veltra-config: the GUI needs a display and none is set (DISPLAY is empty); try it "
        "under Xvfb with 'xvfb-run -a veltra-config', or use veltra-cli\n",
        stderr);
    return 1;
  }
#endif

  SingleInstanceLock lock;
  if (lock.Acquire(InstanceName()) == SingleInstanceLock::Result::kAlreadyRunning) return 0;

  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("veltra-config"));
  QApplication::setApplicationVersion(QStringLiteral(VELTRA_VERSION));
  const std::unique_ptr<WidgetProbe> probe = WidgetProbe::FromEnvironment();

  GuiBackend backend(parsed.options->device);
  ui::QtUserDialogs interactiveDialogs;
  UnattendedDialogs unattendedDialogs;
  const bool unattended = !parsed.options->screenshotDirectory.isEmpty();
  ui::UserDialogs& dialogs =
      unattended ? static_cast<ui::UserDialogs&>(unattendedDialogs) : interactiveDialogs;
  const std::unique_ptr<platform::LogFileStore> logFile = backend::OpenLogFileStore();
  const std::unique_ptr<platform::DebugOutput> debug = backend::OpenDebugOutput();
  log::SystemLocalTime localTime;
  // The start-up notice shows it in the window as well.
  if (!backend.FileProblem().empty())
    TellUser(
        QStringLiteral("veltra-config: %1\n").arg(QString::fromStdString(backend.FileProblem())),
        OutputStream::kError, OtherwiseTo::kDebugger);

  int status = 0;
  {
    CDemoDlg window(MainWindowServices{backend.Channel(),
                                       backend.Transport(),
                                       dialogs,
                                       *logFile,
                                       *debug,
                                       localTime,
                                       backend.Window(),
                                       {},
                                       &backend.Timers(),
                                       backend.Description(),
                                       [&backend] { return backend.StorageProblem(); },
                                       parsed.options->usedOnly});
    // Modal to its own chain of windows, which it heads: it blocks nothing else, so the device
    // panel beside it takes input like a window of its own.
    window.setWindowModality(Qt::WindowModal);
    std::unique_ptr<DevicePanel> panel;
    if (parsed.options->devicePanel && backend.IsSimulated()) {
      panel = std::make_unique<DevicePanel>(backend);
      // Once the main window is on the screen, so that the panel goes beside it and on top.
      QTimer::singleShot(0, panel.get(), [&panel, &window] { panel->ShowBeside(window); });
    }
    // Told in the window, once it shows, which stays usable afterwards: a short file is read as
    // completed with 0, an unusable one leaves the EEPROM erased.
    if (const QString notice = backend.StartupNotice(); !notice.isEmpty()) {
      QTimer::singleShot(0, &window,
                         [&window, &dialogs, notice] { dialogs.ShowMessage(&window, notice); });
    }
    std::unique_ptr<ScreenshotTour> tour;
    if (!parsed.options->screenshotDirectory.isEmpty()) {
      const auto& device = parsed.options->device;
      const std::string_view eeprom = device.eeprom.value_or(backend::kDefaultEeprom).name;
      tour = std::make_unique<ScreenshotTour>(
          window, QString::fromLatin1(eeprom.data(), static_cast<qsizetype>(eeprom.size())),
          QString::number(device.vid, 16).toUpper().rightJustified(4, u'0'),
          QString::number(device.pid, 16).toUpper().rightJustified(4, u'0'),
          parsed.options->screenshotDirectory);
      tour->Start();
    }
    window.exec();
    // The dialog's end is the application's end; its result is no exit status.
    status = tour && !tour->Succeeded() ? 1 : 0;
    tour.reset();
  }
  lock.Release();
  return status;
}

}  // namespace veltra::app
