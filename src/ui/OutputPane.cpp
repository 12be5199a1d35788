#include "ui/OutputPane.h"

#include <QAction>
#include <QComboBox>
#include <QFileDialog>
#include <QFontDatabase>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QScrollBar>
#include <QTableView>
#include <QToolBar>
#include <QVBoxLayout>
#include <cstdio>
#include <filesystem>

#include "core/TraceLevel.h"
#include "core/TraceLog.h"
#include "ui/AccessibleNames.h"
#include "ui/TraceFileLoader.h"
#include "ui/TraceFilterCombo.h"
#include "ui/TraceLineModel.h"
#include "ui/TraceLineStore.h"

namespace {

constexpr int kListControlId = 1349;
constexpr int kAddressFilterId = 1361;
const char* const kLevelTexts[TraceRowFilter::kLevelCount] = {"ERR", "WRN", "INF"};
const char* const kLevelNotes[TraceRowFilter::kLevelCount] = {"OnLogErrors", "OnLogWarnings", "OnLogInformation"};
const int kLevelCommands[TraceRowFilter::kLevelCount] = {1352, 1353, 1354};
// Indexed by the store's class index (MAIN, COMM, HDLC, POLL, AISG).
const char* const kClassNotes[TraceRowFilter::kClassCount] = {"OnLogFilterMain", "OnLogFilterComm", "OnLogFilterHdlc",
                                                              "OnLogFilterPoll", "OnLogFilterAisg"};
const int kClassCommands[TraceRowFilter::kClassCount] = {1368, 1369, 1370, 1372, 1373};
// The order of the class entries in the box: MAIN, COMM, HDLC, AISG, POLL.
const int kClassOrder[TraceRowFilter::kClassCount] = {0, 1, 2, 4, 3};
const char* const kFileFilter = "LOG Files (*.txt);;All Files (*)";

QString AldEntryText(int ald) {
  return QString::asprintf("%.3d", ald);
}

}  // namespace

OutputPane::OutputPane(TraceLog& log, Settings& settings, QWidget* parent)
    : QWidget(parent),
      log_(log),
      settings_(settings),
      dialogs_(DefaultDialogs(this)),
      model_(new TraceLineModel(this)),
      loader_(new TraceFileLoader(*model_, this)) {
  setObjectName(QStringLiteral("outputPane"));
  BuildToolBar();
  BuildFilters();
  BuildView();
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(toolBar_);
  layout->addWidget(view_, 1);
  connect(loader_, &TraceFileLoader::Finished, this, &OutputPane::OnLoadFinished);
  SyncWithLog();
}

OutputPane::~OutputPane() = default;

OutputPane::Dialogs OutputPane::DefaultDialogs(QWidget* parent) {
  Dialogs dialogs;
  dialogs.ChooseOpenFile = [parent] {
    return QFileDialog::getOpenFileName(parent, QObject::tr("Open log"), QString(), QString::fromLatin1(kFileFilter));
  };
  dialogs.ChooseSaveFile = [parent] {
    QFileDialog dialog(parent, QObject::tr("Save log"), QString(), QString::fromLatin1(kFileFilter));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("txt"));
    return dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty() ? dialog.selectedFiles().front()
                                                                                   : QString();
  };
  dialogs.Confirm = [parent](const QString& question) {
    return QMessageBox::question(parent, QObject::tr("Open log"), question, QMessageBox::Open | QMessageBox::Cancel,
                                 QMessageBox::Cancel) == QMessageBox::Open;
  };
  dialogs.ShowFailure = [parent](const QString& text) { QMessageBox::warning(parent, QObject::tr("Save log"), text); };
  return dialogs;
}

QAction* OutputPane::AddCommand(int id, const QString& caption, const QString& tip) {
  auto* action = new QAction(caption, this);
  action->setObjectName(QStringLiteral("cmd%1").arg(id));
  action->setData(id);
  action->setToolTip(tip);
  toolBar_->addAction(action);
  return action;
}

void OutputPane::BuildToolBar() {
  toolBar_ = new QToolBar(this);
  toolBar_->setObjectName(QStringLiteral("outputToolBar"));
  toolBar_->setAccessibleName(tr("Output commands"));
  toolBar_->setMovable(false);
  toolBar_->setFloatable(false);
  toolBar_->setToolButtonStyle(Qt::ToolButtonTextOnly);
  connect(AddCommand(1350, tr("Open"), tr("Open log")), &QAction::triggered, this, &OutputPane::OpenLog);
  connect(AddCommand(1351, tr("Save"), tr("Save log")), &QAction::triggered, this, &OutputPane::SaveLog);
  runAction_ = AddCommand(1356, tr("Run"), tr("Start/Stop log"));
  runAction_->setCheckable(true);
  connect(runAction_, &QAction::triggered, this, &OutputPane::ToggleLogging);
  QAction* clear = AddCommand(1357, tr("Clear"), tr("Clear log"));
  connect(clear, &QAction::triggered, this, &OutputPane::ClearLog);
  // The main window's menu has a "CLEAR" of the alarms.
  toolBar_->widgetForAction(clear)->setAccessibleName(tr("Clear log"));
}

void OutputPane::BuildFilters() {
  levelCombo_ = new TraceFilterCombo(tr("All levels"), this);
  levelCombo_->setObjectName(QStringLiteral("outputLevelFilter"));
  levelCombo_->setToolTip(tr("Show/Hide log errors, warnings and information"));
  for (int level = 0; level < TraceRowFilter::kLevelCount; ++level) {
    levelCombo_->AddEntry(QString::fromLatin1(kLevelTexts[level]), kLevelCommands[level]);
  }
  connect(levelCombo_, &TraceFilterCombo::CheckToggled, this, &OutputPane::OnLevelToggled);

  classCombo_ = new TraceFilterCombo(tr("All classes"), this);
  classCombo_->setObjectName(QStringLiteral("outputClassFilter"));
  classCombo_->setToolTip(tr("Show/Hide the lines of a trace class"));
  for (int classIndex : kClassOrder) {
    classCombo_->AddEntry(QString::fromLatin1(TraceLineStore::kClassTags[classIndex]), kClassCommands[classIndex]);
  }
  connect(classCombo_, &TraceFilterCombo::CheckToggled, this,
          [this](int entry, bool shown) { OnClassToggled(kClassOrder[entry], shown); });

  addressCombo_ = new QComboBox(this);
  addressCombo_->setObjectName(QStringLiteral("cmd%1").arg(kAddressFilterId));
  addressCombo_->setToolTip(tr("Show the lines of one ALD only"));
  addressCombo_->addItem(tr("All"), int{TraceRowFilter::kNoAldFilter});
  addressCombo_->setMinimumContentsLength(4);
  addressCombo_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  connect(addressCombo_, &QComboBox::activated, this, &OutputPane::OnAddressChosen);

  const std::pair<QString, QComboBox*> filters[] = {
      {tr("Levels: "), levelCombo_}, {tr("Classes: "), classCombo_}, {tr("ALD: "), addressCombo_}};
  for (const auto& [caption, combo] : filters) {
    auto* label = new QLabel(caption, this);
    AccessibleNames::NameAfterLabel(label, combo);
    toolBar_->addSeparator();
    toolBar_->addWidget(label);
    toolBar_->addWidget(combo);
  }
}

void OutputPane::BuildView() {
  view_ = new QTableView(this);
  view_->setObjectName(QStringLiteral("ctl%1").arg(kListControlId));
  view_->setAccessibleName(tr("Output log"));
  view_->setModel(model_);
  view_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  view_->setShowGrid(true);
  view_->setSelectionMode(QAbstractItemView::NoSelection);
  view_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  view_->setContextMenuPolicy(Qt::NoContextMenu);
  view_->setWordWrap(false);
  view_->setTextElideMode(Qt::ElideRight);
  view_->setCornerButtonEnabled(false);
  view_->setIconSize(QSize(16, 16));
  QFontMetrics metrics(view_->font());
  QHeaderView* rows = view_->verticalHeader();
  rows->hide();
  rows->setSectionResizeMode(QHeaderView::Fixed);
  rows->setDefaultSectionSize(std::max(metrics.height(), 16) + 4);
  QHeaderView* columns = view_->horizontalHeader();
  columns->setSectionResizeMode(QHeaderView::Fixed);
  columns->setStretchLastSection(true);
  columns->setHighlightSections(false);
  int pad = metrics.horizontalAdvance(QLatin1Char(' ')) * 2 + 8;
  view_->setColumnWidth(TraceLineModel::kLevelIcon, std::max(16 + 12, metrics.horizontalAdvance("Lev") + pad));
  view_->setColumnHidden(TraceLineModel::kLevelText, true);
  view_->setColumnWidth(TraceLineModel::kTime, metrics.horizontalAdvance("00:00:00:000") + pad);
  view_->setColumnWidth(TraceLineModel::kClass, metrics.horizontalAdvance("Class") + pad);
  view_->setColumnWidth(TraceLineModel::kAld, metrics.horizontalAdvance("ALD") + pad);
}

bool OutputPane::IsLoading() const {
  return loader_->IsLoading();
}

void OutputPane::Drain() {
  SyncWithLog();
  log_.TakePending(taken_);
  if (taken_.empty()) return;
  if (loader_->IsLoading()) {
    deferred_ += taken_;
    return;
  }
  AppendToList(taken_);
}

// Follows the newest line only while the user has not scrolled away from
// the end, so reading back through a busy trace is possible.
void OutputPane::AppendToList(const std::string& text) {
  QScrollBar* bar = view_->verticalScrollBar();
  bool atEnd = bar->value() >= bar->maximum();
  model_->AppendPending(text);
  if (atEnd) view_->scrollToBottom();
  AddSeenAlds();
}

void OutputPane::AddSeenAlds() {
  const std::bitset<256>& seen = model_->Store().SeenAlds();
  if (seen == listedAlds_) return;
  for (int ald = 1; ald <= 254; ++ald) {
    if (!seen.test(ald) || listedAlds_.test(ald)) continue;
    int entry = 1;
    while (entry < addressCombo_->count() && addressCombo_->itemData(entry).toInt() < ald) ++entry;
    addressCombo_->insertItem(entry, AldEntryText(ald), ald);
  }
  listedAlds_ |= seen;
}

void OutputPane::WriteOwnLine(const char* text) {
  log_.Write(kTraceInfo, TraceClass::kMain, kTraceNoAld, "%s", text);
}

// The switches follow the log's suppression wherever it was changed (the
// options dialog sets the classes), and the rows already listed follow them.
void OutputPane::SyncWithLog() {
  runAction_->setChecked(log_.IsLogging());
  TraceRowFilter filter;
  for (int level = 0; level < TraceRowFilter::kLevelCount; ++level) {
    if (log_.IsLevelSuppressed(kLevelTexts[level])) filter.ShownLevels &= ~(1u << level);
  }
  for (int classIndex = 0; classIndex < TraceRowFilter::kClassCount; ++classIndex) {
    if (log_.IsClassSuppressed(TraceLineStore::kClassTags[classIndex])) filter.ShownClasses &= ~(1u << classIndex);
  }
  filter.Ald = log_.AldFilter();
  if (filter == model_->Filter()) return;
  for (int level = 0; level < TraceRowFilter::kLevelCount; ++level) {
    levelCombo_->SetCheckedQuietly(level, (filter.ShownLevels >> level) & 1u);
  }
  for (int entry = 0; entry < TraceRowFilter::kClassCount; ++entry) {
    classCombo_->SetCheckedQuietly(entry, (filter.ShownClasses >> kClassOrder[entry]) & 1u);
  }
  if (filter.Ald != TraceRowFilter::kNoAldFilter && filter.Ald != 0 && !listedAlds_.test(filter.Ald)) {
    int entry = 1;
    while (entry < addressCombo_->count() && addressCombo_->itemData(entry).toInt() < filter.Ald) ++entry;
    addressCombo_->insertItem(entry, AldEntryText(filter.Ald), int{filter.Ald});
    listedAlds_.set(filter.Ald);
  }
  addressCombo_->setCurrentIndex(std::max(0, addressCombo_->findData(int{filter.Ald})));
  model_->SetFilter(filter);
}

void OutputPane::OnLevelToggled(int level, bool shown) {
  log_.SetLevelSuppressed(kLevelTexts[level], !shown);
  WriteOwnLine(kLevelNotes[level]);
  SyncWithLog();
}

void OutputPane::OnClassToggled(int classIndex, bool shown) {
  log_.SetClassSuppressed(TraceLineStore::kClassTags[classIndex], !shown);
  WriteOwnLine(kClassNotes[classIndex]);
  SyncWithLog();
}

void OutputPane::OnAddressChosen(int entry) {
  int ald = addressCombo_->itemData(entry).toInt();
  log_.SetAldFilter(static_cast<uint8_t>(entry == 0 ? TraceRowFilter::kNoAldFilter : ald));
  WriteOwnLine("Log change address filter");
  SyncWithLog();
}

void OutputPane::ToggleLogging() {
  if (!log_.IsLogging()) {
    log_.SetLogging(true);
    WriteOwnLine("Log started");
  } else {
    WriteOwnLine("Log stopped");
    log_.SetLogging(false);
  }
  runAction_->setChecked(log_.IsLogging());
}

// The lines already taken from the log were written before the clear, so
// they go with the list and the file.
void OutputPane::ClearLog() {
  loader_->Cancel();
  deferred_.clear();
  log_.TakePending(taken_);
  model_->Clear();
  log_.ClearFile();
}

bool OutputPane::TraceFileHoldsLines() const {
  std::error_code ec;
  auto size = std::filesystem::file_size(log_.FilePath(), ec);
  return !ec && size > 0;
}

// Loading a saved trace empties the running session's trace file, so the
// user is asked first while that file holds anything. A saved trace that is
// this session's own trace file is shown again without emptying it.
void OutputPane::OpenLog() {
  QString path = dialogs_.ChooseOpenFile();
  if (path.isEmpty()) return;
  std::string file = path.toStdString();
  FILE* in = std::fopen(file.c_str(), "rb");
  if (!in) return;
  std::error_code ec;
  bool ownTrace = std::filesystem::equivalent(file, log_.FilePath(), ec);
  if (!ownTrace && TraceFileHoldsLines() &&
      !dialogs_.Confirm(tr("Opening a saved log empties the list and the trace file of this session (%1). "
                           "Its lines are lost unless they were saved with Save. Open the saved log?")
                            .arg(QString::fromStdString(log_.FilePath())))) {
    std::fclose(in);
    return;
  }
  if (ownTrace) {
    loader_->Cancel();
    deferred_.clear();
    log_.TakePending(taken_);
    model_->Clear();
  } else {
    ClearLog();
  }
  auto size = std::filesystem::file_size(file, ec);
  loader_->Start(in, ec ? UINT64_MAX : static_cast<uint64_t>(size));
}

void OutputPane::OnLoadFinished() {
  std::string waiting;
  waiting.swap(deferred_);
  if (!waiting.empty()) AppendToList(waiting);
  AddSeenAlds();
  view_->scrollToBottom();
  emit LoadFinished();
}

void OutputPane::SaveLog() {
  QString path = dialogs_.ChooseSaveFile();
  if (path.isEmpty()) return;
  if (!log_.SaveAs(path.toStdString())) {
    dialogs_.ShowFailure(tr("The trace could not be saved to %1.").arg(path));
  }
}
