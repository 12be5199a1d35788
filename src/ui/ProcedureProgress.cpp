#include "ui/ProcedureProgress.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMetaObject>
#include <QProgressBar>
#include <QThread>

#include "layer7/AisgLayer7.h"
#include "layer7/Vocabulary.h"

ProcedureProgress::ProcedureProgress(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("procedureProgress"));
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  text_ = new QLabel(this);
  bar_ = new QProgressBar(this);
  bar_->setTextVisible(true);
  bar_->setMinimumWidth(160);
  layout->addWidget(text_);
  layout->addWidget(bar_);
  hide();
}

ProcedureProgress::~ProcedureProgress() {
  if (layer7_) layer7_->RemoveProgressListener(this);
}

void ProcedureProgress::Attach(AisgLayer7& layer7) {
  layer7_ = &layer7;
  layer7.SetProgressListener(this);
}

void ProcedureProgress::OnProgress(const ProgressReport& report) {
  if (QThread::currentThread() == thread()) {
    Show(report);
    return;
  }
  QMetaObject::invokeMethod(
      this, [this, report] { Show(report); }, Qt::QueuedConnection);
}

// The procedure that reports holds the user-interface thread between its
// exchanges: the strip repaints at once rather than at the next pump.
void ProcedureProgress::Show(const ProgressReport& report) {
  bool isWait = report.What == ProgressReport::Kind::kWait;
  if (report.Ended) {
    if (shown_ && shown_->What == report.What && shown_->Address == report.Address) {
      shown_.reset();
      hide();
    }
    return;
  }
  if (isWait && report.TimeoutMs < kShortestShownWaitMs) return;
  // A download's own block waits do not take the strip from it.
  if (isWait && shown_ && shown_->What == ProgressReport::Kind::kBlocks) return;
  shown_ = report;
  bar_->setMaximum(static_cast<int>(isWait ? report.TimeoutMs / 1000 : report.Total));
  bar_->setValue(static_cast<int>(isWait ? report.ElapsedMs / 1000 : report.Done));
  bar_->setFormat(isWait ? QStringLiteral("%v s of %m s") : QStringLiteral("%v of %m"));
  text_->setText(isWait ? WaitText(report) : BlocksText(report));
  show();
  if (isVisible()) repaint();
}

QString ProcedureProgress::Duration(uint64_t seconds) {
  if (seconds < 60) return tr("%1 s").arg(seconds);
  return tr("%1 min %2 s").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

QString ProcedureProgress::BlocksText(const ProgressReport& r) {
  QString text = tr("ALD %1 download: block %2 of %3").arg(r.Address).arg(r.Done).arg(r.Total);
  if (r.ElapsedMs == 0 || r.Octets == 0) return text;
  uint64_t rate = r.Octets * 1000 / r.ElapsedMs;
  if (rate == 0) return text;
  uint64_t left = (r.TotalOctets - r.Octets + rate - 1) / rate;
  return text + tr(", %1 octets/s, %2 left").arg(rate).arg(Duration(left));
}

QString ProcedureProgress::WaitText(const ProgressReport& r) {
  return tr("ALD %1 %2: %3 of %4")
      .arg(r.Address)
      .arg(QString::fromStdString(Vocabulary::ProcedureName(r.Procedure)))
      .arg(Duration(r.ElapsedMs / 1000))
      .arg(Duration(r.TimeoutMs / 1000));
}

QString ProcedureProgress::Text() const {
  return text_->text();
}
int ProcedureProgress::Value() const {
  return bar_->value();
}
int ProcedureProgress::Maximum() const {
  return bar_->maximum();
}
