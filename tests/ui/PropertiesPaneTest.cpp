// The properties pane: groups per slot, the polling switch, grid clicks that
// choose a slot, the selector and the toolbar.
#include <QAbstractItemModelTester>
#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QSignalSpy>
#include <QTest>
#include <QTreeView>

#include "TempDir.h"
#include "ald/AldTable.h"
#include "core/TraceLog.h"
#include "ui/PropertiesPane.h"
#include "ui/PropertyGridModel.h"

namespace {

constexpr const char* kNoDevice = "You must select a device first!";

BusView::AldProperties Properties(const std::string& uniqueId) {
  return {uniqueId, "CONNECTED", "SingleRet", "2.0"};
}

}  // namespace

class PropertiesPaneTest : public QObject {
  Q_OBJECT

 private:
  TempDir dir_;
  std::unique_ptr<TraceLog> log_;
  std::unique_ptr<AldTable> table_;
  std::unique_ptr<PropertiesPane> pane_;
  std::unique_ptr<QAbstractItemModelTester> gridTester_;
  std::unique_ptr<QAbstractItemModelTester> selectorTester_;

  void ShowSlots(const std::vector<uint8_t>& shown) {
    for (uint8_t slot : shown) pane_->ShowAld(slot, Properties("ID" + std::to_string(slot)));
    pane_->SetSelectorEntries(shown);
  }

  void Show() {
    pane_->resize(320, 520);
    pane_->show();
    QVERIFY(QTest::qWaitForWindowExposed(pane_.get()));
  }

  void Click(const QModelIndex& index) {
    QTreeView* grid = pane_->Grid();
    grid->scrollTo(index);
    QRect cell = grid->visualRect(index);
    QVERIFY(cell.isValid());
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
  }

  PropertyGridModel& Model() { return *pane_->GridModel(); }

 private slots:
  void init() {
    log_ = std::make_unique<TraceLog>(dir_.File("trace.txt"));
    table_ = std::make_unique<AldTable>(*log_);
    pane_ = std::make_unique<PropertiesPane>(*table_, *log_);
    auto mode = QAbstractItemModelTester::FailureReportingMode::QtTest;
    gridTester_ = std::make_unique<QAbstractItemModelTester>(pane_->GridModel(), mode);
    selectorTester_ = std::make_unique<QAbstractItemModelTester>(pane_->Selector()->model(), mode);
    log_->TakePending();
  }

  void cleanup() {
    selectorTester_.reset();
    gridTester_.reset();
    pane_.reset();
    table_.reset();
    log_.reset();
  }

  void GroupsHoldTheFivePropertiesInSlotOrder() {
    ShowSlots({9, 1, 7});
    QCOMPARE(Model().rowCount(), 3);
    QCOMPARE(Model().index(0, 0).data().toString(), QString("ALD #1"));
    QCOMPARE(Model().index(1, 0).data().toString(), QString("ALD #7"));
    QCOMPARE(Model().index(2, 0).data().toString(), QString("ALD #9"));
    QModelIndex group = Model().GroupIndex(7);
    QCOMPARE(Model().rowCount(group), 5);
    QStringList names;
    for (int row = 0; row < 5; ++row) names << Model().index(row, 0, group).data().toString();
    QCOMPARE(names, QStringList({"UniqueId", "Status", "Type", "Version", "Polling"}));
    QCOMPARE(Model().index(0, 1, group).data().toString(), QString("ID7"));
    QCOMPARE(Model().index(3, 1, group).data().toString(), QString("2.0"));
    QCOMPARE(Model().index(4, 1, group).data(Qt::CheckStateRole).toInt(), int(Qt::Checked));
    QCOMPARE(Model().index(0, 0, group).data(PropertyGridModel::kDescriptionRole).toString(),
             QString("[07] Specifies the ALD unique id"));
    QCOMPARE(PropertyGridModel::Description(1, PropertyGridModel::kVersion), QString("[01] Aisg version 1.1 or 2.0"));

    pane_->SetStatus(7, "DISCONNECTED");
    QCOMPARE(Model().index(1, 1, Model().GroupIndex(7)).data().toString(), QString("DISCONNECTED"));
    pane_->HideAld(7);
    QCOMPARE(Model().rowCount(), 2);
    QVERIFY(!Model().GroupIndex(7).isValid());
    pane_->HideAld(7);  // a bus reset hides every slot, shown or not
    QCOMPARE(Model().rowCount(), 2);
  }

  // Switching polling off in the group of slot 12 changes slot 12's record
  // and nothing else.
  void PollingSwitchSetsOnlyItsRecord() {
    ShowSlots({11, 12, 13});
    Show();
    QModelIndex polling = Model().PropertyIndex(12, PropertyGridModel::kPolling);
    pane_->Grid()->setCurrentIndex(polling);
    QTest::keyClick(pane_->Grid()->viewport(), Qt::Key_Space);
    QCOMPARE(table_->Record(12).PollingEnabled.Load(), 0);
    QCOMPARE(polling.data(Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
    QCOMPARE(polling.data().toString(), QString("Disabled"));
    for (unsigned slot = 1; slot <= AldTable::kMaxAld; ++slot) {
      if (slot != 12) QCOMPARE(table_->Record(slot).PollingEnabled.Load(), 1);
    }
    QCOMPARE(Model().PropertyIndex(11, PropertyGridModel::kPolling).data(Qt::CheckStateRole).toInt(), int(Qt::Checked));
    QTest::keyClick(pane_->Grid()->viewport(), Qt::Key_Space);
    QCOMPARE(table_->Record(12).PollingEnabled.Load(), 1);
  }

  // The selector's entries need not be slots 1, 2, 3...: the click goes by
  // the slot, not by the entry position.
  void GridClickChoosesItsSlotOnce() {
    ShowSlots({2, 7, 9});
    Show();
    QSignalSpy chosen(pane_.get(), &PropertiesPane::slotChosen);
    Click(Model().PropertyIndex(7, PropertyGridModel::kStatus));
    QCOMPARE(chosen.count(), 1);
    QCOMPARE(chosen.at(0).at(0).value<uint8_t>(), uint8_t{7});
    QCOMPARE(pane_->Selector()->currentText(), QString("ALD #7"));
    Click(Model().GroupIndex(7));
    Click(Model().PropertyIndex(7, PropertyGridModel::kType, PropertyGridModel::kNameColumn));
    QCOMPARE(chosen.count(), 1);
    Click(Model().PropertyIndex(9, PropertyGridModel::kUniqueId));
    QCOMPARE(chosen.count(), 2);
    QCOMPARE(chosen.at(1).at(0).value<uint8_t>(), uint8_t{9});
    QCOMPARE(pane_->Selector()->currentText(), QString("ALD #9"));
  }

  // Once another ALD's window came to the front, a click into the group last
  // clicked chooses that ALD again.
  void GridClickAfterAnotherWindowChoosesAgain() {
    ShowSlots({2, 7, 9});
    Show();
    QSignalSpy chosen(pane_.get(), &PropertiesPane::slotChosen);
    Click(Model().PropertyIndex(7, PropertyGridModel::kStatus));
    pane_->SelectWindowEntry(2);
    QCOMPARE(pane_->Selector()->currentText(), QString("ALD #2"));
    Click(Model().PropertyIndex(7, PropertyGridModel::kStatus));
    QCOMPARE(chosen.count(), 2);
    QCOMPARE(chosen.at(1).at(0).value<uint8_t>(), uint8_t{7});
  }

  void DescriptionAreaFollowsTheCurrentProperty() {
    ShowSlots({3});
    Show();
    Click(Model().PropertyIndex(3, PropertyGridModel::kType));
    QString text = pane_->DescriptionArea()->text();
    QVERIFY2(text.contains("Type") && text.contains("[03] One of: SingleRet, MultiRet, TMA, or Unknown"),
             qPrintable(text));
  }

  void SelectorChoiceChoosesItsSlot() {
    ShowSlots({4, 6});
    Show();
    QSignalSpy chosen(pane_.get(), &PropertiesPane::slotChosen);
    pane_->SelectWindowEntry(4);
    QCOMPARE(chosen.count(), 0);
    pane_->Selector()->setFocus();
    QTest::keyClick(pane_->Selector(), Qt::Key_Down);
    QCOMPARE(chosen.count(), 1);
    QCOMPARE(chosen.at(0).at(0).value<uint8_t>(), uint8_t{6});
    // New windows keep the entry in front selected.
    pane_->SetSelectorEntries({4, 5, 6});
    QCOMPARE(pane_->Selector()->currentText(), QString("ALD #6"));
    QCOMPARE(pane_->Selector()->itemText(1), QString("ALD #5"));
  }

  void RefreshAldWithoutCurrentAldOnlyWarns() {
    QSignalSpy refresh(pane_.get(), &PropertiesPane::refreshAldRequested);
    QAction* command = pane_->Command(PropertiesPane::kRefreshAldCommand);
    QVERIFY(command);
    QCOMPARE(command->toolTip(), QString("Refresh ALD"));
    table_->SelectAld(AldTable::kNoSelection);
    command->trigger();
    table_->SelectAld(0);  // the scan's scratch record is no ALD
    command->trigger();
    QCOMPARE(refresh.count(), 0);
    std::string pending = log_->TakePending();
    QCOMPARE(QString::fromStdString(pending).count(kNoDevice), 2);
    QVERIFY2(pending.rfind("WRN", 0) == 0, pending.c_str());

    table_->SelectAld(5);
    command->trigger();
    QCOMPARE(refresh.count(), 1);
    QVERIFY(log_->TakePending().find(kNoDevice) == std::string::npos);
  }

  void ExpandCollapseAlternates() {
    ShowSlots({1, 2});
    Show();
    QAction* command = pane_->Command(PropertiesPane::kExpandCollapseCommand);
    QCOMPARE(command->toolTip(), QString("Expand\\Collapse"));
    QVERIFY(pane_->Grid()->isExpanded(Model().GroupIndex(1)));
    pane_->Grid()->collapse(Model().GroupIndex(2));
    command->trigger();  // expands all
    QVERIFY(pane_->Grid()->isExpanded(Model().GroupIndex(2)));
    QVERIFY(command->isChecked());
    command->trigger();  // collapses all
    QVERIFY(!pane_->Grid()->isExpanded(Model().GroupIndex(1)));
    QVERIFY(!pane_->Grid()->isExpanded(Model().GroupIndex(2)));
    QVERIFY(!command->isChecked());
    QAction* properties = pane_->Command(PropertiesPane::kPropertiesCommand);
    QVERIFY(properties && properties->isEnabled());
    QCOMPARE(properties->toolTip(), QString("Properties"));
  }
};

QTEST_MAIN(PropertiesPaneTest)
#include "PropertiesPaneTest.moc"
