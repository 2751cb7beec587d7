// Enter and Tab in the EQ pages' gain edits, typed on a real X server (run under xvfb-run):
// where the focus goes, that the next text is selected, and that leaving commits the gain.
#include <QCheckBox>
#include <QGuiApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QtTest>

#include "eq_page_support.h"
#include "pages/playback_eq_page.h"
#include "pages/record_eq_page.h"

using veltra::pages::testing::EqRig;

namespace {

// Keys through the X server's input, as a keyboard sends them.
bool Xdotool(const QStringList& arguments) {
  QProcess process;
  process.start(QStringLiteral("xdotool"), arguments);
  return process.waitForFinished(10000) && process.exitStatus() == QProcess::NormalExit &&
         process.exitCode() == 0;
}

bool TypeAndPress(const QString& text, const char* key) {
  return Xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("30"),
                  QStringLiteral("--"), text}) &&
         Xdotool({QStringLiteral("key"), QString::fromLatin1(key)});
}

struct Step {
  const char* from;
  const char* typed;
  const char* key;  // an X key name
  const char* to;
};

// Puts the focus into the first edit, then types and presses each step's key there.
void Walk(EqRig& rig, QWidget& page, std::initializer_list<Step> steps) {
  rig.host.show();
  rig.host.activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(&rig.host));
  auto* first = rig.On(page, steps.begin()->from);
  first->setFocus();
  first->selectAll();
  QTRY_COMPARE(QApplication::focusWidget(), first);
  for (const Step& step : steps) {
    QWidget* from = page.findChild<QWidget*>(QString::fromLatin1(step.from));
    QWidget* to = page.findChild<QWidget*>(QString::fromLatin1(step.to));
    QCOMPARE(QApplication::focusWidget(), from);
    QVERIFY(TypeAndPress(QString::fromLatin1(step.typed), step.key));
    QTRY_COMPARE(QApplication::focusWidget(), to);
    if (auto* edit = qobject_cast<QLineEdit*>(to)) QCOMPARE(edit->selectedText(), edit->text());
  }
}

}  // namespace

class EqFocusX11Test : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    if (QGuiApplication::platformName() != QStringLiteral("xcb"))
      QSKIP("needs an X server: run under xvfb-run with QT_QPA_PLATFORM=xcb");
    QVERIFY2(!QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty(),
             "xdotool is not installed");
  }

  void PlaybackGainEditsWalkTheBandsThenTheFrequencies() {
    EqRig rig;
    veltra::pages::CEQPage page{rig.eqContext};
    rig.Show(page);
    Walk(rig, page,
         {{"1115", "2", "Tab", "1119"},
          {"1119", "3", "Return", "1120"},
          {"1120", "-4", "KP_Enter", "1121"},
          {"1121", "1.5", "Tab", "1122"},
          {"1122", "12", "Return", "1116"}});
    QCOMPARE(page.Gains()[0], (veltra::eq::GainRow{28, 30, 16, 27, 48, 38}));
    QCOMPARE(rig.On(page, "1122")->text(), QStringLiteral("12.0"));

    auto* compensation = rig.On(page, "1158");
    compensation->setFocus();
    compensation->selectAll();
    QTRY_COMPARE(QApplication::focusWidget(), compensation);
    QVERIFY(TypeAndPress(QStringLiteral("-1"), "Tab"));
    QTRY_COMPARE(QApplication::focusWidget(), rig.On(page, "1163"));
    QCOMPARE(page.Gains()[0][5], 22);
    QVERIFY(rig.dialogs.Messages().isEmpty());
  }

  void RecordCompensationGoesToDisableEq() {
    EqRig rig;
    veltra::pages::CRecordEQPage page{rig.eqContext};
    rig.Show(page);
    Walk(rig, page, {{"1196", "6", "Tab", "1197"}, {"1197", "0.5", "Return", "1205"}});
    auto* compensation = rig.On(page, "1198");
    compensation->setFocus();
    compensation->selectAll();
    QTRY_COMPARE(QApplication::focusWidget(), compensation);
    QVERIFY(TypeAndPress(QStringLiteral("3"), "Return"));
    QTRY_COMPARE(QApplication::focusWidget(), page.findChild<QWidget*>(QStringLiteral("1181")));
    QCOMPARE(page.Gains(), (veltra::eq::GainRow{24, 24, 24, 36, 25, 30}));
  }
};

QTEST_MAIN(EqFocusX11Test)
#include "eq_focus_x11_test.moc"
