#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

// The screenshot run has nobody at the screen: whatever the tool would ask or report on the way
// must not wait for an answer.
class ScreenshotTourTest : public QObject {
  Q_OBJECT

 private slots:
  void AnErasedDeviceIsPicturedWithoutWaitingForAnyone() {
    QTemporaryDir home;
    QVERIFY(home.isValid());
    QDir(home.path()).mkpath(QStringLiteral("runtime"));
    QFile::setPermissions(home.filePath(QStringLiteral("runtime")),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    // An erased EEPROM: the read says "EEPROM Empty" before the pages show their defaults.
    const QString image = home.filePath(QStringLiteral("erased.bin"));
    QFile file(image);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(QByteArray(8192, '\0')), qint64{8192});
    file.close();

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.filePath(QStringLiteral("runtime")));
    environment.insert(QStringLiteral("VELTRA_CONFIG_INSTANCE"), home.path().section(u'/', -1));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
    environment.insert(QStringLiteral("XDG_STATE_HOME"), home.filePath(QStringLiteral("state")));
    QProcess process;
    process.setProcessEnvironment(environment);
    const QString out = home.filePath(QStringLiteral("shots"));
    process.start(QStringLiteral(VELTRA_CONFIG_BINARY),
                  {QStringLiteral("--screenshots"), out, QStringLiteral("--image"), image});
    QVERIFY(process.waitForStarted(15000));
    const bool finished = process.waitForFinished(60000);
    if (!finished) {
      process.kill();
      process.waitForFinished(15000);
    }
    QVERIFY2(finished, "the screenshot run waits for an answer");
    const QString errors = QString::fromLocal8Bit(process.readAllStandardError());
    QCOMPARE(process.exitCode(), 0);
    QVERIFY2(errors.contains(QStringLiteral("EEPROM Empty")), qPrintable(errors));
    QVERIFY(QFile::exists(QDir(out).filePath(QStringLiteral("1-usb-config.png"))));
  }

  // A short --image is announced in a message box once the window shows; the window then
  // works as ever (here: the whole tour runs).
  void AShortImageFileIsAnnouncedInTheWindow() {
    QTemporaryDir home;
    QVERIFY(home.isValid());
    QDir(home.path()).mkpath(QStringLiteral("runtime"));
    QFile::setPermissions(home.filePath(QStringLiteral("runtime")),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QString image = home.filePath(QStringLiteral("short.bin"));
    QFile file(image);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(QByteArray(100, '\0')), qint64{100});
    file.close();

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.filePath(QStringLiteral("runtime")));
    environment.insert(QStringLiteral("VELTRA_CONFIG_INSTANCE"), home.path().section(u'/', -1));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
    environment.insert(QStringLiteral("XDG_STATE_HOME"), home.filePath(QStringLiteral("state")));
    QProcess process;
    process.setProcessEnvironment(environment);
    const QString out = home.filePath(QStringLiteral("shots"));
    process.start(QStringLiteral(VELTRA_CONFIG_BINARY),
                  {QStringLiteral("--screenshots"), out, QStringLiteral("--image"), image});
    QVERIFY(process.waitForStarted(15000));
    const bool finished = process.waitForFinished(60000);
    if (!finished) {
      process.kill();
      process.waitForFinished(15000);
    }
    QVERIFY(finished);
    const QString errors = QString::fromLocal8Bit(process.readAllStandardError());
    QCOMPARE(process.exitCode(), 0);
    const QString notice = QStringLiteral("veltra-config: screenshots: message: ") + image +
                           QStringLiteral(
                               " holds 100 bytes, the EEPROM's transfer length is "
                               "8191: the missing bytes are taken as 0\n");
    QVERIFY2(errors.contains(notice), qPrintable(errors));
    QVERIFY(QFile::exists(QDir(out).filePath(QStringLiteral("6-about.png"))));
  }
};

QTEST_GUILESS_MAIN(ScreenshotTourTest)
#include "screenshot_tour_test.moc"
