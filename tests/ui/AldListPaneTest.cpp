// The ALD list pane: columns from the field selection, rows keyed by slot or
// slot.subunit, clicks mapped to slots through the key, selection colours.
#include <QAbstractItemModelTester>
#include <QHeaderView>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>

#include "ui/AldListPane.h"
#include "ui/AldRowsModel.h"
#include "ui/SelectedRowDelegate.h"

namespace {

QStringList Headings(const AldRowsModel& model) {
  QStringList headings;
  for (int c = 0; c < model.columnCount(); ++c) headings << model.headerData(c, Qt::Horizontal).toString();
  return headings;
}

BusView::RowContents Contents(int icon, const std::string& key, const std::string& uniqueId, const std::string& tilt) {
  BusView::RowContents contents;
  contents.Icon = icon;
  contents.Key = key;
  contents.UniqueId = uniqueId;
  contents.Tilt = tilt;
  return contents;
}

}  // namespace

class AldListPaneTest : public QObject {
  Q_OBJECT

 private:
  // Slot 1 a single RET, slot 2 a multi RET with three antennas, slot 3 a
  // TMA: five rows for three ALDs.
  static void ListSite(AldListPane& pane) {
    const char* keys[] = {"1", "2.1", "2.2", "2.3", "3"};
    for (size_t row = 0; row < 5; ++row) {
      pane.AddRow(row, keys[row]);
      pane.FillRow(row, Contents(1, keys[row], "ID" + std::to_string(row), "2.5"));
    }
  }

  static void ClickRow(AldListPane& pane, int row) {
    QTableView* view = pane.View();
    QRect cell = view->visualRect(pane.Model()->index(row, 0));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, cell.center());
  }

 private slots:
  void FieldSelectionGivesColumns() {
    AldListPane pane;
    QAbstractItemModelTester tester(pane.Model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    pane.SetColumns(0x2001);
    QCOMPARE(Headings(*pane.Model()), QStringList({"ALD", "Tilt"}));
    pane.SetColumns(0xFFFF);
    QCOMPARE(Headings(*pane.Model()), QStringList({"ALD", "Unique Id", "Tilt"}));
    pane.SetColumns(0x0003);
    QCOMPARE(Headings(*pane.Model()), QStringList({"ALD", "Unique Id"}));
    // No column narrower than the list has always given it.
    QVERIFY(pane.View()->columnWidth(0) >= 43);
    QVERIFY(pane.View()->columnWidth(1) >= 146);
  }

  // Changing the columns while ALDs are listed keeps every row: the bus side
  // goes on filling rows by position.
  void NewColumnsKeepTheRows() {
    AldListPane pane;
    QAbstractItemModelTester tester(pane.Model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    pane.SetColumns(0xFFFF);
    ListSite(pane);
    pane.SetColumns(0x2001);
    QCOMPARE(pane.Model()->rowCount(), 5);
    QCOMPARE(pane.Model()->index(3, 0).data().toString(), QString("2.3"));
    QCOMPARE(pane.Model()->index(3, 1).data().toString(), QString("2.5"));
    pane.FillRow(4, Contents(3, "3", "ID4", "-1.0"));
    QCOMPARE(pane.Model()->index(4, 1).data().toString(), QString("-1.0"));
  }

  void SubunitRowsMapToTheirAld() {
    AldListPane pane;
    QAbstractItemModelTester tester(pane.Model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    pane.SetColumns(0xFFFF);
    ListSite(pane);
    const uint8_t rowSlots[] = {1, 2, 2, 2, 3};
    for (int row = 0; row < 5; ++row) QCOMPARE(pane.Model()->SlotOfRow(row), rowSlots[row]);
    QCOMPARE(pane.Model()->index(2, 1).data().toString(), QString("ID2"));
    QCOMPARE(AldRowsModel::SlotOfKey("254"), uint8_t{254});
    QCOMPARE(AldRowsModel::SlotOfKey("12.6"), uint8_t{12});
    QCOMPARE(AldRowsModel::SlotOfKey("255"), uint8_t{0});
    QCOMPARE(AldRowsModel::SlotOfKey("x"), uint8_t{0});
    pane.ClearRows();
    QCOMPARE(pane.Model()->rowCount(), 0);
  }

  void ClickingARowChoosesItsSlot() {
    AldListPane pane;
    pane.SetColumns(0xFFFF);
    ListSite(pane);
    pane.resize(400, 300);
    pane.show();
    QVERIFY(QTest::qWaitForWindowExposed(&pane));
    QSignalSpy clicked(&pane, &AldListPane::slotClicked);
    ClickRow(pane, 3);  // "2.3": position + 1 would be 4
    ClickRow(pane, 4);  // "3"
    ClickRow(pane, 0);  // "1"
    QCOMPARE(clicked.count(), 3);
    QCOMPARE(clicked.at(0).at(0).value<uint8_t>(), uint8_t{2});
    QCOMPARE(clicked.at(1).at(0).value<uint8_t>(), uint8_t{3});
    QCOMPARE(clicked.at(2).at(0).value<uint8_t>(), uint8_t{1});
    QCOMPARE(pane.View()->selectionModel()->selectedRows().value(0).row(), 0);
  }

  // A device window that becomes active selects its ALD's first row and
  // chooses nothing itself.
  void SelectSlotSelectsItsFirstRow() {
    AldListPane pane;
    pane.SetColumns(0xFFFF);
    ListSite(pane);
    QSignalSpy clicked(&pane, &AldListPane::slotClicked);
    pane.SelectSlot(3);
    QCOMPARE(pane.View()->selectionModel()->selectedRows().value(0).row(), 4);
    pane.SelectSlot(2);
    QCOMPARE(pane.View()->selectionModel()->selectedRows().value(0).row(), 1);
    pane.SelectSlot(9);
    QVERIFY(pane.View()->selectionModel()->selectedRows().isEmpty());
    QCOMPARE(clicked.count(), 0);
  }

  void RowsShowStateIcons() {
    AldListPane pane;
    pane.SetColumns(0x0001);
    pane.AddRow(0, "1");
    pane.FillRow(0, Contents(3, "1", "", ""));
    QModelIndex cell = pane.Model()->index(0, 0);
    QCOMPARE(cell.data(Qt::ToolTipRole).toString(), QString("Disconnected"));
    QImage disconnected = cell.data(Qt::DecorationRole).value<QIcon>().pixmap(16, 16).toImage();
    pane.FillRow(0, Contents(1, "1", "", ""));
    QCOMPARE(cell.data(Qt::ToolTipRole).toString(), QString("Connected"));
    QImage connected = cell.data(Qt::DecorationRole).value<QIcon>().pixmap(16, 16).toImage();
    QVERIFY(!connected.isNull());
    QVERIFY(connected != disconnected);
  }

  // White on pure blue, even while another widget has the focus.
  void SelectedRowIsWhiteOnBlueWithoutFocus() {
    QWidget window;
    auto* pane = new AldListPane(&window);
    pane->SetColumns(0xFFFF);
    ListSite(*pane);
    pane->resize(420, 250);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    pane->SelectSlot(2);
    pane->View()->clearFocus();
    QVERIFY(!pane->View()->hasFocus());
    QImage image = pane->View()->viewport()->grab().toImage();
    QRect selected = pane->View()->visualRect(pane->Model()->index(1, 1));
    QRect other = pane->View()->visualRect(pane->Model()->index(4, 1));
    QPoint probe(selected.right() - 4, selected.center().y());
    QCOMPARE(image.pixelColor(probe).rgb(), SelectedRowDelegate::kBackground.rgb());
    QVERIFY(image.pixelColor(other.right() - 4, other.center().y()).rgb() != SelectedRowDelegate::kBackground.rgb());
    // Some text pixel of the selected row is white.
    bool white = false;
    for (int x = selected.left(); x < selected.right() && !white; ++x) {
      for (int y = selected.top(); y < selected.bottom() && !white; ++y) white = image.pixelColor(x, y) == Qt::white;
    }
    QVERIFY(white);
  }
};

QTEST_MAIN(AldListPaneTest)
#include "AldListPaneTest.moc"
