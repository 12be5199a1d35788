#include "capture/BusCapture.h"

#include <chrono>

#include "core/TraceLevel.h"
#include "core/TraceLog.h"

BusCapture::BusCapture(CaptureFile::Identity identity, TraceLog* log) : identity_(std::move(identity)), log_(log) {}

bool BusCapture::Start(const std::string& path, std::string* error, FailureReport onFailure) {
  std::lock_guard<std::mutex> guard(lock_);
  capturing_.store(false, std::memory_order_release);
  file_.Close();
  if (!file_.Open(path, identity_, error)) return false;
  path_ = path;
  onFailure_ = std::move(onFailure);
  capturing_.store(true, std::memory_order_release);
  return true;
}

void BusCapture::Stop() {
  std::lock_guard<std::mutex> guard(lock_);
  capturing_.store(false, std::memory_order_release);
  file_.Close();
}

std::string BusCapture::Path() const {
  std::lock_guard<std::mutex> guard(lock_);
  return path_;
}

void BusCapture::Record(CaptureDirection direction, uint64_t timeUs, const uint8_t* data, size_t length) {
  if (length == 0 || data == nullptr || !IsCapturing()) return;
  std::string message;
  FailureReport report;
  {
    std::lock_guard<std::mutex> guard(lock_);
    std::string why;
    if (!file_.IsOpen() || file_.Append(direction, timeUs, data, length, &why)) return;
    // The file is given up at its first failure: a half-written block
    // followed by further blocks would make the rest unreadable.
    capturing_.store(false, std::memory_order_release);
    file_.Close();
    message = "Capture file '" + path_ + "' could not be written (" + why + "); the capture stopped";
    report = std::move(onFailure_);
    onFailure_ = nullptr;
  }
  if (log_ != nullptr) log_->Write(kTraceError, TraceClass::kComm, 0, "%s", message.c_str());
  if (report) report(message);
}

uint64_t BusCapture::NowUs() {
  auto since = std::chrono::system_clock::now().time_since_epoch();
  return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::microseconds>(since).count());
}
