#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include "image/header_options.h"
#include "image/section_kinds.h"
#include "image/string_descriptor.h"
#include "page_rig.h"
#include "pages/usb_config_page.h"
#include "pages/usb_string_text.h"

using veltra::image::ImageContents;
using veltra::image::PackSection;
using veltra::pages::CUsbCfgPage;
using veltra::pages::testing::LeaveBox;
using veltra::pages::testing::PageRig;
using veltra::pages::testing::TypeInto;

namespace {

namespace row {
constexpr int kAudioIo = 1;
constexpr int kManufacturer = 2;
constexpr int kProduct = 3;
constexpr int kSerial = 4;
constexpr int kOcString = 8;
}  // namespace row

using Header = std::array<uint8_t, 11>;

// VID 5A52, PID 7731, HID on, bus powered, 100 mA, audio bits set all around.
constexpr Header kHeader{0, 0, 0x52, 0x5A, 0x31, 0x77, 0x1F, 0xF8, 0x4F, 0x99, 0xAA};

std::vector<uint8_t> Descriptor(const char* text) {
  return veltra::image::EncodeStringDescriptor(std::string_view(text));
}

// The stored bytes of a string section, empty when the image has none.
std::vector<uint8_t> StoredSection(const ImageContents& image, int tableRow) {
  const auto& section = image.sections[static_cast<size_t>(tableRow)];
  return section ? section->data : std::vector<uint8_t>{};
}

struct UsbRig : PageRig {
  explicit UsbRig(uint8_t capability = 0x34)
      : PageRig(veltra::sim::EepromPart::k24C64, capability) {}

  CUsbCfgPage page{context};

  void ShowPage() { Show(page); }
  template <typename T = QLineEdit>
  T* Control(const char* id) {
    return page.findChild<T*>(QString::fromLatin1(id));
  }
  QLineEdit* Box(const char* id) { return Control<QLineEdit>(id); }
  std::vector<uint8_t> SectionBytes(uint8_t type) {
    const veltra::image::Section* section = model.FindSection(type);
    return section ? section->data : std::vector<uint8_t>{};
  }
};

}  // namespace

class UsbConfigPageTest : public QObject {
  Q_OBJECT

 private slots:
  void StringsStoreAsUsbDescriptors() {
    UsbRig rig;
    QVERIFY(rig.Read(rig.Image(kHeader, {})));
    rig.ShowPage();
    TypeInto(rig.Box("1017"), QStringLiteral("AB"));
    TypeInto(rig.Box("1019"), QString(31, QLatin1Char('p')));
    TypeInto(rig.Box("1020"), QStringLiteral("SN1"));
    QVERIFY(rig.Save(rig.page));

    const veltra::image::Section* manufacturer = rig.model.FindSection(0x1);
    QVERIFY(manufacturer->IsPresent());
    QCOMPARE(manufacturer->Length(), 6u);
    const ImageContents stored = rig.Stored();
    QCOMPARE(StoredSection(stored, row::kManufacturer),
             std::vector<uint8_t>({0x06, 0x03, 0x41, 0x00, 0x42, 0x00}));
    const std::vector<uint8_t> product = StoredSection(stored, row::kProduct);
    QCOMPARE(product.size(), size_t{64});
    QCOMPARE(product[0], uint8_t{0x40});
    QCOMPARE(product[1], uint8_t{0x03});
    QCOMPARE(StoredSection(stored, row::kSerial), Descriptor("SN1"));
  }

  void GrowingAStringStoresTheWholeDescriptorEveryTime() {
    UsbRig rig;
    QVERIFY(rig.Read(rig.Image(kHeader, {{row::kManufacturer, Descriptor("AB")}})));
    rig.ShowPage();
    QCOMPARE(rig.Box("1017")->text(), QStringLiteral("AB"));
    TypeInto(rig.Box("1017"), QStringLiteral("Much longer maker"));
    QVERIFY(rig.Save(rig.page));
    QCOMPARE(StoredSection(rig.Stored(), row::kManufacturer), Descriptor("Much longer maker"));
    // The second Save stores into the buffer the first one made.
    QVERIFY(rig.Save(rig.page));
    QCOMPARE(StoredSection(rig.Stored(), row::kManufacturer), Descriptor("Much longer maker"));
    QVERIFY(rig.Reread());
    rig.page.Load();
    QCOMPARE(rig.Box("1017")->text(), QStringLiteral("Much longer maker"));
  }

  void EmptyStringsAndTheOcStringLeaveTheImage() {
    UsbRig rig;
    QVERIFY(rig.Read(rig.Image(kHeader, {{row::kManufacturer, Descriptor("Maker")},
                                         {row::kSerial, Descriptor("SN1")},
                                         {row::kOcString, Descriptor("OC text")}})));
    rig.ShowPage();
    QVERIFY(rig.Box("1021")->text().isEmpty());  // the OC string is never shown
    TypeInto(rig.Box("1020"), QString());
    QVERIFY(rig.Save(rig.page));
    const ImageContents stored = rig.Stored();
    QVERIFY(!stored.sections[row::kSerial].has_value());
    QVERIFY(!stored.sections[row::kOcString].has_value());
    QCOMPARE(StoredSection(stored, row::kManufacturer), Descriptor("Maker"));
  }

  void CharactersBeyondThePlaneTakeTwoUnitsAndStayWhole() {
    UsbRig rig;
    QVERIFY(rig.Read(rig.Image(kHeader, {})));
    rig.ShowPage();
    const QString headset = QString::fromUcs4(U"\U0001F3A7");
    QLineEdit* product = rig.Box("1019");
    // 30 units leave room for half a pair only: the half is dropped.
    TypeInto(product, QString(30, QLatin1Char('a')));
    product->end(false);
    product->insert(headset);
    QCOMPARE(product->text(), QString(30, QLatin1Char('a')));
    // 29 units leave room for the whole pair.
    TypeInto(product, QString(29, QLatin1Char('a')) + headset);
    QCOMPARE(product->text().size(), 31);
    QVERIFY(rig.page.Store());
    const std::vector<uint8_t> descriptor = rig.SectionBytes(0x2);
    QCOMPARE(descriptor.size(), size_t{64});
    QCOMPARE(descriptor[60], uint8_t{0x3C});  // D83C DFA7, little-endian
    QCOMPARE(descriptor[61], uint8_t{0xD8});
    QCOMPARE(descriptor[62], uint8_t{0xA7});
    QCOMPARE(descriptor[63], uint8_t{0xDF});
  }

  // Another tool stored strings longer than 31 units: they are shown whole and saved unchanged.
  void LongerStringsFromOtherToolsStayWhole() {
    UsbRig rig;
    const std::u16string product = std::u16string(30, u'b') + u"\U0001F3A7" + u"tail";
    const std::vector<uint8_t> manufacturer = Descriptor("A maker whose name is forty-two long");
    QVERIFY(rig.Read(
        rig.Image(kHeader, {{row::kManufacturer, manufacturer},
                            {row::kProduct, veltra::image::EncodeStringDescriptor(product)}})));
    rig.ShowPage();
    QCOMPARE(rig.Box("1019")->text(), QString::fromStdU16String(product));
    QCOMPARE(rig.Box("1017")->text(), QStringLiteral("A maker whose name is forty-two long"));
    LeaveBox(rig.Box("1019"));  // the product check keeps a long text
    QCOMPARE(rig.Box("1019")->text().size(), qsizetype{36});
    QVERIFY(rig.Save(rig.page));
    const ImageContents stored = rig.Stored();
    QCOMPARE(StoredSection(stored, row::kManufacturer), manufacturer);
    QCOMPARE(StoredSection(stored, row::kProduct), veltra::image::EncodeStringDescriptor(product));
  }

  // Typing cannot make a long text longer; once it is cut below 31 units the limit is back.
  void TypingIntoALongStringOnlyShortensIt() {
    UsbRig rig;
    QVERIFY(
        rig.Read(rig.Image(kHeader, {{row::kSerial, Descriptor(std::string(40, 's').c_str())}})));
    rig.ShowPage();
    QLineEdit* serial = rig.Box("1020");
    QCOMPARE(serial->text().size(), qsizetype{40});
    serial->end(false);
    QTest::keyClicks(serial, QStringLiteral("xy"));
    QCOMPARE(serial->text(), QString(40, QLatin1Char('s')));
    QTest::keyClick(serial, Qt::Key_Backspace);
    QTest::keyClicks(serial, QStringLiteral("x"));
    QCOMPARE(serial->text(), QString(39, QLatin1Char('s')));
    serial->setSelection(0, 20);
    QTest::keyClick(serial, Qt::Key_Delete);
    QTest::keyClicks(serial, QString(20, QLatin1Char('t')));
    QCOMPARE(serial->text(), QString(19, QLatin1Char('s')) + QString(12, QLatin1Char('t')));
    QVERIFY(rig.Save(rig.page));
    QCOMPARE(StoredSection(rig.Stored(), row::kSerial),
             Descriptor((std::string(19, 's') + std::string(12, 't')).c_str()));
  }

  // bLength is one byte: a section longer than 254 bytes keeps what a descriptor can carry.
  void AStringBeyondWhatADescriptorHoldsIsCutToIt() {
    UsbRig rig;
    std::vector<uint8_t> section(2 + 2 * 129, 0);
    section[0] = 0xFF;
    section[1] = 0x03;
    for (size_t i = 0; i < 129; ++i)
      section[2 + 2 * i] = static_cast<uint8_t>('a' + i % 26);
    QVERIFY(rig.Read(rig.Image(kHeader, {{row::kProduct, section}})));
    rig.ShowPage();
    QCOMPARE(rig.Box("1019")->text().size(), qsizetype{126});
    QVERIFY(rig.Save(rig.page));
    const std::vector<uint8_t> stored = StoredSection(rig.Stored(), row::kProduct);
    QCOMPARE(stored.size(), size_t{254});
    QCOMPARE(stored[0], uint8_t{254});
    QVERIFY(std::equal(stored.begin() + 2, stored.end(), section.begin() + 2));
  }

  void DroppedHalvesMoveTheCursorBackByTheirNumber_data() {
    QTest::addColumn<QString>("input");
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("fixed");
    QTest::addColumn<int>("fixedPosition");
    const QChar high(0xD83C);
    const QChar low(0xDFA7);
    QTest::newRow("one half before") << QString(high) + "ab" << 1 << "ab" << 0;
    QTest::newRow("three halves before") << QString(high) + high + high + "xyz" << 2 << "xyz" << 0;
    QTest::newRow("halves around the cursor")
        << "a" + QString(low) + low + "b" + high << 3 << "ab" << 1;
    QTest::newRow("whole pair kept")
        << "a" + QString(high) + low + low << 4 << "a" + QString(high) + low << 3;
  }
  void DroppedHalvesMoveTheCursorBackByTheirNumber() {
    QFETCH(QString, input);
    QFETCH(int, position);
    QFETCH(QString, fixed);
    QFETCH(int, fixedPosition);
    veltra::pages::SurrogatePairValidator validator;
    QCOMPARE(validator.validate(input, position), QValidator::Acceptable);
    QCOMPARE(input, fixed);
    QCOMPARE(position, fixedPosition);
  }

  void IdChecksOnFocusLoss_data() {
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("kept");
    const QString zero = QString::fromLatin1(CUsbCfgPage::kZeroText);
    const QString special = QString::fromLatin1(CUsbCfgPage::kSpecialCharactersText);
    QTest::newRow("VID 0000") << "1016"
                              << "0000" << zero << "";
    QTest::newRow("VID 0") << "1016"
                           << "0"
                           << ""
                           << "0";
    QTest::newRow("VID 12G4") << "1016"
                              << "12G4" << special << "";
    QTest::newRow("VID abcd") << "1016"
                              << "abcd"
                              << ""
                              << "abcd";
    QTest::newRow("VID empty") << "1016"
                               << ""
                               << ""
                               << "";
    QTest::newRow("PID 0000") << "1018"
                              << "0000" << zero << "";
    QTest::newRow("PID x1") << "1018"
                            << "x1" << special << "";
  }
  void IdChecksOnFocusLoss() {
    QFETCH(QString, box);
    QFETCH(QString, typed);
    QFETCH(QString, message);
    QFETCH(QString, kept);
    UsbRig rig;
    rig.ShowPage();
    QLineEdit* edit = rig.Box(box.toLatin1().constData());
    TypeInto(edit, typed);
    LeaveBox(edit);
    QCOMPARE(rig.dialogs.Messages(), message.isEmpty() ? QStringList() : QStringList{message});
    QCOMPARE(edit->text(), kept);
  }

  void IdsStoreLittleEndianAndAnEmptyBoxKeepsItsBytes() {
    UsbRig rig;
    Header header = kHeader;
    header[2] = header[3] = 0;  // VID 0
    QVERIFY(rig.Read(rig.Image(header, {})));
    rig.ShowPage();
    QCOMPARE(rig.Box("1016")->text(), QString());
    QCOMPARE(rig.Box("1018")->text(), QStringLiteral("7731"));
    // The main window has put the IDs of the last Connect there before the page stores.
    auto& data = rig.model.FindSection(0xC)->data;
    veltra::image::SetHeaderVid(data, 0x1234);
    TypeInto(rig.Box("1018"), QStringLiteral("abcd"));
    QVERIFY(rig.page.Store());
    QCOMPARE(veltra::image::GetHeaderVid(data), uint16_t{0x1234});
    QCOMPARE(veltra::image::GetHeaderPid(data), uint16_t{0xABCD});
    QVERIFY(rig.model.FindSection(0xC)->IsPresent());

    // Both boxes empty: bytes kept, present bit cleared, and the Header is packed all the same.
    TypeInto(rig.Box("1018"), QString());
    QVERIFY(rig.Save(rig.page));
    QVERIFY(!rig.model.FindSection(0xC)->IsPresent());
    const ImageContents stored = rig.Stored();
    QVERIFY(stored.hasMagic);
    QCOMPARE(veltra::image::GetHeaderVid(stored.header), uint16_t{0x1234});
    QCOMPARE(veltra::image::GetHeaderPid(stored.header), uint16_t{0xABCD});
  }

  void OptionBitsLoadAndStoreOnlyTheirOwn() {
    UsbRig rig;
    Header header = kHeader;
    header[6] = 0xE0;
    header[7] = 0x04;
    QVERIFY(rig.Read(rig.Image(header, {})));
    rig.ShowPage();
    QVERIFY(!rig.Control<QCheckBox>("1103")->isChecked());
    QVERIFY(rig.Control<QCheckBox>("1267")->isChecked());
    QCOMPARE(rig.Control<QComboBox>("1133")->currentText(), QStringLiteral("Self"));
    QCOMPARE(rig.Control<QComboBox>("1135")->currentText(), QStringLiteral("500ma"));

    // Flip every USB bit; the Audio I/O bits of bytes 6 and 7 must stay.
    auto& data = rig.model.FindSection(0xC)->data;
    data[6] |= 0x1F;
    data[7] |= 0xF8;
    rig.Control<QCheckBox>("1103")->setChecked(true);
    rig.Control<QCheckBox>("1267")->setChecked(false);
    rig.Control<QComboBox>("1133")->setCurrentIndex(0);
    rig.Control<QComboBox>("1135")->setCurrentIndex(2);
    QVERIFY(rig.page.Store());
    QCOMPARE(data[6], uint8_t{0x1F});
    QCOMPARE(data[7], uint8_t{0xFA});
    QCOMPARE(data[8], kHeader[8]);
  }

  void APowerRangeWithoutAnItemLeavesTheListEmptyAndTheBitsAlone() {
    UsbRig rig;
    Header header = kHeader;
    header[7] = 0xFE;  // range 6
    QVERIFY(rig.Read(rig.Image(header, {})));
    rig.ShowPage();
    QCOMPARE(rig.Control<QComboBox>("1135")->currentIndex(), -1);
    QVERIFY(rig.page.Store());
    QCOMPARE(rig.model.FindSection(0xC)->data[7], uint8_t{0xFE});
  }

  void ResetDefaultsFollowTheChipVariant_data() {
    QTest::addColumn<int>("capability");
    QTest::addColumn<bool>("hidEnabled");
    QTest::newRow("variant 3") << 0x34 << true;
    QTest::newRow("variant 2") << 0x24 << false;
  }
  void ResetDefaultsFollowTheChipVariant() {
    QFETCH(int, capability);
    QFETCH(bool, hidEnabled);
    UsbRig rig(static_cast<uint8_t>(capability));
    QVERIFY(rig.Read(std::vector<uint8_t>(64, 0xFF)));  // an erased EEPROM: the defaults
    QVERIFY(rig.model.IsEmpty());
    rig.ShowPage();
    QCOMPARE(rig.Control<QCheckBox>("1103")->isChecked(), hidEnabled);
    QVERIFY(!rig.Control<QCheckBox>("1267")->isChecked());
    QCOMPARE(rig.Control<QComboBox>("1133")->currentText(), QStringLiteral("Bus"));
    QCOMPARE(rig.Control<QComboBox>("1135")->currentText(), QStringLiteral("100ma"));
    for (const char* id : {"1016", "1018", "1017", "1019", "1020"})
      QVERIFY(rig.Box(id)->text().isEmpty());
  }

  void ResetAsksAndDoesNotReload() {
    UsbRig rig;
    QVERIFY(rig.Read(rig.Image(kHeader, {{row::kManufacturer, Descriptor("Maker")}})));
    rig.ShowPage();
    rig.dialogs.AnswerQuestion(false);
    rig.Control<QPushButton>("1128")->click();
    QCOMPARE(rig.Box("1017")->text(), QStringLiteral("Maker"));
    rig.dialogs.AnswerQuestion(true);
    rig.Control<QPushButton>("1128")->click();
    QCOMPARE(rig.dialogs.Questions(),
             QStringList(2, QString::fromLatin1(CUsbCfgPage::kResetQuestion)));
    QCOMPARE(rig.Box("1017")->text(), QString());
    QCOMPARE(rig.Box("1016")->text(), QString());
    QVERIFY(rig.Control<QCheckBox>("1103")->isChecked());
  }

  void ProductNeedsTwoCharacters_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("refused");
    QTest::newRow("one") << "P" << true;
    QTest::newRow("empty") << "" << true;
    QTest::newRow("two") << "PQ" << false;
  }
  void ProductNeedsTwoCharacters() {
    QFETCH(QString, typed);
    QFETCH(bool, refused);
    UsbRig rig;
    rig.ShowPage();
    TypeInto(rig.Box("1019"), typed);
    LeaveBox(rig.Box("1019"));
    const QString message = QString::fromLatin1(CUsbCfgPage::kTwoCharactersText);
    QCOMPARE(rig.dialogs.Messages(), refused ? QStringList{message} : QStringList());
    QCOMPARE(rig.Box("1019")->text(), refused ? QString() : typed);
    // The other strings have no such check.
    TypeInto(rig.Box("1017"), QStringLiteral("M"));
    LeaveBox(rig.Box("1017"));
    QCOMPARE(rig.dialogs.Messages().size(), refused ? 1 : 0);
  }

  void IntervalCheckKeepsOnlyALeadingNumberInRange_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("kept");
    QTest::newRow("9ms") << "9ms"
                         << "9ms";
    QTest::newRow("255") << "255"
                         << "255";
    QTest::newRow("256") << "256"
                         << "";
    QTest::newRow("-1") << "-1"
                        << "";
    QTest::newRow("letters") << "abc"
                             << "";
    QTest::newRow("two signs") << "--5"
                               << "";
  }
  void IntervalCheckKeepsOnlyALeadingNumberInRange() {
    QFETCH(QString, typed);
    QFETCH(QString, kept);
    UsbRig rig;
    rig.ShowPage();
    TypeInto(rig.Box("1022"), typed);
    LeaveBox(rig.Box("1022"));
    QCOMPARE(rig.Box("1022")->text(), kept);
    QVERIFY(rig.dialogs.Entries().empty());
  }
};

QTEST_MAIN(UsbConfigPageTest)
#include "usb_config_page_test.moc"
