#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QtTest>

#include "app/background_operations.h"
#include "app/device_panel.h"
#include "app/main_window.h"
#include "app/progress_window.h"
#include "app_harness.h"
#include "image/eeprom_config.h"
#include "image/header_options.h"
#include "image/operation_texts.h"
#include "pages/audio_config_page.h"
#include "pages/config_page.h"
#include "pages/usb_config_page.h"
#include "ui/dialog_units.h"

using veltra::app::CDemoDlg;
using veltra::app::testing::AppHarness;
using veltra::app::testing::Contents;
using veltra::app::testing::HarnessOptions;

namespace {

const QStringList kBasePages{"USB Config", "Audio I/O Config", "MCU Config"};
const QStringList kAllPages{"USB Config",         "Audio I/O Config", "MCU Config",
                            "PlayBack EQ Config", "Record EQ Config", "About"};

HarnessOptions WithCapability(uint8_t capability) {
  HarnessOptions options;
  options.device.capability = capability;
  return options;
}

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void StartsNotConnected() {
    AppHarness app;
    CDemoDlg& window = app.Window();
    QCOMPARE(window.windowTitle(), QStringLiteral("Veltra Configuration"));
    QCOMPARE(app.Button("1017")->text(), QStringLiteral("Connect"));
    QVERIFY(!app.DeviceButtonsEnabled());
    auto* list = app.Control<QComboBox>("1244");
    QVERIFY(list->isEnabled());
    QCOMPARE(list->currentIndex(), -1);
    QCOMPARE(list->count(), 9);
    QCOMPARE(list->itemText(0), QStringLiteral("S24C02"));
    QCOMPARE(list->itemText(8), QStringLiteral("S24C512"));
    QCOMPARE(app.Control<QLineEdit>("1016")->maxLength(), 4);
    QCOMPARE(app.Control<QLineEdit>("1018")->maxLength(), 4);
    QCOMPARE(app.Control<QLineEdit>("1016")->text(), QString());
    QCOMPARE(window.PageTitles(), kBasePages);
    QCOMPARE(window.CurrentPage()->Title(), QStringLiteral("USB Config"));
    QVERIFY(!window.IsConnected());
    QCOMPARE(window.TransferLength(), 0u);
    QVERIFY(!window.Progress().isVisible());
    QCOMPARE(window.Progress().Caption(), QStringLiteral("ConfigVeltra"));
    QCOMPARE(window.Progress().Text(), QStringLiteral("Please Wait...."));
    for (const char* id : {"3", "4", "5", "1160", "1161", "1017"}) {
      QVERIFY(!app.Button(id)->isDefault());
      QVERIFY(!app.Button(id)->autoDefault());
    }
  }

  void CommandRowKeepsTheTemplateArrangement() {
    AppHarness app;
    CDemoDlg& window = app.Window();
    const veltra::ui::DialogUnits& row = window.RowUnits();
    // The row spans the window as the template's 254 units span its window, under the page set.
    QCOMPARE(row.X(254), window.width());
    const int top = window.PageSet().geometry().bottom() + 1 - row.Y(299);
    // The template's 346 units and a row for the used-part Save's check box.
    QCOMPARE(window.height(), top + row.Y(352));
    QCOMPARE(window.minimumSize(), window.maximumSize());
    QCOMPARE(app.Button("1017")->geometry(), row.Rect(201, 310, 32, 12).translated(0, top));
    QCOMPARE(app.Button("1160")->geometry(), row.Rect(104, 327, 64, 12).translated(0, top));
    QCOMPARE(app.Button("3")->geometry(), row.Rect(7, 327, 52, 12).translated(0, top));
    auto* vid = window.findChild<QLineEdit*>(QStringLiteral("1016"), Qt::FindDirectChildrenOnly);
    QCOMPARE(vid->geometry(), row.Rect(125, 310, 22, 12).translated(0, top));
    QCOMPARE(app.Control<QComboBox>("1244")->geometry().topLeft(),
             row.Rect(7, 310, 48, 30).translated(0, top).topLeft());
  }

  void OneFontForTheWholeWindow() {
    AppHarness app;
    QVERIFY(app.Connect());
    CDemoDlg& window = app.Window();
    for (int i = 0; i < window.PageSet().count(); ++i)
      window.PageSet().setCurrentIndex(i);
    const QFont font = window.font();
    const QList<QWidget*> widgets = window.findChildren<QWidget*>();
    for (const QWidget* widget : widgets) {
      // The progress window keeps its own template's font; the About page's title is larger.
      if (widget == &window.Progress() || window.Progress().isAncestorOf(widget)) continue;
      if (widget->objectName() == QStringLiteral("aboutTitle")) continue;
      QVERIFY2(widget->font() == font, qPrintable(widget->metaObject()->className() +
                                                  QStringLiteral(" ") + widget->objectName()));
    }
    // The pages lay out their contents in units of that font.
    const veltra::ui::DialogUnits units(font);
    const QWidget* usb =
        window.UsbPage().findChild<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
    QVERIFY(usb != nullptr);
    QCOMPARE(usb->minimumSize(), units.Size(290, 313));
  }

  void LabelsAreHighEnoughForTheirText() {
    AppHarness app;
    QVERIFY(app.Connect());
    CDemoDlg& window = app.Window();
    for (int i = 0; i < window.PageSet().count(); ++i) {
      window.PageSet().setCurrentIndex(i);
      QTest::qWait(1);  // laid out
      const QList<QWidget*> widgets = window.findChildren<QWidget*>();
      for (const QWidget* widget : widgets) {
        if (!widget->isVisible()) continue;
        if (!qobject_cast<const QLabel*>(widget) && !qobject_cast<const QCheckBox*>(widget))
          continue;
        QVERIFY2(widget->height() >= widget->fontMetrics().height(),
                 qPrintable(window.PageSet().tabText(i) + QStringLiteral(": ") +
                            widget->property("text").toString()));
      }
    }
  }

  void TypeSelectionSetsTransferLengthAndTransportSize() {
    AppHarness app;
    app.ChooseType(QStringLiteral("S24C02"));
    QCOMPARE(app.Window().TransferLength(), 255u);
    QCOMPARE(app.Backend().Transport().EepromSize(), 256u);
    app.ChooseType(QStringLiteral("S24C512"));
    QCOMPARE(app.Window().TransferLength(), 65535u);
    QCOMPARE(app.Backend().Transport().EepromSize(), 65536u);
  }

  void ConnectReadsTheImageAndShowsThePages() {
    AppHarness app;
    app.WatchCover();
    app.ChooseType(QStringLiteral("S24C64"));
    app.TypeIds(QStringLiteral("5a52"), QStringLiteral("7731"));
    app.Button("1017")->click();
    // Disabled at once, before the progress thread has run.
    QVERIFY(!app.Window().isEnabled());
    QVERIFY(app.WaitIdle());
    QVERIFY(app.Window().IsConnected());
    QCOMPARE(app.Button("1017")->text(), QStringLiteral("Stop"));
    QVERIFY(app.DeviceButtonsEnabled());
    QVERIFY(!app.Control<QComboBox>("1244")->isEnabled());
    QCOMPARE(app.Window().PageTitles(), kAllPages);
    QCOMPARE(app.Window().CurrentPage()->Title(), QStringLiteral("USB Config"));
    QVERIFY(!app.Window().Progress().isVisible());
    QCOMPARE(app.Dialogs().Texts(), QStringList());
    QCOMPARE(app.Window().VidText(), QStringLiteral("5a52"));
    QVERIFY(!app.Window().Model().IsEmpty());
  }

  void ConnectWithoutDeviceSaysSo_data() {
    QTest::addColumn<QString>("vid");
    QTest::addColumn<QString>("pid");
    QTest::newRow("other ids") << "1234"
                               << "5678";
    QTest::newRow("empty boxes") << ""
                                 << "";
    QTest::newRow("bad digit") << "5G52"
                               << "7731";
  }
  void ConnectWithoutDeviceSaysSo() {
    QFETCH(QString, vid);
    QFETCH(QString, pid);
    AppHarness app;
    app.ChooseType(QStringLiteral("S24C64"));
    app.TypeIds(vid, pid);
    app.Button("1017")->click();
    QVERIFY(app.WaitIdle());
    QCOMPARE(app.Dialogs().Messages(), QStringList{"Cannot find the HID device !!!"});
    QVERIFY(!app.Window().IsConnected());
    QCOMPARE(app.Button("1017")->text(), QStringLiteral("Connect"));
    QVERIFY(!app.DeviceButtonsEnabled());
    QCOMPARE(app.Window().PageTitles(), kBasePages);
    QVERIFY(!app.Backend().Channel().IsAttached());
  }

  void ConnectWithoutTypeIsTooSmall() {
    AppHarness app;
    app.WatchCover();
    app.TypeIds(QStringLiteral("5A52"), QStringLiteral("7731"));
    QVERIFY(app.ClickAndWait("1017"));
    QCOMPARE(app.Dialogs().Messages(), QStringList{" EEPROM Size Too Small"});
    QVERIFY(app.EveryDialogCovered());
    QVERIFY(!app.Window().IsConnected());
    QCOMPARE(app.Button("1017")->text(), QStringLiteral("Connect"));
    QVERIFY(!app.DeviceButtonsEnabled());
    QVERIFY(app.Control<QComboBox>("1244")->isEnabled());
    QCOMPARE(app.Window().PageTitles(), kBasePages);
    QVERIFY(app.Backend().Channel().IsAttached());  // still attached
    // A large enough type then connects.
    app.Dialogs().Clear();
    QVERIFY(app.Connect());
  }

  void ImageLargerThanTheTypeIsTooSmall() {
    // The factory image of a 24C04 holds both equalisers: more than an S24C02 takes.
    HarnessOptions options;
    options.device.eeprom = veltra::device::FindEepromType("S24C04");
    AppHarness app(options);
    app.ChooseType(QStringLiteral("S24C02"));
    app.TypeIds(QStringLiteral("5A52"), QStringLiteral("7731"));
    QVERIFY(app.ClickAndWait("1017"));
    QCOMPARE(app.Dialogs().Messages(), QStringList{" EEPROM Size Too Small"});
    QVERIFY(!app.Window().IsConnected());
  }

  // A type whose addressing the EEPROM does not answer fails the read, naming the likely cause;
  // Connect without a type then reads as a fresh start does.
  void AfterAFailedReadConnectWithoutTypeIsTooSmall() {
    AppHarness app;
    app.ChooseType(QStringLiteral("S24C02"));
    app.TypeIds(QStringLiteral("5A52"), QStringLiteral("7731"));
    QVERIFY(app.ClickAndWait("1017"));
    QCOMPARE(app.Dialogs().Messages(),
             QStringList{QStringLiteral("Fail to read EEPROM\n\nThe EEPROM did not answer at "
                                        "0x0000: is the chosen type right?")});
    QTRY_COMPARE(app.Control<QComboBox>("1244")->currentIndex(), -1);
    app.Dialogs().Clear();
    QVERIFY(app.ClickAndWait("1017"));
    QCOMPARE(app.Dialogs().Messages(), QStringList{" EEPROM Size Too Small"});
  }

  void ErasedEepromConnectsWithDefaults() {
    HarnessOptions options;
    options.contents = Contents::kErased;
    AppHarness app(options);
    app.WatchCover();  // the model's own message, raised from the worker thread
    QVERIFY(app.Connect());
    QCOMPARE(app.Dialogs().Messages(), QStringList{"EEPROM Empty"});
    QVERIFY(app.EveryDialogCovered());
    QVERIFY(app.Window().Model().IsEmpty());
  }

  void HeaderReadFailureReleasesTheWindow() {
    AppHarness app;
    app.WatchCover();
    veltra::sim::Faults faults;
    faults.forceNack = true;
    app.SetFaults(faults);
    QVERIFY(!app.Connect());
    QCOMPARE(app.Dialogs().Messages(), QStringList{"Fail to read EEPROM"});
    QVERIFY(app.EveryDialogCovered());
    QCOMPARE(app.Window().TransferLength(), 0u);
    QCOMPARE(app.Button("1017")->text(), QStringLiteral("Connect"));
    QVERIFY(!app.DeviceButtonsEnabled());
    QCOMPARE(app.Window().PageTitles(), kBasePages);
    // The type list shows that a type must be chosen again, and choosing it works.
    auto* list = app.Control<QComboBox>("1244");
    QTRY_COMPARE(list->currentIndex(), -1);
    list->setCurrentIndex(5);
    QCOMPARE(app.Window().TransferLength(), 8191u);
  }

  void StopAsksFirst() {
    AppHarness app;
    QVERIFY(app.Connect());
    app.Dialogs().AnswerQuestion(false);
    app.Button("1017")->click();
    QCOMPARE(app.Dialogs().Questions(),
             QStringList{"Stop the connection without further saving ?"});
    QVERIFY(app.Window().IsConnected());
    QCOMPARE(app.Button("1017")->text(), QStringLiteral("Stop"));
    QCOMPARE(app.Window().PageTitles(), kAllPages);

    app.Window().PageSet().setCurrentIndex(4);
    app.Dialogs().AnswerQuestion(true);
    app.Button("1017")->click();
    QVERIFY(!app.Window().IsConnected());
    QCOMPARE(app.Button("1017")->text(), QStringLiteral("Connect"));
    QCOMPARE(app.Window().PageTitles(), kBasePages);
    QCOMPARE(app.Window().CurrentPage()->Title(), QStringLiteral("USB Config"));
    QVERIFY(!app.DeviceButtonsEnabled());
    QVERIFY(app.Control<QComboBox>("1244")->isEnabled());
    QVERIFY(!app.Backend().Channel().IsAttached());
  }

  void RefreshAsksThenReconnects() {
    AppHarness app;
    QVERIFY(app.Connect());
    app.Dialogs().AnswerQuestion(false);
    QVERIFY(app.ClickAndWait("5"));
    QCOMPARE(app.Dialogs().Questions(),
             QStringList{"All changes before save will be discarded !!!"});
    QVERIFY(app.Window().IsConnected());

    // The boxes are read again: a Refresh with other ids fails to attach.
    app.TypeIds(QStringLiteral("1111"), QStringLiteral("2222"));
    app.Dialogs().AnswerQuestion(true);
    QVERIFY(app.ClickAndWait("5"));
    QCOMPARE(app.Dialogs().Messages(), QStringList{"Cannot find the HID device !!!"});
    QVERIFY(!app.Window().IsConnected());
    QCOMPARE(app.Window().PageTitles(), kBasePages);

    app.TypeIds(QStringLiteral("5A52"), QStringLiteral("7731"));
    QVERIFY(app.ClickAndWait("1017"));
    app.Dialogs().AnswerQuestion(true);
    QVERIFY(app.ClickAndWait("5"));
    QVERIFY(app.Window().IsConnected());
    QCOMPARE(app.Window().PageTitles(), kAllPages);
  }

  void EqPagesFollowTheCapabilityFlags_data() {
    QTest::addColumn<int>("capability");
    QTest::addColumn<QStringList>("pages");
    QTest::newRow("variant 3, both") << 0x34 << kAllPages;
    QTest::newRow("variant 3, none") << 0x30 << (kBasePages + QStringList{"About"});
    QTest::newRow("variant 2, record")
        << 0x24 << (kBasePages + QStringList{"Record EQ Config", "About"});
    QTest::newRow("variant 1, playback")
        << 0x14 << (kBasePages + QStringList{"PlayBack EQ Config", "About"});
    QTest::newRow("variant 0, both") << 0x04 << kAllPages;
  }
  void EqPagesFollowTheCapabilityFlags() {
    QFETCH(int, capability);
    QFETCH(QStringList, pages);
    AppHarness app(WithCapability(static_cast<uint8_t>(capability)));
    QVERIFY(app.Connect());
    QCOMPARE(app.Window().PageTitles(), pages);
  }

  void UnplugWhileConnectedDisconnectsSilently() {
    AppHarness app;
    QVERIFY(app.Connect());
    app.Backend().Unplug();
    QTRY_VERIFY(!app.Window().IsConnected());
    QCOMPARE(app.Button("1017")->text(), QStringLiteral("Connect"));
    QCOMPARE(app.Window().PageTitles(), kBasePages);
    QVERIFY(!app.DeviceButtonsEnabled());
    QCOMPARE(app.Dialogs().Texts(), QStringList());
    // Plugged in again, Connect works as before.
    app.Backend().Plug();
    QVERIFY(app.ClickAndWait("1017"));
    QVERIFY(app.Window().IsConnected());
  }

  void DevicePanelUnplugsAndReplugs() {
    AppHarness app;
    QVERIFY(app.Connect());
    veltra::app::DevicePanel panel(app.Backend());
    auto* toggle = panel.findChild<QPushButton*>(QStringLiteral("plugToggle"));
    QCOMPARE(toggle->text(), QStringLiteral("Unplug"));
    toggle->click();
    QVERIFY(!app.Backend().IsPlugged());
    QCOMPARE(toggle->text(), QStringLiteral("Plug in"));
    QTRY_VERIFY(!app.Window().IsConnected());
    toggle->click();
    QVERIFY(app.Backend().IsPlugged());
    QVERIFY(app.ClickAndWait("1017"));
    QVERIFY(app.Window().IsConnected());
  }

  void CloseAsksFirst() {
    AppHarness app;
    app.Dialogs().AnswerQuestion(false);
    app.Window().close();
    QCOMPARE(app.Dialogs().Questions(),
             QStringList{"Exit the configuration tool without further saving ?"});
    QVERIFY(app.Window().isVisible());
    app.Dialogs().AnswerQuestion(true);
    QTest::keyClick(&app.Window(), Qt::Key_Escape);
    QVERIFY(!app.Window().isVisible());
    QCOMPARE(app.Dialogs().Questions().size(), 2);
  }

  void PagesLoadOnReadAndWhenFirstShown() {
    AppHarness app;
    veltra::pages::ConfigPage& usb = app.Window().UsbPage();
    veltra::pages::ConfigPage& audio = app.Window().AudioPage();
    QVERIFY(usb.HasContents());  // shown at start
    QVERIFY(!audio.HasContents());
    QSignalSpy usbLoads(&usb, &veltra::pages::ConfigPage::Loaded);
    QSignalSpy audioLoads(&audio, &veltra::pages::ConfigPage::Loaded);
    QVERIFY(app.Connect());
    QCOMPARE(usbLoads.count(), 1);
    QCOMPARE(audioLoads.count(), 0);  // never shown: nothing to load
    app.Window().PageSet().setCurrentIndex(1);
    QVERIFY(audio.HasContents());
    QCOMPARE(audioLoads.count(), 1);  // loads itself when first shown
  }

  void SaveStoresPagesInOrderAndWritesHeaderIds() {
    AppHarness app;
    QVERIFY(app.Connect());
    // Show every page once so that each one has contents to store.
    for (int i = app.Window().PageSet().count() - 1; i >= 0; --i)
      app.Window().PageSet().setCurrentIndex(i);
    QStringList order;
    for (int i = 0; i < app.Window().PageSet().count(); ++i) {
      auto* page = qobject_cast<veltra::pages::ConfigPage*>(app.Window().PageSet().widget(i));
      connect(page, &veltra::pages::ConfigPage::Stored, this,
              [&order, page] { order << page->Title(); });
    }
    // The header holds other ids now; Save puts back those of the last Connect, not the boxes.
    auto* header = app.Window().Model().FindSection(veltra::image::section_type::kHeader);
    QVERIFY(header != nullptr);
    veltra::image::SetHeaderVid(header->data, 0x1111);
    veltra::image::SetHeaderPid(header->data, 0x2222);
    app.TypeIds(QStringLiteral("AAAA"), QStringLiteral("BBBB"));
    app.WatchCover();
    QVERIFY(app.ClickAndWait("3"));
    QCOMPARE(order, (QStringList{"USB Config", "Audio I/O Config", "PlayBack EQ Config",
                                 "Record EQ Config", "MCU Config"}));
    QCOMPARE(app.Dialogs().Messages(), QStringList{veltra::image::text::kSaveDone});
    QVERIFY(app.EveryDialogCovered());
    const std::vector<uint8_t> bytes = app.EepromBytes();
    QCOMPARE(bytes[0], uint8_t{'Z'});
    QCOMPARE(bytes[1], uint8_t{'R'});
    QCOMPARE(bytes[2], uint8_t{0x52});
    QCOMPARE(bytes[3], uint8_t{0x5A});
    QCOMPARE(bytes[4], uint8_t{0x31});
    QCOMPARE(bytes[5], uint8_t{0x77});
    QVERIFY(app.Window().IsConnected());
  }

  void ProgressWindowIsCentred() {
    AppHarness app;
    veltra::app::CProgress& progress = app.Window().Progress();
    progress.Centre();
    const QRect outer = app.Window().frameGeometry();
    QCOMPARE(progress.x(), outer.width() / 2 - progress.width() / 2);
    QCOMPARE(progress.y(), outer.height() / 2 - progress.height() / 2);
    QVERIFY(!progress.isEnabled());
    QCOMPARE(progress.parentWidget(), &app.Window());
  }

  void AboutPageNamesProgramAndBackend() {
    AppHarness app;
    QVERIFY(app.Connect());
    app.Window().PageSet().setCurrentIndex(app.Window().PageSet().count() - 1);
    auto* program = app.Window().findChild<QLabel*>(QStringLiteral("aboutProgram"));
    auto* backend = app.Window().findChild<QLabel*>(QStringLiteral("aboutBackend"));
    QVERIFY(program != nullptr && backend != nullptr);
    QCOMPARE(program->text(), QStringLiteral("veltra-config " VELTRA_VERSION));
    QCOMPARE(backend->text(), QStringLiteral("Device back end: test device"));
  }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
