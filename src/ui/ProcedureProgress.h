#pragma once

#include <QWidget>
#include <optional>

#include "layer7/ProgressReport.h"

class AisgLayer7;
class QLabel;
class QProgressBar;

// A status-bar strip that shows a long procedure while it runs: a
// download's blocks sent of blocks to send with the rate and the time left,
// or the time a device has taken against its procedure's time-out (a
// calibration). Hidden otherwise. Reports from another thread are shown on
// the window's own.
class ProcedureProgress : public QWidget, public ProgressListener {
  Q_OBJECT

 public:
  // Waits no longer than this are not worth a progress display.
  static constexpr uint64_t kShortestShownWaitMs = 10000;

  explicit ProcedureProgress(QWidget* parent = nullptr);
  ~ProcedureProgress() override;

  // Registers with the layer for its reports until destroyed. The layer
  // has one listener: the main window's status bar holds the one strip.
  void Attach(AisgLayer7& layer7);

  void OnProgress(const ProgressReport& report) override;
  void Show(const ProgressReport& report);

  QString Text() const;
  int Value() const;
  int Maximum() const;
  bool Active() const { return shown_.has_value(); }

  static QString BlocksText(const ProgressReport& report);
  static QString WaitText(const ProgressReport& report);
  static QString Duration(uint64_t seconds);

 private:
  QLabel* text_;
  QProgressBar* bar_;
  AisgLayer7* layer7_ = nullptr;
  std::optional<ProgressReport> shown_;
};
