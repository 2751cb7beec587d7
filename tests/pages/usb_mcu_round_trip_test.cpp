#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QtTest>

#include "app/app_harness.h"
#include "app/background_operations.h"
#include "image/image_layout.h"
#include "image/operation_texts.h"
#include "pages/mcu_page.h"
#include "pages/usb_config_page.h"

using veltra::app::BackgroundOperations;
using veltra::app::testing::AppHarness;
using veltra::image::ImageContents;
using veltra::pages::CMCUPage;
using veltra::pages::CUsbCfgPage;

namespace {

constexpr uint32_t kTransferLength = 8191;  // S24C64
constexpr size_t kMcuRow = 0;

template <typename T = QLineEdit>
T* On(QWidget& page, const char* id) {
  T* control = page.findChild<T*>(QString::fromLatin1(id));
  if (control == nullptr) qFatal("no control %s", id);
  return control;
}

void TypeInto(QLineEdit* box, const QString& text) {
  box->selectAll();
  box->insert(text);
}

ImageContents Read(AppHarness& app) {
  return veltra::image::ReadImage(app.EepromBytes(), kTransferLength);
}

QString WriteFile(AppHarness& app, const QString& name, const std::vector<uint8_t>& bytes) {
  const QString path = app.TempPath(name);
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) qFatal("cannot write test file");
  file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
  return path;
}

std::vector<uint8_t> Firmware(size_t length) {
  std::vector<uint8_t> bytes(length);
  for (size_t i = 0; i < length; ++i)
    bytes[i] = static_cast<uint8_t>(i * 31 + 7);
  // Info block: chip ID 6530, VID 1209, PID 0001, chip version 0003, FW version 0102.
  const uint8_t block[] = {0x65, 0x30, 0x12, 0x09, 0x00, 0x01, 0x00, 0x03, 0x01, 0x02, 0, 0, 0};
  std::copy(std::begin(block), std::end(block), bytes.end() - 13);
  return bytes;
}

// Opens the MCU page, checks Enable MCU and chooses the file.
CMCUPage& ChooseFirmware(AppHarness& app, const QString& path) {
  CMCUPage& mcu = app.Window().McuPage();
  app.Window().PageSet().setCurrentWidget(&mcu);
  if (!On<QCheckBox>(mcu, "1103")->isChecked()) On<QCheckBox>(mcu, "1103")->click();
  app.Dialogs().AnswerFile(path);
  On<QPushButton>(mcu, "1256")->click();
  return mcu;
}

}  // namespace

class UsbMcuRoundTripTest : public QObject {
  Q_OBJECT

 private slots:
  void EditedValuesComeBackAndNothingElseMoves() {
    AppHarness app;
    QVERIFY(app.Connect());
    const ImageContents before = Read(app);
    QVERIFY(before.hasMagic);

    CUsbCfgPage& usb = app.Window().UsbPage();
    QVERIFY(usb.HasContents());
    const QString product = QStringLiteral("Round trip ") + QString::fromUcs4(U"\U0001F3A7");
    TypeInto(On(usb, "1016"), QStringLiteral("1209"));
    TypeInto(On(usb, "1018"), QStringLiteral("abcd"));
    TypeInto(On(usb, "1017"), QStringLiteral("Maker Ltd"));
    TypeInto(On(usb, "1019"), product);
    TypeInto(On(usb, "1020"), QStringLiteral("SN-42"));
    On<QCheckBox>(usb, "1103")->setChecked(false);
    On<QCheckBox>(usb, "1267")->setChecked(true);
    On<QComboBox>(usb, "1133")->setCurrentIndex(1);
    On<QComboBox>(usb, "1135")->setCurrentIndex(2);

    const std::vector<uint8_t> firmware = Firmware(1500);
    CMCUPage& mcu = ChooseFirmware(app, WriteFile(app, QStringLiteral("fw.bin"), firmware));
    QCOMPARE(On(mcu, "1257")->text(), QStringLiteral("6530"));
    On<QCheckBox>(mcu, "1254")->setChecked(true);
    On<QCheckBox>(mcu, "1251")->setChecked(true);

    QVERIFY(app.ClickAndWait("3"));
    QCOMPARE(app.Dialogs().Messages().last(), QString::fromLatin1(veltra::image::text::kSaveDone));
    app.Dialogs().AnswerQuestion(true);
    QVERIFY(app.ClickAndWait("5"));
    QVERIFY(app.Window().IsConnected());

    QCOMPARE(On(usb, "1016")->text(), QStringLiteral("1209"));
    QCOMPARE(On(usb, "1018")->text(), QStringLiteral("ABCD"));
    QCOMPARE(On(usb, "1017")->text(), QStringLiteral("Maker Ltd"));
    QCOMPARE(On(usb, "1019")->text(), product);
    QCOMPARE(On(usb, "1020")->text(), QStringLiteral("SN-42"));
    QVERIFY(!On<QCheckBox>(usb, "1103")->isChecked());
    QVERIFY(On<QCheckBox>(usb, "1267")->isChecked());
    QCOMPARE(On<QComboBox>(usb, "1133")->currentText(), QStringLiteral("Self"));
    QCOMPARE(On<QComboBox>(usb, "1135")->currentText(), QStringLiteral("300ma"));
    QVERIFY(On<QCheckBox>(mcu, "1103")->isChecked());
    QVERIFY(On<QCheckBox>(mcu, "1254")->isChecked());
    QVERIFY(On<QCheckBox>(mcu, "1251")->isChecked());
    QVERIFY(!mcu.HasMcuFile());
    QCOMPARE(On(mcu, "1257")->text(), QString());
    QStringList eepromGroup;
    for (const char* id : {"1258", "1017", "1019", "1136", "1137"})
      eepromGroup << On(mcu, id)->text();
    QCOMPARE(eepromGroup, QStringList({"3065", "0912", "0100", "0300", "0201"}));

    const ImageContents after = Read(app);
    QVERIFY(after.sections[kMcuRow].has_value());
    QCOMPARE(after.sections[kMcuRow]->data, firmware);
    // Every section the two pages do not own, the tail records and the other pages' header
    // bits are as they were.
    for (size_t row = 0; row < after.sections.size(); ++row) {
      if (row == kMcuRow || (row >= 2 && row <= 4) || row == 8) continue;
      QCOMPARE(after.sections[row].has_value(), before.sections[row].has_value());
      if (after.sections[row]) QCOMPARE(after.sections[row]->data, before.sections[row]->data);
    }
    QCOMPARE(after.tailRecords.first, before.tailRecords.first);
    QCOMPARE(after.tailRecords.second, before.tailRecords.second);
    QCOMPARE(after.header[6] & 0x1F, before.header[6] & 0x1F);
    QCOMPARE(after.header[7] & 0xF8, before.header[7] & 0xF8);
    QCOMPARE(after.header[8] & 0x4F, before.header[8] & 0x4F);
    QCOMPARE(after.header[9], before.header[9]);
    QCOMPARE(after.header[10], before.header[10]);
    QCOMPARE(after.header[6] & 0xE0, 0xE0);
    QCOMPARE(after.header[7] & 0x07, 0x02);
    QCOMPARE(after.header[8] & 0xB0, 0xB0);
  }

  void AFirmwareFileThatChangedStopsTheWholeSave() {
    AppHarness app;
    QVERIFY(app.Connect());
    const std::vector<uint8_t> before = app.EepromBytes();
    TypeInto(On(app.Window().UsbPage(), "1017"), QStringLiteral("Not saved"));
    const QString path = WriteFile(app, QStringLiteral("fw.bin"), Firmware(400));
    ChooseFirmware(app, path);
    WriteFile(app, QStringLiteral("fw.bin"), Firmware(300));
    app.Dialogs().Clear();
    QVERIFY(app.ClickAndWait("3"));
    QCOMPARE(app.Dialogs().Messages(),
             QStringList{QString::fromLatin1(CMCUPage::kFileChangedText)});
    QVERIFY(app.EepromBytes() == before);
    QVERIFY(app.Window().IsConnected());
  }
};

QTEST_MAIN(UsbMcuRoundTripTest)
#include "usb_mcu_round_trip_test.moc"
