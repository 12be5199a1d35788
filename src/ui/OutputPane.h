#pragma once

#include <QString>
#include <QWidget>
#include <bitset>
#include <functional>
#include <string>

#include "ui/TraceRowFilter.h"

class QAction;
class QComboBox;
class QTableView;
class QToolBar;
class Settings;
class TraceFileLoader;
class TraceFilterCombo;
class TraceLineModel;
class TraceLog;

// The output pane: the trace lines of this session as they are written,
// with their filters and the Open, Save, Run and Clear commands.
class OutputPane : public QWidget {
  Q_OBJECT

 public:
  // The questions the pane asks the user; tests replace them.
  struct Dialogs {
    std::function<QString()> ChooseOpenFile;  // empty: cancelled
    std::function<QString()> ChooseSaveFile;  // empty: cancelled
    std::function<bool(const QString& question)> Confirm;
    std::function<void(const QString& text)> ShowFailure;
  };

  OutputPane(TraceLog& log, Settings& settings, QWidget* parent = nullptr);
  ~OutputPane() override;

  // Takes the lines written since the last call and shows them in one
  // batch; the main window's 50 ms timer calls it.
  void Drain();

  void SetDialogs(Dialogs dialogs) { dialogs_ = std::move(dialogs); }
  TraceLineModel& Model() const { return *model_; }
  QTableView* View() const { return view_; }
  // True while a saved trace is being read into the list.
  bool IsLoading() const;

  void OpenLog();
  void SaveLog();
  void ToggleLogging();
  void ClearLog();

 signals:
  // A saved trace opened with OpenLog is wholly in the list.
  void LoadFinished();

 private:
  void BuildToolBar();
  void BuildFilters();
  void BuildView();
  QAction* AddCommand(int id, const QString& caption, const QString& tip);
  void AppendToList(const std::string& text);
  void OnLoadFinished();
  void OnLevelToggled(int level, bool shown);
  void OnClassToggled(int classIndex, bool shown);
  void OnAddressChosen(int entry);
  void SyncWithLog();
  void AddSeenAlds();
  void WriteOwnLine(const char* text);
  bool TraceFileHoldsLines() const;
  static Dialogs DefaultDialogs(QWidget* parent);

  TraceLog& log_;
  Settings& settings_;
  Dialogs dialogs_;
  TraceLineModel* model_;
  TraceFileLoader* loader_;
  QToolBar* toolBar_ = nullptr;
  QTableView* view_ = nullptr;
  QAction* runAction_ = nullptr;
  TraceFilterCombo* levelCombo_ = nullptr;
  TraceFilterCombo* classCombo_ = nullptr;
  QComboBox* addressCombo_ = nullptr;
  std::bitset<256> listedAlds_;
  std::string taken_;     // the last text taken from the log, kept for its capacity
  std::string deferred_;  // lines written while a saved trace loads
};
