#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTabWidget>
#include <QtTest>

#include "app/app_harness.h"
#include "eq/band_coefficients.h"
#include "image/eq_sections.h"
#include "image/image_layout.h"
#include "image/operation_texts.h"
#include "pages/playback_eq_page.h"
#include "pages/record_eq_page.h"

using veltra::app::testing::AppHarness;
using veltra::image::ImageContents;
namespace row = veltra::image::section_index;

namespace {

constexpr uint32_t kTransferLength = 8191;  // S24C64

template <typename T = QLineEdit>
T* On(QWidget& page, const char* id) {
  T* control = page.findChild<T*>(QString::fromLatin1(id));
  if (control == nullptr) qFatal("no control %s", id);
  return control;
}

void Enter(QLineEdit* box, const QString& text) {
  box->selectAll();
  box->insert(text);
  QFocusEvent leave(QEvent::FocusOut, Qt::TabFocusReason);
  QApplication::sendEvent(box, &leave);
}

void Choose(QComboBox* list, int index) {
  list->setCurrentIndex(index);
  emit list->activated(index);
}

ImageContents Read(AppHarness& app) {
  return veltra::image::ReadImage(app.EepromBytes(), kTransferLength);
}

QWidget& Open(AppHarness& app, QWidget& page) {
  app.Window().PageSet().setCurrentWidget(&page);
  return page;
}

bool SaveAndRefresh(AppHarness& app) {
  if (!app.ClickAndWait("3")) return false;
  if (app.Dialogs().Messages().last() != QString::fromLatin1(veltra::image::text::kSaveDone))
    return false;
  app.Dialogs().AnswerQuestion(true);
  return app.ClickAndWait("5") && app.Window().IsConnected();
}

// Every section but the two EQ sections, and every Header bit but the EQ pages', as before.
void CompareUnowned(const ImageContents& before, const ImageContents& after) {
  for (size_t index = 0; index < after.sections.size(); ++index) {
    if (index == row::kPlaybackEq || index == row::kRecordEq) continue;
    QCOMPARE(after.sections[index].has_value(), before.sections[index].has_value());
    if (after.sections[index]) QCOMPARE(after.sections[index]->data, before.sections[index]->data);
  }
  for (size_t at = 0; at < 8; ++at)
    QCOMPARE(after.header[at], before.header[at]);
  QCOMPARE(after.header[8] & ~0x43, before.header[8] & ~0x43);
  QCOMPARE(after.header[10], before.header[10]);
}

std::vector<uint8_t> Words(int centre, int bandwidth) {
  const auto words = veltra::eq::CalcBandCoefficients(48000, centre, bandwidth).ToBigEndian();
  return {words.begin(), words.end()};
}

std::vector<uint8_t> Slice(const std::vector<uint8_t>& bytes, size_t from, size_t count) {
  return {bytes.begin() + static_cast<ptrdiff_t>(from),
          bytes.begin() + static_cast<ptrdiff_t>(from + count)};
}

bool SameTable(const veltra::image::BandTable& a, const veltra::image::BandTable& b) {
  for (size_t k = 0; k < a.size(); ++k)
    if (a[k].centreFrequency != b[k].centreFrequency || a[k].bandwidth != b[k].bandwidth)
      return false;
  return true;
}

}  // namespace

class EqRoundTripTest : public QObject {
  Q_OBJECT

 private slots:
  void EditedValuesComeBackAndNothingElseMoves() {
    AppHarness app;
    QVERIFY(app.Connect());
    const ImageContents before = Read(app);
    QVERIFY(before.sections[row::kPlaybackEq] && before.sections[row::kRecordEq]);

    QWidget& playback = Open(app, app.Window().PlaybackEqPage());
    Choose(On<QComboBox>(playback, "1132"), 1);  // "01"
    Enter(On(playback, "1115"), QStringLiteral("-6"));
    On<QSlider>(playback, "1111")->setValue(10);
    Enter(On(playback, "1158"), QStringLiteral("3"));
    Enter(On(playback, "1118"), QStringLiteral("440"));
    Enter(On(playback, "1123"), QStringLiteral("300"));

    QWidget& record = Open(app, app.Window().RecordEqPage());
    Enter(On(record, "1196"), QStringLiteral("5.5"));
    Enter(On(record, "1198"), QStringLiteral("-2"));
    Enter(On(record, "1209"), QStringLiteral("9000"));
    Enter(On(record, "1214"), QStringLiteral("3000"));
    QVERIFY(app.Dialogs().Messages().isEmpty());

    QVERIFY(SaveAndRefresh(app));
    Open(app, app.Window().PlaybackEqPage());
    QCOMPARE(On(playback, "1142")->text(), QStringLiteral("-6.0"));
    QCOMPARE(On(playback, "1144")->text(), QStringLiteral("7.0"));
    QCOMPARE(On(playback, "1164")->text(), QStringLiteral("3.0"));
    QCOMPARE(On(playback, "1130")->text(), QStringLiteral("0.0"));
    QCOMPARE(On(playback, "1118")->text(), QStringLiteral("440"));
    QCOMPARE(On(playback, "1123")->text(), QStringLiteral("300"));
    Open(app, app.Window().RecordEqPage());
    QCOMPARE(On(record, "1196")->text(), QStringLiteral("5.5"));
    QCOMPARE(On(record, "1219")->text(), QStringLiteral("5.5"));
    QCOMPARE(On(record, "1227")->text(), QStringLiteral("-2.0"));
    QCOMPARE(On(record, "1209")->text(), QStringLiteral("9000"));
    QCOMPARE(On(record, "1214")->text(), QStringLiteral("3000"));

    const ImageContents after = Read(app);
    CompareUnowned(before, after);
    QCOMPARE(after.header[8] & 0x43, before.header[8] & 0x43);
    QCOMPARE(after.header[9], before.header[9]);
    const std::vector<uint8_t>& was = before.sections[row::kPlaybackEq]->data;
    const std::vector<uint8_t>& now = after.sections[row::kPlaybackEq]->data;
    QCOMPARE(Slice(now, 6, 6), (std::vector<uint8_t>{12, 23, 38, 22, 26, 30}));
    for (size_t at : {0, 12, 18, 24, 48, 60, 72})
      QCOMPARE(Slice(now, at, at < 24 ? 6 : 12), Slice(was, at, at < 24 ? 6 : 12));
    QCOMPARE(Slice(now, 36, 12), Words(440, 300));
    const std::vector<uint8_t>& recordWas = before.sections[row::kRecordEq]->data;
    const std::vector<uint8_t>& recordNow = after.sections[row::kRecordEq]->data;
    QCOMPARE(Slice(recordNow, 0, 6), (std::vector<uint8_t>{24, 24, 24, 35, 24, 20}));
    QCOMPARE(Slice(recordNow, 6, 48), Slice(recordWas, 6, 48));
    QCOMPARE(Slice(recordNow, 54, 12), Words(9000, 3000));
    auto table1 = veltra::image::DecodeBandTable(*after.tailRecords.first);
    auto table2 = veltra::image::DecodeBandTable(*after.tailRecords.second);
    QCOMPARE(table1[1].centreFrequency, 440);
    QCOMPARE(table2[4].bandwidth, 3000);
    table1[1] = {350, 210};
    table2[4] = {13000, 5200};
    QVERIFY(SameTable(table1, veltra::image::DecodeBandTable(*before.tailRecords.first)));
    QVERIFY(SameTable(table2, veltra::image::DecodeBandTable(*before.tailRecords.second)));
  }

  void ToneModeAndADisabledRecordEqComeBack() {
    AppHarness app;
    QVERIFY(app.Connect());
    const ImageContents before = Read(app);

    QWidget& playback = Open(app, app.Window().PlaybackEqPage());
    On<QCheckBox>(playback, "1135")->click();
    Choose(On<QComboBox>(playback, "1160"), 1);
    Choose(On<QComboBox>(playback, "1246"), 11);  // 6.0
    Enter(On(playback, "1115"), QStringLiteral("3"));
    On<QSlider>(playback, "1113")->setValue(20);
    QWidget& record = Open(app, app.Window().RecordEqPage());
    On<QCheckBox>(record, "1181")->click();

    QVERIFY(SaveAndRefresh(app));
    Open(app, app.Window().PlaybackEqPage());
    QVERIFY(On<QCheckBox>(playback, "1135")->isChecked());
    QCOMPARE(On<QComboBox>(playback, "1160")->currentText(), QStringLiteral("Enable"));
    QCOMPARE(On<QComboBox>(playback, "1246")->currentText(), QStringLiteral("6.0"));
    QCOMPARE(On(playback, "1115")->text(), QStringLiteral("3.0"));
    QCOMPARE(On(playback, "1122")->text(), QStringLiteral("-4.0"));
    QCOMPARE(On<QSlider>(playback, "1113")->value(), 20);
    Open(app, app.Window().RecordEqPage());
    QVERIFY(On<QCheckBox>(record, "1181")->isChecked());
    QVERIFY(!On<QPushButton>(record, "1215")->isEnabled());

    const ImageContents after = Read(app);
    CompareUnowned(before, after);
    QCOMPARE(after.header[8] & 0x43, 0x03);
    QCOMPARE(after.header[9], 0xA4);
    QCOMPARE(Slice(after.sections[row::kPlaybackEq]->data, 0, 6),
             (std::vector<uint8_t>{30, 24, 24, 24, 16, 38}));
    QVERIFY(!after.sections[row::kRecordEq]);
    QVERIFY(!after.tailRecords.second);
    QVERIFY(after.tailRecords.first);
  }

  void UnpluggedWhileAnEqMessageIsOpen() {
    for (const bool recordPage : {false, true}) {
      AppHarness app;
      QVERIFY(app.Connect());
      veltra::pages::ConfigPage& page =
          recordPage ? static_cast<veltra::pages::ConfigPage&>(app.Window().RecordEqPage())
                     : app.Window().PlaybackEqPage();
      Open(app, page);
      // A real message box runs the window's events while it is open: the device goes.
      app.Dialogs().OnDialog([&](const auto&) {
        app.Backend().Unplug();
        QTRY_VERIFY(!app.Window().IsConnected());
      });
      if (recordPage) {
        app.Dialogs().AnswerQuestion(true);
        On<QPushButton>(page, "1241")->click();
      } else {
        Enter(On(page, "1117"), QStringLiteral("100"));
      }
      QCOMPARE(app.Dialogs().Texts().size(), 1);
      QVERIFY(!page.HasContents());
      QCOMPARE(app.Window().PageTitles().size(), 3);
    }
  }
};

QTEST_MAIN(EqRoundTripTest)
#include "eq_round_trip_test.moc"
