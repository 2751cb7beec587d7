#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

#include "image/audio_io_section.h"
#include "image/volume_group.h"
#include "page_rig.h"
#include "pages/audio_config_page.h"

using veltra::image::kVolumeGroupKinds;
using veltra::pages::CAudioCfgPage;
using veltra::pages::testing::PageRig;

namespace {

constexpr int kAudioRow = 1;
using Header = std::array<uint8_t, 11>;
using Bytes = std::vector<uint8_t>;

// VID/PID, every USB and other page's bit of bytes 6..9 set; the audio bits as given.
Header MakeHeader(uint8_t b6, uint8_t b7, uint8_t b8, uint8_t b10) {
  return {0,
          0,
          0x52,
          0x5A,
          0x31,
          0x77,
          static_cast<uint8_t>(0xE0 | b6),
          static_cast<uint8_t>(0x07 | b7),
          static_cast<uint8_t>(0xFB | b8),
          0x9D,
          b10};
}

// The six groups at their defaults with the given Playback record and mute bits.
Bytes Volumes(int maximum, int minimum, int initial, uint8_t mute) {
  veltra::image::AudioIoSection section;
  for (size_t i = 0; i < section.records.size(); ++i) {
    const auto& kind = kVolumeGroupKinds[i];
    section.records[i] = {veltra::image::VolumeWord(kind.defaultMaximum),
                          veltra::image::VolumeWord(kind.defaultMinimum),
                          veltra::image::VolumeWord(kind.defaultInitial)};
  }
  section.records[0] = {veltra::image::VolumeWord(maximum), veltra::image::VolumeWord(minimum),
                        veltra::image::VolumeWord(initial)};
  section.muteBits = mute;
  Bytes bytes(veltra::image::kAudioIoSectionLength);
  veltra::image::EncodeAudioIoSection(section, bytes);
  return bytes;
}

struct AudioRig : PageRig {
  explicit AudioRig(uint8_t capability = 0x34)
      : PageRig(veltra::sim::EepromPart::k24C64, capability) {}

  CAudioCfgPage page{context};

  bool ShowWith(const Header& header, const Bytes& audio = Volumes(0, -62, -10, 0x30)) {
    std::vector<veltra::image::PackSection> sections;
    if (!audio.empty()) sections.push_back({kAudioRow, audio});
    if (!Read(Image(header, sections))) return false;
    if (page.HasContents()) {
      page.Load();
    } else {
      Show(page);
    }
    return true;
  }
  template <typename T>
  T* Get(const char* id) {
    T* control = page.findChild<T*>(QString::fromLatin1(id));
    if (control == nullptr) qFatal("no control %s", id);
    return control;
  }
  QCheckBox* Check(const char* id) { return Get<QCheckBox>(id); }
  QComboBox* List(const char* id) { return Get<QComboBox>(id); }
  void Choose(const char* id, const QString& text) {
    QComboBox* list = List(id);
    const int index = list->findText(text);
    if (index < 0) qFatal("%s has no item %s", id, qPrintable(text));
    list->setCurrentIndex(index);
    emit list->activated(index);
  }
  // "1109" is clicked, "1137=Slave" chosen.
  void Act(const QString& action) {
    const QStringList parts = action.split(u'=');
    const QByteArray id = parts[0].toLatin1();
    if (parts.size() == 2) {
      Choose(id.constData(), parts[1]);
    } else {
      Check(id.constData())->click();
    }
  }
  // "1109 checked", "1137 disabled", "1136 Asynchronous" (the selected text).
  bool Holds(const QString& expectation) {
    const QStringList parts = expectation.split(u' ');
    auto* control = page.findChild<QWidget*>(parts[0]);
    if (control == nullptr) return false;
    const QString& state = parts[1];
    if (state == u"enabled" || state == u"disabled")
      return control->isEnabled() == (state == u"enabled");
    if (auto* box = qobject_cast<QCheckBox*>(control))
      return box->isChecked() == (state == u"checked");
    return qobject_cast<QComboBox*>(control)->currentText() == parts.mid(1).join(u' ');
  }
  Bytes StoredAudio() {
    const veltra::image::ImageContents stored = Stored();
    const auto& section = stored.sections[kAudioRow];
    return section ? section->data : Bytes{};
  }
};

const Header kPlain = MakeHeader(0, 0, 0, 0);

}  // namespace

class AudioConfigPageTest : public QObject {
  Q_OBJECT

 private slots:
  void HeaderBitsLoadAndStoreOnlyThePagesOwn_data() {
    QTest::addColumn<int>("capability");
    QTest::addColumn<int>("byte6");
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<int>("stored6");
    QTest::newRow("0x1B on variant 3")
        << 0x34 << 0x1B
        << QStringList{"1132 Headphone", "1134 LineIn", "1107 unchecked", "1108 checked"} << 0xFB;
    QTest::newRow("bit 2 is written 0")
        << 0x34 << 0x04 << QStringList{"1132 Speaker", "1107 checked"} << 0xE0;
    // Variant 0 has no "LineIn": the list shows nothing and the next store writes 0.
    QTest::newRow("bit 3 on variant 0")
        << 0x00 << 0x08 << QStringList{"1134 ", "1107 checked"} << 0xE0;
  }
  void HeaderBitsLoadAndStoreOnlyThePagesOwn() {
    QFETCH(int, capability);
    QFETCH(int, byte6);
    QFETCH(QStringList, shown);
    QFETCH(int, stored6);
    AudioRig rig(static_cast<uint8_t>(capability));
    // Option bits the rules leave as they are.
    const Header header = MakeHeader(static_cast<uint8_t>(byte6), 0xB8, 0x04, 0x5A);
    QVERIFY(rig.ShowWith(header));
    for (const QString& expectation : shown)
      QVERIFY2(rig.Holds(expectation), qPrintable(expectation));
    QVERIFY(rig.Save(rig.page));
    const auto stored = rig.Stored().header;
    QCOMPARE(stored[6], stored6);
    QCOMPARE(stored[7], header[7]);
    QCOMPARE(stored[8], header[8]);
    QCOMPARE(stored[9], header[9]);
    QCOMPARE(stored[10], header[10]);
  }

  void OptionRules_data() {
    QTest::addColumn<int>("byte7");
    QTest::addColumn<int>("byte10");
    QTest::addColumn<QStringList>("actions");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("checking playback DSP")
        << 0 << 0 << QStringList{"1111"}
        << QStringList{"1109 unchecked", "1109 disabled", "1137 disabled", "1113 disabled"};
    QTest::newRow("stored DSP and I2S: DSP wins")
        << 0 << 0xC0 << QStringList{} << QStringList{"1109 unchecked", "1109 disabled"};
    QTest::newRow("slave without MCLK: DSP off checks async")
        << 0 << 0x60 << QStringList{"1111"}
        << QStringList{"1250 checked", "1113 enabled", "1136 Synchronous"};
    QTest::newRow("DSP off with MCLK selects Asynchronous")
        << 0 << 0x70 << QStringList{"1111"} << QStringList{"1250 unchecked", "1136 Asynchronous"};
    QTest::newRow("SPDIF In selects Asynchronous and keeps it")
        << 0 << 0 << QStringList{"1108", "1108"}
        << QStringList{"1108 unchecked", "1136 Asynchronous"};
    QTest::newRow("record slave without MCLK")
        << 0 << 0 << QStringList{"1138=Slave"} << QStringList{"1136 Asynchronous", "1112 enabled"};
    QTest::newRow("async playback keeps Asynchronous")
        << 0x08 << 0 << QStringList{"1136=Synchronous"} << QStringList{"1136 Asynchronous"};
    QTest::newRow("record DSP unchecks record I2S")
        << 0 << 0x0C << QStringList{} << QStringList{"1110 unchecked", "1110 disabled"};
    QTest::newRow("digital mic") << 0xC0 << 0x02 << QStringList{"1252"}
                                 << QStringList{"1138 disabled", "1110 disabled", "1112 disabled",
                                                "1105 disabled", "1020 disabled", "1023 disabled",
                                                "1029 disabled", "1038 disabled", "1044 disabled",
                                                "1073 disabled", "1118 enabled"};
    QTest::newRow("playback I2S") << 0xC0 << 0 << QStringList{"1109"}
                                  << QStringList{"1111 disabled", "1118 disabled", "1116 disabled",
                                                 "1105 disabled", "1044 disabled", "1029 enabled"};
  }
  void OptionRules() {
    QFETCH(int, byte7);
    QFETCH(int, byte10);
    QFETCH(QStringList, actions);
    QFETCH(QStringList, expected);
    AudioRig rig;
    QVERIFY(
        rig.ShowWith(MakeHeader(0, static_cast<uint8_t>(byte7), 0, static_cast<uint8_t>(byte10))));
    for (const QString& action : actions)
      rig.Act(action);
    for (const QString& expectation : expected)
      QVERIFY2(rig.Holds(expectation), qPrintable(expectation));
  }

  void GroupContentsSwitchButLabelsKeepTheirState() {
    QWidget parent;
    auto* outer = new QGroupBox(&parent);
    outer->setGeometry(0, 0, 300, 200);
    auto* box = new QGroupBox(&parent);
    box->setGeometry(10, 10, 200, 100);
    auto* label = new QLabel(QStringLiteral("Minimum:"), &parent);
    label->setGeometry(20, 30, 50, 10);
    auto* list = new QComboBox(&parent);
    list->setGeometry(20, 45, 50, 20);
    auto* astride = new QCheckBox(&parent);
    astride->setGeometry(200, 50, 40, 10);
    auto* outside = new QCheckBox(&parent);
    outside->setGeometry(220, 50, 40, 10);

    CAudioCfgPage::EnableGroupContents(box, false);
    QVERIFY(!list->isEnabled());
    QVERIFY(!astride->isEnabled());
    QVERIFY(label->isEnabled());
    QVERIFY(outer->isEnabled());
    QVERIFY(box->isEnabled());
    QVERIFY(outside->isEnabled());
    CAudioCfgPage::EnableGroupContents(list, true);  // not a group box
    QVERIFY(!list->isEnabled());
  }

  // Every text shows whole in the page's font, and the page asks for room for all of it.
  void EveryTextFitsItsControl() {
    AudioRig rig;
    QVERIFY(rig.ShowWith(kPlain));
    QWidget* contents = rig.page.findChild<QLabel*>(QStringLiteral("1264"))->parentWidget();
    const QRect room(QPoint(0, 0), contents->minimumSize());
    for (QWidget* control : contents->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
      QString text;
      QSize needed = control->sizeHint();
      if (auto* label = qobject_cast<QLabel*>(control)) text = label->text();
      if (auto* box = qobject_cast<QCheckBox*>(control)) {
        text = box->text();
        // The hint's height has room for a focus frame around the box; the text needs a line.
        needed.setHeight(box->fontMetrics().height());
      }
      if (auto* frame = qobject_cast<QGroupBox*>(control)) {
        text = frame->title();
        needed = frame->minimumSizeHint();
      }
      QVERIFY2(room.contains(control->geometry()), qPrintable(control->objectName() + text));
      if (text.isEmpty()) continue;
      QVERIFY2(needed.width() <= control->width(), qPrintable(text));
      QVERIFY2(needed.height() <= control->height(), qPrintable(text));
    }
  }

  void DisableVolumeControlClearsThePresentBitAndComesBack() {
    AudioRig rig;
    QVERIFY(rig.ShowWith(MakeHeader(0, 0x80, 0, 0), Volumes(0, -62, -10, 0x01)));
    rig.Act(QStringLiteral("1119"));
    for (const char* id :
         {"1118", "1117", "1019", "1116", "1020", "1023", "1029", "1038", "1044", "1105"})
      QVERIFY2(!rig.page.findChild<QWidget*>(QString::fromLatin1(id))->isEnabled(), id);
    QVERIFY(rig.Save(rig.page));
    QVERIFY(rig.StoredAudio().empty());

    QVERIFY(rig.Reread());
    rig.page.Load();
    QVERIFY(rig.Check("1119")->isChecked());
    QVERIFY(!rig.List("1118")->isEnabled());
    QVERIFY(!rig.Check("1116")->isChecked());
    QVERIFY(rig.Check("1073")->isChecked());
    QVERIFY(rig.Check("1074")->isChecked());
    rig.Act(QStringLiteral("1119"));
    QVERIFY(rig.List("1118")->isEnabled());
    QVERIFY(rig.Save(rig.page));
    QCOMPARE(rig.StoredAudio(), Volumes(0, -62, -10, 0x30));
  }

  void VariantsLockWhatTheChipLacks_data() {
    QTest::addColumn<int>("capability");
    QTest::addColumn<QStringList>("outputs");
    QTest::addColumn<QStringList>("inputs");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("variant 1") << 0x14 << QStringList{"Speaker", "Headphone"} << QStringList{}
                               << QStringList{"1134 disabled", "1108 disabled", "1105 disabled",
                                              "1255 disabled", "1136 disabled", "1252 disabled",
                                              "1106 disabled", "1138 disabled", "1110 disabled",
                                              "1114 disabled", "1112 disabled", "1132 enabled",
                                              "1107 enabled",  "1109 enabled",  "1118 enabled",
                                              "1020 disabled", "1023 disabled", "1029 enabled"};
    QTest::newRow("variant 2") << 0x24 << QStringList{} << QStringList{"MicIn"}
                               << QStringList{"1132 disabled", "1107 disabled", "1108 disabled",
                                              "1105 disabled", "1255 disabled", "1250 disabled",
                                              "1137 disabled", "1109 disabled", "1111 disabled",
                                              "1113 disabled", "1134 enabled",  "1252 enabled",
                                              "1110 enabled",  "1118 disabled", "1023 enabled",
                                              "1020 disabled"};
    QTest::newRow("variant 0 without extras")
        << 0x00 << QStringList{"Speaker", "Headphone"} << QStringList{"MicIn"}
        << QStringList{"1134 disabled", "1108 disabled", "1255 disabled", "1105 disabled",
                       "1118 enabled",  "1023 enabled",  "1020 disabled", "1044 disabled"};
  }
  void VariantsLockWhatTheChipLacks() {
    QFETCH(int, capability);
    QFETCH(QStringList, outputs);
    QFETCH(QStringList, inputs);
    QFETCH(QStringList, expected);
    AudioRig rig(static_cast<uint8_t>(capability));
    QVERIFY(rig.ShowWith(MakeHeader(0, 0x40, 0, 0)));
    auto items = [](QComboBox* list) {
      QStringList texts;
      for (int i = 0; i < list->count(); ++i)
        texts << list->itemText(i);
      return texts;
    };
    QCOMPARE(items(rig.List("1132")), outputs);
    QCOMPARE(items(rig.List("1134")), inputs);
    for (const QString& expectation : expected)
      QVERIFY2(rig.Holds(expectation), qPrintable(expectation));
  }

  void TheVariantLockListFillsUpAndThenIgnoresLocks() {
    AudioRig rig(0x14);
    QVERIFY(rig.ShowWith(kPlain));
    QCOMPARE(rig.page.VariantLockCount(), 22);
    int clicks = 0;
    while (!rig.List("1138")->isEnabled() && clicks < 40) {
      rig.Act(QStringLiteral("1119"));
      ++clicks;
    }
    QCOMPARE(clicks, 22);
    QCOMPARE(rig.page.VariantLockCount(), CAudioCfgPage::kVariantLockLimit);
    rig.Act(QStringLiteral("1119"));
    QCOMPARE(rig.page.VariantLockCount(), CAudioCfgPage::kVariantLockLimit);
    rig.dialogs.AnswerQuestion(true);
    rig.Get<QPushButton>("1128")->click();
    QCOMPARE(rig.page.VariantLockCount(), 11);
    QVERIFY(!rig.List("1138")->isEnabled());
  }

  void StoreAfterResetWritesTheDefaults() {
    AudioRig rig;
    QVERIFY(rig.ShowWith(kPlain, Volumes(-3, -40, -20, 0x0F)));
    QCOMPARE(rig.List("1019")->currentText(), QStringLiteral("-20"));
    rig.dialogs.AnswerQuestion(false);
    rig.Get<QPushButton>("1128")->click();
    QCOMPARE(rig.List("1019")->currentText(), QStringLiteral("-20"));
    rig.dialogs.AnswerQuestion(true);
    rig.Get<QPushButton>("1128")->click();
    QCOMPARE(rig.dialogs.Questions(),
             QStringList(2, QString::fromLatin1(CAudioCfgPage::kResetQuestion)));
    QVERIFY(rig.Save(rig.page));
    const Bytes stored = rig.StoredAudio();
    QCOMPARE(stored.size(), size_t{37});
    QCOMPARE(Bytes(stored.begin(), stored.begin() + 12),
             Bytes({0x00, 0x00, 0x00, 0xC2, 0x00, 0xF6, 0x00, 0x25, 0x00, 0xE6, 0x00, 0x00}));
    QCOMPARE(stored[36], 0x30);
  }

  void VolumeMessagesReturnTheGroupToItsDefaults_data() {
    QTest::addColumn<Bytes>("audio");
    QTest::addColumn<QString>("choice");
    QTest::addColumn<QString>("message");
    QTest::newRow("maximum next to the minimum") << Volumes(0, -62, -10, 0) << "1117=-61"
                                                 << "No playback initial volume available";
    QTest::newRow("loaded limits with nothing between") << Volumes(-61, -62, -10, 0) << ""
                                                        << "No playback initial volume available";
  }
  void VolumeMessagesReturnTheGroupToItsDefaults() {
    QFETCH(Bytes, audio);
    QFETCH(QString, choice);
    QFETCH(QString, message);
    AudioRig rig;
    QVERIFY(rig.ShowWith(kPlain, audio));
    if (!choice.isEmpty()) rig.Act(choice);
    QCOMPARE(rig.dialogs.Messages(), QStringList{message});
    QCOMPARE(rig.List("1118")->currentText(), QStringLiteral("-62"));
    QCOMPARE(rig.List("1117")->currentText(), QStringLiteral("0"));
    QCOMPARE(rig.List("1019")->currentText(), QStringLiteral("-10"));
    QCOMPARE(rig.List("1019")->count(), 61);
  }

  // Another tool's section: whole records are shown; the bytes go back unchanged until a
  // volume is edited, and then in this page's layout.
  void SectionsOfOtherLengths_data() {
    QTest::addColumn<Bytes>("audio");
    QTest::addColumn<QString>("shownMinimum");
    QTest::addColumn<bool>("muted");
    QTest::addColumn<bool>("recordsShown");
    const Bytes full = Volumes(0, -30, -10, 0);
    Bytes two(full.begin(), full.begin() + 12);
    two.push_back(0x01);
    QTest::newRow("two records") << two << "-30" << true << true;
    QTest::newRow("20 bytes") << Bytes(20, 0x11) << "-62" << false << false;
    Bytes longer = Volumes(0, -30, -10, 0x01);
    longer.resize(60, 0x22);
    QTest::newRow("60 bytes") << longer << "-62" << false << false;
  }
  void SectionsOfOtherLengths() {
    QFETCH(Bytes, audio);
    QFETCH(QString, shownMinimum);
    QFETCH(bool, muted);
    QFETCH(bool, recordsShown);
    AudioRig rig;
    QVERIFY(rig.ShowWith(kPlain, audio));
    const char* text =
        recordsShown ? CAudioCfgPage::kForeignLayoutText : CAudioCfgPage::kUnknownLayoutText;
    QCOMPARE(rig.dialogs.Messages(),
             QStringList{QString::fromLatin1(text).arg(audio.size()).arg(37)});
    QCOMPARE(rig.List("1118")->currentText(), shownMinimum);
    QCOMPARE(rig.Check("1116")->isChecked(), muted);
    QVERIFY(rig.Save(rig.page));
    QCOMPARE(rig.StoredAudio(), audio);
    rig.Act(QStringLiteral("1118=-50"));
    QVERIFY(rig.Save(rig.page));
    const Bytes stored = rig.StoredAudio();
    QCOMPARE(stored.size(), size_t{37});
    QCOMPARE(Bytes(stored.begin(), stored.begin() + 6), Bytes({0, 0, 0, 0xCE, 0, 0xF6}));
  }
};

QTEST_MAIN(AudioConfigPageTest)
#include "audio_config_page_test.moc"
