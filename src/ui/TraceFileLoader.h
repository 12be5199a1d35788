#pragma once

#include <QObject>
#include <QTimer>
#include <cstdint>
#include <cstdio>
#include <string>

class TraceLineModel;

// Reads a saved trace file into the output pane's model a piece at a time,
// one piece per turn of the event loop, so a file of millions of lines
// never stops the window from repainting or answering the user.
class TraceFileLoader : public QObject {
  Q_OBJECT

 public:
  static constexpr size_t kPieceSize = size_t{256} * 1024;
  // A longer run without a line break (a file that is no trace) is cut.
  static constexpr size_t kMaxLine = 1 << 20;

  explicit TraceFileLoader(TraceLineModel& model, QObject* parent = nullptr);
  ~TraceFileLoader() override;

  // Takes over an open file and starts reading it on the next turn; reads
  // at most limit octets (what the file held when it was chosen).
  void Start(FILE* file, uint64_t limit);
  // Stops reading and closes the file; Finished is not emitted.
  void Cancel();
  bool IsLoading() const { return file_ != nullptr; }

 signals:
  // The whole file is in the model (or reading it failed part way).
  void Finished();

 private:
  void ReadPiece();
  void AddCompleteLines(bool atEnd);

  TraceLineModel& model_;
  QTimer turn_;
  FILE* file_ = nullptr;
  std::string text_;
  uint64_t left_ = 0;
};
