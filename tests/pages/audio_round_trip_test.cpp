#include <QCheckBox>
#include <QComboBox>
#include <QTabWidget>
#include <QtTest>

#include "app/app_harness.h"
#include "image/audio_io_section.h"
#include "image/image_layout.h"
#include "image/operation_texts.h"
#include "image/volume_group.h"
#include "pages/audio_config_page.h"

using veltra::app::testing::AppHarness;
using veltra::app::testing::HarnessOptions;
using veltra::image::ImageContents;
using veltra::pages::CAudioCfgPage;

namespace {

constexpr uint32_t kTransferLength = 8191;  // S24C64
constexpr size_t kAudioRow = 1;

// Lists and mute boxes of each group, in record order.
constexpr const char* kVolumeIds[][4] = {
    {"1118", "1117", "1019", "1116"}, {"1020", "1017", "1021", "1070"},
    {"1023", "1022", "1024", "1071"}, {"1029", "1028", "1030", "1072"},
    {"1038", "1037", "1039", "1073"}, {"1044", "1043", "1045", "1074"}};

template <typename T>
T* On(QWidget& page, const char* id) {
  T* control = page.findChild<T*>(QString::fromLatin1(id));
  if (control == nullptr) qFatal("no control %s", id);
  return control;
}

// As the user does it: nothing happens to a disabled control.
void Choose(QWidget& page, const char* id, const QString& text) {
  auto* list = On<QComboBox>(page, id);
  const int index = list->findText(text);
  if (!list->isEnabled() || index < 0) return;
  list->setCurrentIndex(index);
  emit list->activated(index);
}
void Click(QWidget& page, const char* id) {
  On<QCheckBox>(page, id)->click();
}

// Every check box and list selection of the page.
QStringList State(QWidget& page) {
  QStringList state;
  for (auto* box : page.findChildren<QCheckBox*>())
    state << box->objectName() + (box->isChecked() ? " on" : " off");
  for (auto* list : page.findChildren<QComboBox*>())
    state << list->objectName() + " " + list->currentText();
  state.sort();
  return state;
}

// Changes every volume and option the chip variant lets the user change.
void EditEverything(QWidget& page) {
  // The stereo mixer input and the A-A path open their volume groups.
  for (const char* id : {"1255", "1105"})
    Click(page, id);
  for (size_t i = 0; i < std::size(kVolumeIds); ++i) {
    const veltra::image::VolumeGroupKind& kind = veltra::image::kVolumeGroupKinds[i];
    Choose(page, kVolumeIds[i][0], QString::number(kind.lowest + 2));
    Choose(page, kVolumeIds[i][1], QString::number(kind.highest - 3));
    Choose(page, kVolumeIds[i][2], QString::number(kind.lowest + 4));
    Click(page, kVolumeIds[i][3]);
  }
  Choose(page, "1132", QStringLiteral("Headphone"));
  for (const char* id : {"1107", "1106", "1250"})
    Click(page, id);
  Choose(page, "1137", QStringLiteral("Slave"));
  Choose(page, "1138", QStringLiteral("Slave"));
  for (const char* id : {"1113", "1112", "1114"})
    Click(page, id);
}

ImageContents Read(AppHarness& app) {
  return veltra::image::ReadImage(app.EepromBytes(), kTransferLength);
}

// Everything but the Audio I/O section and the page's Header bits.
void CompareNotOwned(const ImageContents& before, const ImageContents& after) {
  for (size_t row = 0; row < after.sections.size(); ++row) {
    if (row == kAudioRow) continue;
    QCOMPARE(after.sections[row].has_value(), before.sections[row].has_value());
    if (after.sections[row]) QCOMPARE(after.sections[row]->data, before.sections[row]->data);
  }
  QCOMPARE(after.tailRecords.first, before.tailRecords.first);
  QCOMPARE(after.tailRecords.second, before.tailRecords.second);
  for (size_t i = 0; i < 6; ++i)
    QCOMPARE(after.header[i], before.header[i]);
  QCOMPARE(after.header[6] & 0xE0, before.header[6] & 0xE0);
  QCOMPARE(after.header[7] & 0x07, before.header[7] & 0x07);
  QCOMPARE(after.header[8] & 0xFB, before.header[8] & 0xFB);
  QCOMPARE(after.header[9], before.header[9]);
}

}  // namespace

class AudioRoundTripTest : public QObject {
  Q_OBJECT

 private slots:
  void EditedValuesComeBackOnEveryVariant_data() {
    QTest::addColumn<int>("capability");
    for (int variant = 0; variant < 4; ++variant)
      for (int extras : {0, 0x04})
        QTest::addRow("variant %d%s", variant, extras ? " with bit 2" : "")
            << (variant << 4 | extras);
  }
  void EditedValuesComeBackOnEveryVariant() {
    QFETCH(int, capability);
    HarnessOptions options;
    options.device.capability = static_cast<uint8_t>(capability);
    AppHarness app(options);
    QVERIFY(app.Connect());
    const ImageContents before = Read(app);
    CAudioCfgPage& page = app.Window().AudioPage();
    app.Window().PageSet().setCurrentWidget(&page);
    QVERIFY(page.HasContents());
    QVERIFY(app.Dialogs().Messages().isEmpty());

    const QStringList loaded = State(page);
    EditEverything(page);
    const QStringList edited = State(page);
    QVERIFY(edited != loaded);
    QVERIFY(app.ClickAndWait("3"));
    QCOMPARE(app.Dialogs().Messages(),
             QStringList{QString::fromLatin1(veltra::image::text::kSaveDone)});
    app.Dialogs().AnswerQuestion(true);
    QVERIFY(app.ClickAndWait("5"));
    QVERIFY(app.Window().IsConnected());
    QCOMPARE(State(page), edited);

    const ImageContents after = Read(app);
    CompareNotOwned(before, after);
    QVERIFY(after.sections[kAudioRow].has_value());
    const auto volumes = veltra::image::DecodeAudioIoSection(after.sections[kAudioRow]->data);
    QVERIFY(volumes.has_value());
    QCOMPARE(volumes->recordCount, 6);
    for (size_t i = 0; i < std::size(kVolumeIds); ++i) {
      const veltra::image::VolumeRecord& words = volumes->records[i];
      QCOMPARE(QString::number(veltra::image::VolumeDb(words.minimum)),
               On<QComboBox>(page, kVolumeIds[i][0])->currentText());
      QCOMPARE(QString::number(veltra::image::VolumeDb(words.maximum)),
               On<QComboBox>(page, kVolumeIds[i][1])->currentText());
      QCOMPARE(QString::number(veltra::image::VolumeDb(words.initial)),
               On<QComboBox>(page, kVolumeIds[i][2])->currentText());
      QCOMPARE(((volumes->muteBits >> i) & 1) != 0,
               On<QCheckBox>(page, kVolumeIds[i][3])->isChecked());
    }
  }

  // A section of another tool's length and a Header bit the page would clear stay as they are
  // when the page was never shown.
  void APageNeverShownLeavesItsBytesAlone() {
    AppHarness app;
    const std::vector<uint8_t> factory = app.EepromBytes();
    const ImageContents contents = veltra::image::ReadImage(factory, kTransferLength);
    std::vector<std::vector<uint8_t>> data(contents.sections.size());
    std::vector<veltra::image::PackSection> sections;
    for (size_t row = 0; row < contents.sections.size(); ++row) {
      if (!contents.sections[row]) continue;
      data[row] = contents.sections[row]->data;
      if (row == kAudioRow) data[row].resize(13);
      sections.push_back({static_cast<int>(row), data[row]});
    }
    auto header = contents.header;
    header[6] |= 0x04;
    std::vector<uint8_t> image(factory.size(), 0xFF);
    veltra::image::PackInput input;
    input.sections = sections;
    input.header = header;
    input.tailRecord1 = contents.tailRecords.first ? &*contents.tailRecords.first : nullptr;
    input.tailRecord2 = contents.tailRecords.second ? &*contents.tailRecords.second : nullptr;
    QVERIFY(
        veltra::image::PackImage(input, kTransferLength, std::span(image).first(kTransferLength))
            .fits);
    {
      auto lock = app.Simulated().System().Lock();
      app.Simulated().Device().Eeprom().Contents() = image;
    }
    QVERIFY(app.Connect());
    QVERIFY(!app.Window().AudioPage().HasContents());
    QVERIFY(app.ClickAndWait("3"));
    const std::vector<uint8_t> saved = app.EepromBytes();
    QVERIFY(std::equal(image.begin(), image.begin() + kTransferLength, saved.begin()));
  }
};

QTEST_MAIN(AudioRoundTripTest)
#include "audio_round_trip_test.moc"
