#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <string>
#include <thread>

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include "app/command_line.h"
#include "app/gui_backend.h"
#include "app/log_settings.h"
#include "app/qt_platform_window.h"
#include "app/qt_timers.h"
#include "app/single_instance_lock.h"
#include "app/widget_probe.h"
#include "backend/simulated_backend.h"
#include "image/section_kinds.h"
#include "platform/win32_codes.h"
#include "ui/group_frame.h"

using namespace veltra;
using app::SingleInstanceLock;

class ComponentsTest : public QObject {
  Q_OBJECT

 private slots:
  // ---- timers -----------------------------------------------------------------------------
  void TimersRepeatUntilKilledFromTheirOwnCallback() {
    app::QtTimers timers;
    int calls = 0;
    platform::TimerId seen = 0;
    const platform::TimerId id = timers.SetTimer(786, 5, [&](platform::TimerId fired) {
      seen = fired;
      if (++calls == 3) timers.KillTimer(fired);
    });
    QVERIFY(id != 0);
    QTRY_COMPARE(calls, 3);
    QCOMPARE(seen, id);
    QCOMPARE(timers.ActiveCount(), size_t{0});
    QTest::qWait(30);
    QCOMPARE(calls, 3);
    QVERIFY(!timers.KillTimer(id));
  }

  void TimerIdIsReusedOnlyWhenItExists() {
    app::QtTimers timers;
    int first = 0;
    int second = 0;
    const platform::TimerId id = timers.SetTimer(0, 10000, [&](platform::TimerId) { ++first; });
    QCOMPARE(timers.SetTimer(id, 5, [&](platform::TimerId) { ++second; }), id);
    QCOMPARE(timers.ActiveCount(), size_t{1});
    QTRY_VERIFY(second > 0);
    QCOMPARE(first, 0);
    QVERIFY(timers.SetTimer(id + 1000, 5, [](platform::TimerId) {}) != id + 1000);
  }

  void HeldTimersRunOnRelease() {
    app::QtTimers timers;
    int calls = 0;
    timers.SetHeld(true);
    timers.SetTimer(0, 1, [&](platform::TimerId) { ++calls; });
    QTest::qWait(30);
    QCOMPARE(calls, 0);
    timers.SetHeld(false);
    QVERIFY(calls >= 1);
  }

  // ---- owner window -----------------------------------------------------------------------
  void PostedMessagesArriveLaterOnTheGuiThread() {
    app::QtPlatformWindow window;
    std::vector<uint32_t> messages;
    QThread* handledOn = nullptr;
    window.SetMessageHandler([&](uint32_t message, uintptr_t, intptr_t) {
      messages.push_back(message);
      handledOn = QThread::currentThread();
    });
    QVERIFY(window.PostMessage(0x465, 0, 0));
    QVERIFY(messages.empty());  // posted, not sent
    std::thread([&] { window.PostMessage(0x464, 0, 0); }).join();
    QTRY_COMPARE(messages.size(), size_t{2});
    QCOMPARE(messages, (std::vector<uint32_t>{0x465, 0x464}));
    QCOMPARE(handledOn, QThread::currentThread());
    window.SetAlive(false);
    QVERIFY(!window.IsWindow());
    QVERIFY(!window.PostMessage(0x465, 0, 0));
  }

  void DeviceChangeNoticesCarryACopyOfTheHeader() {
    app::QtPlatformWindow window;
    std::optional<platform::DeviceBroadcast> received;
    uint32_t event = 0;
    window.SetDeviceChangeHandler([&](uint32_t e, const platform::DeviceBroadcast* header) {
      event = e;
      if (header != nullptr) received = *header;
    });
    {
      platform::DeviceBroadcast header;
      header.deviceType = platform::kDbtDevtypDeviceInterface;
      header.name = u"\\\\?\\usb#vid_5a52";
      window.DeliverDeviceChange(platform::kDbtDeviceRemoveComplete, &header);
    }  // the sender's header is gone before delivery
    QTRY_VERIFY(received.has_value());
    QCOMPARE(event, platform::kDbtDeviceRemoveComplete);
    QVERIFY(received->name == u"\\\\?\\usb#vid_5a52");
  }

  // ---- command line -----------------------------------------------------------------------
  void CommandLineDefaultsToTheFactoryDevice() {
    const app::CommandLineResult result = app::ParseCommandLine({"veltra-config"});
    QVERIFY(result.options.has_value());
    const backend::DeviceOptions& device = result.options->device;
    QCOMPARE(device.vid, uint16_t{0x5A52});
    QCOMPARE(device.pid, uint16_t{0x7731});
    QVERIFY(backend::SimulatedPart(device) == sim::EepromPart::k24C64);
    QCOMPARE(device.capability, uint8_t{0x34});
    QCOMPARE(device.latencyNs, int64_t{0});
    QVERIFY(device.imageFile.empty());
    QVERIFY(!result.options->devicePanel);
  }

  void CommandLineTakesEveryOption() {
    const app::CommandLineResult result = app::ParseCommandLine(
        {"veltra-config", "--vid", "1a2b", "--pid=0x00FF", "--eeprom", "24c512", "--capability",
         "14", "--latency", "0.1", "--image", "/tmp/x.bin", "--device-panel", "--simulated"});
    QVERIFY(result.options.has_value());
    const backend::DeviceOptions& device = result.options->device;
    QCOMPARE(device.vid, uint16_t{0x1A2B});
    QCOMPARE(device.pid, uint16_t{0x00FF});
    QVERIFY(backend::SimulatedPart(device) == sim::EepromPart::k24C512);
    QCOMPARE(device.capability, uint8_t{0x14});
    QCOMPARE(device.latencyNs, int64_t{100000});
    QCOMPARE(device.imageFile, std::string("/tmp/x.bin"));
    QVERIFY(result.options->devicePanel);
    QVERIFY(device.simulated);
    QVERIFY(!app::ParseCommandLine({"veltra-config"}).options->device.simulated);
  }

  // The device options follow the same rules as veltra-cli's: leading zeros are taken.
  void CommandLineTakesTheSharedRules() {
    const app::CommandLineResult result = app::ParseCommandLine(
        {"veltra-config", "--vid", "00005A53", "--pid", " 7731 ", "--used-only"});
    QVERIFY2(result.options.has_value(), qPrintable(result.output));
    QCOMPARE(result.options->device.vid, uint16_t{0x5A53});
    QCOMPARE(result.options->device.pid, uint16_t{0x7731});
    QVERIFY(result.options->usedOnly);
    QVERIFY(!app::ParseCommandLine({"veltra-config"}).options->usedOnly);
    const app::CommandLineResult refused =
        app::ParseCommandLine({"veltra-config", "--vid", "12345"});
    QCOMPARE(refused.output,
             QStringLiteral("veltra-config: --vid needs a hexadecimal number from 0 to FFFF, not "
                            "'12345'\nTry 'veltra-config --help'.\n"));
  }

  void CommandLineRefusesBadValues_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("vid too long") << QStringList{"--vid", "12345"};
    QTest::newRow("vid not hex") << QStringList{"--vid", "XYZ"};
    QTest::newRow("unknown part") << QStringList{"--eeprom", "24C1024"};
    QTest::newRow("capability too big") << QStringList{"--capability", "100"};
    QTest::newRow("latency nan") << QStringList{"--latency", "nan"};
    QTest::newRow("latency inf") << QStringList{"--latency", "inf"};
    QTest::newRow("latency negative") << QStringList{"--latency", "-1"};
    QTest::newRow("latency huge") << QStringList{"--latency", "1e300"};
    QTest::newRow("unknown option") << QStringList{"--frobnicate"};
    QTest::newRow("positional") << QStringList{"image.bin"};
  }
  void CommandLineRefusesBadValues() {
    QFETCH(QStringList, arguments);
    const app::CommandLineResult result =
        app::ParseCommandLine(QStringList{"veltra-config"} + arguments);
    QVERIFY(!result.options.has_value());
    QCOMPARE(result.exitCode, 2);
    QVERIFY(result.output.startsWith(QStringLiteral("veltra-config: ")));
  }

  void HelpNamesTheOptions() {
    const app::CommandLineResult result = app::ParseCommandLine({"veltra-config", "--help"});
    QVERIFY(!result.options.has_value());
    QCOMPARE(result.exitCode, 0);
    QVERIFY(result.output.startsWith(QStringLiteral("Usage: veltra-config [options]")));
    for (const char* option : {"--vid", "--pid", "--eeprom", "--simulated", "--capability",
                               "--latency", "--image", "--device-panel", "--used-only"})
      QVERIFY2(result.output.contains(QLatin1String(option)), option);
  }

  // ---- log settings -----------------------------------------------------------------------
  void LogSettingsFromTheStore_data() {
    QTest::addColumn<QVariant>("enableLog");
    QTest::addColumn<QVariant>("logType");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<bool>("toFile");
    QTest::newRow("nothing stored") << QVariant() << QVariant() << false << true;
    QTest::newRow("enabled, no type") << QVariant(1) << QVariant() << true << true;
    QTest::newRow("to the debugger") << QVariant(1) << QVariant(0) << true << false;
    QTest::newRow("any non-zero") << QVariant(7) << QVariant(-1) << true << true;
    QTest::newRow("off wins") << QVariant(0) << QVariant(1) << false << true;
    QTest::newRow("unreadable") << QVariant("yes") << QVariant("4294967296") << false << true;
  }
  void LogSettingsFromTheStore() {
    QFETCH(QVariant, enableLog);
    QFETCH(QVariant, logType);
    QFETCH(bool, enabled);
    QFETCH(bool, toFile);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("ConfigTool.conf"));
    {
      QSettings writer(path, QSettings::IniFormat);
      if (enableLog.isValid()) writer.setValue(QStringLiteral("EnableLog"), enableLog);
      if (logType.isValid()) writer.setValue(QStringLiteral("LogType"), logType);
    }
    QSettings store(path, QSettings::IniFormat);
    const log::LogSettings settings = app::ReadLogSettings(store);
    QCOMPARE(settings.enabled, enabled);
    QCOMPARE(settings.type == log::LogType::kFile, toFile);
  }

  void MissingStoreIsCreatedEmpty() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Stellan/ConfigTool.conf"));
    QSettings store(path, QSettings::IniFormat);
    QCOMPARE(app::ReadLogSettings(store), log::LogSettings{});
    QVERIFY(QFile::exists(path));
    QCOMPARE(QFileInfo(path).size(), 0);
  }

  // ---- single-instance lock ---------------------------------------------------------------
  void LockFileNameComesFromTheInstanceName() {
    QCOMPARE(SingleInstanceLock::FileNameFor("TR7731 Configuration Tool "),
             std::string("TR7731_Configuration_Tool_.lock"));
    QCOMPARE(SingleInstanceLock::FileNameFor("a/../b"), std::string("a_.._b.lock"));
  }

  void LockIsHeldOnceAndFreedOnRelease() {
    QTemporaryDir dir;
    const std::string where = dir.path().toStdString();
    SingleInstanceLock first;
    SingleInstanceLock second;
    QVERIFY(first.Acquire("TR7731 Configuration Tool ", where) ==
            SingleInstanceLock::Result::kAcquired);
    QVERIFY(second.Acquire("TR7731 Configuration Tool ", where) ==
            SingleInstanceLock::Result::kAlreadyRunning);
    QVERIFY(!second.Held());
    first.Release();
    QVERIFY(second.Acquire("TR7731 Configuration Tool ", where) ==
            SingleInstanceLock::Result::kAcquired);
    QVERIFY(QFile::exists(dir.filePath(QStringLiteral("TR7731_Configuration_Tool_.lock"))));
  }

  // Nothing another user (or a stray link or folder) puts at the fallback folder's or the lock
  // file's name lets a second copy start: every copy passes it over alike. Squats: another
  // user's fallback folder, a link there, a folder or a link at the lock file.
  void ASquattedLockPlaceStillAdmitsOneCopy() {
    for (int squat = geteuid() == 0 ? 0 : 1; squat < 4; ++squat) {
      QTemporaryDir base;
      const std::string tmp = base.path().toStdString(), home = tmp + "/home";
      const std::string fallback = tmp + "/veltra-config-" + std::to_string(getuid());
      const std::string name = "TR7731 Configuration Tool ";
      const std::string lock = fallback + "/" + SingleInstanceLock::FileNameFor(name);
      QCOMPARE(mkdir(home.c_str(), 0700), 0);
      QCOMPARE(squat == 1 ? symlink(home.c_str(), fallback.c_str()) : mkdir(fallback.c_str(), 0700),
               0);
      if (squat == 0) QCOMPARE(chown(fallback.c_str(), 65534, 65534), 0);
      if (squat >= 2)
        QCOMPARE(squat == 2 ? mkdir(lock.c_str(), 0700) : symlink("/dev/null", lock.c_str()), 0);
      const auto directories = SingleInstanceLock::LockDirectoriesFrom(tmp, home);
      SingleInstanceLock first, second;
      QVERIFY(first.AcquireIn(name, directories) == SingleInstanceLock::Result::kAcquired);
      QVERIFY(second.AcquireIn(name, directories) == SingleInstanceLock::Result::kAlreadyRunning);
      QVERIFY(first.Path().starts_with(home + "/.veltra-config-lock/"));
    }
  }

  void LockWithoutDirectoryIsUnavailable() {
    SingleInstanceLock lock;
    QVERIFY(lock.Acquire("x", "/nonexistent/veltra") == SingleInstanceLock::Result::kUnavailable);
  }

  // ---- widget probe -----------------------------------------------------------------------
  // What the end-to-end tests rely on: a control that something lies over where a click aims
  // is covered (a check box's box, not the room right of its text), Tab stops are the enabled
  // controls that take the focus by Tab, and list items scrolled out of view are hidden.
  void ProbeTellsCoveredControlsTabStopsAndHiddenItems() {
    QWidget window;
    window.setWindowTitle(QStringLiteral("probe"));
    window.resize(400, 300);
    auto* covered = new QPushButton(QStringLiteral("under"), &window);
    covered->setObjectName(QStringLiteral("covered"));
    covered->setGeometry(10, 10, 100, 30);
    auto* cover = new QLabel(QStringLiteral("cover"), &window);
    cover->setGeometry(40, 15, 40, 20);
    cover->setAutoFillBackground(true);
    cover->raise();
    auto* box = new QCheckBox(QStringLiteral("box"), &window);
    box->setObjectName(QStringLiteral("box"));
    box->setGeometry(10, 50, 200, 20);
    // Over the room right of the text, where no click aims.
    auto* beside = new QLabel(QStringLiteral("beside"), &window);
    beside->setGeometry(150, 50, 50, 20);
    beside->raise();
    auto* disabled = new QLineEdit(&window);
    disabled->setObjectName(QStringLiteral("disabled"));
    disabled->setGeometry(10, 80, 100, 20);
    disabled->setEnabled(false);
    auto* list = new QListWidget(&window);
    list->setObjectName(QStringLiteral("list"));
    list->setGeometry(10, 110, 100, 60);
    for (int i = 0; i < 40; ++i)
      list->addItem(QStringLiteral("item%1").arg(i));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    const QStringList lines = app::WidgetProbe::Describe().split(u'\n');
    auto state = [&lines](const QString& kind, const QString& key) {
      for (const QString& line : lines) {
        const QStringList fields = line.split(u'\t');
        if (fields.size() > 11 && fields[0] == kind && fields[2] == key) return fields[10];
        if (fields.size() > 11 && fields[0] == kind && fields[11] == key) return fields[10];
      }
      return QStringLiteral("(none)");
    };
    QVERIFY(state(QStringLiteral("widget"), QStringLiteral("covered")).contains(u"covered"));
    QVERIFY(!state(QStringLiteral("widget"), QStringLiteral("box")).contains(u"covered"));
    QVERIFY(state(QStringLiteral("widget"), QStringLiteral("box")).contains(u"tabstop"));
    QVERIFY(!state(QStringLiteral("widget"), QStringLiteral("disabled")).contains(u"tabstop"));
    QVERIFY(!state(QStringLiteral("item"), QStringLiteral("item0")).contains(u"hidden"));
    QVERIFY(state(QStringLiteral("item"), QStringLiteral("item30")).contains(u"hidden"));
  }

  // A control lying across a group box's frame line, or on its title, is told; one inside the
  // frame, or around the whole group, is not. Also for a group box drawn by the style alone.
  void ProbeTellsControlsOnGroupFrames() {
    QWidget window;
    window.setWindowTitle(QStringLiteral("frames"));
    window.resize(400, 300);
    auto* frame = new veltra::ui::GroupFrame(QStringLiteral("A long group title"), &window);
    frame->setGeometry(10, 10, 300, 100);
    auto* plain = new QGroupBox(QStringLiteral("plain"), &window);
    plain->setGeometry(10, 150, 300, 100);
    auto add = [&](const char* name, QRect place) {
      auto* edit = new QLineEdit(&window);
      edit->setObjectName(QString::fromLatin1(name));
      edit->setGeometry(place);
    };
    add("inside", QRect(30, 50, 100, 20));
    add("top-line", QRect(200, 5, 60, 20));
    add("title", QRect(20, 12, 60, 14));
    add("right-line", QRect(290, 50, 60, 20));
    add("around", QRect(5, 5, 320, 110));
    add("plain-inside", QRect(30, 200, 100, 20));
    add("plain-bottom-line", QRect(30, 240, 100, 20));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QString text = app::WidgetProbe::Describe();
    auto onFrame = [&text](const char* name) {
      for (const QString& line : text.split(u'\n')) {
        const QStringList fields = line.split(u'\t');
        if (fields.size() > 10 && fields[2] == QLatin1String(name))
          return fields[10].split(u',').contains(QStringLiteral("frame"));
      }
      return false;
    };
    for (const char* name : {"top-line", "title", "right-line", "plain-bottom-line"})
      QVERIFY2(onFrame(name), name);
    for (const char* name : {"inside", "around", "plain-inside"})
      QVERIFY2(!onFrame(name), name);
  }
};

QTEST_MAIN(ComponentsTest)
#include "components_test.moc"
