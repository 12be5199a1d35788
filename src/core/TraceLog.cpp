#include "core/TraceLog.h"

#include <sys/time.h>

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdlib>
#include <ctime>
#include <filesystem>

#include "core/Format.h"

namespace {

// The log whose lines the calling thread keeps quiet, if any.
thread_local const TraceLog* quietLog = nullptr;

std::string& InstanceFolder() {
  static std::string folder;
  return folder;
}

void SetMember(std::vector<std::string>& list, const std::string& item, bool present) {
  auto it = std::find(list.begin(), list.end(), item);
  if (present && it == list.end()) list.push_back(item);
  if (!present && it != list.end()) list.erase(it);
}

bool Contains(const std::vector<std::string>& list, const std::string& item) {
  return std::find(list.begin(), list.end(), item) != list.end();
}

// Drops every CR and writes each LF as CR LF, so a line break inside a
// message always reads the same in pane and file.
std::string NormaliseBreaks(const std::string& in) {
  std::string out;
  out.reserve(in.size());
  for (char c : in) {
    if (c == '\r') continue;
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

// Line-buffered, so every line is in the file as soon as it is written and a
// crash or an unplugged laptop loses nothing that was traced.
FILE* OpenTraceFile(const std::string& path, const char* mode) {
  if (path.empty()) return nullptr;
  FILE* file = std::fopen(path.c_str(), mode);
  if (file) std::setvbuf(file, nullptr, _IOLBF, 1 << 16);
  return file;
}

}  // namespace

TraceLog::TraceLog(std::string filePath) : filePath_(std::move(filePath)) {
  file_ = OpenTraceFile(filePath_, "w");
  logging_ = file_ != nullptr;
}

TraceLog::~TraceLog() {
  if (file_) std::fclose(file_);
}

void TraceLog::SetInstanceFolder(const std::string& folder) {
  InstanceFolder() = folder;
}

TraceLog& TraceLog::Instance() {
  static TraceLog* log = [] {
    std::string folder = InstanceFolder();
    if (folder.empty()) {
      const char* home = std::getenv("HOME");
      folder = home ? home : ".";
    }
    return new TraceLog(folder + "/trace.txt");
  }();
  return *log;
}

const char* TraceLog::LevelText(int level) {
  switch (level) {
    case kTraceError: return "ERR";
    case kTraceWarning: return "WRN";
    case kTraceInfo: return "INF";
    default: return "";
  }
}

std::string TraceLog::AldText(uint8_t aldNumber) {
  if (aldNumber == kTraceNoAld) return "...";
  if (aldNumber == kTraceAllAlds) return "ALL";
  return Format("%.3d", aldNumber);
}

std::string TraceLog::HexDump(const uint8_t* bytes, size_t count) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(count * 3);
  for (size_t i = 0; i < count; ++i) {
    out += kDigits[bytes[i] >> 4];
    out += kDigits[bytes[i] & 0x0F];
    out += ' ';
  }
  return out;
}

std::string TraceLog::TimeText() {
  timeval tv{};
  gettimeofday(&tv, nullptr);
  std::tm utc{};
  gmtime_r(&tv.tv_sec, &utc);
  return Format("%2.2u:%2.2u:%2.2u:%3.3u", static_cast<unsigned>(utc.tm_hour), static_cast<unsigned>(utc.tm_min),
                static_cast<unsigned>(utc.tm_sec), static_cast<unsigned>(tv.tv_usec / 1000));
}

std::string TraceLog::FormatMessage(const char* format, va_list args) {
  std::string message = VFormat(format, args);
  if (message.size() >= kMaxMessage) {
    message.resize(kMaxMessage);
    message += "...<cut>";
  }
  return NormaliseBreaks(message);
}

TraceLog::QuietLines::QuietLines(const TraceLog& log) : previous_(quietLog) {
  quietLog = &log;
}

TraceLog::QuietLines::~QuietLines() {
  quietLog = previous_;
}

bool TraceLog::QuietOnThisThread(int level) const {
  return quietLog == this && level != kTraceError;
}

bool TraceLog::Passes(int level, const char* classTag, uint8_t aldNumber) const {
  if (!logging_ || QuietOnThisThread(level)) return false;
  uint8_t filter = aldFilter_;
  if (aldNumber != 0 && filter != 0xFF && aldNumber != filter) return false;
  std::lock_guard<std::mutex> guard(filterLock_);
  return !Contains(suppressedClasses_, classTag) && !Contains(suppressedLevels_, LevelText(level));
}

void TraceLog::Write(int level, const char* classTag, uint8_t aldNumber, const char* format, ...) {
  va_list args;
  va_start(args, format);
  VWrite(level, classTag, aldNumber, format, args);
  va_end(args);
}

void TraceLog::VWrite(int level, const char* classTag, uint8_t aldNumber, const char* format, va_list args) {
  if (!Passes(level, classTag, aldNumber)) return;
  std::string line = std::string(LevelText(level)) + " " + TimeText() + " " + classTag + " " + AldText(aldNumber) +
                     " " + FormatMessage(format, args);
  std::lock_guard<std::mutex> guard(lock_);
  pending_ += line;
  pending_ += "\r\n";
  if (file_) {
    bool written = std::fputs(line.c_str(), file_) >= 0 && std::fputc('\n', file_) != EOF;
    int noError = 0;
    if (!written) fileWriteError_.compare_exchange_strong(noError, errno != 0 ? errno : EIO);
  }
}

void TraceLog::SetClassSuppressed(const std::string& classTag, bool suppressed) {
  std::lock_guard<std::mutex> guard(filterLock_);
  SetMember(suppressedClasses_, classTag, suppressed);
}

bool TraceLog::IsClassSuppressed(const std::string& classTag) const {
  std::lock_guard<std::mutex> guard(filterLock_);
  return Contains(suppressedClasses_, classTag);
}

void TraceLog::SetLevelSuppressed(const std::string& levelText, bool suppressed) {
  std::lock_guard<std::mutex> guard(filterLock_);
  SetMember(suppressedLevels_, levelText, suppressed);
}

bool TraceLog::IsLevelSuppressed(const std::string& levelText) const {
  std::lock_guard<std::mutex> guard(filterLock_);
  return Contains(suppressedLevels_, levelText);
}

void TraceLog::ReopenFile(const char* mode, bool wasLogging) {
  file_ = OpenTraceFile(filePath_, mode);
  logging_ = file_ != nullptr && wasLogging;
}

bool TraceLog::SaveAs(const std::string& path) {
  bool wasLogging = logging_.exchange(false);
  std::lock_guard<std::mutex> guard(lock_);
  if (file_) std::fclose(file_);
  std::error_code ec;
  bool copied = std::filesystem::copy_file(filePath_, path, std::filesystem::copy_options::overwrite_existing, ec);
  ReopenFile("a", wasLogging);
  return copied && !ec;
}

void TraceLog::ClearFile() {
  bool wasLogging = logging_.exchange(false);
  std::lock_guard<std::mutex> guard(lock_);
  if (file_) std::fclose(file_);
  ReopenFile("w", wasLogging);
}

void TraceLog::TakePending(std::string& into) {
  into.clear();
  std::lock_guard<std::mutex> guard(lock_);
  into.swap(pending_);
}

std::string TraceLog::TakePending() {
  std::lock_guard<std::mutex> guard(lock_);
  std::string out;
  out.swap(pending_);
  return out;
}
