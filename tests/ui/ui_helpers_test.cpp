#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <atomic>
#include <cmath>
#include <limits>
#include <thread>

#include <QApplication>
#include <QtTest>

#include "ui/dialog_units.h"
#include "ui/file_filter.h"
#include "ui/hex_string.h"
#include "ui/tool_settings.h"
#include "ui/worker_bridge.h"

using veltra::ui::DialogUnits;
using veltra::ui::QtFileFilter;
using veltra::ui::WorkerBridge;

class UiHelpersTest : public QObject {
  Q_OBJECT

 private slots:
  void FileFilterConversion_data() {
    QTest::addColumn<QString>("windows");
    QTest::addColumn<QString>("qt");
    QTest::newRow("eeprom") << "EERPOM files (*.bin)|*.bin||"
                            << "EERPOM files (*.bin)";
    QTest::newRow("bare description") << "Images|*.bin;*.img||"
                                      << "Images (*.bin *.img)";
    QTest::newRow("two entries") << "Bin (*.bin)|*.bin|All (*.*)|*.*||"
                                 << "Bin (*.bin);;All (*.*)";
    QTest::newRow("empty") << ""
                           << "";
  }
  void FileFilterConversion() {
    QFETCH(QString, windows);
    QFETCH(QString, qt);
    QCOMPARE(QtFileFilter(windows), qt);
  }

  void HexStringToInt_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<uint>("value");
    QTest::addColumn<bool>("error");
    QTest::newRow("upper") << "5A52" << 0x5A52u << false;
    QTest::newRow("lower") << "5a52" << 0x5A52u << false;
    QTest::newRow("bad digit counts as zero") << "12G4" << 0x1204u << true;
    QTest::newRow("empty") << "" << 0u << false;
    QTest::newRow("first eight only") << "123456789" << 0x12345678u << false;
    QTest::newRow("all ones") << "FFFFFFFF" << 0xFFFFFFFFu << false;
    QTest::newRow("blank") << " 1" << 0x01u << true;
  }
  void HexStringToInt() {
    QFETCH(QString, text);
    QFETCH(uint, value);
    QFETCH(bool, error);
    bool failed = false;
    QCOMPARE(veltra::ui::HexStringToInt(text.toStdString(), &failed), value);
    QCOMPARE(failed, error);
  }

  void DialogUnitsMapBothCorners() {
    // The classic System font: 8 x 16 pixels, so two pixels per unit in both directions.
    const DialogUnits units(8, 16);
    QCOMPARE(units.Rect(7, 310, 48, 30), QRect(14, 620, 96, 60));
    QCOMPARE(units.Size(254, 346), QSize(508, 692));
    // Odd base units round each corner, keeping neighbours edge to edge.
    const DialogUnits odd(7, 13);
    QCOMPARE(odd.X(3), 5);  // 5.25
    QCOMPARE(odd.Y(3), 5);  // 4.875
    QCOMPARE(odd.Rect(1, 1, 2, 2).right() + 1, odd.X(3));
  }

  void ScaledDialogUnitsSpanAGivenWidth() {
    const DialogUnits units(7, 13);
    // 254 units of a 7-pixel font are 444.5 pixels; a row spanning 571 pixels scales by 571/444.5.
    const DialogUnits row = units.Scaled(571 * 4.0 / (254 * 7));
    QCOMPARE(row.X(254), 571);
    QCOMPARE(row.Rect(104, 327, 64, 12).right() + 1, row.Rect(168, 327, 4, 12).left());
    // A factor that is no positive finite number changes nothing.
    for (double factor : {0.0, -2.0, std::nan(""), std::numeric_limits<double>::infinity()}) {
      QCOMPARE(units.Scaled(factor).Rect(7, 310, 48, 12), units.Rect(7, 310, 48, 12));
    }
    // Far beyond any screen, still a defined number of pixels.
    QVERIFY(units.Scaled(1e300).X(1000) > 0);
  }

#ifndef _WIN32
  // Another user's link in a sticky world-writable XDG_CONFIG_HOME, at the folder or at the
  // file, is neither read nor written through.
  void SettingsFollowNoLinkOfAnotherUser() {
    if (geteuid() != 0) QSKIP("only root can give a link to another user");
    for (const bool atFile : {false, true}) {
      QTemporaryDir shared, victim;
      QString link = shared.filePath(QStringLiteral("Stellan"));
      if (atFile) {
        QVERIFY(QDir(shared.path()).mkdir(QStringLiteral("Stellan")));
        QCOMPARE(chmod(QFile::encodeName(link).constData(), 01777), 0);
        link += QStringLiteral("/ConfigTool.conf");
      }
      const QString target = victim.filePath(atFile ? QStringLiteral("x") : QString());
      QCOMPARE(chmod(QFile::encodeName(shared.path()).constData(), 01777), 0);
      QCOMPARE(symlink(QFile::encodeName(target).constData(), QFile::encodeName(link).constData()),
               0);
      QCOMPARE(lchown(QFile::encodeName(link).constData(), 65534, 65534), 0);
      qputenv("XDG_CONFIG_HOME", QFile::encodeName(shared.path()));
      {
        const auto store = veltra::ui::OpenToolSettings();
        store->setValue(QStringLiteral("LastFolder"), QStringLiteral("/somewhere"));
      }
      qunsetenv("XDG_CONFIG_HOME");
      QCOMPARE(QDir(victim.path()).entryList(QDir::Files | QDir::Hidden), QStringList());
    }
  }
#endif

  void BridgeCallRunsOnContextThreadAndWaits() {
    QObject context;
    const WorkerBridge bridge(&context);
    std::atomic<bool> done{false};
    QThread* ranOn = nullptr;
    int answer = 0;
    std::thread worker([&] {
      answer = bridge.Call([&] {
        ranOn = QThread::currentThread();
        return 42;
      });
      done = true;
    });
    QTRY_VERIFY(done.load());
    worker.join();
    QCOMPARE(answer, 42);
    QCOMPARE(ranOn, context.thread());
  }

  void BridgeCallOnOwnThreadRunsAtOnce() {
    QObject context;
    int calls = 0;
    WorkerBridge(&context).Call([&] { ++calls; });
    QCOMPARE(calls, 1);
  }

  void BridgePostRunsLater() {
    QObject context;
    int calls = 0;
    WorkerBridge(&context).Post([&] { ++calls; });
    QCOMPARE(calls, 0);
    QTRY_COMPARE(calls, 1);
  }

  void BridgeWithoutContextAnswersDefault() {
    auto* context = new QObject;
    const WorkerBridge bridge(context);
    delete context;
    QCOMPARE(bridge.Call([] { return 7; }), 0);
  }
};

QTEST_MAIN(UiHelpersTest)
#include "ui_helpers_test.moc"
