#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QtTest>

#include "eq/band_check.h"
#include "eq/band_coefficients.h"
#include "eq_page_support.h"
#include "image/image_layout.h"
#include "pages/band_response_plot.h"
#include "pages/playback_eq_page.h"

using veltra::pages::CEQPage;
using veltra::pages::testing::EqRig;
using veltra::pages::testing::FactoryBandBytes;
namespace type = veltra::image::section_type;

namespace {

const char* const kGainIds[] = {"1115", "1119", "1120", "1121", "1122", "1158"};
const char* const kSliderIds[] = {"1109", "1110", "1111", "1112", "1113", "1114"};
const char* const kCentreIds[] = {"1116", "1118", "1124", "1126", "1128"};
const char* const kBandwidthIds[] = {"1117", "1123", "1125", "1127", "1129"};

struct PlaybackRig : EqRig {
  PlaybackRig() { Show(page); }
  QLineEdit* Gain(int column) { return On(page, kGainIds[column]); }
  QSlider* Slider(int column) { return On<QSlider>(page, kSliderIds[column]); }
  QLineEdit* Centre(int band) { return On(page, kCentreIds[band]); }
  QLineEdit* Bandwidth(int band) { return On(page, kBandwidthIds[band]); }
  QComboBox* List(const char* id) { return On<QComboBox>(page, id); }
  // "Disable EQ" on, "Treble/Bass:" Enable, this maximum.
  void ToneMode(int maximumItem) {
    On<QCheckBox>(page, "1135")->click();
    Choose(List("1160"), 1);
    Choose(List("1246"), maximumItem);
  }

  CEQPage page{eqContext};
};

}  // namespace

class PlaybackEqPageTest : public QObject {
  Q_OBJECT

 private slots:
  void ResetStoresTheFactoryPresetsAndWords() {
    PlaybackRig rig;
    // Words and bands of another setting in the image: Reset must bring back the factory ones.
    auto& section = rig.model.FindSection(type::kPlaybackEq)->data;
    std::fill(section.begin(), section.end(), uint8_t{0x11});
    rig.Enter(rig.Centre(1), QStringLiteral("440"));
    rig.dialogs.AnswerQuestion(true);
    rig.On<QPushButton>(rig.page, "1131")->click();
    QCOMPARE(rig.dialogs.Questions(), QStringList{QString::fromLatin1(CEQPage::kResetQuestion)});
    QCOMPARE(rig.Centre(1)->text(), QStringLiteral("350"));
    QVERIFY(rig.page.Store());
    const std::vector<uint8_t> stored = rig.SectionBytes(type::kPlaybackEq);
    QCOMPARE(std::vector<uint8_t>(stored.begin(), stored.begin() + 6),
             (std::vector<uint8_t>{24, 24, 24, 24, 24, 38}));
    QCOMPARE(std::vector<uint8_t>(stored.begin() + 24, stored.begin() + 84), FactoryBandBytes());
    QVERIFY(rig.model.FindSection(type::kPlaybackEq)->IsPresent());
  }

  void ResetAnsweredCancelKeepsTheEdits() {
    PlaybackRig rig;
    rig.Enter(rig.Gain(2), QStringLiteral("3"));
    rig.dialogs.AnswerQuestion(false);
    rig.On<QPushButton>(rig.page, "1131")->click();
    QCOMPARE(rig.Gain(2)->text(), QStringLiteral("3.0"));
  }

  void TypedGainsLandOnTheSliderAndInTheGainTable() {
    const struct {
      const char* typed;
      int position;
      const char* shown;
      uint8_t code;
    } cases[] = {
        {"1.3", 22, "1.0", 26}, {"-1.3", 26, "-1.0", 22}, {"20", 0, "12.0", 48},
        {"abc", 24, "0.0", 24}, {"-99", 48, "-12.0", 0},  {"nan", 24, "0.0", 24},
    };
    PlaybackRig rig;
    for (const auto& c : cases) {
      for (int column : {0, 5}) {
        rig.Enter(rig.Gain(column), QString::fromLatin1(c.typed));
        QCOMPARE(rig.Slider(column)->value(), c.position);
        QCOMPARE(rig.Gain(column)->text(), QString::fromLatin1(c.shown));
        QCOMPARE(rig.page.Gains()[0][column], c.code);
      }
    }
    // The read-only preset table still shows the gains as loaded.
    QCOMPARE(rig.On(rig.page, "1130")->text(), QStringLiteral("0.0"));
  }

  void ASliderMoveChangesTheSelectedPresetOnly() {
    PlaybackRig rig;
    rig.Choose(rig.List("1132"), 2);  // "10": band 1 at -4.5 dB
    QCOMPARE(rig.Gain(0)->text(), QStringLiteral("-4.5"));
    QCOMPARE(rig.Slider(0)->value(), 33);
    rig.Slider(0)->setValue(4);
    QCOMPARE(rig.Gain(0)->text(), QStringLiteral("10.0"));
    QCOMPARE(rig.page.Gains()[2][0], 44);
    QCOMPARE(rig.page.Gains()[0], veltra::eq::kDefaultPlaybackGains[0]);
    QVERIFY(rig.page.Store());
    QCOMPARE(rig.SectionBytes(type::kPlaybackEq)[12], 44);
  }

  void ToneModeAtTwoAndAHalfDb() {
    PlaybackRig rig;
    rig.ToneMode(4);  // 2.5
    QCOMPARE(rig.List("1246")->count(), 24);
    for (int column : {0, 4}) {
      QCOMPARE(rig.Slider(column)->maximum(), 10);
      QCOMPARE(rig.Slider(column)->value(), 5);
      QVERIFY(rig.Gain(column)->isEnabled());
    }
    for (int column : {1, 2, 3, 5})
      QVERIFY(!rig.Gain(column)->isEnabled());
    QVERIFY(!rig.Centre(0)->isEnabled());
    QCOMPARE(rig.On<QLabel>(rig.page, "1167")->text(), QStringLiteral("Bass"));
    QCOMPARE(rig.On<QLabel>(rig.page, "1168")->text(), QStringLiteral("Treble"));
    QCOMPARE(rig.On<QLabel>(rig.page, "1273")->text(), QStringLiteral("2.5dB"));
    QCOMPARE(rig.On<QLabel>(rig.page, "1274")->text(), QStringLiteral("-2.5dB"));

    rig.Enter(rig.Gain(0), QStringLiteral("4"));
    QCOMPARE(rig.Gain(0)->text(), QStringLiteral("2.5"));
    QCOMPARE(rig.Slider(0)->value(), 0);
    rig.Slider(4)->setValue(8);
    QCOMPARE(rig.Gain(4)->text(), QStringLiteral("-1.5"));
    QVERIFY(rig.page.Store());
    QCOMPARE(rig.HeaderByte(9), 0x9D);
    QCOMPARE(rig.HeaderByte(8) & 0x03, 0x03);
    QVERIFY(rig.model.FindSection(type::kPlaybackEq)->IsPresent());
    QCOMPARE(rig.SectionBytes(type::kPlaybackEq)[0], 29);
    QCOMPARE(rig.SectionBytes(type::kPlaybackEq)[4], 21);

    // Loaded again: tone mode, 2.5 dB and the bass and treble as stored.
    rig.page.Load();
    QCOMPARE(rig.List("1160")->currentIndex(), 1);
    QCOMPARE(rig.List("1246")->currentText(), QStringLiteral("2.5"));
    QCOMPARE(rig.Gain(0)->text(), QStringLiteral("2.5"));
    QCOMPARE(rig.Slider(0)->value(), 0);
    QCOMPARE(rig.Gain(4)->text(), QStringLiteral("-1.5"));
    QCOMPARE(rig.Slider(4)->value(), 8);

    // "Disable EQ" off leaves tone mode.
    rig.On<QCheckBox>(rig.page, "1135")->click();
    QCOMPARE(rig.List("1160")->currentIndex(), 0);
    QVERIFY(!rig.List("1160")->isEnabled());
    QCOMPARE(rig.List("1246")->count(), 0);
    QCOMPARE(rig.Slider(0)->maximum(), 48);
    QCOMPARE(rig.On<QLabel>(rig.page, "1273")->text(), QStringLiteral("12dB"));
  }

  void ToneBitWithoutAMaximumShowsTwelveDb() {
    PlaybackRig rig;
    rig.model.FindSection(type::kHeader)->data[8] |= 0x03;
    rig.model.FindSection(type::kHeader)->data[9] = 0x1D;  // bit 7 clear
    rig.page.Load();
    QCOMPARE(rig.List("1160")->currentIndex(), 1);
    QCOMPARE(rig.List("1246")->currentText(), QStringLiteral("12.0"));
    QCOMPARE(rig.Slider(0)->maximum(), 48);
    QVERIFY(rig.On<QCheckBox>(rig.page, "1135")->isChecked());
  }

  void DisabledEqWithToneOffLeavesTheSectionOut() {
    PlaybackRig rig;
    rig.model.FindSection(type::kHeader)->data[8] = 0xFE;
    rig.model.FindSection(type::kHeader)->data[9] = 0x55;
    rig.page.Load();  // bit 1 without bit 0: tone mode cannot stay on
    QCOMPARE(rig.List("1160")->currentIndex(), 0);
    rig.On<QCheckBox>(rig.page, "1135")->click();
    QVERIFY(!rig.Gain(0)->isEnabled());
    QVERIFY(!rig.List("1132")->isEnabled());
    QVERIFY(rig.List("1160")->isEnabled());
    QVERIFY(rig.Save(rig.page));
    const veltra::image::ImageContents stored = rig.Stored();
    QVERIFY(!stored.sections[veltra::image::section_index::kPlaybackEq]);
    QVERIFY(!stored.tailRecords.first);
    QCOMPARE(stored.header[8], 0xFD);
    QCOMPARE(stored.header[9], 0x00);
  }

  void BandCheckMessagesAndDefaults() {
    const struct {
      int band;
      bool bandwidthEdit;
      const char* typed;
      veltra::eq::BandFault fault;
      const char* centre;
      const char* bandwidth;
    } cases[] = {
        {0, false, "00001000x", veltra::eq::BandFault::kNone, "00001000x", "70"},
        {1, false, "-100", veltra::eq::BandFault::kCentreNotNumber, "350", "210"},
        {2, false, "20001", veltra::eq::BandFault::kCentreOutOfRange, "1000", "620"},
        {3, true, "", veltra::eq::BandFault::kNone, "3500", ""},
        {3, true, "12a", veltra::eq::BandFault::kBandwidthNotNumber, "3500", "2310"},
        {4, false, "19", veltra::eq::BandFault::kCentreOutOfRange, "13000", "5200"},
        {4, true, "13000", veltra::eq::BandFault::kBandwidthNotBelowCentre, "13000", "5200"},
    };
    for (const auto& c : cases) {
      PlaybackRig rig;
      if (c.fault == veltra::eq::BandFault::kBandwidthNotBelowCentre)
        rig.Enter(rig.Centre(c.band), QStringLiteral("12000"));
      rig.Enter(c.bandwidthEdit ? rig.Bandwidth(c.band) : rig.Centre(c.band),
                QString::fromLatin1(c.typed));
      const QString expected = QString::fromUtf8(
          veltra::eq::BandFaultMessage(veltra::eq::EqPath::kPlayback, c.band + 1, c.fault).data());
      QCOMPARE(rig.dialogs.Messages(), expected.isEmpty() ? QStringList{} : QStringList{expected});
      QCOMPARE(rig.Centre(c.band)->text(), QString::fromLatin1(c.centre));
      QCOMPARE(rig.Bandwidth(c.band)->text(), QString::fromLatin1(c.bandwidth));
    }
    PlaybackRig rig;
    rig.Enter(rig.Centre(4), QStringLiteral("30000"));
    QCOMPARE(rig.dialogs.Messages(),
             QStringList{QStringLiteral(
                 "Central Freq must be between 20Hz and 20KHz . Please set Central Freq-5again")});
  }

  void ABandFromTheImageThatBreaksTheRulesIsShownAndKeptUntilEdited() {
    PlaybackRig rig;
    auto record = veltra::image::DecodeBandTable(*rig.TailRecord1());
    record[2] = {100, 100};
    rig.SetTailRecord1(record);
    auto& section = rig.model.FindSection(type::kPlaybackEq)->data;
    std::fill(section.begin() + 48, section.begin() + 60, uint8_t{0xA5});
    rig.page.Load();
    QCOMPARE(rig.Centre(2)->text(), QStringLiteral("100"));
    QCOMPARE(rig.Bandwidth(2)->text(), QStringLiteral("100"));
    QVERIFY(rig.dialogs.Messages().isEmpty());
    // The plot draws the words the store keeps.
    auto* plot = rig.page.findChild<veltra::pages::BandResponsePlot*>(QStringLiteral("bandPlot"));
    QCOMPARE(plot->Bands()[2].words, (veltra::eq::BandWords{0xA5A5A5A5, 0xA5A5A5A5, 0xA5A5A5A5}));
    QVERIFY(rig.page.Store());
    QCOMPARE(rig.SectionBytes(type::kPlaybackEq)[48], 0xA5);
    QCOMPARE(rig.SectionBytes(type::kPlaybackEq)[59], 0xA5);
  }

  void EnterAndTabMoveToTheNextControlWithItsTextSelected() {
    const struct {
      const char* from;
      const char* to;
    } order[] = {{"1115", "1119"}, {"1119", "1120"}, {"1120", "1121"},
                 {"1121", "1122"}, {"1122", "1116"}, {"1158", "1163"}};
    PlaybackRig rig;
    rig.host.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&rig.host));
    for (Qt::Key key : {Qt::Key_Tab, Qt::Key_Return, Qt::Key_Enter}) {
      for (const auto& step : order) {
        QLineEdit* from = rig.On(rig.page, step.from);
        from->setFocus();
        QTest::keyClicks(from, QStringLiteral("5"));
        QTest::keyClick(from, key);
        QLineEdit* to = rig.On(rig.page, step.to);
        QCOMPARE(QApplication::focusWidget(), to);
        QCOMPARE(to->selectedText(), to->text());
        QVERIFY(!to->text().isEmpty());
      }
    }
    // Leaving committed each typed gain: "0.05" and so on end on a slider step.
    QCOMPARE(rig.Gain(1)->text(), QStringLiteral("5.0"));
    QCOMPARE(rig.Gain(5)->text(), QStringLiteral("7.0"));
    QVERIFY(rig.dialogs.Messages().isEmpty());
  }

  void TestSendsTheSelectedPresetAndLogsEachBand() {
    PlaybackRig rig;
    rig.Choose(rig.List("1132"), 3);
    rig.Enter(rig.Gain(1), QStringLiteral("-3"));
    rig.system.ClearRequestLog();
    rig.device.Chip().ClearEqWrites();
    rig.On<QPushButton>(rig.page, "1157")->click();

    const auto requests = rig.Requests();
    QCOMPARE(requests.size(), size_t{81});
    // The band records follow the control writes; preset 3 and its gains close the sequence.
    QCOMPARE(requests[3], (std::array<int, 3>{1, 0x46, 0x01}));
    QCOMPARE(requests[4], (std::array<int, 3>{1, 0x47, 0x3F}));
    const std::vector<uint8_t> words = FactoryBandBytes();
    for (size_t i = 0; i < words.size(); ++i)
      QCOMPARE(requests[4 + (i / 12) * 13 + i % 12][2], int{words[i]});
    QCOMPARE(requests[68], (std::array<int, 3>{0, 0x4A, 0}));
    QCOMPARE(requests[69], (std::array<int, 3>{1, 0x4A, 3}));
    QCOMPARE(requests[71], (std::array<int, 3>{1, 0x49, 7}));
    const veltra::eq::GainRow expected{19, 18, 29, 27, 33, 38};
    for (int i = 0; i < 6; ++i) {
      QCOMPARE(requests[72 + i], (std::array<int, 3>{1, 0x40 + i, expected[i]}));
      QCOMPARE(rig.device.Chip().Register(static_cast<uint8_t>(0x40 + i)), expected[i]);
    }
    QCOMPARE(rig.device.Chip().Register(0x46), 0x0D);
    const auto lines = rig.LogLines();
    QCOMPARE(lines.size(), size_t{5});
    QCOMPARE(lines[0], std::string("[3/7 9:5:41] PlayBackEQ Band(1) A21(3F2F0C0F) A31(E0CF9124) "
                                   "S(0067C891)\n"));
    // Test neither stores nor changes the page.
    QCOMPARE(rig.SectionBytes(type::kPlaybackEq)[19], 25);
  }

  void ThePlotFollowsEveryEdit() {
    PlaybackRig rig;
    auto* plot = rig.page.findChild<veltra::pages::BandResponsePlot*>(QStringLiteral("bandPlot"));
    QVERIFY(plot != nullptr);
    using veltra::eq::CalcBandCoefficients;
    QCOMPARE(plot->Bands()[2].words, CalcBandCoefficients(48000, 1000, 620));
    // Typed, not yet left: the shape follows at once.
    veltra::pages::testing::TypeInto(rig.Centre(2), QStringLiteral("2000"));
    QCOMPARE(plot->Bands()[2].band.centreHz, 2000);
    QCOMPARE(plot->Bands()[2].words, CalcBandCoefficients(48000, 2000, 620));
    rig.Slider(3)->setValue(20);
    QCOMPARE(plot->Bands()[3].gainDb, 2.0);
    rig.Choose(rig.List("1132"), 2);  // preset "10": band 1 at -4.5 dB
    QCOMPARE(plot->Bands()[0].gainDb, -4.5);
    QVERIFY(plot->Bands()[0].acts);
    rig.ToneMode(4);
    QCOMPARE(plot->Bands()[0].name, QStringLiteral("Bass"));
    QCOMPARE(plot->Bands()[4].name, QStringLiteral("Treble"));
    QVERIFY(plot->Bands()[4].acts);
    QVERIFY(!plot->Bands()[2].acts);
    // A band past Nyquist says so in the tooltip.
    rig.On<QCheckBox>(rig.page, "1135")->click();
    veltra::pages::testing::TypeInto(rig.Bandwidth(4), QStringLiteral("12000"));
    QVERIFY(plot->toolTip().contains(QStringLiteral("Band 5 (13000 Hz, bandwidth 12000 Hz)")));
    QVERIFY(!plot->toolTip().contains(QStringLiteral("Band 4")));
  }

  void TestSaysWhatItDid() {
    PlaybackRig rig;
    auto* status = rig.On<QLabel>(rig.page, "testStatus");
    QCOMPARE(status->text(), QString());
    rig.On<QPushButton>(rig.page, "1157")->click();
    QVERIFY2(QRegularExpression(QStringLiteral("^Sent to the chip at \\d\\d:\\d\\d:\\d\\d$"))
                 .match(status->text())
                 .hasMatch(),
             qPrintable(status->text()));
    rig.channel.DetachDevice();
    rig.On<QPushButton>(rig.page, "1157")->click();
    QVERIFY2(status->text().endsWith(
                 QStringLiteral("failed: read of register 46 failed (81 of 81 requests failed)")),
             qPrintable(status->text()));
    QVERIFY(rig.dialogs.Entries().empty());
  }

  void RemovedWhileItsMessageIsOpenTouchesNothing() {
    for (const bool question : {false, true}) {
      PlaybackRig rig;
      rig.dialogs.OnDialog([&](const auto&) {
        rig.host.removeTab(rig.host.indexOf(&rig.page));
        rig.page.DestroyContents();
      });
      if (question) {
        rig.dialogs.AnswerQuestion(true);
        rig.On<QPushButton>(rig.page, "1131")->click();
      } else {
        rig.Enter(rig.Bandwidth(0), QStringLiteral("x"));
      }
      QVERIFY(!rig.page.HasContents());
      QCOMPARE(rig.dialogs.Entries().size(), size_t{1});
      QVERIFY(rig.page.Store());
    }
  }
};

QTEST_MAIN(PlaybackEqPageTest)
#include "playback_eq_page_test.moc"
