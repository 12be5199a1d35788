#pragma once

#include <QWidget>

class Settings;
class TraceLog;

// The output pane: the trace lines of this session as they are written,
// with their filters and the Open, Save, Run and Clear commands.
class OutputPane : public QWidget {
  Q_OBJECT

 public:
  OutputPane(TraceLog& log, Settings& settings, QWidget* parent = nullptr);

  // Takes the lines written since the last call and shows them in one
  // batch; the main window's 50 ms timer calls it.
  void Drain();
};
