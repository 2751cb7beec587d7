// The GUI's simulated EEPROM file as veltra-cli shares it, and what the GUI says about an image
// file it cannot take as it is.
#include <algorithm>
#include <chrono>
#include <memory>
#include <vector>

#include <QFile>
#include <QtTest>

#include "app/background_operations.h"
#include "app_harness.h"
#include "device/channel.h"
#include "device/transport.h"
#include "image/eeprom_config.h"
#include "image/factory_image.h"
#include "image/operation_texts.h"
#include "image/section.h"
#include "platform/sim/image_file_lock.h"
#include "platform/sim/sim_system.h"

using veltra::app::testing::AppHarness;
using veltra::app::testing::Contents;
using veltra::app::testing::HarnessOptions;
using veltra::app::testing::ReadFile;

namespace {

constexpr uint32_t kSize = 8192;  // the harness's default 24C64

// Another tool on the same EEPROM file, as veltra-cli runs: a simulated machine of its own.
class OtherTool {
 public:
  explicit OtherTool(const std::string& image) {
    veltra::sim::DeviceConfig config;
    config.backingFile = image;
    system_.AddDevice(config);
    channel_.OpenDriver();
    connected_ = channel_.ConnectDevice(config.vid, config.pid, nullptr, nullptr, 0, 0) == 1;
    transport_.SetTransportEepromSize(kSize);
  }
  ~OtherTool() {
    channel_.DetachDevice();
    channel_.CloseDriver();
  }
  bool Connected() const { return connected_; }
  bool Erase() { return transport_.EraseEeprom() == 1; }
  bool Write(std::vector<uint8_t> bytes) {
    return transport_.EepromTransfer(true, 0, bytes.data(), static_cast<uint32_t>(bytes.size())) ==
           1;
  }

 private:
  veltra::sim::SimSystem system_;
  veltra::device::DeviceChannel channel_{system_.Platform()};
  veltra::device::VendorTransport transport_{channel_};
  bool connected_ = false;
};

HarnessOptions Given(std::vector<uint8_t> bytes) {
  HarnessOptions options;
  options.contents = Contents::kGiven;
  options.bytes = std::move(bytes);
  return options;
}

}  // namespace

class SharedEepromTest : public QObject {
  Q_OBJECT

 private slots:
  // Seen: after 'veltra-cli erase' the GUI's Refresh still showed the old image.
  void TheGuiReadsWhatAnotherToolWroteWithoutARestart() {
    AppHarness app;
    QVERIFY(app.Connect());
    const auto* manufacturer =
        app.Window().Model().FindSection(veltra::image::section_type::kManufacturerString);
    QVERIFY(manufacturer != nullptr && manufacturer->IsPresent());
    {
      OtherTool cli(app.Backend().ImageFile());
      QVERIFY(cli.Connected());
      QVERIFY(cli.Erase());
    }
    app.Dialogs().AnswerQuestion(true);
    QVERIFY(app.ClickAndWait("5"));
    QCOMPARE(app.Dialogs().Messages(), QStringList{"EEPROM Empty"});
    QVERIFY(app.Window().IsConnected());

    std::vector<uint8_t> pattern(kSize - 1);
    for (size_t i = 0; i < pattern.size(); ++i)
      pattern[i] = static_cast<uint8_t>(i * 5 + 3);
    {
      OtherTool cli(app.Backend().ImageFile());
      QVERIFY(cli.Write(pattern));
    }
    const QString dump = app.TempPath(QStringLiteral("dump.bin"));
    app.Dialogs().AnswerFile(dump);
    QVERIFY(app.ClickAndWait("1160"));
    QCOMPARE(app.Dialogs().Messages().last(), QString::fromLatin1(veltra::image::text::kDumpDone));
    QCOMPARE(ReadFile(dump), QByteArray(reinterpret_cast<const char*>(pattern.data()),
                                        static_cast<qsizetype>(pattern.size())));
  }

  // veltra-cli erase while the window is connected: Save asks before writing over it, and
  // Cancel leaves it. The window's own writes are no other program's change.
  void SaveAsksBeforeWritingOverAnotherToolsChange() {
    AppHarness app;
    QVERIFY(app.Connect());
    QVERIFY(OtherTool(app.Backend().ImageFile()).Erase());
    const QString question = QString::fromLatin1(veltra::app::kEepromChangedQuestion);
    const QString saved = QString::fromLatin1(veltra::image::text::kSaveDone);
    app.Dialogs().AnswerQuestion(false);
    QVERIFY(app.ClickAndWait("3"));
    const std::vector<uint8_t> bytes = app.EepromBytes();
    QVERIFY(std::all_of(bytes.begin(), bytes.end() - 1, [](uint8_t b) { return b == 0; }));
    app.Dialogs().AnswerQuestion(true);
    QVERIFY(app.ClickAndWait("3"));
    QVERIFY(app.ClickAndWait("3"));
    app.Dialogs().AnswerQuestion(true);
    QVERIFY(app.ClickAndWait("4"));
    QVERIFY(app.ClickAndWait("3"));
    QCOMPARE(app.Dialogs().Texts(),
             (QStringList{question, question, saved, saved, veltra::app::CDemoDlg::kEraseQuestion,
                          veltra::image::text::kEraseDone, saved}));
  }

  // Another tool in the middle of a transfer: the GUI waits, in bounded time, and then says why
  // it could not go on; afterwards everything works again.
  void AFileHeldByAnotherToolIsReportedWithItsReason() {
    AppHarness app;
    QVERIFY(app.Connect());
    {
      const auto lock = app.Simulated().System().Lock();
      app.Simulated().Device().Eeprom().SetLockTimeout(std::chrono::milliseconds(200));
    }
    const QString reason = QStringLiteral("cannot use EEPROM image ") +
                           QString::fromStdString(app.Backend().ImageFile()) +
                           QStringLiteral(": another program is using it (waited 0.2 s)");
    {
      veltra::sim::ImageFileLock other;
      QCOMPARE(other.Acquire(app.Backend().ImageFile(), std::chrono::milliseconds(0)), "");
      QVERIFY(app.ClickAndWait("3"));
      app.Dialogs().AnswerQuestion(true);
      QVERIFY(app.ClickAndWait("5"));
    }
    // Save stops at its first read, before it writes.
    QCOMPARE(app.Dialogs().Messages(),
             (QStringList{QStringLiteral("Operate EEPROM Failed\n\n") + reason,
                          QStringLiteral("Fail to read EEPROM\n\n") + reason}));
    QVERIFY(app.Window().isEnabled());
    app.ChooseType(QStringLiteral("S24C02"));  // a failed read wants the type chosen again
    QVERIFY(app.Connect());
    app.Dialogs().Clear();
    QVERIFY(app.ClickAndWait("3"));
    QCOMPARE(app.Dialogs().Messages(), QStringList{veltra::image::text::kSaveDone});
  }

  // The rule of FILE -> EEPROM and of veltra-cli: missing bytes are 0. The GUI used to show them
  // as 0xFF (three strings of U+FFFF boxes), and told only standard error.
  void AShortImageFileReadsAsCompletedWithZerosAndTheUserIsTold() {
    const std::vector<uint8_t> factory = *veltra::image::BuildFactoryImage(0x5A52, 0x7731, kSize);
    AppHarness app(Given(std::vector<uint8_t>(factory.begin(), factory.begin() + 100)));
    const QString file = QString::fromStdString(app.Backend().ImageFile());
    QCOMPARE(app.Backend().StartupNotice(),
             file + QStringLiteral(" holds 100 bytes, the EEPROM's transfer length is 8191: the "
                                   "missing bytes are taken as 0"));
    const std::vector<uint8_t> bytes = app.EepromBytes();
    QVERIFY(std::equal(factory.begin(), factory.begin() + 100, bytes.begin()));
    QVERIFY(std::all_of(bytes.begin() + 100, bytes.end(), [](uint8_t b) { return b == 0; }));
  }

  // A dump and the file the GUI itself grows to the EEPROM's size are both normal.
  void TheToolsOwnFileLengthsNeedNoNotice() {
    const std::vector<uint8_t> factory = *veltra::image::BuildFactoryImage(0x5A52, 0x7731, kSize);
    for (const uint32_t length : {kSize - 1, kSize}) {
      AppHarness app(Given(std::vector<uint8_t>(factory.begin(), factory.begin() + length)));
      QCOMPARE(app.Backend().StartupNotice(), QString());
    }
  }

  // The start message, every Save and Refresh agree: the file is left alone and the simulated
  // EEPROM keeps what is saved in memory.
  void AnOversizedImageFileIsExplainedAndSavesAreKeptInMemory() {
    AppHarness app(Given(std::vector<uint8_t>(kSize + 1, 0x11)));
    const QString file = QString::fromStdString(app.Backend().ImageFile());
    const QString reason = QStringLiteral("EEPROM image ") + file +
                           QStringLiteral(
                               " refused: 8193 bytes is more than the 8192 bytes of a "
                               "24C64");
    QCOMPARE(app.Backend().StartupNotice(),
             reason + QStringLiteral("\n\nThe file is left as it is. The simulated EEPROM starts "
                                     "erased and keeps what is written to it in memory only, "
                                     "until the tool ends."));
    QVERIFY(app.Backend().Description().endsWith(QStringLiteral("; EEPROM in memory, ") + file +
                                                 QStringLiteral(" refused")));
    QVERIFY(app.Connect());
    QCOMPARE(app.Dialogs().Messages(), QStringList{"EEPROM Empty"});
    for (int save = 0; save < 2; ++save) {
      app.Dialogs().Clear();
      QVERIFY(app.ClickAndWait("3"));
      QCOMPARE(app.Dialogs().Messages(), QStringList{veltra::image::text::kSaveDone});
    }
    app.Dialogs().Clear();
    app.Dialogs().AnswerQuestion(true);
    QVERIFY(app.ClickAndWait("5"));  // Refresh reads the saved image back
    QCOMPARE(app.Dialogs().Messages(), QStringList());
    QVERIFY(!app.Window().Model().IsEmpty());
    QCOMPARE(ReadFile(file), QByteArray(kSize + 1, 0x11));
    QVERIFY(app.Window().isEnabled());
  }
};

QTEST_MAIN(SharedEepromTest)
#include "shared_eeprom_test.moc"
