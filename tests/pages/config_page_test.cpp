#include <QLabel>
#include <QSignalSpy>
#include <QTabWidget>
#include <QtTest>

#include "pages/config_page.h"

using veltra::pages::ConfigPage;

namespace {

// Counts what the contract lets through to a page's own operations.
class ProbePage final : public ConfigPage {
 public:
  explicit ProbePage(bool refuseStore = false)
      : ConfigPage(QStringLiteral("Probe")), refuseStore_(refuseStore) {}

  int created = 0;
  int loads = 0;
  int stores = 0;
  int released = 0;
  QLabel* label = nullptr;

 protected:
  void CreateContents(QWidget& contents) override {
    ++created;
    label = new QLabel(QStringLiteral("probe"), &contents);
  }
  void LoadContents() override { ++loads; }
  void StoreContents() override {
    ++stores;
    if (refuseStore_) StoreFailed();
  }
  void ReleaseContents() override {
    ++released;
    label = nullptr;
  }

 private:
  bool refuseStore_;
};

}  // namespace

class ConfigPageTest : public QObject {
  Q_OBJECT

 private slots:
  void NothingHappensBeforeThePageIsShown() {
    ProbePage page;
    page.Load();
    QVERIFY(page.Store());
    QVERIFY(!page.HasContents());
    QCOMPARE(page.loads, 0);
    QCOMPARE(page.stores, 0);
    QCOMPARE(page.Title(), QStringLiteral("Probe"));
  }

  void FirstShowCreatesAndLoadsOnce() {
    QTabWidget set;
    auto* first = new ProbePage;
    auto* second = new ProbePage;
    set.addTab(first, first->Title());
    set.addTab(second, second->Title());
    set.show();
    QVERIFY(QTest::qWaitForWindowExposed(&set));
    QCOMPARE(first->created, 1);
    QCOMPARE(first->loads, 1);
    QCOMPARE(second->created, 0);  // a page not shown yet has no contents
    set.setCurrentIndex(1);
    set.setCurrentIndex(0);
    set.setCurrentIndex(1);
    QCOMPARE(second->created, 1);
    QCOMPARE(second->loads, 1);
    QCOMPARE(first->created, 1);
    second->Load();
    QVERIFY(second->Store());
    QCOMPARE(second->loads, 2);
    QCOMPARE(second->stores, 1);
  }

  void DestroyedContentsAreCreatedAnewWhenShownAgain() {
    QTabWidget set;
    auto* page = new ProbePage;
    set.addTab(page, page->Title());
    set.show();
    QVERIFY(QTest::qWaitForWindowExposed(&set));
    QPointer<QLabel> label = page->label;
    QVERIFY(label);
    set.removeTab(0);
    page->DestroyContents();
    QCOMPARE(page->released, 1);
    QVERIFY(!page->HasContents());
    QVERIFY(label.isNull());
    page->Load();
    QCOMPARE(page->loads, 1);  // no contents: nothing loaded
    set.addTab(page, page->Title());
    set.setCurrentWidget(page);
    QTRY_COMPARE(page->created, 2);
    QCOMPARE(page->loads, 2);
  }

  void RefusedStoreIsReported() {
    QTabWidget set;
    auto* page = new ProbePage(true);
    set.addTab(page, page->Title());
    set.show();
    QVERIFY(QTest::qWaitForWindowExposed(&set));
    QSignalSpy stored(page, &ConfigPage::Stored);
    QVERIFY(!page->Store());
    QCOMPARE(stored.count(), 0);
  }
};

QTEST_MAIN(ConfigPageTest)
#include "config_page_test.moc"
