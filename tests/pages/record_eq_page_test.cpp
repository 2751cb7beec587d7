#include <QCheckBox>
#include <QPushButton>
#include <QSlider>
#include <QtTest>

#include "eq/band_check.h"
#include "eq_page_support.h"
#include "image/image_layout.h"
#include "pages/record_eq_page.h"

using veltra::pages::CRecordEQPage;
using veltra::pages::testing::EqRig;
using veltra::pages::testing::FactoryBandBytes;
namespace type = veltra::image::section_type;

namespace {

const char* const kGainIds[] = {"1193", "1194", "1195", "1196", "1197", "1198"};
const char* const kSliderIds[] = {"1199", "1200", "1201", "1202", "1203", "1204"};
const char* const kTextIds[] = {"1216", "1217", "1218", "1219", "1220", "1227"};

struct RecordRig : EqRig {
  RecordRig() { Show(page); }
  QLineEdit* Gain(int column) { return On(page, kGainIds[column]); }
  QSlider* Slider(int column) { return On<QSlider>(page, kSliderIds[column]); }
  QLineEdit* Centre(int band) { return On(page, QByteArray::number(1205 + band).constData()); }
  QLineEdit* Bandwidth(int band) { return On(page, QByteArray::number(1210 + band).constData()); }
  QCheckBox* DisableEq() { return On<QCheckBox>(page, "1181"); }
  QPushButton* Test() { return On<QPushButton>(page, "1215"); }

  CRecordEQPage page{eqContext};
};

}  // namespace

class RecordEqPageTest : public QObject {
  Q_OBJECT

 private slots:
  void ResetStoresTheFactoryGainsAndWords() {
    RecordRig rig;
    auto& section = rig.model.FindSection(type::kRecordEq)->data;
    std::fill(section.begin(), section.end(), uint8_t{0x22});
    rig.dialogs.AnswerQuestion(true);
    rig.On<QPushButton>(rig.page, "1241")->click();
    QCOMPARE(rig.dialogs.Questions(),
             QStringList{QString::fromLatin1(CRecordEQPage::kResetQuestion)});
    QCOMPARE(rig.Gain(5)->text(), QStringLiteral("12.0"));
    QCOMPARE(rig.Slider(5)->value(), 0);
    QVERIFY(rig.page.Store());
    const std::vector<uint8_t> stored = rig.SectionBytes(type::kRecordEq);
    QCOMPARE(std::vector<uint8_t>(stored.begin(), stored.begin() + 6),
             (std::vector<uint8_t>{24, 24, 24, 24, 24, 48}));
    QCOMPARE(std::vector<uint8_t>(stored.begin() + 6, stored.begin() + 66), FactoryBandBytes());
  }

  void GainEditsAndSlidersKeepTheGainSet() {
    RecordRig rig;
    rig.Enter(rig.Gain(0), QStringLiteral("1.3"));
    QCOMPARE(rig.Slider(0)->value(), 22);
    QCOMPARE(rig.Gain(0)->text(), QStringLiteral("1.0"));
    rig.Enter(rig.Gain(5), QStringLiteral("words"));
    QCOMPARE(rig.Gain(5)->text(), QStringLiteral("0.0"));
    rig.Slider(3)->setValue(40);
    QCOMPARE(rig.Gain(3)->text(), QStringLiteral("-8.0"));
    QCOMPARE(rig.page.Gains(), (veltra::eq::GainRow{26, 24, 24, 8, 24, 24}));
    // The read-only gain texts show the gains as loaded.
    QCOMPARE(rig.On(rig.page, kTextIds[5])->text(), QStringLiteral("12.0"));
    QVERIFY(rig.page.Store());
    QCOMPARE(rig.SectionBytes(type::kRecordEq)[3], 8);
  }

  void DisableEqTurnsTestOffAndLeavesTheSectionOut() {
    RecordRig rig;
    rig.DisableEq()->click();
    QVERIFY(!rig.Test()->isEnabled());
    QVERIFY(!rig.Gain(0)->isEnabled());
    QVERIFY(!rig.Centre(4)->isEnabled());
    rig.system.ClearRequestLog();
    rig.Test()->click();
    QVERIFY(rig.Requests().empty());
    QVERIFY(rig.Save(rig.page));
    const veltra::image::ImageContents stored = rig.Stored();
    QVERIFY(!stored.sections[veltra::image::section_index::kRecordEq]);
    QCOMPARE(stored.header[8] & 0x40, 0);
    // The playback equaliser and its tail record are still there.
    QVERIFY(stored.sections[veltra::image::section_index::kPlaybackEq]);
    QVERIFY(stored.tailRecords.first);
    QVERIFY(!stored.tailRecords.second);
  }

  void AnImageWithTheEnableBitClearLoadsDisabledWithItsValues() {
    RecordRig rig;
    auto& header = rig.model.FindSection(type::kHeader)->data;
    header[8] = static_cast<uint8_t>(header[8] & ~0x40);
    rig.model.FindSection(type::kRecordEq)->data[2] = 40;
    // The contents are made anew after every connect, as the main window does.
    rig.host.removeTab(0);
    rig.page.DestroyContents();
    rig.Show(rig.page);
    QVERIFY(rig.DisableEq()->isChecked());
    QVERIFY(!rig.Test()->isEnabled());
    QCOMPARE(rig.Gain(2)->text(), QStringLiteral("8.0"));
    QCOMPARE(rig.Centre(4)->text(), QStringLiteral("13000"));
    rig.DisableEq()->click();
    QVERIFY(rig.Test()->isEnabled());
    QVERIFY(rig.page.Store());
    QCOMPARE(rig.HeaderByte(8) & 0x40, 0x40);
  }

  void BandFiveMessagesKeepTheRecordPagesWording() {
    const struct {
      bool bandwidthEdit;
      const char* typed;
      const char* message;
    } cases[] = {
        {false, "0",
         "Central Freq must be between 20Hz and 20KHz . Please set Central Freq-5 again"},
        {true, "5200Hz-", "Bandwidth only accept number. Please set Central Band-5again"},
        {true, "14000", "Bandwidth must be less than Central-Freq. Please set Band-5again"},
    };
    for (const auto& c : cases) {
      RecordRig rig;
      rig.Enter(c.bandwidthEdit ? rig.Bandwidth(4) : rig.Centre(4), QString::fromLatin1(c.typed));
      QCOMPARE(rig.dialogs.Messages(), QStringList{QString::fromLatin1(c.message)});
      QCOMPARE(rig.Centre(4)->text(), QStringLiteral("13000"));
      QCOMPARE(rig.Bandwidth(4)->text(), QStringLiteral("5200"));
    }
  }

  void EnterAndTabMoveToTheNextControl() {
    const struct {
      const char* from;
      const char* to;
    } order[] = {{"1193", "1194"}, {"1194", "1195"}, {"1195", "1196"},
                 {"1196", "1197"}, {"1197", "1205"}, {"1198", "1181"}};
    RecordRig rig;
    rig.host.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&rig.host));
    for (Qt::Key key : {Qt::Key_Tab, Qt::Key_Return}) {
      for (const auto& step : order) {
        QLineEdit* from = rig.On(rig.page, step.from);
        from->setFocus();
        QTest::keyClick(from, key);
        QCOMPARE(QApplication::focusWidget(), rig.page.findChild<QWidget*>(step.to));
      }
    }
  }

  void TestSendsTheRecordSequenceAndLogsSpacePaddedWords() {
    RecordRig rig;
    rig.Enter(rig.Gain(4), QStringLiteral("-12"));
    rig.system.ClearRequestLog();
    rig.device.Chip().ClearEqWrites();
    rig.Test()->click();
    const auto requests = rig.Requests();
    // Control read, write 0, read; six gain reads; control read; 65 band writes; six gain
    // writes and reads; apply.
    QCOMPARE(requests.size(), size_t{3 + 6 + 1 + 65 + 12 + 3});
    QCOMPARE(requests[10], (std::array<int, 3>{1, 0x76, 0x01}));
    const std::vector<uint8_t> words = FactoryBandBytes();
    for (size_t i = 0; i < words.size(); ++i)
      QCOMPARE(requests[11 + (i / 12) * 13 + i % 12][2], int{words[i]});
    const veltra::eq::GainRow gains{24, 24, 24, 24, 0, 48};
    for (int i = 0; i < 6; ++i) {
      QCOMPARE(requests[75 + i], (std::array<int, 3>{1, 0x70 + i, gains[i]}));
      QCOMPARE(rig.device.Chip().Register(static_cast<uint8_t>(0x70 + i)), gains[i]);
    }
    QCOMPARE(rig.device.Chip().Register(0x76), 0x0D);
    const auto lines = rig.LogLines();
    QCOMPARE(lines.size(), size_t{5});
    QCOMPARE(
        lines[0],
        std::string("[3/7 9:5:41] RecordEQ Band(1) A21(3F2F0C0F) A31(E0CF9124) S(  67C891)\n"));
  }

  void RemovedWhileItsMessageIsOpenTouchesNothing() {
    for (const bool question : {false, true}) {
      RecordRig rig;
      rig.dialogs.OnDialog([&](const auto&) {
        rig.host.removeTab(rig.host.indexOf(&rig.page));
        rig.page.DestroyContents();
      });
      if (question) {
        rig.dialogs.AnswerQuestion(true);
        rig.On<QPushButton>(rig.page, "1241")->click();
      } else {
        rig.Enter(rig.Centre(2), QStringLiteral("1"));
      }
      QVERIFY(!rig.page.HasContents());
      QCOMPARE(rig.dialogs.Entries().size(), size_t{1});
    }
  }
};

QTEST_MAIN(RecordEqPageTest)
#include "record_eq_page_test.moc"
