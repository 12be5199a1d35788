#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "layer7/L7Message.h"
#include "layer7/ProgressReport.h"
#include "layer7/ResultCode.h"
#include "layer7/VendorCommand.h"

class AisgHdlc;
class AldTable;
class Clock;
class TraceLog;
struct AlarmList;
struct AldRecord;
struct DeviceData;

// Layer 7 of the primary: the procedure engine (one request, one response,
// with the polling wait for late answers) and every procedure built on it.
class AisgLayer7 {
 public:
  static constexpr uint32_t kPollIntervalMs = 1000;

  AisgLayer7(AisgHdlc& link, AldTable& table, TraceLog& log, Clock& clock);
  static AisgLayer7& Instance();

  // The engine. A procedure holds its ALD from request to response: the
  // alarm poll, which runs on the worker thread, skips that ALD meanwhile
  // (Busy) instead of taking the answer the procedure is owed.
  ResultCode RunProcedure(uint8_t address, const L7Message& request, L7Message& response);
  static ResultCode ResponseResult(const L7Message& response);

  // Common procedures.
  ResultCode SoftwareReset(uint8_t address);
  ResultCode GetAlarmStatus(uint8_t address, AlarmList& alarms);
  ResultCode GetInformation(uint8_t address, AldRecord& record);
  ResultCode ClearAlarms(uint8_t address);
  ResultCode AlarmSubscribe(uint8_t address);
  ResultCode RunSelfTest(uint8_t address);
  ResultCode VendorSpecific(uint8_t address, const VendorCommand& command);
  void StoreIdentity(uint8_t slot, const VendorCommand& command);

  // RET procedures.
  ResultCode RetCalibrate(uint8_t address);
  ResultCode RetSetTilt(uint8_t address, int16_t tilt);
  ResultCode RetGetTilt(uint8_t address, int16_t& tilt);
  ResultCode MultiRetCalibrate(uint8_t address, uint8_t antenna);
  ResultCode MultiRetSetTilt(uint8_t address, uint8_t antenna, int16_t tilt);
  ResultCode MultiRetGetTilt(uint8_t address, uint8_t antenna, int16_t& tilt);
  ResultCode MultiRetGetAlarms(uint8_t address, uint8_t antenna, AlarmList& alarms);
  ResultCode MultiRetGetNumberAntennas(uint8_t address, uint8_t& count);
  // Busy, without a frame on the line, while a procedure on another thread
  // holds the ALD.
  ResultCode PollAlarmIndication(uint8_t address, AlarmList& alarms);

  // TMA procedures.
  ResultCode TmaSetMode(uint8_t address, uint8_t subunit, uint8_t mode);
  ResultCode TmaGetMode(uint8_t address, uint8_t subunit, uint8_t& mode);
  ResultCode TmaGetSupportedFunctions(uint8_t address, uint8_t subunit, uint8_t functions[4]);
  ResultCode TmaSetGain(uint8_t address, uint8_t subunit, uint8_t gain);
  ResultCode TmaGetGain(uint8_t address, uint8_t subunit, uint8_t& gain);
  ResultCode TmaGetAlarms(uint8_t address, uint8_t subunit, AlarmList& alarms);
  ResultCode TmaGetNumberSubunits(uint8_t address, uint8_t& count);

  // Long procedures report their progress here; nullptr for none. The
  // listener must outlive its registration.
  void SetProgressListener(ProgressListener* listener) { progress_ = listener; }
  // Takes the listener off, unless another has taken its place.
  void RemoveProgressListener(ProgressListener* listener) { progress_.compare_exchange_strong(listener, nullptr); }
  void ReportProgress(const ProgressReport& report);

  AisgHdlc& Link() { return link_; }
  AldTable& Alds() { return table_; }
  TraceLog& Log() { return log_; }
  Clock& Time() { return clock_; }

  // Device data fields.
  // The set operations send the field's value from the selected ALD's
  // selected subunit; the get operations store into the data passed.
  ResultCode RetSetDeviceData(uint8_t address, uint8_t field);
  ResultCode RetGetDeviceData(uint8_t address, uint8_t field, DeviceData& data);
  ResultCode MultiRetSetDeviceData(uint8_t address, uint8_t antenna, uint8_t field);
  ResultCode MultiRetGetDeviceData(uint8_t address, uint8_t antenna, uint8_t field, DeviceData& data);
  ResultCode TmaSetDeviceData(uint8_t address, uint8_t subunit, uint8_t field);
  ResultCode TmaGetDeviceData(uint8_t address, uint8_t subunit, uint8_t field, DeviceData& data);

  // Downloads.
  // The most octets of a file that one block carries next to the header.
  static constexpr size_t kDownloadBlock = 71;
  static constexpr uint32_t kDownloadStartPauseMs = 200;
  ResultCode DownloadStart(uint8_t address);
  ResultCode DownloadApplication(uint8_t address, const uint8_t* block, uint8_t length);
  ResultCode DownloadEnd(uint8_t address);
  ResultCode RetSendConfigData(uint8_t address, const uint8_t* block, uint8_t length);
  ResultCode TransferFirmware(uint8_t address, const uint8_t* image, size_t size);
  ResultCode TransferConfigData(uint8_t address, const uint8_t* data, size_t size);

 private:
  ResultCode SetDeviceData(uint8_t address, uint8_t procedure, std::initializer_list<uint8_t> subunit, uint8_t field);
  ResultCode GetDeviceData(uint8_t address, uint8_t procedure, std::initializer_list<uint8_t> subunit, uint8_t field,
                           DeviceData& data);
  ResultCode StoreField(uint8_t address, uint8_t procedure, const L7Message& response, uint8_t field, DeviceData& data);
  ResultCode SendBlock(uint8_t address, uint8_t procedure, const uint8_t* block, uint8_t length);

 protected:
  // The common shape around one transaction: run it and, when it failed,
  // trace and return what the failure stands for. On success the caller
  // reads its values and finishes with Succeeded.
  struct Outcome {
    ResultCode Result;
    bool Ok;
  };
  Outcome Transact(uint8_t address, const L7Message& request, L7Message& response);
  ResultCode Succeeded(uint8_t address, uint8_t code);
  // Transact + Succeeded for procedures that read nothing back.
  ResultCode Simple(uint8_t address, const L7Message& request);
  ResultCode Failed(uint8_t address, uint8_t code, ResultCode result);
  // Position of the return code in a response's data.
  static size_t ReturnCodeIndex(uint8_t code);

 private:
  // Waits on the clock in short slices, letting the windows repaint in
  // between, so that a second's wait never freezes them.
  void SleepPumping(uint32_t ms);
  ResultCode AwaitResponse(uint8_t address, const L7Message& request, L7Message& response);
  void CollectOwedAnswer(uint8_t address);
  bool TakeOwedAnswer(uint8_t address, const L7Message& message);
  ResultCode DecodeAlarmOctets(uint8_t address, const L7Message& response, size_t first, AlarmList& alarms);
  ResultCode AlarmsOfSubunit(uint8_t address, uint8_t procedure, uint8_t subunit, AlarmList& alarms);
  ResultCode CountQuery(uint8_t address, uint8_t procedure, std::initializer_list<uint8_t> data, uint8_t& count);
  ResultCode SubunitOctets(uint8_t address, uint8_t procedure, uint8_t subunit, uint8_t* out, size_t n);

  const char* classTag_;
  AisgHdlc& link_;
  AldTable& table_;
  TraceLog& log_;
  Clock& clock_;
  // One per address. Recursive: a procedure's wait pumps the window's
  // events, and a command started from there may run another procedure on
  // the same ALD on the same thread.
  std::array<std::recursive_mutex, 256> procedureLocks_;
  std::atomic<ProgressListener*> progress_{nullptr};
};
