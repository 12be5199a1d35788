#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "capture/BusCapture.h"
#include "serial/PortDiagnosis.h"

class AldTable;
class TraceLog;

// The one serial line to the AISG bus: opens the RS-485 adapter's port with
// fixed line settings, moves raw octets with the bus's time-outs and traces
// every transfer. It knows nothing of frames.
//
// Whether the port is open, the last configuration failure and the detected
// adapter port are shared by every instance of the process, because only one
// instance (the link layer's) ever opens the port while others (the options
// dialog) ask about it.
class AisgSerial {
 public:
  static constexpr const char* kDefaultPortName = "/dev/ttyS0";
  static constexpr uint32_t kDefaultBaudRate = 9600;

  // Read and write time-outs in milliseconds, as the bus timing needs them.
  static constexpr uint32_t kReadIntervalMs = 50;
  static constexpr uint32_t kReadTotalPerOctetMs = 1;
  static constexpr uint32_t kReadTotalConstantMs = 250;
  static constexpr uint32_t kWriteTotalPerOctetMs = 1;
  static constexpr uint32_t kWriteTotalConstantMs = 250;

  // Texts left in LastError by Open and SetBaudRate.
  static constexpr const char* kErrInvalidHandle = "Invalid Handle";
  static constexpr const char* kErrCommState = "Comm State error";
  static constexpr const char* kErrSetComm = "Set Comm Error";
  // Queue sizes and time-outs are not driver settings on Linux, so these two
  // cannot happen here; they keep their texts for the platforms where they can.
  static constexpr const char* kErrSetupComm = "Setup Comm Error";
  static constexpr const char* kErrTimeouts = "SetComm Timeout Error";
  static constexpr const char* kErrPortNotOpen = "port not open";
  static constexpr const char* kErrSetBaud = "SetBaud Error";

  AisgSerial(TraceLog& log, const AldTable& table);
  virtual ~AisgSerial();
  AisgSerial(const AisgSerial&) = delete;
  AisgSerial& operator=(const AisgSerial&) = delete;

  // A path (any name with a slash), or a bare name taken under /dev/ when
  // such a device exists and in the working folder otherwise. Raises
  // ECommError 6 while the port is open.
  void SetPortName(const std::string& name);
  const std::string& PortName() const { return portName_; }

  // Never raises; the outcome is IsOpen() and LastError(), and after a
  // failure OpenFailure() says why in the user's terms.
  void Open();
  const PortDiagnosis& OpenFailure() const { return openFailure_; }
  // Raises ECommError 11 when the platform fails to close the port.
  void Close();
  // Never raises; takes effect at once when open, else at the next Open.
  void SetBaudRate(uint32_t baud);
  uint32_t BaudRate() const { return baudRate_; }

  // Return the number of octets moved; raise ECommError 9 and 10. Virtual so
  // that a test of the layers above can answer in-process.
  virtual uint32_t Write(const uint8_t* data, uint32_t length);
  virtual uint32_t Read(uint8_t* buffer, uint32_t capacity);

  // The capture of every octet this port moves; the user starts and stops
  // it at any time, from any thread.
  BusCapture& Capture() { return capture_; }

  static bool IsOpen() { return portOpen_.load() != 0; }
  // Whether the line can run at this rate.
  static bool SupportsBaud(uint32_t baud);
  static std::string LastError();
  static void ClearLastError();
  static std::string DetectedPort();
  static void SetDetectedPort(const std::string& port);

 protected:
  using SteadyTime = std::chrono::steady_clock::time_point;
  // The length of the complete answer that the octets read so far begin
  // with, or 0 while it is not complete.
  using AnswerEnd = size_t (*)(const uint8_t* octets, size_t length);

  static void SetLastError(const std::string& text);
  TraceLog& Log() const { return log_; }

  // Read, except that the real port's read also ends as soon as end finds a
  // complete answer; octets that came with it and lie past it wait for the
  // next read, as the driver's queue would keep them. The caller holds the
  // only way to the port while it reads, as for Read.
  uint32_t ReadAnswer(uint8_t* buffer, uint32_t capacity, AnswerEnd end);
  // ReadAnswer (or Read, when end is null) that goes on looking for the
  // answer the last read did not bring: its total time counts from when
  // that read began, so an answer sought past what was not it is given up
  // when the first read would have given it up.
  uint32_t ReadOn(uint8_t* buffer, uint32_t capacity, AnswerEnd end);
  // When the last read ended because its answer was complete; empty when it
  // ended on silence, time-out or a full buffer.
  std::optional<SteadyTime> AnswerCompletedAt() const { return answerCompletedAt_; }
  // Throws away the octets left over from the last answer and those that
  // arrive until the given time (at least those already queued), tracing and
  // capturing them as received; returns how many there were. Never raises.
  uint32_t DiscardInput(SteadyTime until);

 private:
  std::string DevicePath() const;
  bool OpenDevice();
  bool FailOpen(const char* lastError, int error);
  bool ConfigureLine();
  void CloseDevice();
  void FinishClose();
  uint32_t WriteAll(const uint8_t* data, uint32_t length);
  // *firstOctetUs: the wall-clock time the first octet arrived.
  uint32_t ReadTimed(uint8_t* buffer, uint32_t capacity, uint64_t* firstOctetUs);
  uint32_t TakeLeftOver(uint8_t* buffer, uint32_t capacity);
  bool AnswerComplete(uint8_t* buffer, uint32_t* got);
  uint8_t AldNumberOf(const uint8_t* bytes, uint32_t length) const;
  [[noreturn]] void Fail(int32_t code, int systemError);

  static std::atomic<int32_t> portOpen_;

  TraceLog& log_;
  const AldTable& table_;
  std::string portName_ = kDefaultPortName;
  uint32_t baudRate_ = kDefaultBaudRate;
  PortDiagnosis openFailure_;
  int fd_ = -1;
  // Linux releases a descriptor even when close() reports an error, so a
  // failed close leaves nothing to release; the next Close only finishes.
  bool closeFailed_ = false;
  BusCapture capture_;
  // Set only around a ReadAnswer; the rest belongs to whoever reads.
  AnswerEnd answerEnd_ = nullptr;
  bool readingOn_ = false;
  SteadyTime readTotal_{};  // when the last read started gives up
  std::vector<uint8_t> leftOver_;
  std::optional<SteadyTime> answerCompletedAt_;
};
