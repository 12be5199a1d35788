// The output pane over a real trace log: the drain, the fixed-position
// fields, the filters, Run, Clear, Save and Open.

#include <QAction>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTableView>
#include <QTimer>
#include <QtTest>
#include <atomic>
#include <thread>

#include "OutputPaneFixture.h"
#include "ui/TraceLevelIcons.h"

namespace {

QAction* Command(OutputPane& pane, int id) {
  return pane.findChild<QAction*>(QStringLiteral("cmd%1").arg(id));
}

// A saved trace of count lines, for ALDs 1 to 16 in turn.
std::string SavedLines(int count) {
  std::string text;
  for (int i = 0; i < count; ++i) {
    text += "INF 10:00:00:000 HDLC " + TraceLog::AldText(static_cast<uint8_t>(i % 16 + 1)) + " saved line " +
            std::to_string(i) + "\n";
  }
  return text;
}

}  // namespace

class OutputPaneTest : public QObject {
  Q_OBJECT

 private slots:
  void pendingLineIsCutIntoItsFields() {
    OutputPaneFixture f;
    f.Create();
    f.Model().AppendPending("INF 08:15:02:347 MAIN ... Scan Started\r\n");
    QCOMPARE(f.Model().rowCount(), 1);
    QCOMPARE(f.Cell(0, TraceLineModel::kLevelText), QString("INF"));
    QCOMPARE(f.Cell(0, TraceLineModel::kTime), QString("08:15:02:347"));
    QCOMPARE(f.Cell(0, TraceLineModel::kClass), QString("MAIN"));
    QCOMPARE(f.Cell(0, TraceLineModel::kAld), QString("..."));
    QCOMPARE(f.Message(0), QString("Scan Started"));
    QCOMPARE(f.Cell(0, TraceLineModel::kLevelIcon), QString());
    QIcon icon = qvariant_cast<QIcon>(f.Model().index(0, TraceLineModel::kLevelIcon).data(Qt::DecorationRole));
    QVERIFY(!icon.isNull());
    QCOMPARE(icon.pixmap(16).toImage(), TraceLevelIcon(2).pixmap(16).toImage());
    QVERIFY(icon.pixmap(16).toImage() != TraceLevelIcon(0).pixmap(16).toImage());
    QVERIFY(!(f.Model().flags(f.Model().index(0, 0)) & Qt::ItemIsSelectable));
  }

  void emptyPiecesAndLinesWithoutLevelAddNoRow() {
    OutputPaneFixture f;
    f.Create();
    QCOMPARE(f.Model().AppendPending("INF 08:15:02:347 MAIN ... one\r\n\r\nhello\r\nWRN 08:15:02:348 HDLC 007 two\r\n"),
             size_t{3});
    QCOMPARE(f.Model().rowCount(), 2);
    QCOMPARE(f.Model().LineCounter(), 3u);
    QCOMPARE(f.Message(0), QString("one"));
    QCOMPARE(f.Message(1), QString("two"));
    QCOMPARE(f.Model().index(1, 0).data(TraceLineModel::kLineNumberRole).toUInt(), 3u);
    // "Inf", "ERRx" at the start and a line shorter than its fields.
    f.Model().AppendPending("Inf 08:15:02:347 MAIN ... lower case\r\nERR\r\nWRN 08:1\r\n");
    QCOMPARE(f.Model().rowCount(), 4);
    QCOMPARE(f.Cell(2, TraceLineModel::kLevelText), QString("ERR"));
    QCOMPARE(f.Cell(2, TraceLineModel::kTime), QString());
    QCOMPARE(f.Cell(3, TraceLineModel::kTime), QString("08:1"));
    QCOMPARE(f.Cell(3, TraceLineModel::kMessage), QString());
    QCOMPARE(f.Model().LineCounter(), 6u);
  }

  void drainShowsWrittenLinesInOneInsertion() {
    OutputPaneFixture f;
    f.Create();
    f.Pane->Drain();  // whatever the settings wrote
    QSignalSpy inserted(&f.Model(), &QAbstractItemModel::rowsInserted);
    int before = f.Model().rowCount();
    for (int i = 0; i < 500; ++i) f.Log.Write(kTraceInfo, "HDLC", 3, "frame %d", i);
    f.Pane->Drain();
    QCOMPARE(inserted.count(), 1);
    QCOMPARE(f.Model().rowCount(), before + 500);
    QCOMPARE(inserted.front().at(1).toInt(), before);
    QCOMPARE(inserted.front().at(2).toInt(), before + 499);
    QCOMPARE(f.LastMessage(), QString("frame 499"));
    QCOMPARE(f.Cell(before, TraceLineModel::kAld), QString("003"));
    f.Pane->Drain();
    QCOMPARE(inserted.count(), 1);
  }

  void filtersStartInTheStateOfTheSuppression() {
    OutputPaneFixture f;
    f.Log.SetClassSuppressed("HDLC", true);
    f.Log.SetLevelSuppressed("WRN", true);
    f.Log.SetAldFilter(9);
    f.Create();
    QVERIFY(f.Levels()->IsChecked(0));
    QVERIFY(!f.Levels()->IsChecked(1));
    QVERIFY(f.Levels()->IsChecked(2));
    QVERIFY(!f.Classes()->IsChecked(2));  // MAIN, COMM, HDLC, AISG, POLL
    QVERIFY(f.Classes()->IsChecked(3));
    QCOMPARE(f.Address()->currentText(), QString("009"));
    QCOMPARE(f.Model().Filter().ShownClasses, uint8_t(0x1B));
    QCOMPARE(f.Model().Filter().ShownLevels, uint8_t(0x5));
    QCOMPARE(f.Model().Filter().Ald, uint8_t(9));
  }

  void levelAndClassSwitchesSuppressAndHideRows() {
    OutputPaneFixture f;
    f.Create();
    f.Model().AppendPending(
        "INF 08:00:00:000 HDLC 001 hdlc info\r\nWRN 08:00:00:000 MAIN ... main warning\r\n"
        "INF 08:00:00:000 POLL 002 poll info\r\nERR 08:00:00:000 XYZW 001 other class\r\n");
    QSignalSpy inserted(&f.Model(), &QAbstractItemModel::rowsInserted);
    Flip(f.Classes(), 1370);  // HDLC
    QVERIFY(f.Log.IsClassSuppressed("HDLC"));
    QCOMPARE(f.Model().rowCount(), 3);
    Flip(f.Levels(), 1353);  // WRN
    QVERIFY(f.Log.IsLevelSuppressed("WRN"));
    QCOMPARE(f.Model().rowCount(), 2);
    QCOMPARE(f.Message(0), QString("poll info"));
    f.Log.Write(kTraceInfo, "HDLC", 1, "dropped at the source");
    f.Pane->Drain();
    // Only the pane's own notes came through, and one of them as a new row.
    QCOMPARE(inserted.count(), 1);
    QCOMPARE(f.LastMessage(), QString("OnLogWarnings"));
    QVERIFY(f.TraceFile().find("OnLogFilterHdlc") != std::string::npos);
    QVERIFY(f.TraceFile().find("dropped at the source") == std::string::npos);
    Flip(f.Classes(), 1370);
    Flip(f.Levels(), 1353);
    QVERIFY(!f.Log.IsClassSuppressed("HDLC"));
    QCOMPARE(f.Message(0), QString("hdlc info"));
    QCOMPARE(f.Model().rowCount(), 6);
  }

  void addressFilterKeepsItsAldAndLinesForNone() {
    OutputPaneFixture f;
    f.Create();
    f.Log.Write(kTraceInfo, "HDLC", 3, "three");
    f.Log.Write(kTraceInfo, "HDLC", 4, "four");
    f.Log.Write(kTraceInfo, "MAIN", 0, "none");
    f.Log.Write(kTraceInfo, "MAIN", 255, "all");
    f.Pane->Drain();
    QComboBox* address = f.Address();
    QCOMPARE(address->count(), 3);  // All, 003, 004
    QCOMPARE(address->itemText(1), QString("003"));
    emit address->activated(1);
    QCOMPARE(f.Log.AldFilter(), uint8_t(3));
    f.Pane->Drain();
    QStringList shown;
    for (int row = 0; row < f.Model().rowCount(); ++row) shown << f.Message(row);
    QVERIFY(shown.contains("three"));
    QVERIFY(shown.contains("none"));
    QVERIFY(!shown.contains("four"));
    QVERIFY(!shown.contains("all"));
    QCOMPARE(shown.back(), QString("Log change address filter"));
    emit address->activated(0);
    QCOMPARE(f.Log.AldFilter(), uint8_t(0xFF));
    QCOMPARE(f.Model().rowCount(), f.Model().StoredRows());
  }

  void suppressionChangedElsewhereIsFollowed() {
    OutputPaneFixture f;
    f.Create();
    f.Log.Write(kTraceInfo, "POLL", 2, "poll");
    f.Pane->Drain();
    int rows = f.Model().rowCount();
    f.Options.TraceAisgPolling = 0;
    f.Options.Save();
    f.Pane->Drain();
    QVERIFY(!f.Classes()->IsChecked(4));
    QCOMPARE(f.Model().rowCount(), rows - 1);
  }

  void runStopsAndStartsTheLog() {
    OutputPaneFixture f;
    f.Create();
    QAction* run = Command(*f.Pane, 1356);
    QVERIFY(run && run->isChecked());
    QCOMPARE(run->toolTip(), QString("Start/Stop log"));
    run->trigger();
    QVERIFY(!f.Log.IsLogging());
    QVERIFY(!run->isChecked());
    f.Log.Write(kTraceInfo, "MAIN", 0, "while stopped");
    run->trigger();
    f.Log.Write(kTraceInfo, "MAIN", 0, "after");
    f.Pane->Drain();
    QVERIFY(run->isChecked());
    int rows = f.Model().rowCount();
    QCOMPARE(f.Message(rows - 3), QString("Log stopped"));
    QCOMPARE(f.Message(rows - 2), QString("Log started"));
    QCOMPARE(f.Message(rows - 1), QString("after"));
    QVERIFY(f.TraceFile().find("while stopped") == std::string::npos);
  }

  void clearEmptiesListAndFileAndLinesGoOn() {
    OutputPaneFixture f;
    f.Create();
    f.Log.Write(kTraceInfo, "MAIN", 0, "before");
    f.Pane->Drain();
    f.Log.Write(kTraceInfo, "MAIN", 0, "not yet taken");
    uint32_t counter = f.Model().LineCounter();
    Command(*f.Pane, 1357)->trigger();
    QCOMPARE(f.Model().rowCount(), 0);
    QCOMPARE(f.TraceFile(), std::string());
    f.Log.Write(kTraceInfo, "MAIN", 0, "after");
    f.Pane->Drain();
    QCOMPARE(f.Model().rowCount(), 1);
    QCOMPARE(f.Message(0), QString("after"));
    QCOMPARE(f.Model().index(0, 0).data(TraceLineModel::kLineNumberRole).toUInt(), counter + 1);
  }

  void saveCopiesTheTraceFileAndReportsAFailure() {
    OutputPaneFixture f;
    f.Create();
    f.Log.Write(kTraceInfo, "MAIN", 0, "kept");
    f.SaveAnswer = QString::fromStdString(f.Dir.File("saved.txt"));
    Command(*f.Pane, 1351)->trigger();
    QVERIFY(ReadFile(f.Dir.File("saved.txt")).find("kept") != std::string::npos);
    QVERIFY(f.Failures.isEmpty());
    f.SaveAnswer = QString::fromStdString(f.Dir.File("no-such-folder/saved.txt"));
    Command(*f.Pane, 1351)->trigger();
    QCOMPARE(f.Failures.size(), 1);
    f.Log.Write(kTraceInfo, "MAIN", 0, "still logging");
    QVERIFY(f.TraceFile().find("still logging") != std::string::npos);
  }

  void openAsksFirstAndCancelChangesNothing() {
    OutputPaneFixture f;
    f.Create();
    f.Log.Write(kTraceInfo, "MAIN", 0, "this session");
    f.Pane->Drain();
    int rows = f.Model().rowCount();
    std::string before = f.TraceFile();
    f.OpenAnswer = QString::fromStdString(f.WriteSavedTrace("saved.txt", SavedLines(3)));
    f.ConfirmAnswer = false;
    Command(*f.Pane, 1350)->trigger();
    QCOMPARE(f.Questions.size(), 1);
    QVERIFY(!f.Pane->IsLoading());
    QCOMPARE(f.Model().rowCount(), rows);
    QCOMPARE(f.TraceFile(), before);
    QCOMPARE(f.LastMessage(), QString("this session"));
  }

  void openReplacesListAndEmptiesTraceFile() {
    OutputPaneFixture f;
    f.Create();
    f.Log.Write(kTraceInfo, "MAIN", 0, "this session");
    f.Pane->Drain();
    f.OpenAnswer =
        QString::fromStdString(f.WriteSavedTrace("saved.txt",
                                                 "INF 09:00:00:001 MAIN ... first saved\r\n\r\nnot a trace line\n"
                                                 "ERR 09:00:00:002 AISG 005 second saved"));
    QSignalSpy finished(f.Pane.get(), &OutputPane::LoadFinished);
    Command(*f.Pane, 1350)->trigger();
    QCOMPARE(f.Questions.size(), 1);
    QVERIFY(finished.wait());
    QCOMPARE(f.Model().rowCount(), 2);
    QCOMPARE(f.Message(0), QString("first saved"));
    QCOMPARE(f.Message(1), QString("second saved"));
    QCOMPARE(f.Cell(1, TraceLineModel::kAld), QString("005"));
    QCOMPARE(f.TraceFile(), std::string());
    // An empty trace file is not worth a question.
    Command(*f.Pane, 1350)->trigger();
    QCOMPARE(f.Questions.size(), 1);
    QVERIFY(finished.wait());
  }

  void openOfAFileThatCannotBeReadChangesNothing() {
    OutputPaneFixture f;
    f.Create();
    f.Log.Write(kTraceInfo, "MAIN", 0, "this session");
    f.Pane->Drain();
    int rows = f.Model().rowCount();
    f.OpenAnswer = QString::fromStdString(f.Dir.File("missing.txt"));
    Command(*f.Pane, 1350)->trigger();
    QVERIFY(f.Questions.isEmpty());
    QCOMPARE(f.Model().rowCount(), rows);
    QVERIFY(f.TraceFile().find("this session") != std::string::npos);
  }

  void openOfTheOwnTraceFileKeepsIt() {
    OutputPaneFixture f;
    f.Create();
    f.Log.Write(kTraceInfo, "MAIN", 0, "this session");
    f.OpenAnswer = QString::fromStdString(f.Log.FilePath());
    QSignalSpy finished(f.Pane.get(), &OutputPane::LoadFinished);
    Command(*f.Pane, 1350)->trigger();
    QVERIFY(finished.wait());
    QVERIFY(f.Questions.isEmpty());
    QVERIFY(f.TraceFile().find("this session") != std::string::npos);
    QCOMPARE(f.LastMessage(), QString("this session"));
  }

  // The load goes in pieces: a timer of the window keeps firing, and the
  // lines written meanwhile follow the loaded ones.
  void largeFileLoadsWhileTheEventLoopTurns() {
    OutputPaneFixture f;
    f.Create(false);
    constexpr int kLines = 200000;
    f.OpenAnswer = QString::fromStdString(f.WriteSavedTrace("big.txt", SavedLines(kLines)));
    QSignalSpy finished(f.Pane.get(), &OutputPane::LoadFinished);
    QSignalSpy inserted(&f.Model(), &QAbstractItemModel::rowsInserted);
    int ticksWhileLoading = 0;
    QTimer tick;
    tick.setInterval(0);
    connect(&tick, &QTimer::timeout, [&] {
      if (!f.Pane->IsLoading()) return;
      ++ticksWhileLoading;
      if (ticksWhileLoading == 1) f.Log.Write(kTraceWarning, "POLL", 2, "written during the load");
      f.Pane->Drain();
    });
    tick.start();
    Command(*f.Pane, 1350)->trigger();
    QVERIFY(f.Pane->IsLoading());
    QVERIFY(finished.wait(60000));
    QVERIFY(ticksWhileLoading > 1);
    QVERIFY(inserted.count() > 1);
    QCOMPARE(f.Model().rowCount(), kLines + 1);
    QCOMPARE(f.Message(kLines - 1), QString("saved line %1").arg(kLines - 1));
    QCOMPARE(f.LastMessage(), QString("written during the load"));
    QVERIFY(f.TraceFile().find("saved line") == std::string::npos);
    QCOMPARE(f.Address()->count(), 17);  // All and ALDs 1 to 16
  }

  void viewFollowsTheEndOnlyWhileAtTheEnd() {
    OutputPaneFixture f;
    f.Create();
    f.Pane->resize(600, 300);
    f.Pane->show();
    QVERIFY(QTest::qWaitForWindowExposed(f.Pane.get()));
    for (int i = 0; i < 200; ++i) f.Log.Write(kTraceInfo, "MAIN", 0, "line %d", i);
    f.Pane->Drain();
    QScrollBar* bar = f.Pane->View()->verticalScrollBar();
    QVERIFY(bar->maximum() > 0);
    QCOMPARE(bar->value(), bar->maximum());
    bar->setValue(10);
    for (int i = 0; i < 50; ++i) f.Log.Write(kTraceInfo, "MAIN", 0, "more %d", i);
    f.Pane->Drain();
    QCOMPARE(bar->value(), 10);
    bar->setValue(bar->maximum());
    f.Log.Write(kTraceInfo, "MAIN", 0, "newest");
    f.Pane->Drain();
    QCOMPARE(bar->value(), bar->maximum());
  }

  void linesOfAnotherThreadAllArrive() {
    OutputPaneFixture f;
    f.Create();
    f.Pane->Drain();
    int before = f.Model().rowCount();
    constexpr int kLines = 5000;
    std::atomic<bool> done{false};
    std::thread writer([&] {
      for (int i = 0; i < kLines; ++i) f.Log.Write(kTraceInfo, "POLL", 1, "poll %d", i);
      done = true;
    });
    while (!done) f.Pane->Drain();
    writer.join();
    f.Pane->Drain();
    QCOMPARE(f.Model().rowCount(), before + kLines);
    QCOMPARE(f.LastMessage(), QString("poll %1").arg(kLines - 1));
  }

  void filterBoxesKeepTheirModelsSound() {
    OutputPaneFixture f;
    f.Create();
    QAbstractItemModelTester levels(f.Levels()->model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    QAbstractItemModelTester classes(f.Classes()->model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    QAbstractItemModelTester address(f.Address()->model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    f.Log.Write(kTraceInfo, "HDLC", 12, "x");
    f.Log.Write(kTraceInfo, "HDLC", 2, "y");
    f.Pane->Drain();
    Flip(f.Levels(), 1354);
    Flip(f.Classes(), 1373);
    QCOMPARE(f.Classes()->Summary(), QString("MAIN, COMM, HDLC, POLL"));
    QCOMPARE(f.Address()->itemText(1), QString("002"));
    QCOMPARE(f.Address()->itemText(2), QString("012"));
  }

 private:
  static void Flip(TraceFilterCombo* combo, int commandId) { OutputPaneFixture::Flip(combo, commandId); }
};

QTEST_MAIN(OutputPaneTest)
#include "OutputPaneTest.moc"
