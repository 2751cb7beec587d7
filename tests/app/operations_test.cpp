#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProgressBar>
#include <QtTest>

#include "app/background_operations.h"
#include "app/progress_window.h"
#include "app/qt_platform_window.h"
#include "app/qt_timers.h"
#include "app_harness.h"
#include "image/eeprom_config.h"
#include "image/factory_image.h"
#include "image/image_layout.h"
#include "image/operation_texts.h"
#include "image/section.h"
#include "platform/vendor_packet.h"

using veltra::app::BackgroundOperations;
using veltra::app::testing::AppHarness;
using veltra::app::testing::HarnessOptions;
using veltra::app::testing::ReadFile;
using Entry = veltra::ui::testing::ScriptedUserDialogs::Entry;
using Kind = veltra::ui::testing::ScriptedUserDialogs::Kind;

namespace {

HarnessOptions Small() {
  HarnessOptions options;
  options.device.eeprom = veltra::device::FindEepromType("S24C02");
  return options;
}

void WriteFile(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  QVERIFY(file.open(QIODevice::WriteOnly));
  QCOMPARE(file.write(bytes), bytes.size());
}

QByteArray Pattern(int length) {
  QByteArray bytes(length, 0);
  for (int i = 0; i < length; ++i)
    bytes[i] = static_cast<char>(0xA0 ^ (i * 7));
  return bytes;
}

// The default 24C64 whose first 60 bytes read again at 0x0100, as after a 24C02's image was
// rolled over into it.
HarnessOptions HeaderAgainAt0x100() {
  HarnessOptions options;
  options.contents = veltra::app::testing::Contents::kGiven;
  options.bytes = *veltra::image::BuildFactoryImage(0x5A52, 0x7731, 8192);
  std::copy_n(options.bytes.begin(), 60, options.bytes.begin() + 0x100);
  return options;
}

veltra::sim::Faults Nack() {
  veltra::sim::Faults faults;
  faults.forceNack = true;
  return faults;
}

// Should the tool still wait on a named pipe after a while, opens the pipe's other end so that
// the test ends instead of hanging, and remembers that it had to. A read end stays open until
// the test is done, so that a write into the pipe cannot end the test with SIGPIPE.
class PipeWatchdog {
 public:
  PipeWatchdog(const QString& pipe, int flags)
      : name_(QFile::encodeName(pipe)), flags_(flags), thread_([this] { Run(); }) {}
  ~PipeWatchdog() { Release(); }

  // The test is past the point where it could have hung; true when the watchdog had to step in.
  bool Release() {
    {
      std::lock_guard lock(mutex_);
      released_ = true;
    }
    condition_.notify_all();
    if (thread_.joinable()) thread_.join();
    return hadToOpen_;
  }

 private:
  void Run() {
    std::unique_lock lock(mutex_);
    if (condition_.wait_for(lock, std::chrono::seconds(5), [this] { return released_; })) return;
    hadToOpen_ = true;
    const int fd = open(name_.constData(), flags_ | O_NONBLOCK);
    if ((flags_ & O_ACCMODE) == O_RDONLY) condition_.wait(lock, [this] { return released_; });
    if (fd >= 0) close(fd);
  }

  QByteArray name_;
  int flags_;
  std::mutex mutex_;
  std::condition_variable condition_;
  bool released_ = false;
  bool hadToOpen_ = false;
  std::thread thread_;
};

// Queues one click on a button when the watched widget is hidden: a click the user made just
// as the progress window went away.
class ClickOnHide : public QObject {
 public:
  explicit ClickOnHide(QAbstractButton* button) : button_(button) {}
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Hide && clicks == 0) {
      ++clicks;
      QMetaObject::invokeMethod(
          button_, [button = button_] { button->click(); }, Qt::QueuedConnection);
    }
    return QObject::eventFilter(watched, event);
  }
  int clicks = 0;

 private:
  QAbstractButton* button_;
};

}  // namespace

class OperationsTest : public QObject {
  Q_OBJECT

 private slots:
  void SaveWritesTheImage() {
    AppHarness app;
    QVERIFY(app.Connect());
    // Change a byte the pages do not own, so the write is visible.
    auto* audio = app.Window().Model().FindSection(veltra::image::section_type::kAudioIo);
    QVERIFY(audio != nullptr && audio->HasData());
    audio->data[0] = 0x12;
    app.WatchCover();
    QVERIFY(app.ClickAndWait("3"));
    QCOMPARE(app.Dialogs().Messages(), QStringList{veltra::image::text::kSaveDone});
    QVERIFY(app.EveryDialogCovered());
    const std::vector<uint8_t> bytes = app.EepromBytes();
    const uint32_t t = app.Window().TransferLength();
    const auto image = app.Window().Model().ImageBuffer();
    QVERIFY(std::equal(image.begin(), image.begin() + t, bytes.begin()));
    QVERIFY(app.Window().IsConnected());
  }

  void WritesThatTheEepromFileCannotKeepSaySo() {
    AppHarness app;
    QVERIFY(app.Connect());
    // The simulated EEPROM's file can no longer be written: its folder is gone.
    QVERIFY(QDir(QFileInfo(app.TempPath(QStringLiteral("eeprom.bin"))).absolutePath())
                .removeRecursively());
    for (const auto& [button, text] : {std::pair{"3", veltra::image::text::kWriteFailed},
                                       std::pair{"4", veltra::image::text::kEraseFailed}}) {
      app.Dialogs().Clear();
      app.Dialogs().AnswerQuestion(true);  // Erase asks first; Save asks nothing here
      QVERIFY(app.ClickAndWait(button));
      const QStringList messages = app.Dialogs().Messages();
      QCOMPARE(messages.size(), 1);
      QVERIFY2(messages[0].startsWith(QString::fromLatin1(text) + QStringLiteral("\n\n")) &&
                   messages[0].contains(QStringLiteral("eeprom.bin")),
               qPrintable(messages[0]));
      QVERIFY(app.Window().isEnabled());
    }
  }

  void SaveThatDoesNotFitSaysSo() {
    AppHarness app(Small());
    QVERIFY(app.Connect(QStringLiteral("S24C02")));
    std::vector<uint8_t> before = app.EepromBytes();
    // A pass-through section: no page stores it again before the write.
    auto* extra = app.Window().Model().FindSection(veltra::image::section_type::kPassThrough4);
    QVERIFY(extra != nullptr);
    extra->data.assign(200, 0x41);
    extra->SetLength(200);
    extra->SetPresent(true);
    // Changed by another program too: that the image cannot fit is said first and alone.
    app.Simulated().Device().Eeprom().Contents()[1] ^= 0xFF;
    QVERIFY(app.ClickAndWait("3"));
    QCOMPARE(app.Dialogs().Texts(), QStringList{"EEPROM Size Not Enough !!!"});
    QVERIFY(app.Window().IsConnected());
    before[1] ^= 0xFF;
    QVERIFY(app.EepromBytes() == before);
  }

  void SaveTransferFailureShowsTheModelsMessage() {
    AppHarness app;
    QVERIFY(app.Connect());
    app.SetFaults(Nack());
    app.WatchCover();
    QVERIFY(app.ClickAndWait("3"));
    QCOMPARE(app.Dialogs().Messages(), QStringList{"Operate EEPROM Failed"});
    QVERIFY(app.EveryDialogCovered());
    QVERIFY(app.Window().IsConnected());
  }

  // veltra-config --used-only: Save writes the image and both tail-record places, the rest of
  // the EEPROM stays as it was; a Refresh reads the same configuration back.
  void UsedOnlySaveLeavesTheRestOfTheEeprom() {
    HarnessOptions options;
    options.usedOnlySave = true;
    options.contents = veltra::app::testing::Contents::kGiven;
    options.bytes = *veltra::image::BuildFactoryImage(0x5A52, 0x7731, 8192);
    const uint32_t t = 8191;
    std::fill(options.bytes.begin() + 1024, options.bytes.begin() + t, uint8_t{0xEE});
    AppHarness app(options);
    QVERIFY(app.Connect());
    const uint32_t total = app.Window().Model().Total();
    QVERIFY(app.ClickAndWait("3"));
    QCOMPARE(app.Dialogs().Messages(), QStringList{veltra::image::text::kSaveDone});
    const std::vector<uint8_t> bytes = app.EepromBytes();
    const uint32_t used = veltra::image::UsedImageLength(total, t);
    QCOMPARE(used, 61 + total + 44);
    const auto image = app.Window().Model().ImageBuffer();
    QVERIFY(std::equal(image.begin(), image.begin() + used, bytes.begin()));
    // Between the used part and the fill the factory image had its erased bytes.
    QVERIFY(std::equal(bytes.begin() + used, bytes.begin() + 1024, options.bytes.begin() + used));
    QVERIFY(
        std::all_of(bytes.begin() + 1024, bytes.begin() + t, [](uint8_t b) { return b == 0xEE; }));

    const std::vector<uint8_t> saved(image.begin(), image.begin() + t);
    app.Dialogs().Clear();
    app.Dialogs().AnswerQuestion(true);
    QVERIFY(app.ClickAndWait("5"));  // Refresh
    QVERIFY(app.Window().IsConnected());
    const auto reread = app.Window().Model().ImageBuffer();
    QCOMPARE(app.Window().Model().Total(), total);
    QVERIFY(std::equal(reread.begin(), reread.begin() + 61 + total, saved.begin()));
  }

  // The window's check box gives the same Save as --used-only, and is remembered.
  void UsedPartCheckBoxCutsTheSaveAndIsRemembered() {
    QTemporaryDir dir;
    HarnessOptions options;
    options.settingsFile = dir.filePath(QStringLiteral("settings.ini"));
    uint64_t whole = 0;
    uint64_t used = 0;
    {
      AppHarness app(options);
      auto* box = app.Control<QCheckBox>("usedOnly");
      QVERIFY(!box->isChecked());
      QVERIFY(app.Connect());
      auto requestsOfSave = [&app] {
        const uint64_t before = app.Simulated().System().RequestCount();
        if (!app.ClickAndWait("3")) return uint64_t{0};
        return app.Simulated().System().RequestCount() - before;
      };
      whole = requestsOfSave();
      box->click();
      used = requestsOfSave();
    }
    QVERIFY2(used > 0 && used * 4 < whole,
             qPrintable(QStringLiteral("%1 of %2").arg(used).arg(whole)));
    QCOMPARE(QSettings(options.settingsFile, QSettings::IniFormat)
                 .value(QString::fromLatin1(veltra::app::CDemoDlg::kUsedOnlySetting))
                 .toBool(),
             true);
    AppHarness again(options);
    QVERIFY(again.Control<QCheckBox>("usedOnly")->isChecked());
    // The start option checks it without a remembered setting.
    HarnessOptions started;
    started.usedOnlySave = true;
    AppHarness fromOption(started);
    QVERIFY(fromOption.Control<QCheckBox>("usedOnly")->isChecked());
  }

  // The progress window's bar follows the transport's bytes up to the whole of the Save.
  void TheProgressBarMovesDuringASave() {
    HarnessOptions options;
    options.device.latencyNs = 50'000;  // a Save of some 50 ms, in steps the window can see
    AppHarness app(options);
    QVERIFY(app.Connect());
    auto* bar = app.Window().Progress().findChild<QProgressBar*>(QStringLiteral("progressBar"));
    QVERIFY(bar != nullptr);
    std::vector<int> values;
    QObject::connect(bar, &QProgressBar::valueChanged,
                     [&values](int value) { values.push_back(value); });
    QVERIFY(app.ClickAndWait("3"));
    QVERIFY2(values.size() >= 3, qPrintable(QString::number(values.size())));
    QVERIFY(std::is_sorted(values.begin(), values.end()));
    QCOMPARE(values.back(), veltra::app::CProgress::kBarRange);
    QCOMPARE(app.Window().Progress().Text(), QStringLiteral("Please Wait...."));
  }

  // The message boxes keep their texts; the diagnostic log gets which chunk failed and why.
  void FailedTransfersLogTheirChunkAndReason() {
    HarnessOptions options;
    options.log = {.enabled = true, .type = veltra::log::LogType::kFile};
    AppHarness app(options);
    QVERIFY(app.Connect());
    app.SetFaults(Nack());
    QVERIFY(app.ClickAndWait("3"));
    QCOMPARE(app.Dialogs().Messages(), QStringList{"Operate EEPROM Failed"});
    app.Dialogs().Clear();
    app.Dialogs().AnswerQuestion(true);
    QVERIFY(app.ClickAndWait("4"));
    QCOMPARE(app.Dialogs().Messages(), QStringList{"Fail to erase EEPROM"});
    const QString log =
        QString::fromLatin1(ReadFile(app.TempPath(QStringLiteral("state/VeltraConfig.log"))));
    for (const char* line : {"Operate EEPROM Failed: chunk 0x0000: not acknowledged after ",
                             "Fail to erase EEPROM: chunk 0x0000: not acknowledged after "}) {
      QVERIFY2(log.contains(QLatin1String(line)), qPrintable(log));
    }
  }

  // The default 24C64 taken for a 24C512 or a 24C128: the image fits, so Connect works. The byte
  // written at 0x2000 comes back at 0: Save and Load are refused naming the part, and leave it as
  // it was; Erase erases the part whole.
  void AWrongTypeRefusesWritesButErases() {
    for (const char* type : {"S24C512", "S24C128"}) {
      AppHarness app;
      QVERIFY(app.Connect(QString::fromLatin1(type)));
      const std::vector<uint8_t> before = app.EepromBytes();
      const QString refusal =
          QStringLiteral(
              "EEPROM Type Too Large !!!\n\nThe EEPROM is an S24C64, not the chosen "
              "%1: a byte written at address 0x2000 came back at address 0x0000. It "
              "was put back; nothing else was written.")
              .arg(QString::fromLatin1(type));
      QVERIFY(app.ClickAndWait("3"));
      app.Dialogs().AnswerFile(app.TempPath(QStringLiteral("load.bin")));
      WriteFile(app.TempPath(QStringLiteral("load.bin")), Pattern(100));
      QVERIFY(app.ClickAndWait("1161"));
      QCOMPARE(app.Dialogs().Messages(), (QStringList{refusal, refusal}));
      QVERIFY(app.EepromBytes() == before);
    }
    AppHarness app;
    QVERIFY(app.Connect(QStringLiteral("S24C128")));
    app.Dialogs().AnswerQuestion(true);
    QVERIFY(app.ClickAndWait("4"));
    QCOMPARE(app.Dialogs().Messages(), QStringList{veltra::image::text::kEraseDone});
    const std::vector<uint8_t> bytes = app.EepromBytes();
    QVERIFY(std::all_of(bytes.begin(), bytes.end(), [](uint8_t b) { return b == 0; }));
  }

  // A header repeated at 0x0100 in the right part: nothing is refused or asked. After FILE ->
  // EEPROM the window no longer matches the EEPROM, and Save asks before writing over the file.
  void AHeaderRepeatedInTheRightPartLocksNothingOut() {
    const HarnessOptions options = HeaderAgainAt0x100();
    AppHarness app(options);
    QVERIFY(app.Connect());
    const QString file = app.TempPath(QStringLiteral("rolled.bin"));
    WriteFile(file, veltra::app::testing::Bytes(options.bytes));
    app.Dialogs().AnswerFile(file);
    QVERIFY(app.ClickAndWait("1161"));
    app.Dialogs().AnswerQuestion(false);
    QVERIFY(app.ClickAndWait("3"));
    QVERIFY(app.EepromBytes() == options.bytes);
    app.Dialogs().AnswerQuestion(true);
    QVERIFY(app.ClickAndWait("3"));
    const QString loaded = QString::fromLatin1(veltra::app::kEepromLoadedQuestion);
    QCOMPARE(app.Dialogs().Texts(), (QStringList{veltra::image::text::kLoadDone, loaded, loaded,
                                                 veltra::image::text::kSaveDone}));
  }

  // The same repeat on a part that keeps no test byte there (write-protected from 0x0100):
  // nothing tells it from a smaller part, so Save asks, naming both; Cancel writes nothing.
  void AnUnprovenSmallerPartIsAskedAbout() {
    const HarnessOptions options = HeaderAgainAt0x100();
    AppHarness app(options);
    QVERIFY(app.Connect());
    app.SetFaults({.writeProtectFrom = 0x100});
    app.Dialogs().AnswerQuestion(false);
    QVERIFY(app.ClickAndWait("3"));
    QCOMPARE(app.Dialogs().Texts(),
             QStringList{QStringLiteral(
                 "The EEPROM may be an S24C02, not the chosen S24C64: its first 60 bytes read "
                 "again at address 0x0100, and a test byte written there did not stay. An image "
                 "rolled over into an S24C64 reads so too.\n\nWrite it as an S24C64 all the "
                 "same?")});
    QVERIFY(app.EepromBytes() == options.bytes);
  }

  // Bytes acknowledged but not kept (a write-protected upper half) fail the operation with its
  // own text; the log says where.
  void AWriteThatDidNotStickFails() {
    HarnessOptions options;
    options.log = {.enabled = true, .type = veltra::log::LogType::kFile};
    options.contents = veltra::app::testing::Contents::kGiven;
    options.bytes = *veltra::image::BuildFactoryImage(0x5A52, 0x7731, 8192);
    std::fill(options.bytes.begin() + 0x1000, options.bytes.end(), uint8_t{0xEE});
    AppHarness app(options);
    QVERIFY(app.Connect());
    veltra::sim::Faults protect;
    protect.writeProtectFrom = 0x1000;
    app.SetFaults(protect);
    QVERIFY(app.ClickAndWait("3"));
    app.Dialogs().AnswerQuestion(true);
    QVERIFY(app.ClickAndWait("4"));
    QCOMPARE(app.Dialogs().Messages(),
             (QStringList{"Operate EEPROM Failed", "Fail to erase EEPROM"}));
    const QString log =
        QString::fromLatin1(ReadFile(app.TempPath(QStringLiteral("state/VeltraConfig.log"))));
    QVERIFY2(log.contains(QLatin1String("Operate EEPROM Failed: read back: 4095 bytes differ, the "
                                        "first at 0x1000 (EEPROM 0xEE, written 0x00)")),
             qPrintable(log));
  }

  void EraseAsksFirstAndCancelSendsNothing() {
    AppHarness app;
    QVERIFY(app.Connect());
    const uint64_t requests = app.Simulated().System().RequestCount();
    app.Dialogs().AnswerQuestion(false);
    QVERIFY(app.ClickAndWait("4"));
    QCOMPARE(app.Dialogs().Texts(), QStringList{veltra::app::CDemoDlg::kEraseQuestion});
    QCOMPARE(app.Simulated().System().RequestCount(), requests);
  }

  void EraseZeroesTheTransferLength() {
    AppHarness app(Small());
    QVERIFY(app.Connect(QStringLiteral("S24C02")));
    app.WatchCover();
    app.Dialogs().AnswerQuestion(true);
    QVERIFY(app.ClickAndWait("4"));
    QCOMPARE(app.Dialogs().Messages(), QStringList{veltra::image::text::kEraseDone});
    QVERIFY(app.EveryDialogCovered());
    const std::vector<uint8_t> bytes = app.EepromBytes();
    QVERIFY(std::all_of(bytes.begin(), bytes.begin() + 255, [](uint8_t b) { return b == 0; }));
    // The model and the pages stay as they were.
    QVERIFY(app.Window().IsConnected());
    QVERIFY(!app.Window().Model().IsEmpty());
  }

  void EraseFailureSaysSo() {
    AppHarness app;
    QVERIFY(app.Connect());
    app.SetFaults(Nack());
    app.Dialogs().AnswerQuestion(true);
    QVERIFY(app.ClickAndWait("4"));
    QCOMPARE(app.Dialogs().Messages(), QStringList{"Fail to erase EEPROM"});
    QVERIFY(app.Window().IsConnected());
  }

  void DumpWritesTransferLengthBytes() {
    AppHarness app(Small());
    QVERIFY(app.Connect(QStringLiteral("S24C02")));
    const QString file = app.TempPath(QStringLiteral("dump.bin"));
    WriteFile(file, QByteArray(1000, 'x'));  // truncated by the dump
    app.Dialogs().AnswerFile(file);
    app.WatchCover();
    QVERIFY(app.ClickAndWait("1160"));
    QCOMPARE(app.Dialogs().Messages(), QStringList{"EEPROM -> File completely"});
    QVERIFY(app.EveryDialogCovered());
    const Entry& dialog = app.Dialogs().Entries().front();
    QCOMPARE(dialog.kind, Kind::kSaveFile);
    QCOMPARE(dialog.text, QStringLiteral("EERPOM files (*.bin)|*.bin||"));
    QCOMPARE(dialog.owner, &app.Window());
    QCOMPARE(app.Dialogs().LastDefaultSuffix(), QStringLiteral("bin"));
    const QByteArray written = ReadFile(file);
    QCOMPARE(written.size(), 255);
    const std::vector<uint8_t> bytes = app.EepromBytes();
    QCOMPARE(written, QByteArray(reinterpret_cast<const char*>(bytes.data()), 255));
  }

  void LoadWritesFileAndZeros() {
    AppHarness app(Small());
    QVERIFY(app.Connect(QStringLiteral("S24C02")));
    const QString file = app.TempPath(QStringLiteral("load.bin"));
    const QByteArray content = Pattern(100);
    WriteFile(file, content);
    app.Dialogs().AnswerFile(file);
    app.WatchCover();
    QVERIFY(app.ClickAndWait("1161"));
    QCOMPARE(app.Dialogs().Messages(), QStringList{veltra::image::text::kLoadDone});
    QVERIFY(app.EveryDialogCovered());
    QCOMPARE(app.Dialogs().Entries().front().kind, Kind::kOpenFile);
    const std::vector<uint8_t> bytes = app.EepromBytes();
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(bytes.data()), 100), content);
    QVERIFY(
        std::all_of(bytes.begin() + 100, bytes.begin() + 255, [](uint8_t b) { return b == 0; }));
    QVERIFY(app.Window().IsConnected());
  }

  void LongFileLoadsTransferLengthOnly() {
    AppHarness app(Small());
    QVERIFY(app.Connect(QStringLiteral("S24C02")));
    const std::vector<uint8_t> before = app.EepromBytes();
    const QString file = app.TempPath(QStringLiteral("long.bin"));
    WriteFile(file, Pattern(300));
    app.Dialogs().AnswerFile(file);
    QVERIFY(app.ClickAndWait("1161"));
    const std::vector<uint8_t> bytes = app.EepromBytes();
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(bytes.data()), 255), Pattern(300).left(255));
    QCOMPARE(bytes[255], before[255]);  // the last byte is never part of a transfer
  }

  void CancelledFileDialogsEndQuietly() {
    AppHarness app(Small());
    QVERIFY(app.Connect(QStringLiteral("S24C02")));
    const std::vector<uint8_t> before = app.EepromBytes();
    app.Dialogs().AnswerFile(std::nullopt);
    QVERIFY(app.ClickAndWait("1160"));
    app.Dialogs().AnswerFile(std::nullopt);
    QVERIFY(app.ClickAndWait("1161"));
    QCOMPARE(app.Dialogs().Texts(), QStringList());
    QCOMPARE(app.Dialogs().Entries().size(), size_t{2});
    QVERIFY(app.EepromBytes() == before);
    QVERIFY(app.Window().IsConnected());
  }

  void DumpReadFailureWritesNoFile() {
    AppHarness app;
    QVERIFY(app.Connect());
    app.SetFaults(Nack());
    const QString file = app.TempPath(QStringLiteral("never.bin"));
    app.Dialogs().AnswerFile(file);
    QVERIFY(app.ClickAndWait("1160"));
    QCOMPARE(app.Dialogs().Messages(), QStringList{"Fail to read EEPROM"});
    QVERIFY(!QFile::exists(file));
  }

  // The chosen file holds its old contents until the new image is complete, and keeps what
  // it is: a read-only file is refused, a link stays a link.
  void DumpNeverLosesTheChosenFile() {
    AppHarness app(Small());
    QVERIFY(app.Connect(QStringLiteral("S24C02")));
    const QString backup = app.TempPath(QStringLiteral("backup.bin"));
    WriteFile(backup, Pattern(255));
    app.SetFaults(Nack());
    app.Dialogs().AnswerFile(backup);
    QVERIFY(app.ClickAndWait("1160"));
    app.SetFaults({});
    QCOMPARE(ReadFile(backup), Pattern(255));

    QVERIFY(QFile::setPermissions(backup, QFile::ReadOwner | QFile::ReadGroup));
    app.Dialogs().AnswerFile(backup);
    QVERIFY(app.ClickAndWait("1160"));
    QCOMPARE(ReadFile(backup), Pattern(255));
    struct stat status {};
    QCOMPARE(stat(QFile::encodeName(backup).constData(), &status), 0);
    QCOMPARE(status.st_mode & 07777, 0440u);

    const QString link = app.TempPath(QStringLiteral("latest.bin"));
    const QString target = app.TempPath(QStringLiteral("target.bin"));
    WriteFile(target, QByteArray(3, 'x'));
    QVERIFY(QFile::link(target, link));
    app.Dialogs().AnswerFile(link);
    QVERIFY(app.ClickAndWait("1160"));
    QVERIFY(QFileInfo(link).isSymLink());
    const std::vector<uint8_t> bytes = app.EepromBytes();
    QCOMPARE(ReadFile(target), QByteArray(reinterpret_cast<const char*>(bytes.data()), 255));

    QCOMPARE(app.Dialogs().Messages(),
             (QStringList{"Fail to read EEPROM",
                          QStringLiteral("Fail to write file\n\n") + backup +
                              QStringLiteral(": Permission denied"),
                          "EEPROM -> File completely"}));
    QVERIFY(app.Window().IsConnected());
  }

  void LoadWriteFailureSaysSo() {
    AppHarness app(Small());
    QVERIFY(app.Connect(QStringLiteral("S24C02")));
    const QString file = app.TempPath(QStringLiteral("load.bin"));
    WriteFile(file, Pattern(10));
    app.SetFaults(Nack());
    app.Dialogs().AnswerFile(file);
    QVERIFY(app.ClickAndWait("1161"));
    QCOMPARE(app.Dialogs().Messages(), QStringList{"Fail to write EEPROM"});
  }

  void UnusableFilesAreNamedWithTheReason() {
    AppHarness app(Small());
    QVERIFY(app.Connect(QStringLiteral("S24C02")));
    const QString noDir = app.TempPath(QStringLiteral("missing/dump.bin"));
    app.Dialogs().AnswerFile(noDir);
    QVERIFY(app.ClickAndWait("1160"));
    const QString missing = app.TempPath(QStringLiteral("missing.bin"));
    app.Dialogs().AnswerFile(missing);
    QVERIFY(app.ClickAndWait("1161"));
    const QStringList messages = app.Dialogs().Messages();
    QCOMPARE(messages.size(), 2);
    QVERIFY2(
        messages[0].startsWith(QStringLiteral("Fail to write file")) && messages[0].contains(noDir),
        qPrintable(messages[0]));
    QVERIFY2(messages[1].startsWith(QStringLiteral("Fail to read file")) &&
                 messages[1].contains(missing),
             qPrintable(messages[1]));
    QVERIFY(app.Window().isEnabled());
  }

  void NamedPipesAreRefusedWithoutWaitingForTheOtherEnd() {
    AppHarness app(Small());
    QVERIFY(app.Connect(QStringLiteral("S24C02")));
    const std::vector<uint8_t> before = app.EepromBytes();
    const QString pipe = app.TempPath(QStringLiteral("pipe.bin"));
    QCOMPARE(mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);

    {
      PipeWatchdog watchdog(pipe, O_WRONLY);
      app.Dialogs().AnswerFile(pipe);
      QVERIFY(app.ClickAndWait("1161"));
      QVERIFY(!watchdog.Release());
    }
    {
      PipeWatchdog watchdog(pipe, O_RDONLY);
      app.Dialogs().AnswerFile(pipe);
      QVERIFY(app.ClickAndWait("1160"));
      QVERIFY(!watchdog.Release());
    }
    const QStringList messages = app.Dialogs().Messages();
    QCOMPARE(messages.size(), 2);
    QVERIFY2(
        messages[0].startsWith(QStringLiteral("Fail to read file")) && messages[0].contains(pipe),
        qPrintable(messages[0]));
    QVERIFY2(
        messages[1].startsWith(QStringLiteral("Fail to write file")) && messages[1].contains(pipe),
        qPrintable(messages[1]));
    // Nothing read from the pipe went into the EEPROM.
    QVERIFY(app.EepromBytes() == before);
    QVERIFY(app.Window().IsConnected());
  }

  void BusyWindowTakesNoCommands() {
    AppHarness app(Small());
    QVERIFY(app.Connect(QStringLiteral("S24C02")));
    app.Dialogs().AnswerQuestion(true);
    app.Button("4")->click();
    QVERIFY(app.Window().IsBusy());
    QVERIFY(!app.Window().isEnabled());
    app.Window().close();         // the close request is not even asked about
    app.Button("1160")->click();  // disabled: no second operation
    QVERIFY(app.WaitIdle());
    QVERIFY(app.Window().isVisible());
    QCOMPARE(app.Dialogs().Texts(),
             (QStringList{veltra::app::CDemoDlg::kEraseQuestion, veltra::image::text::kEraseDone}));
    QCOMPARE(app.Dialogs().Entries().size(), size_t{2});
  }

  // A click queued while an operation ends starts the next one before the end is fully
  // handled: the new operation must keep the timers held for itself.
  void AnOperationStartedRightAfterAnotherKeepsItsTimerHold() {
    AppHarness app(Small());
    QVERIFY(app.Connect(QStringLiteral("S24C02")));
    auto* progress = app.Window().findChild<veltra::app::CProgress*>();
    QVERIFY(progress != nullptr);
    QPushButton* erase = app.Button("4");
    ClickOnHide clickAgain(erase);
    progress->installEventFilter(&clickAgain);
    std::vector<std::pair<bool, bool>> atFinish;  // (busy, timers held) per finished operation
    QObject::connect(&app.Window(), &veltra::app::CDemoDlg::OperationFinished, [&](int code) {
      if (code == veltra::app::kErase)
        atFinish.emplace_back(app.Window().IsBusy(), app.Backend().Timers().Held());
    });
    app.Dialogs().AnswerQuestion(true);
    app.Dialogs().AnswerQuestion(true);
    erase->click();
    QTRY_COMPARE(atFinish.size(), size_t{2});
    QVERIFY(app.WaitIdle());
    QCOMPARE(clickAgain.clicks, 1);
    // When the first operation's end was announced the second one was running, timers held.
    QCOMPARE(atFinish[0], std::make_pair(true, true));
    QCOMPARE(atFinish[1], std::make_pair(false, false));
    QCOMPARE(app.Dialogs().Messages(),
             QStringList({veltra::image::text::kEraseDone, veltra::image::text::kEraseDone}));
  }

  void RemovalMessageDuringAnOperationWaitsForItsEnd() {
    AppHarness app;
    QVERIFY(app.Connect());
    // The removal message reaches the window while the worker owns the device (here: while
    // the dump asks for its file); it must not detach the device under the worker.
    bool connectedMeanwhile = false;
    bool attachedMeanwhile = false;
    app.Dialogs().OnDialog([&](const Entry& entry) {
      if (entry.kind != Kind::kSaveFile) return;
      app.Window().PlatformWindow().PostMessage(veltra::app::kDeviceRemovalMessage, 0, 0);
      QCoreApplication::processEvents();
      connectedMeanwhile = app.Window().IsConnected();
      attachedMeanwhile = app.Backend().Channel().IsAttached();
    });
    app.Dialogs().AnswerFile(app.TempPath(QStringLiteral("dump.bin")));
    QVERIFY(app.ClickAndWait("1160"));
    QVERIFY(connectedMeanwhile);
    QVERIFY(attachedMeanwhile);
    QCOMPARE(app.Dialogs().Messages(), QStringList{veltra::image::text::kDumpDone});
    // Then the window lets the device go.
    QTRY_VERIFY(!app.Window().IsConnected());
    QVERIFY(!app.Backend().Channel().IsAttached());
  }

  void MidTransferUnplugEndsTheOperationThenDisconnects() {
    AppHarness app;
    QVERIFY(app.Connect());
    veltra::sim::Faults faults;
    faults.unplugAfter = app.Simulated().System().RequestCount() + 20;
    app.SetFaults(faults);
    app.Dialogs().AnswerFile(app.TempPath(QStringLiteral("cut.bin")));
    QVERIFY(app.ClickAndWait("1160"));
    QCOMPARE(app.Dialogs().Messages(), QStringList{"Fail to read EEPROM"});
    // The removal notice waited for the operation; now the window lets the device go.
    QTRY_VERIFY(!app.Window().IsConnected());
  }
};

QTEST_MAIN(OperationsTest)
#include "operations_test.moc"
