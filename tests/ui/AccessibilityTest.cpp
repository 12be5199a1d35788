// What a screen reader or a desktop automation tool finds in the windows:
// every control it can act on has a name, no two in one window share a
// name, and the keyboard reaches and presses what the mouse does.
#include <QAbstractItemView>
#include <QAccessible>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMetaEnum>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabBar>
#include <QTest>
#include <algorithm>
#include <map>
#include <memory>

#include "DevicePagesFixture.h"
#include "FakePortInventory.h"
#include "MainWindowFixture.h"
#include "TempDir.h"
#include "ald/AldTable.h"
#include "bus/AldListModel.h"
#include "core/MessageBox.h"
#include "core/TraceLog.h"
#include "persist/MemoryProfileStore.h"
#include "persist/Settings.h"
#include "ui/AntennaFieldsPage.h"
#include "ui/BandCheckCombo.h"
#include "ui/BandListModel.h"
#include "ui/DemoBus.h"
#include "ui/DeviceWindow.h"
#include "ui/OperatorFieldsPage.h"
#include "ui/OptionsDialog.h"

namespace {

using json = nlohmann::json;
using W = DeviceWindow;
using R = RetOperationPage;

constexpr char kSingle[] = "AA0000801234567";
constexpr char kMulti[] = "BB0000801234568";
constexpr char kTmaId[] = "CC0000801234569";

// A single RET, a multi RET whose antennas stand at 1.0, 2.0 and 3.0
// degrees, and a TMA with two subunits.
json Site() {
  json multi = DeviceWindowsBench::Device("multiRet", kMulti, 3);
  for (int i = 0; i < 3; ++i) multi["subunits"][i]["tilt"] = 10 * (i + 1);
  return DeviceWindowsBench::Site(
      {DeviceWindowsBench::Device("singleRet", kSingle), multi, DeviceWindowsBench::Device("tma", kTmaId, 2)});
}

// The roles of what a person or a script acts on.
bool Interactive(QAccessible::Role role) {
  switch (role) {
    case QAccessible::PushButton:
    case QAccessible::CheckBox:
    case QAccessible::RadioButton:
    case QAccessible::ComboBox:
    case QAccessible::EditableText:
    case QAccessible::SpinBox:
    case QAccessible::Slider:
    case QAccessible::MenuItem:
    case QAccessible::PageTab:
    case QAccessible::List:
    case QAccessible::Table:
    case QAccessible::Tree:
    case QAccessible::ToolBar:
    case QAccessible::ButtonMenu:
    case QAccessible::ButtonDropDown:
    case QAccessible::ButtonDropGrid: return true;
    default: return false;
  }
}

// Their entries, cells and open lists are the control's own, not controls.
bool Leaf(QAccessible::Role role) {
  switch (role) {
    case QAccessible::ComboBox:
    case QAccessible::List:
    case QAccessible::Table:
    case QAccessible::Tree: return true;
    default: return false;
  }
}

QString RoleName(QAccessible::Role role) {
  return QString::fromLatin1(QMetaEnum::fromType<QAccessible::Role>().valueToKey(role));
}

// What a screen reader says the control is. A combo box's name on this
// platform is the entry it shows; its label comes as a relation.
QString SpokenName(QAccessibleInterface* iface) {
  if (iface->role() == QAccessible::ComboBox) {
    auto labels = iface->relations(QAccessible::Label);
    if (labels.isEmpty()) return QString();
    QString label = labels.front().first->text(QAccessible::Name).trimmed();
    if (label.endsWith(QLatin1Char(':'))) label.chop(1);
    return label.trimmed();
  }
  return iface->text(QAccessible::Name).trimmed();
}

QWidget* NearestWidget(QAccessibleInterface* iface) {
  for (QAccessibleInterface* at = iface; at; at = at->parent()) {
    if (auto* widget = qobject_cast<QWidget*>(at->object())) return widget;
  }
  return nullptr;
}

// Whether the control shows once the walked window does: the windows of
// the benches are laid out but never put on screen. A menu shows when its
// item is chosen.
bool WouldShow(QAccessibleInterface* iface, QWidget* root) {
  QWidget* widget = NearestWidget(iface);
  if (!widget) return false;
  for (QWidget* at = widget; at && at != root; at = at->parentWidget()) {
    if (at->isHidden() && !qobject_cast<QMenu*>(at)) return false;
  }
  bool ownState = iface->object() != widget && widget->isVisible();
  return !(ownState && iface->state().invisible);
}

// Walks the accessible tree below one window. Each device window and each
// dialog inside it is a window of its own, whose names are counted apart.
class AccessibleWalk {
 public:
  explicit AccessibleWalk(QWidget* root) : root_(root) {
    QAccessibleInterface* top = QAccessible::queryAccessibleInterface(root);
    if (!top) {
      faults_ << QStringLiteral("no accessible interface for the window");
      return;
    }
    Visit(top, Label(top), Label(top), 0);
    for (const auto& [scope, names] : names_) {
      for (const auto& [name, paths] : names) {
        if (paths.size() > 1) {
          faults_ << QStringLiteral("name '%1' used %2 times in %3: %4")
                         .arg(name)
                         .arg(paths.size())
                         .arg(scope, paths.join(QStringLiteral(" | ")));
        }
      }
    }
  }

  const QStringList& Faults() const { return faults_; }
  // The names of the controls found in one window, in lower case.
  QStringList Names(const QString& scope) const {
    QStringList names;
    auto at = names_.find(scope);
    if (at != names_.end()) {
      for (const auto& entry : at->second) names << entry.first;
    }
    return names;
  }
  // Of every control, disabled and hidden ones included.
  const QStringList& AllNames() const { return allNames_; }
  QStringList Scopes() const {
    QStringList scopes;
    for (const auto& entry : names_) scopes << entry.first;
    return scopes;
  }
  int Count() const { return count_; }

 private:
  static QString Label(QAccessibleInterface* iface) {
    QString objectName = iface->object() ? iface->object()->objectName() : QString();
    QString label = RoleName(iface->role()) + QStringLiteral(" '") + iface->text(QAccessible::Name) + QLatin1Char('\'');
    if (!objectName.isEmpty()) label += QStringLiteral(" (") + objectName + QLatin1Char(')');
    return label;
  }

  static bool StartsWindow(QAccessibleInterface* iface) {
    QObject* object = iface->object();
    return qobject_cast<QMdiSubWindow*>(object) || qobject_cast<QDialog*>(object);
  }

  void Check(QAccessibleInterface* iface, const QString& path, const QString& scope) {
    if (!Interactive(iface->role())) return;
    QString name = SpokenName(iface);
    allNames_ << name.toLower();
    if (iface->state().disabled || !WouldShow(iface, root_)) return;
    ++count_;
    if (name.isEmpty()) {
      faults_ << QStringLiteral("no name: ") + path;
      return;
    }
    // Names that differ only in case sound alike.
    names_[scope][name.toLower()] << path;
    if (iface->role() != QAccessible::Table && iface->role() != QAccessible::Tree) return;
    QAccessibleTableInterface* table = iface->tableInterface();
    if (!table) return;
    for (int column = 0; column < table->columnCount(); ++column) {
      if (table->columnDescription(column).isEmpty())
        faults_ << QStringLiteral("unnamed column %1: ").arg(column) + path;
    }
  }

  void Visit(QAccessibleInterface* iface, const QString& path, QString scope, int depth) {
    if (depth > 40) {
      faults_ << QStringLiteral("tree too deep: ") + path;
      return;
    }
    if (depth > 0 && StartsWindow(iface)) scope = Label(iface);
    Check(iface, path, scope);
    if (Leaf(iface->role())) return;
    for (int i = 0; i < iface->childCount(); ++i) {
      QAccessibleInterface* child = iface->child(i);
      if (child) Visit(child, path + QStringLiteral(" / ") + Label(child), scope, depth + 1);
    }
  }

  QWidget* root_;
  QStringList faults_;
  std::map<QString, std::map<QString, QStringList>> names_;
  QStringList allNames_;
  int count_ = 0;
};

#define VERIFY_WALK(walk)                                                                   \
  QVERIFY2((walk).Faults().isEmpty(), qPrintable((walk).Faults().join(QLatin1Char('\n')))); \
  QVERIFY((walk).Count() > 0)

// The widgets a Tab press can stop on, in the order of the layout: row by
// row from the top, left to right within a row.
QList<QWidget*> LayoutOrder(QWidget* page) {
  QList<QWidget*> stops;
  for (QWidget* w : page->findChildren<QWidget*>()) {
    bool tab = (w->focusPolicy() & Qt::TabFocus) == Qt::TabFocus;
    if (tab && w->isEnabled() && w->isVisibleTo(page) && !w->focusProxy()) stops << w;
  }
  auto top = [page](QWidget* w) { return w->mapTo(page, QPoint(0, 0)); };
  std::sort(stops.begin(), stops.end(), [&](QWidget* a, QWidget* b) { return top(a).y() < top(b).y(); });
  // Widgets whose heights overlap stand in one row.
  QList<QWidget*> ordered;
  for (qsizetype first = 0; first < stops.size();) {
    qsizetype last = first + 1;
    int rowBottom = top(stops[first]).y() + stops[first]->height();
    while (last < stops.size() && top(stops[last]).y() < rowBottom) {
      rowBottom = std::max(rowBottom, top(stops[last]).y() + stops[last]->height());
      ++last;
    }
    QList<QWidget*> row = stops.mid(first, last - first);
    std::sort(row.begin(), row.end(), [&](QWidget* a, QWidget* b) { return top(a).x() < top(b).x(); });
    ordered << row;
    first = last;
  }
  return ordered;
}

// The same widgets in the order Tab visits them, from the first.
QList<QWidget*> TabOrder(const QList<QWidget*>& stops) {
  QList<QWidget*> visited;
  if (stops.isEmpty()) return visited;
  QWidget* at = stops.front();
  for (int guard = 0; guard < 10000 && visited.size() < stops.size(); ++guard) {
    if (stops.contains(at) && !visited.contains(at)) visited << at;
    at = at->nextInFocusChain();
    if (at == stops.front()) break;
  }
  return visited;
}

QStringList Describe(const QList<QWidget*>& widgets) {
  QStringList names;
  for (QWidget* w : widgets) {
    QString name = QAccessible::queryAccessibleInterface(w)->text(QAccessible::Name);
    names << (name.isEmpty() ? w->objectName() : name);
  }
  return names;
}

// Lays a widget and everything in it out at the given size: the benches
// never show their windows, so no layout has run.
void LayOut(QWidget* widget, QSize size) {
  if (widget->layout()) widget->layout()->setGeometry(QRect(QPoint(0, 0), size));
  for (QObject* child : widget->children()) {
    if (auto* w = qobject_cast<QWidget*>(child); w && !w->isWindow()) LayOut(w, w->size());
  }
}
void LayOut(QWidget* page) {
  LayOut(page, page->layout()->sizeHint().expandedTo(QSize(420, 320)));
}

}  // namespace

class AccessibilityTest : public QObject {
  Q_OBJECT

 private slots:
  void theMainWindowWithTheDemoSiteScanned();
  void everyPageOfEachKindOfDeviceWindow();
  void theOptionsDialog();
  void enterPressesTheFocusedButton();
  void theBandListOpensAndTogglesFromTheKeyboard();
  void pagesAndSubunitsChangeFromTheKeyboard();
  void tabFollowsTheLayoutOfEachPage();
};

void AccessibilityTest::theMainWindowWithTheDemoSiteScanned() {
  DemoBus demo;
  std::string error;
  QVERIFY2(demo.Start("", &error), error.c_str());
  MainWindowRig rig(demo.PortPath());
  rig.simulated = demo.Description();
  MainWindow& w = rig.Open(5);
  w.show();
  QVERIFY(QTest::qWaitForWindowExposed(&w));
  rig.Trigger(MainWindow::kCmdStartScan);
  AldListModel& list = w.Station().List();
  QTRY_VERIFY_WITH_TIMEOUT(list.ListedAldCount() == 5 && w.Station().Control().ScanRequested() == 0, 180000);
  QTRY_VERIFY(w.Windows()->Window(5) != nullptr);

  AccessibleWalk walk(&w);
  VERIFY_WALK(walk);
  QStringList scopes = walk.Scopes();
  QString main = scopes.filter(QStringLiteral("Tiltdeck")).value(0);
  QVERIFY2(!main.isEmpty(), qPrintable(scopes.join(QLatin1Char('\n'))));
  for (const char* name : {"Start Scan", "Stop Scan", "Reset Bus", "File", "Exit", "ALD table", "Property grid",
                           "Output log", "Levels", "Classes", "ALD"}) {
    QVERIFY2(walk.Names(main).contains(QString::fromLatin1(name).toLower()), name);
  }
  // The device windows are windows of their own, named by their titles.
  for (uint8_t slot = 1; slot <= 5; ++slot) {
    DeviceWindow* device = w.Windows()->Window(slot);
    QCOMPARE(QAccessible::queryAccessibleInterface(device)->text(QAccessible::Name), DeviceWindow::TitleOf(slot));
  }
  QVERIFY2(scopes.filter(QStringLiteral("ALD #")).size() == 5, qPrintable(scopes.join(QLatin1Char('\n'))));

  // Alt and a letter opens each menu of the bar: one letter each.
  QStringList letters;
  for (QAction* menu : w.menuBar()->actions()) {
    QString text = menu->text();
    qsizetype amp = text.indexOf(QLatin1Char('&'));
    QVERIFY2(amp >= 0 && amp + 1 < text.size(), qPrintable(text));
    QString letter = text.mid(amp + 1, 1).toLower();
    QVERIFY2(!letters.contains(letter), qPrintable(text));
    letters << letter;
  }
  QVERIFY(letters.size() >= 5);
}

// Each kind with each of its pages in front in turn, the field pages
// included, and in service mode.
void AccessibilityTest::everyPageOfEachKindOfDeviceWindow() {
  DevicePagesBench b(Site());
  b.ScanAndList();
  for (uint8_t slot = 1; slot <= 3; ++slot) {
    DeviceWindow& window = b.Window(slot);
    QMdiSubWindow* frame = b.windows.Frame(slot);
    QVERIFY(frame);
    QCOMPARE(QAccessible::queryAccessibleInterface(&window)->text(QAccessible::Name), window.Title());
    QStringList seen;
    auto walkNow = [&](const QString& state) {
      AccessibleWalk walk(frame);
      QVERIFY2(walk.Faults().isEmpty(), qPrintable(window.Title() + QStringLiteral(", ") + state +
                                                   QStringLiteral(":\n") + walk.Faults().join(QLatin1Char('\n'))));
      seen << walk.AllNames();
    };
    walkNow(QStringLiteral("as opened"));
    for (int page = 0; page < window.Tabs()->PageCount(); ++page) {
      window.Tabs()->SwitchTo(page);
      walkNow(QStringLiteral("device page %1").arg(page));
    }
    for (int page = 0; page < window.Fields()->PageCount(); ++page) {
      window.Fields()->ShowOnly(page);
      walkNow(QStringLiteral("field page %1").arg(page));
    }
    window.Fields()->SwitchTo(0);
    window.SetServiceMode(true);
    walkNow(QStringLiteral("service mode"));
    window.SetServiceMode(false);
    for (const char* name : {"Tilt", "SET TILT", "GET TILT", "Gain", "Flags", "Min Gain", "Max Gain", "Gain Res",
                             "Beamwidth band 1", "Gain band 4", "Frequency Band", "Install Date", "Product Number"}) {
      QVERIFY2(seen.contains(QString::fromLatin1(name).toLower()), name);
    }
    if (slot != 1) QVERIFY(seen.contains(QStringLiteral("selected")));
  }
}

void AccessibilityTest::theOptionsDialog() {
  TempDir dir;
  TraceLog log(dir.File("trace.txt"));
  MemoryProfileStore store;
  Settings settings(store, log);
  FakePortInventory ports;
  ports.ports = {"/dev/ttyS0", "/dev/ttyUSB3"};
  SetMessageBoxHook([](const std::string&) {});
  OptionsDialog dialog(settings, log, ports, {});
  dialog.show();
  AccessibleWalk walk(&dialog);
  SetMessageBoxHook(nullptr);
  VERIFY_WALK(walk);
  QStringList names = walk.Names(walk.Scopes().value(0));
  for (const char* name :
       {"Serial Port", "OK", "Cancel", "Apply", "Restore Default", "Trace Main", "ALD List Field Selector"}) {
    QVERIFY2(names.contains(QString::fromLatin1(name).toLower()), name);
  }
}

// Enter on a focused button presses it, on the operation pages and on the
// field pages, where Enter in a box still moves on like Tab.
void AccessibilityTest::enterPressesTheFocusedButton() {
  DevicePagesBench b(Site());
  b.ScanAndList();
  b.windows.Raise(1);
  b.Ret(1).TiltBox()->setText(QStringLiteral("4.5"));
  QPushButton* set = b.RetButton(1, R::kSetTiltButton);
  set->setFocus();
  QTest::keyClick(set, Qt::Key_Return);
  QCOMPARE(b.SubunitState(kSingle, 1)["tilt"].get<int>(), 45);
  b.Ret(1).TiltBox()->setText(QStringLiteral("3.0"));
  QTest::keyClick(set, Qt::Key_Enter, Qt::KeypadModifier);
  QCOMPARE(b.SubunitState(kSingle, 1)["tilt"].get<int>(), 30);

  auto* antenna = qobject_cast<AntennaFieldsPage*>(b.Window(1).Fields()->Page(FieldTabs::kAntennaPage));
  QVERIFY(antenna);
  QPushButton* get = antenna->Button(AntennaFieldsPage::kGetButton);
  QSignalSpy pressed(get, &QPushButton::clicked);
  QTest::keyClick(get, Qt::Key_Return);
  QCOMPARE(pressed.count(), 1);
  // Not with a modifier: Ctrl+Return is not a press.
  QTest::keyClick(get, Qt::Key_Return, Qt::ControlModifier);
  QCOMPARE(pressed.count(), 1);

  auto* operatorPage = qobject_cast<OperatorFieldsPage*>(b.Window(1).Fields()->Page(FieldTabs::kOperatorPage));
  QVERIFY(operatorPage);
  QPushButton* operatorSet = operatorPage->Button(OperatorFieldsPage::kSetButton);
  QSignalSpy operatorPressed(operatorSet, &QPushButton::clicked);
  QTest::keyClick(operatorSet, Qt::Key_Enter);
  QCOMPARE(operatorPressed.count(), 1);
}

// Alt+Down opens the antenna's band list, Space flips the mark of the
// entry at the cursor and leaves the list open, F4 closes it.
void AccessibilityTest::theBandListOpensAndTogglesFromTheKeyboard() {
  BandCheckCombo combo(new BandListModel({"1: one", "2: two", "3: [DISABLED] three"}, nullptr), nullptr);
  combo.resize(200, 30);
  combo.show();
  QVERIFY(QTest::qWaitForWindowExposed(&combo));
  QSignalSpy toggled(&combo, &BandCheckCombo::markToggled);
  QTest::keyClick(&combo, Qt::Key_Down, Qt::AltModifier);
  QAbstractItemView* list = combo.view();
  QTRY_VERIFY(list->isVisible());
  list->setCurrentIndex(combo.model()->index(1, 0));
  QTest::keyClick(list, Qt::Key_Space);
  QVERIFY(combo.Marks()->IsMarked(1));
  QCOMPARE(toggled.count(), 1);
  QVERIFY(list->isVisible());
  QTest::keyClick(list, Qt::Key_Space);
  QVERIFY(!combo.Marks()->IsMarked(1));
  QTest::keyClick(list, Qt::Key_Up);
  QTest::keyClick(list, Qt::Key_Space);
  QVERIFY(combo.Marks()->IsMarked(0));
  QVERIFY(!combo.Marks()->IsMarked(1));
  QCOMPARE(toggled.count(), 3);
  QTest::keyClick(list, Qt::Key_F4);
  QTRY_VERIFY(!list->isVisible());
  QTest::keyClick(&combo, Qt::Key_F4);
  QTRY_VERIFY(list->isVisible());
  combo.hidePopup();
}

// The arrow keys on the focused tabs bring up the page, and the subunit
// list takes another subunit from the keyboard alone.
void AccessibilityTest::pagesAndSubunitsChangeFromTheKeyboard() {
  DevicePagesBench b(Site());
  b.ScanAndList();
  b.windows.Raise(2);
  DeviceWindow& window = b.Window(2);
  QTabBar* pages = window.Tabs()->Bar();
  QVERIFY(!window.Tabs()->Page(DeviceTabs::kRetPage)->isHidden());
  QTest::keyClick(pages, Qt::Key_Right);
  QCOMPARE(window.Tabs()->CurrentPage(), int{DeviceTabs::kTmaPage});
  QVERIFY(window.Tabs()->Page(DeviceTabs::kRetPage)->isHidden());
  QVERIFY(!window.Tabs()->Page(DeviceTabs::kTmaPage)->isHidden());
  QTest::keyClick(pages, Qt::Key_Left);
  QVERIFY(!window.Tabs()->Page(DeviceTabs::kRetPage)->isHidden());

  QTabBar* fields = window.Fields()->Bar();
  QTest::keyClick(fields, Qt::Key_Right);
  QTest::keyClick(fields, Qt::Key_Right);
  QCOMPARE(window.Fields()->CurrentPage(), int{FieldTabs::kTmaPage});
  QVERIFY(!window.Fields()->Page(FieldTabs::kTmaPage)->isHidden());
  QVERIFY(window.Fields()->Page(FieldTabs::kAntennaPage)->isHidden());

  QComboBox* subunits = window.SubunitList();
  QCOMPARE(subunits->count(), 3);
  // The tilt of the antenna chosen is read at once.
  QTest::keyClick(subunits, Qt::Key_Home);
  QCOMPARE(b.table.Record(2).SelectedSubunit.Load(), uint8_t{1});
  QCOMPARE(b.Ret(2).TiltBox()->text(), QStringLiteral("1.0"));
  QTest::keyClick(subunits, Qt::Key_Down);
  QCOMPARE(b.table.Record(2).SelectedSubunit.Load(), uint8_t{2});
  QCOMPARE(b.Ret(2).TiltBox()->text(), QStringLiteral("2.0"));
}

// On every page of every kind of device window, Tab goes through the
// controls row by row as they stand.
void AccessibilityTest::tabFollowsTheLayoutOfEachPage() {
  DevicePagesBench b(Site());
  b.ScanAndList();
  int checked = 0;
  for (uint8_t slot = 1; slot <= 3; ++slot) {
    DeviceWindow& window = b.Window(slot);
    for (PageTabs* tabs : {static_cast<PageTabs*>(window.Tabs()), static_cast<PageTabs*>(window.Fields())}) {
      for (int index = 0; index < tabs->PageCount(); ++index) {
        QWidget* page = tabs->Page(index);
        LayOut(page);
        QList<QWidget*> expected = LayoutOrder(page);
        if (expected.size() < 2) continue;
        QCOMPARE(Describe(TabOrder(expected)), Describe(expected));
        ++checked;
      }
    }
  }
  QVERIFY(checked >= 10);
  // The RET page: the tilt row as it stands, left to right.
  LayOut(b.Window(1).RetPage());
  QStringList ret = Describe(LayoutOrder(b.Window(1).RetPage()));
  QCOMPARE(ret.mid(0, 3), QStringList({"GET TILT", "Tilt", "SET TILT"}));
}

QTEST_MAIN(AccessibilityTest)
#include "AccessibilityTest.moc"
