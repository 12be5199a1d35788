#pragma once

#include <QAbstractItemModelTester>
#include <QComboBox>
#include <QStringList>
#include <fstream>
#include <memory>
#include <string>

#include "TempDir.h"
#include "core/TraceLevel.h"
#include "core/TraceLog.h"
#include "persist/MemoryProfileStore.h"
#include "persist/Settings.h"
#include "ui/OutputPane.h"
#include "ui/TraceFilterCombo.h"
#include "ui/TraceLineModel.h"

// An output pane over its own trace log (in a scratch folder) and settings,
// with the pane's dialogs answered by the test.
struct OutputPaneFixture {
  TempDir Dir;
  TraceLog Log{Dir.File("trace.txt")};
  MemoryProfileStore Store;
  Settings Options{Store, Log};
  std::unique_ptr<OutputPane> Pane;
  std::unique_ptr<QAbstractItemModelTester> Tester;

  QString OpenAnswer;
  QString SaveAnswer;
  bool ConfirmAnswer = true;
  QStringList Questions;
  QStringList Failures;

  // The model tester walks every row after every change, so tests of large
  // loads go without it.
  void Create(bool testModel = true) {
    Pane = std::make_unique<OutputPane>(Log, Options);
    if (testModel) {
      Tester = std::make_unique<QAbstractItemModelTester>(&Pane->Model(),
                                                          QAbstractItemModelTester::FailureReportingMode::QtTest);
    }
    OutputPane::Dialogs dialogs;
    dialogs.ChooseOpenFile = [this] { return OpenAnswer; };
    dialogs.ChooseSaveFile = [this] { return SaveAnswer; };
    dialogs.Confirm = [this](const QString& question) {
      Questions << question;
      return ConfirmAnswer;
    };
    dialogs.ShowFailure = [this](const QString& text) { Failures << text; };
    Pane->SetDialogs(dialogs);
  }

  TraceLineModel& Model() { return Pane->Model(); }
  QString Cell(int row, int column) { return Model().index(row, column).data().toString(); }
  QString Message(int row) { return Cell(row, TraceLineModel::kMessage); }
  QString LastMessage() { return Message(Model().rowCount() - 1); }
  std::string TraceFile() { return ReadFile(Log.FilePath()); }

  TraceFilterCombo* Levels() { return Pane->findChild<TraceFilterCombo*>("outputLevelFilter"); }
  TraceFilterCombo* Classes() { return Pane->findChild<TraceFilterCombo*>("outputClassFilter"); }
  QComboBox* Address() { return Pane->findChild<QComboBox*>("cmd1361"); }

  // Flips the mark of the entry whose command id is commandId, as a click does.
  static void Flip(TraceFilterCombo* combo, int commandId) {
    QStandardItemModel* entries = combo->Entries();
    for (int i = 0; i < entries->rowCount(); ++i) {
      QStandardItem* item = entries->item(i);
      if (item->data(Qt::UserRole).toInt() != commandId) continue;
      item->setCheckState(item->checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked);
    }
  }

  std::string WriteSavedTrace(const std::string& name, const std::string& text) {
    std::string path = Dir.File(name);
    std::ofstream(path, std::ios::binary) << text;
    return path;
  }
};
