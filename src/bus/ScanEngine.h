#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "bus/ScanCube.h"
#include "layer7/ResultCode.h"
#include "persist/ScanOptions.h"
#include "persist/ScanOptionsSink.h"

class AisgHdlc;
class AisgLayer7;
class AldTable;
class Clock;
class DeviceWindows;
class TraceLog;
class UserMessages;
struct AldRecord;

// The bus scan: finds every ALD without an address by XID device scans over
// narrowing unique-identifier patterns, enters each one that answers alone
// into the ALD table and, as configured, addresses and connects it. Before
// it searches, it tries to bring back the ALDs that were lost.
//
// Run executes on the worker thread. Stop, Reset, IsRunning, the reported
// count and the option setters may be called from any thread. Reset waits
// until a running scan has left the table alone. A settings save hands the
// options over through ScanOptionsSink.
class ScanEngine : public ScanOptionsSink {
 public:
  using OptionsProvider = std::function<ScanOptions()>;
  using DebugOutput = std::function<void(const std::string&)>;

  static constexpr uint8_t kIdLength = 19;

  ScanEngine(AisgLayer7& layer7, DeviceWindows& windows, UserMessages& messages, OptionsProvider options);

  void Reset();
  // Ends a running scan at its next step and waits until it has ended.
  void Halt();
  // One complete scan: Arm, then RunArmed.
  void Run();
  // Marks the scan as running; a Stop from now on ends the scan that
  // RunArmed then carries out.
  void Arm() { running_ = 1; }
  void RunArmed();
  void Stop();
  bool IsRunning() const { return running_ != 0; }

  // ALDs entered by scans that came to their end and not yet taken.
  uint8_t ReportedCount() const { return reported_; }
  // Returns the reported count and zeroes it in one step.
  uint8_t TakeReportedCount() { return reported_.exchange(0); }
  void ClearReportedCount() { reported_ = 0; }
  uint8_t FoundCount() const { return found_; }

  void SetMaxIterations(int32_t value) override { maxIterations_ = value; }
  void SetAutoConnect(int32_t value) override { autoConnect_ = value; }
  void SetRepeatMode(int32_t value) override { repeatMode_ = value; }
  int32_t AutoConnect() const { return autoConnect_; }
  int32_t MaxIterations() const { return maxIterations_; }
  int32_t RepeatMode() const { return repeatMode_; }
  int32_t PreviouslyFound() const { return previouslyFound_; }

  // Where the two diagnostic texts of the search go (standard error when
  // not set).
  void SetDebugOutput(DebugOutput output) { debug_ = std::move(output); }

 private:
  // The state of one search, handed from step to step.
  struct Search {
    bool AllFound = false;    // the whole bus went quiet after a vendor was exhausted
    bool VendorDone = false;  // the current vendor code has no device left
    // Vendor codes searched to their end: only devices sharing an
    // identifier still answer there.
    std::vector<ScanCube> Resolved;
  };
  // Who answered one device scan.
  enum class Heard { kNobody, kAlone, kSeveral };

  // Reconnecting the lost ALDs.
  void ReconnectPass();
  bool Reconnect(uint8_t slot);

  // Whole-bus and matching scans.
  bool SearchBus();
  bool SearchGroups(Search& s);
  bool WholeBusDone(Search& s);
  bool Unresolved(Search& s);
  ResultCode Probe(uint8_t pattern, uint8_t mask);
  ResultCode ScanOne();
  ResultCode ScanMatching(const uint8_t* pattern, const uint8_t* mask, uint8_t length);
  ResultCode ScanWith(const uint8_t* pattern, const uint8_t* mask, uint8_t length);
  ResultCode Enter(const AldRecord& scratch);
  ResultCode Rediscovered(unsigned slot);
  ResultCode AddressAndConnect(unsigned slot);
  ResultCode Assign(uint8_t slot);
  ResultCode ScanAllUntilTimeout();
  void TableFull(const AldRecord& scratch);
  void ReportIdentical();
  bool Halted() const { return running_ == 0 || tableFull_; }
  void Finish();
  void HandOver();

  // The search over vendor codes and identifier bits.
  int RangeScanVID_1(char from, char to, Search& s);
  int ScanFirstCharacter(char c, Search& s);
  int RangeScanVID_2(char c1, char from, char to, Search& s);
  int BisectVendor(Search& s);
  ResultCode RangeScanVendor(const uint8_t* pattern, Search& s);
  ResultCode VendorExhausted(const uint8_t* pattern, Search& s);
  bool Resolve(const ScanCube& cube, bool severalKnown, Search& s);
  Heard Listen(const ScanCube& cube, bool& taken);
  bool HoldsIdentical(const ScanCube& cube) const;
  void Identical(const ScanCube& cube);
  void SetWorking(std::initializer_list<uint8_t> pattern, std::initializer_list<uint8_t> mask);
  std::string PatternText(const uint8_t* pattern) const;
  void Debug(const std::string& text);

  AisgLayer7& layer7_;
  AisgHdlc& link_;
  AldTable& table_;
  TraceLog& log_;
  Clock& clock_;
  DeviceWindows& windows_;
  UserMessages& messages_;
  OptionsProvider options_;
  DebugOutput debug_;

  std::atomic<int32_t> running_{0};
  std::atomic<uint8_t> found_{0};
  std::atomic<uint8_t> reported_{0};
  std::atomic<int32_t> autoConnect_{1};
  std::atomic<int32_t> maxIterations_{9999};
  std::atomic<int32_t> repeatMode_{1};
  std::atomic<int32_t> previouslyFound_{0};

  // Held by RunArmed for the whole scan, so that Reset can wait for its end.
  std::mutex runMutex_;

  // Worker-thread state of the running search.
  bool tableFull_ = false;
  ResultCode lastScan_ = kTimeout;   // the device scan of the last ScanWith, before any addressing
  std::vector<ScanCube> identical_;  // identifiers that several devices answer with
  uint8_t pattern_[kIdLength + 1] = {};
  uint8_t mask_[kIdLength + 1] = {};
  uint8_t idLength_ = kIdLength;
  uint8_t allPattern_[kIdLength] = {};
  uint8_t allMask_[kIdLength] = {};
};
