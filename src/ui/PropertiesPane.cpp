#include "ui/PropertiesPane.h"

#include <QAction>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QToolBar>
#include <QTreeView>
#include <QVBoxLayout>

#include "bus/SelectedAld.h"
#include "core/TraceLevel.h"
#include "core/TraceLog.h"
#include "ui/AccessibleNames.h"
#include "ui/PaneToolIcons.h"
#include "ui/PropertyGridModel.h"

namespace {

constexpr int kSelectorVisibleEntries = 12;
constexpr int kDescriptionLines = 3;

}  // namespace

PropertiesPane::PropertiesPane(AldTable& table, TraceLog& log, QWidget* parent)
    : QWidget(parent),
      table_(table),
      log_(log),
      model_(new PropertyGridModel(table, this)),
      selector_(new QComboBox(this)),
      toolBar_(new QToolBar(this)),
      grid_(new QTreeView(this)),
      description_(new QLabel(this)) {
  selector_->setObjectName(QStringLiteral("AldSelector"));
  AccessibleNames::NameWithUnseenLabel(selector_, tr("ALD selector"));
  selector_->setEditable(false);
  selector_->setMaxVisibleItems(kSelectorVisibleEntries);
  selector_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  connect(selector_, &QComboBox::activated, this, &PropertiesPane::OnSelectorActivated);

  BuildToolBar();
  BuildGrid();

  description_->setObjectName(QStringLiteral("PropertyDescription"));
  description_->setWordWrap(true);
  description_->setTextFormat(Qt::RichText);
  description_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  description_->setFrameShape(QFrame::StyledPanel);
  description_->setMargin(4);
  description_->setMinimumHeight(description_->fontMetrics().lineSpacing() * kDescriptionLines + 10);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(1, 1, 1, 1);
  layout->setSpacing(2);
  layout->addWidget(selector_);
  layout->addWidget(toolBar_);
  layout->addWidget(grid_, 1);
  layout->addWidget(description_);
  setFocusProxy(grid_);
}

QAction* PropertiesPane::AddCommand(int id, const QIcon& icon, const QString& tip) {
  QAction* action = toolBar_->addAction(icon, tip);
  action->setObjectName(QStringLiteral("cmd%1").arg(id));
  action->setData(id);
  action->setToolTip(tip);
  return action;
}

void PropertiesPane::BuildToolBar() {
  toolBar_->setObjectName(QStringLiteral("PropertiesToolBar"));
  toolBar_->setAccessibleName(tr("Properties commands"));
  toolBar_->setIconSize(QSize(16, 16));
  toolBar_->setMovable(false);
  toolBar_->setFloatable(false);
  expandCollapse_ =
      AddCommand(kExpandCollapseCommand, PaneToolIcons::ExpandCollapse(), QStringLiteral("Expand\\Collapse"));
  expandCollapse_->setCheckable(true);
  connect(expandCollapse_, &QAction::triggered, this, &PropertiesPane::OnExpandCollapse);
  AddCommand(kPropertiesCommand, PaneToolIcons::Properties(), QStringLiteral("Properties"));
  QAction* refresh = AddCommand(kRefreshAldCommand, PaneToolIcons::Refresh(), QStringLiteral("Refresh ALD"));
  connect(refresh, &QAction::triggered, this, &PropertiesPane::OnRefreshAld);
}

void PropertiesPane::BuildGrid() {
  grid_->setObjectName(QStringLiteral("PropertyGrid"));
  grid_->setAccessibleName(tr("Property grid"));
  grid_->setModel(model_);
  grid_->setHeaderHidden(true);
  grid_->setUniformRowHeights(true);
  grid_->setAlternatingRowColors(false);
  grid_->setSelectionMode(QAbstractItemView::SingleSelection);
  grid_->setSelectionBehavior(QAbstractItemView::SelectRows);
  grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  grid_->setAllColumnsShowFocus(true);
  grid_->setIndentation(grid_->fontMetrics().height());
  grid_->header()->setStretchLastSection(true);
  grid_->header()->setSectionResizeMode(PropertyGridModel::kNameColumn, QHeaderView::Interactive);
  grid_->setColumnWidth(PropertyGridModel::kNameColumn,
                        grid_->fontMetrics().horizontalAdvance(QStringLiteral("UniqueIdWWWW")) + grid_->indentation());
  connect(grid_, &QTreeView::clicked, this, &PropertiesPane::OnGridClicked);
  connect(grid_->selectionModel(), &QItemSelectionModel::currentChanged, this, &PropertiesPane::ShowDescription);
}

QAction* PropertiesPane::Command(int id) const {
  return toolBar_->findChild<QAction*>(QStringLiteral("cmd%1").arg(id));
}

void PropertiesPane::ShowAld(uint8_t slot, const BusView::AldProperties& properties) {
  bool wasShown = model_->IsShown(slot);
  model_->Show(slot, properties);
  if (!wasShown && model_->IsShown(slot)) {
    grid_->setFirstColumnSpanned(model_->GroupIndex(slot).row(), QModelIndex(), true);
    grid_->expand(model_->GroupIndex(slot));
  }
}

void PropertiesPane::SetStatus(uint8_t slot, const std::string& status) {
  model_->SetStatus(slot, status);
}

// The next ALD in this slot after a bus reset is another device, so a click
// on it must choose it again.
void PropertiesPane::HideAld(uint8_t slot) {
  model_->Hide(slot);
  if (lastClickSlot_ == slot) lastClickSlot_ = kNoClick;
}

void PropertiesPane::SetSelectorEntries(const std::vector<uint8_t>& windowSlots) {
  QVariant selected = selector_->currentData();
  selector_->clear();
  for (uint8_t slot : windowSlots) selector_->addItem(PropertyGridModel::GroupName(slot), slot);
  selector_->setCurrentIndex(selected.isValid() ? selector_->findData(selected) : -1);
}

// Also what the grid remembers: the window in front is this slot's now, so
// a later click into another slot's group chooses that one even when it
// was the last one clicked.
void PropertiesPane::SelectWindowEntry(uint8_t slot) {
  selector_->setCurrentIndex(EntryOf(slot));
  lastClickSlot_ = slot;
}

int PropertiesPane::EntryOf(uint8_t slot) const {
  return selector_->findData(slot);
}

void PropertiesPane::OnSelectorActivated(int entry) {
  bool ok = false;
  unsigned slot = selector_->itemData(entry).toUInt(&ok);
  if (!ok || slot == 0) return;
  lastClickSlot_ = static_cast<uint8_t>(slot);
  emit slotChosen(static_cast<uint8_t>(slot));
}

void PropertiesPane::OnGridClicked(const QModelIndex& index) {
  uint8_t slot = PropertyGridModel::SlotOf(index);
  if (slot == 0 || slot == lastClickSlot_) return;
  lastClickSlot_ = slot;
  int entry = EntryOf(slot);
  if (entry >= 0) selector_->setCurrentIndex(entry);
  emit slotChosen(slot);
}

void PropertiesPane::OnExpandCollapse() {
  if (expandNext_) {
    grid_->expandAll();
  } else {
    grid_->collapseAll();
  }
  expandNext_ = !expandNext_;
  expandCollapse_->setChecked(!expandNext_);
}

void PropertiesPane::OnRefreshAld() {
  if (SelectedSlot(table_) == 0) {
    log_.Write(kTraceWarning, TraceClass::kMain, kTraceNoAld, "You must select a device first!");
    return;
  }
  emit refreshAldRequested();
}

void PropertiesPane::ShowDescription(const QModelIndex& current) {
  if (!current.isValid()) {
    description_->clear();
    return;
  }
  QModelIndex name = current.siblingAtColumn(PropertyGridModel::kNameColumn);
  QString title = name.data().toString().toHtmlEscaped();
  QString text = name.data(PropertyGridModel::kDescriptionRole).toString().toHtmlEscaped();
  description_->setText(text.isEmpty() ? QStringLiteral("<b>%1</b>").arg(title)
                                       : QStringLiteral("<b>%1</b><br>%2").arg(title, text));
}
