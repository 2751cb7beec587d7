#include <functional>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "ui/qt_user_dialogs.h"
#include "ui/recent_folder.h"

using veltra::ui::QtUserDialogs;
using veltra::ui::RecentFolder;

namespace {

constexpr char kFilter[] = "EERPOM files (*.bin)|*.bin||";

// Answers the next file dialog: notes the folder it opened in, then chooses the file (or cancels
// with an empty name).
class FileDialogAnswer {
 public:
  explicit FileDialogAnswer(QString file) : file_(std::move(file)) {
    QTimer::singleShot(0, [this] { Answer(); });
  }
  QString OpenedIn() const { return openedIn_; }

 private:
  void Answer() {
    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    if (dialog == nullptr) {
      QTimer::singleShot(10, [this] { Answer(); });
      return;
    }
    openedIn_ = dialog->directory().absolutePath();
    if (file_.isEmpty()) {
      dialog->reject();
      return;
    }
    dialog->selectFile(file_);
    static_cast<QDialog*>(dialog)->accept();  // the file dialog's own accept, as OK runs it
  }

  QString file_;
  QString openedIn_;
};

QString Canonical(const QString& path) {
  return QDir(path).canonicalPath();
}

}  // namespace

class QtUserDialogsTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    QVERIFY(dir_.isValid());
    settings_ = dir_.filePath(QStringLiteral("ConfigTool.conf"));
    QFile::remove(settings_);
    for (const char* name : {"first", "second"})
      QVERIFY(QDir(dir_.path()).mkpath(QString::fromLatin1(name)));
  }

  void DialogsOpenInTheFolderLastUsed() {
    QtUserDialogs dialogs{RecentFolder(settings_)};
    const QString first = dir_.filePath(QStringLiteral("first"));
    const QString second = dir_.filePath(QStringLiteral("second"));

    // Nothing remembered: the working folder.
    {
      FileDialogAnswer answer(first + QStringLiteral("/dump.bin"));
      QCOMPARE(dialogs.GetSaveFileName(nullptr, QString::fromLatin1(kFilter), "bin"),
               first + QStringLiteral("/dump.bin"));
      QCOMPARE(Canonical(answer.OpenedIn()), Canonical(QDir::currentPath()));
    }
    // The save dialog's folder serves the open dialog next, and the other way round.
    QFile file(second + QStringLiteral("/image.bin"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    {
      FileDialogAnswer answer(file.fileName());
      QCOMPARE(dialogs.GetOpenFileName(nullptr, QString::fromLatin1(kFilter), "bin"),
               file.fileName());
      QCOMPARE(Canonical(answer.OpenedIn()), Canonical(first));
    }
    {
      FileDialogAnswer answer{QString()};  // cancelled: the folder stays
      QCOMPARE(dialogs.GetSaveFileName(nullptr, QString::fromLatin1(kFilter), "bin"), std::nullopt);
      QCOMPARE(Canonical(answer.OpenedIn()), Canonical(second));
    }
    {
      FileDialogAnswer answer{QString()};
      dialogs.GetOpenFileName(nullptr, QString::fromLatin1(kFilter), "bin");
      QCOMPARE(Canonical(answer.OpenedIn()), Canonical(second));
    }
  }

  void FolderSinceRemovedIsForgotten() {
    const QString gone = dir_.filePath(QStringLiteral("gone"));
    QVERIFY(QDir().mkpath(gone));
    RecentFolder folder(settings_);
    folder.Remember(gone + QStringLiteral("/x.bin"));
    QCOMPARE(folder.Folder(), gone);
    QVERIFY(QDir(gone).removeRecursively());
    QCOMPARE(folder.Folder(), QString());
  }

  void LogSettingsAreLeftAsTheyAre_data() {
    QTest::addColumn<QString>("store");
    QTest::newRow("both set") << "[General]\nEnableLog=0x1\nLogType=0\n";
    QTest::newRow("none set") << "";
  }
  void LogSettingsAreLeftAsTheyAre() {
    QFETCH(QString, store);
    QFile file(settings_);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(store.toUtf8());
    file.close();
    QVariant enableLog;
    QVariant logType;
    qsizetype keys = 0;
    {
      const QSettings before(settings_, QSettings::IniFormat);
      enableLog = before.value(QStringLiteral("EnableLog"));
      logType = before.value(QStringLiteral("LogType"));
      keys = before.allKeys().size();
    }

    RecentFolder(settings_).Remember(dir_.filePath(QStringLiteral("first/dump.bin")));

    const QSettings after(settings_, QSettings::IniFormat);
    QCOMPARE(after.value(QStringLiteral("EnableLog")), enableLog);
    QCOMPARE(after.value(QStringLiteral("LogType")), logType);
    QCOMPARE(after.allKeys().size(), keys + 1);
    QCOMPARE(after.value(QString::fromLatin1(RecentFolder::kValueName)).toString(),
             dir_.filePath(QStringLiteral("first")));
  }

 private:
  QTemporaryDir dir_;
  QString settings_;
};

QTEST_MAIN(QtUserDialogsTest)
#include "qt_user_dialogs_test.moc"
