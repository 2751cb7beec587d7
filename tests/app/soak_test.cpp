#include <QtTest>

#include "soak.h"

using namespace veltra::app::testing;

// A short soak run on each EEPROM size class; the long run's figures are in docs/reliability.md.
class SoakTest : public QObject {
  Q_OBJECT

 private slots:
  void RandomOperationsWithFaults_data() {
    QTest::addColumn<int>("part");
    QTest::addColumn<quint64>("seed");
    QTest::newRow("24C02") << static_cast<int>(veltra::sim::EepromPart::k24C02) << quint64{2};
    QTest::newRow("24C64") << static_cast<int>(veltra::sim::EepromPart::k24C64) << quint64{64};
  }

  void RandomOperationsWithFaults() {
    QFETCH(int, part);
    QFETCH(quint64, seed);
    SoakOptions options;
    options.seed = seed;
    options.part = static_cast<veltra::sim::EepromPart>(part);
    Soak soak(options);
    QVERIFY2(soak.Run(300), soak.Problem().c_str());
    const SoakFigures& figures = soak.Figures();
    // The run met both outcomes: faults that failed an operation and operations that went
    // through.
    QVERIFY(figures.reported > 0);
    QVERIFY(figures.cutsChecked > 0);
    QVERIFY(figures.succeeded > 0);
  }
};

QTEST_MAIN(SoakTest)
#include "soak_test.moc"
