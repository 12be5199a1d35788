#include "ui/OptionsDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

#include "core/MessageBox.h"
#include "core/TraceLog.h"
#include "persist/Settings.h"
#include "serial/AdapterDetector.h"
#include "serial/AisgSerial.h"
#include "serial/DetectPort.h"
#include "ui/AccessibleNames.h"
#include "ui/FieldSelectionModel.h"

namespace {

constexpr int kPortList = 1301;
constexpr int kBaudRate = 1302;
constexpr int kFieldSelector = 1308;
constexpr int kScanMaxIterations = 1309;
constexpr int kComPortAutoDetect = 1314;
constexpr int kApply = 1315;
constexpr int kCancel = 1316;
constexpr int kDetectPort = 1317;
constexpr int kRestoreDefault = 1318;
constexpr int kOk = 1;

QString ControlName(int id) {
  return QStringLiteral("ctl%1").arg(id);
}

}  // namespace

// Scan Max Iterations, Scan Repeat Mode, Scan ALD previously found and Auto
// Refresh Selected ALD change nothing the program does, so they are kept
// out of sight; their values pass through the dialog unchanged.
const std::vector<OptionsDialog::FlagControl>& OptionsDialog::FlagControls() {
  static const std::vector<FlagControl> controls = {
      {1310, "Scan Auto Connect", &Settings::ScanAutoconnect, true},
      {1312, "Scan Repeat Mode", &Settings::ScanRepeatMode, false},
      {1321, "Scan ALD previously found", &Settings::ScanPreviouslyFound, false},
      {1311, "Auto Connect After Download", &Settings::DownloadAutoconnect, true},
      {1319, "Enable Polling", &Settings::EnablePolling, true},
      {1313, "Auto Refresh Selected ALD", &Settings::RefreshSelectedAld, false},
      {1314, "Com Port Auto Detect", &Settings::ComPortAutoDetection, true},
      {1306, "Trace Main", &Settings::TraceAisgMain, true},
      {1303, "Trace Comm", &Settings::TraceAisgSerial, true},
      {1304, "Trace Hdlc", &Settings::TraceAisgHdlc, true},
      {1305, "Trace Aisg", &Settings::TraceAisgLayer7, true},
      {1320, "Trace Poll", &Settings::TraceAisgPolling, true},
      {1322, "Fast Exchanges", &Settings::FastExchanges, true},
  };
  return controls;
}

OptionsDialog::OptionsDialog(Settings& settings, PortInventory& ports, std::function<void()> reopenPort,
                             QWidget* parent)
    : OptionsDialog(settings, TraceLog::Instance(), ports, std::move(reopenPort), parent) {}

OptionsDialog::OptionsDialog(Settings& settings, TraceLog& log, PortInventory& ports, std::function<void()> reopenPort,
                             QWidget* parent)
    : QDialog(parent), settings_(settings), log_(log), inventory_(ports), reopenPort_(std::move(reopenPort)) {
  setWindowTitle(QString::fromLatin1(kTitle));
  setObjectName(QStringLiteral("OptionsDialog"));

  auto* left = new QVBoxLayout;
  left->addWidget(BuildPortGroup());
  left->addWidget(BuildFlagGroup("Scan and Polling", {1310, 1319, 1311, 1312, 1321, 1313, 1322}));
  left->addWidget(BuildFlagGroup("Trace Configuration:", {1306, 1303, 1304, 1305, 1320}));
  left->addStretch(1);

  auto* columns = new QHBoxLayout;
  columns->addLayout(left, 1);
  columns->addWidget(BuildFieldGroup(), 1);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(columns, 1);
  layout->addLayout(BuildButtons());

  FillControls();
  AccessibleNames::Apply(this);
}

QWidget* OptionsDialog::BuildPortGroup() {
  auto* group = new QGroupBox(QStringLiteral("Serial Port"), this);
  auto* form = new QFormLayout(group);
  portList_ = new QComboBox(group);
  portList_->setObjectName(ControlName(kPortList));
  portList_->setEditable(false);
  portList_->setMinimumContentsLength(16);
  portList_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  form->addRow(QStringLiteral("&Serial Port:"), portList_);

  baudRate_ = new QLineEdit(group);
  baudRate_->setObjectName(ControlName(kBaudRate));
  baudRate_->setValidator(new QIntValidator(0, 1000000000, baudRate_));
  form->addRow(QStringLiteral("&Baudrate:"), baudRate_);

  // Bound like the others, never shown.
  scanMaxIterations_ = new QLineEdit(group);
  scanMaxIterations_->setObjectName(ControlName(kScanMaxIterations));
  scanMaxIterations_->setAccessibleName(QStringLiteral("Scan Max Iterations"));
  scanMaxIterations_->setValidator(new QIntValidator(0, 1000000000, scanMaxIterations_));
  scanMaxIterations_->hide();

  auto* autoDetect = new QCheckBox(QStringLiteral("Com Port Auto Detect"), group);
  autoDetect->setObjectName(ControlName(kComPortAutoDetect));
  connect(autoDetect, &QCheckBox::clicked, this, &OptionsDialog::OnAutoDetectClicked);
  detectPort_ = new QPushButton(QString::fromLatin1(DetectPortOutcome::kDetectCaption), group);
  detectPort_->setObjectName(ControlName(kDetectPort));
  detectPort_->setAutoDefault(false);
  connect(detectPort_, &QPushButton::clicked, this, &OptionsDialog::OnDetectPort);
  auto* row = new QHBoxLayout;
  row->addWidget(autoDetect);
  row->addStretch(1);
  row->addWidget(detectPort_);
  form->addRow(row);
  return group;
}

QWidget* OptionsDialog::BuildFlagGroup(const char* title, const std::vector<int>& ids) {
  auto* group = new QGroupBox(QString::fromLatin1(title), this);
  auto* column = new QVBoxLayout(group);
  for (int id : ids) {
    auto it = std::find_if(FlagControls().begin(), FlagControls().end(),
                           [id](const FlagControl& control) { return control.Id == id; });
    auto* box = new QCheckBox(QString::fromLatin1(it->Caption), group);
    box->setObjectName(ControlName(id));
    column->addWidget(box);
    if (!it->Shown) box->hide();
  }
  return group;
}

QWidget* OptionsDialog::BuildFieldGroup() {
  auto* group = new QGroupBox(QStringLiteral("ALD List Field Selector"), this);
  auto* column = new QVBoxLayout(group);
  fields_ = new FieldSelectionModel(this);
  fieldList_ = new QListView(group);
  fieldList_->setObjectName(ControlName(kFieldSelector));
  fieldList_->setAccessibleName(group->title());
  fieldList_->setModel(fields_);
  fieldList_->setUniformItemSizes(true);
  fieldList_->setSelectionMode(QAbstractItemView::SingleSelection);
  fieldList_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  int rowHeight = fieldList_->sizeHintForRow(0);
  fieldList_->setMinimumHeight(rowHeight * Settings::kAldListFieldCount + 2 * fieldList_->frameWidth() + 4);
  fieldList_->setMinimumWidth(fieldList_->sizeHintForColumn(0) + 2 * fieldList_->frameWidth() + 24);
  column->addWidget(fieldList_, 1);
  auto* note = new QLabel(QStringLiteral("The ALD list shows fields 0, 1 and 13."), group);
  note->setWordWrap(true);
  column->addWidget(note);
  return group;
}

QLayout* OptionsDialog::BuildButtons() {
  auto* restore = new QPushButton(QStringLiteral("Restore Default"), this);
  restore->setObjectName(ControlName(kRestoreDefault));
  restore->setAutoDefault(false);
  connect(restore, &QPushButton::clicked, this, &OptionsDialog::OnRestoreDefault);

  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setObjectName(ControlName(kOk));
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &OptionsDialog::OnOk);
  cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
  cancel_->setObjectName(ControlName(kCancel));
  cancel_->setAutoDefault(false);
  connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
  auto* apply = new QPushButton(QStringLiteral("Apply"), this);
  apply->setObjectName(ControlName(kApply));
  apply->setAutoDefault(false);
  connect(apply, &QPushButton::clicked, this, &OptionsDialog::OnApply);

  auto* row = new QHBoxLayout;
  row->addWidget(restore);
  row->addStretch(1);
  row->addWidget(ok);
  row->addWidget(cancel_);
  row->addWidget(apply);
  return row;
}

QWidget* OptionsDialog::Control(int id) const {
  return findChild<QWidget*>(ControlName(id));
}

QCheckBox* OptionsDialog::Flag(int id) const {
  return findChild<QCheckBox*>(ControlName(id));
}

void OptionsDialog::FillControls() {
  for (const FlagControl& control : FlagControls()) Flag(control.Id)->setChecked(settings_.*control.Member != 0);
  scanMaxIterations_->setText(QString::number(settings_.ScanMaxIterations));
  // The bus runs at 9600 baud; the box shows it and cannot be changed.
  baudRate_->setText(QString::fromLatin1(kFixedBaud));
  baudRate_->setEnabled(false);
  fieldsAtOpen_ = settings_.AldListFields;
  fields_->SetFields(static_cast<uint32_t>(fieldsAtOpen_));
  defaultsRestored_ = settings_.DefaultsRestored != 0;
  FillPorts(QString::fromStdString(settings_.ComPort));
}

// The ports the system reports, and the wanted one first when it is not
// among them (a port given for this run, or an adapter unplugged for now),
// so that OK never silently takes another port. The wanted port is found
// by its whole name: /dev/ttyUSB1 must not select /dev/ttyUSB10.
void OptionsDialog::FillPorts(const QString& wanted) {
  std::vector<std::string> ports;
  AdapterDetector(log_, inventory_).ListPorts(ports);
  portList_->clear();
  std::string wantedName = wanted.toStdString();
  if (!wantedName.empty() && std::find(ports.begin(), ports.end(), wantedName) == ports.end()) {
    portList_->addItem(wanted);
  }
  for (const std::string& port : ports) portList_->addItem(QString::fromStdString(port));
  portList_->setCurrentIndex(portList_->findText(wanted, Qt::MatchExactly | Qt::MatchCaseSensitive));
}

void OptionsDialog::TakeControls() {
  if (portList_->currentIndex() >= 0) settings_.ComPort = portList_->currentText().toStdString();
  settings_.SerialBaudrate = baudRate_->text().toInt();
  settings_.ScanMaxIterations = scanMaxIterations_->text().toInt();
  for (const FlagControl& control : FlagControls()) settings_.*control.Member = Flag(control.Id)->isChecked() ? 1 : 0;
  settings_.TakeFieldSelection(fields_->Checked());
}

void OptionsDialog::OnDetectPort() {
  AdapterDetector detector(log_, inventory_);
  DetectPortOutcome outcome = DetectPort(detector, AisgSerial::IsOpen(), [this](const std::string& port) {
    settings_.ComPort = port;
    portList_->addItem(QString::fromStdString(port));
    portList_->setCurrentIndex(portList_->count() - 1);
    portList_->setEnabled(true);
    if (reopenPort_) reopenPort_();
    return AisgSerial::IsOpen();
  });
  if (!outcome.Caption.empty()) {
    detectPort_->setText(QString::fromStdString(outcome.Caption));
    detectPort_->setEnabled(false);
    QTimer::singleShot(DetectPortOutcome::kNoneFoundMs, this, [this] {
      detectPort_->setText(QString::fromLatin1(DetectPortOutcome::kDetectCaption));
      detectPort_->setEnabled(true);
    });
  }
  if (!outcome.Message.empty()) ShowMessageBox("%s", outcome.Message.c_str());
}

void OptionsDialog::OnAutoDetectClicked(bool ticked) {
  QString wanted = portList_->currentText();
  std::string detected = AisgSerial::DetectedPort();
  if (ticked && !detected.empty()) wanted = QString::fromStdString(detected);
  portList_->setEnabled(true);
  FillPorts(wanted);
}

void OptionsDialog::OnApply() {
  TakeControls();
  settings_.Save();
  cancel_->setText(QStringLiteral("Close"));
  ShowMessageBox("%s", kRestartText);
}

void OptionsDialog::OnOk() {
  TakeControls();
  settings_.Save();
  accept();
}

void OptionsDialog::OnRestoreDefault() {
  settings_.RestoreDefaults();
  TakeControls();
  accept();
  ShowMessageBox("%s", kRestartDefaultsText);
}

void OptionsDialog::done(int result) {
  fieldsChanged_ = settings_.AldListFields != fieldsAtOpen_;
  if (fieldsChanged_) settings_.FieldsChanged = 1;
  defaultsRestored_ = settings_.DefaultsRestored != 0;
  QDialog::done(result);
}
