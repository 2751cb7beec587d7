#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// Whether some process holds a flock on the file, read from /proc/locks so that looking does
// not take the lock away from a copy that is starting.
bool LockHeld(const QString& path) {
  struct stat info {};
  if (stat(QFile::encodeName(path).constData(), &info) != 0) return false;
  QFile locks(QStringLiteral("/proc/locks"));
  if (!locks.open(QIODevice::ReadOnly)) return false;
  const QString inode = QStringLiteral(":%1 ").arg(static_cast<qulonglong>(info.st_ino));
  for (const QByteArray& line : locks.readAll().split('\n')) {
    const QString text = QString::fromLatin1(line);
    if (text.contains(QLatin1String("FLOCK")) && text.contains(inode)) return true;
  }
  return false;
}

}  // namespace

class SingleInstanceTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    QVERIFY(home_.isValid());
    QDir(home_.path()).mkpath(QStringLiteral("runtime"));
    QFile::setPermissions(home_.filePath(QStringLiteral("runtime")),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    environment_ = QProcessEnvironment::systemEnvironment();
    environment_.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment_.insert(QStringLiteral("XDG_RUNTIME_DIR"),
                        home_.filePath(QStringLiteral("runtime")));
    environment_.insert(QStringLiteral("XDG_DATA_HOME"), home_.filePath(QStringLiteral("data")));
    environment_.insert(QStringLiteral("XDG_CONFIG_HOME"),
                        home_.filePath(QStringLiteral("config")));
    environment_.insert(QStringLiteral("XDG_STATE_HOME"), home_.filePath(QStringLiteral("state")));
    // A name of this test's own, so that copies other tests run do not count.
    const QString scope = QStringLiteral("single-%1").arg(QCoreApplication::applicationPid());
    environment_.insert(QStringLiteral("VELTRA_CONFIG_INSTANCE"), scope);
    lockFile_ = QStringLiteral("/tmp/veltra-config-%1/TR7731_Configuration_Tool_%2.lock")
                    .arg(getuid())
                    .arg(scope);
  }

  void SecondCopyEndsAtOnceWhileTheFirstRuns() {
    QProcess first;
    Start(first);
    QTRY_VERIFY_WITH_TIMEOUT(LockHeld(lockFile_), 15000);

    // Another session's or su's environment: the same user all the same.
    QProcess second;
    environment_.insert(QStringLiteral("XDG_RUNTIME_DIR"), home_.path());
    environment_.insert(QStringLiteral("TMPDIR"), home_.path());
    Start(second);
    QVERIFY(second.waitForFinished(15000));
    QCOMPARE(second.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.exitCode(), 0);
    QCOMPARE(second.readAllStandardOutput(), QByteArray());
    QCOMPARE(first.state(), QProcess::Running);
    Stop(first);
  }

  void KilledCopyLeavesNoBlockingLock() {
    QProcess first;
    Start(first);
    QTRY_VERIFY_WITH_TIMEOUT(LockHeld(lockFile_), 15000);
    first.kill();  // no chance to release anything
    QVERIFY(first.waitForFinished(15000));
    QVERIFY(QFile::exists(lockFile_));
    QVERIFY(!LockHeld(lockFile_));

    QProcess next;
    Start(next);
    QTRY_VERIFY_WITH_TIMEOUT(LockHeld(lockFile_), 15000);
    QCOMPARE(next.state(), QProcess::Running);
    Stop(next);
  }

 private:
  void Start(QProcess& process) {
    process.setProcessEnvironment(environment_);
    process.start(QStringLiteral(VELTRA_CONFIG_BINARY), {});
    QVERIFY(process.waitForStarted(15000));
  }

  void Stop(QProcess& process) {
    process.kill();
    process.waitForFinished(15000);
  }

  QTemporaryDir home_;
  QProcessEnvironment environment_;
  QString lockFile_;
};

QTEST_GUILESS_MAIN(SingleInstanceTest)
#include "single_instance_test.moc"
