#pragma once

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "core/TraceLevel.h"

// The one trace of every layer: each line goes to the trace file at once and
// to a pending text that the output pane collects on its own timer.
class TraceLog {
 public:
  static constexpr size_t kMaxMessage = 50000;

  // While one lives, the information and warning lines that the calling
  // thread writes to this log are dropped; error lines still go out, and so
  // does every line of every other thread. The quiet alarm poll keeps its
  // port lines out of the trace with it; leaving the scope by any path,
  // an exception included, brings the lines back.
  class QuietLines {
   public:
    explicit QuietLines(const TraceLog& log);
    ~QuietLines();
    QuietLines(const QuietLines&) = delete;
    QuietLines& operator=(const QuietLines&) = delete;

   private:
    const TraceLog* previous_;
  };

  // Creates (or truncates) the trace file at filePath; an empty path or a
  // file that cannot be created leaves logging off.
  explicit TraceLog(std::string filePath);
  ~TraceLog();
  TraceLog(const TraceLog&) = delete;
  TraceLog& operator=(const TraceLog&) = delete;

  // The application's log, with its file in the folder given to
  // SetInstanceFolder before the first call (the home folder otherwise).
  static TraceLog& Instance();
  static void SetInstanceFolder(const std::string& folder);

  void Write(int level, const char* classTag, uint8_t aldNumber, const char* format, ...)
      __attribute__((format(printf, 5, 6)));
  void VWrite(int level, const char* classTag, uint8_t aldNumber, const char* format, va_list args);

  static std::string HexDump(const uint8_t* bytes, size_t count);
  static const char* LevelText(int level);
  static std::string AldText(uint8_t aldNumber);

  void SetLogging(bool on) { logging_ = on; }
  bool IsLogging() const { return logging_; }
  void SetClassSuppressed(const std::string& classTag, bool suppressed);
  bool IsClassSuppressed(const std::string& classTag) const;
  void SetLevelSuppressed(const std::string& levelText, bool suppressed);
  bool IsLevelSuppressed(const std::string& levelText) const;
  void SetAldFilter(uint8_t aldNumber) { aldFilter_ = aldNumber; }
  uint8_t AldFilter() const { return aldFilter_; }

  // Copies the trace file to path and keeps appending to the trace file.
  // Returns false when the copy could not be made.
  bool SaveAs(const std::string& path);
  // Empties the trace file; logging continues into it.
  void ClearFile();
  // Returns the text written since the last call, lines ending in CR LF.
  std::string TakePending();
  // The same into a buffer the caller keeps: the two strings trade places,
  // so neither side grows its buffer anew on every take.
  void TakePending(std::string& into);

  const std::string& FilePath() const { return filePath_; }
  // The errno of the first line that could not be written to the trace
  // file (a full disk, a file gone), 0 while every line got there.
  int FileWriteError() const { return fileWriteError_.load(); }

 private:
  bool Passes(int level, const char* classTag, uint8_t aldNumber) const;
  bool QuietOnThisThread(int level) const;
  void ReopenFile(const char* mode, bool wasLogging);
  static std::string FormatMessage(const char* format, va_list args);
  static std::string TimeText();

  const std::string filePath_;
  std::atomic<bool> logging_{false};
  std::atomic<uint8_t> aldFilter_{0xFF};
  std::atomic<int> fileWriteError_{0};

  mutable std::mutex filterLock_;  // guards the suppression lists
  std::vector<std::string> suppressedClasses_;
  std::vector<std::string> suppressedLevels_;

  std::mutex lock_;  // guards pending_ and file_
  std::string pending_;
  FILE* file_ = nullptr;
};
