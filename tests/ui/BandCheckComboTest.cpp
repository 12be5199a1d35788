#include <QAbstractItemModelTester>
#include <QAbstractItemView>
#include <QSignalSpy>
#include <QTest>

#include "ui/BandCheckCombo.h"
#include "ui/BandListModel.h"

class BandCheckComboTest : public QObject {
  Q_OBJECT

 private slots:
  void theBandsAreTheOperatingBandTable();
  void theModelPassesTheTester();
  void theClosedBoxShowsTheMarkedNumbers();
  void disabledEntriesKeepTheirMark();
  void aClickTogglesAndKeepsTheListOpen();
  void theOpenListShowsTheLongestEntryWhole();
};

void BandCheckComboTest::theBandsAreTheOperatingBandTable() {
  QStringList bands = BandListModel::BandTexts();
  QCOMPARE(bands.size(), 44);
  QCOMPARE(bands[0], QString::fromUtf8(" 1: U 1920.0 \u2013 1980.0 | D 2110.0 \u2013 2170.0"));
  // A few keep the hyphen of the table; the reserved ones end in blanks.
  QCOMPARE(bands[10], QString("11: U 1427.9 - 1447.9 | D 1475.9 - 1495.9"));
  QVERIFY(bands[14].endsWith("Reserved       "));
  QCOMPARE(bands[31], QString("32: U N/A             | D 1452.0 - 1496.0"));
  QCOMPARE(bands[43].left(2), QString("44"));
}

void BandCheckComboTest::theModelPassesTheTester() {
  BandListModel model(nullptr);
  QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
  model.SetMarkedBands({1, 44});
  QVERIFY(model.setData(model.index(5), Qt::Checked, Qt::CheckStateRole));
  model.ClearMarks();
  QVERIFY(model.MarkedBands().empty());
}

void BandCheckComboTest::theClosedBoxShowsTheMarkedNumbers() {
  BandCheckCombo combo;
  QVERIFY(combo.ClosedText().isEmpty());
  combo.Marks()->SetMarkedBands({3, 20, 40});
  QCOMPARE(combo.ClosedText(), QString(" 3, 20, 40"));
  // An entry shorter than two characters is shown whole.
  BandCheckCombo shortOnes(new BandListModel({"A", "BCD"}, nullptr), nullptr);
  shortOnes.Marks()->SetMarkedBands({1, 2});
  QCOMPARE(shortOnes.ClosedText(), QString("A, BC"));
  combo.resize(300, 30);
  QImage shown = combo.grab().toImage();
  QVERIFY(!shown.isNull());
}

void BandCheckComboTest::disabledEntriesKeepTheirMark() {
  BandListModel model({"1: on", "2: [DISABLED] off"}, nullptr);
  QVERIFY(model.Toggle(0));
  QVERIFY(!model.Toggle(1));
  QVERIFY(!model.setData(model.index(1), Qt::Checked, Qt::CheckStateRole));
  QVERIFY(!(model.flags(model.index(1)) & Qt::ItemIsEnabled));
  QVERIFY(model.flags(model.index(0)) & Qt::ItemIsUserCheckable);
  QCOMPARE(model.MarkedBands(), std::vector<int>{1});
  // A read shows what the device has, disabled or not.
  model.SetMarkedBands({2});
  QVERIFY(model.IsMarked(1));
}

void BandCheckComboTest::aClickTogglesAndKeepsTheListOpen() {
  BandCheckCombo combo(new BandListModel({"1: one", "2: two", "3: [DISABLED] three"}, nullptr), nullptr);
  combo.resize(200, 30);
  combo.show();
  QVERIFY(QTest::qWaitForWindowExposed(&combo));
  QSignalSpy toggled(&combo, &BandCheckCombo::markToggled);
  combo.showPopup();
  QAbstractItemView* list = combo.view();
  QTRY_VERIFY(list->isVisible());
  QRect second = list->visualRect(combo.model()->index(1, 0));
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, second.center());
  QVERIFY(combo.Marks()->IsMarked(1));
  QCOMPARE(toggled.count(), 1);
  QVERIFY(list->isVisible());
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, second.center());
  QVERIFY(!combo.Marks()->IsMarked(1));
  QRect third = list->visualRect(combo.model()->index(2, 0));
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, third.center());
  QVERIFY(!combo.Marks()->IsMarked(2));
  QCOMPARE(toggled.count(), 2);
  QVERIFY(list->isVisible());
  combo.hidePopup();
}

void BandCheckComboTest::theOpenListShowsTheLongestEntryWhole() {
  BandCheckCombo combo;
  combo.resize(80, 30);
  combo.show();
  QVERIFY(QTest::qWaitForWindowExposed(&combo));
  combo.showPopup();
  QAbstractItemView* list = combo.view();
  QTRY_VERIFY(list->isVisible());
  int longest = list->fontMetrics().horizontalAdvance(BandListModel::BandTexts()[0]);
  QVERIFY2(list->width() > longest, qPrintable(QString("%1 <= %2").arg(list->width()).arg(longest)));
  combo.hidePopup();
}

QTEST_MAIN(BandCheckComboTest)
#include "BandCheckComboTest.moc"
