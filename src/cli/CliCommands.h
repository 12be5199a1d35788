#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "cli/CliCommand.h"
#include "cli/CliOutcome.h"
#include "layer7/ResultCode.h"

class AisgLayer7;
class AldTable;
class CliSession;
struct AlarmList;
struct AldRecord;
struct DeviceData;

// The commands of the tool on the ALDs that the session's scan found. Each
// runs the procedures of the device pages with their conversions and
// checks, and gives a CliOutcome; none lets a serial port failure escape.
class CliCommands {
 public:
  // progress, when not null, receives a progress bar during downloads and a
  // line that counts the seconds while a long procedure waits.
  CliCommands(CliSession& session, std::ostream* progress);

  CliOutcome Run(const CliCommand& command);

 private:
  // The ALD and subunit a command works on. Subunit is the record's
  // SelectedSubunit: 0 for a single RET, from 1 for multi RETs and TMAs.
  struct Target {
    uint8_t Slot = 0;
    uint8_t Subunit = 0;
    AldRecord* Ald = nullptr;
  };
  enum class SubunitUse { kNone, kOptional, kRequired };

  CliOutcome Dispatch(const CliCommand& c);
  bool Resolve(const CliCommand& c, const std::string& name, SubunitUse use, Target& t, CliOutcome& o);
  bool ResolveSubunit(const CliCommand& c, SubunitUse use, Target& t, CliOutcome& o);
  void Select(const Target& t);
  DeviceData& DataOf(const Target& t);
  bool Failed(ResultCode r, CliOutcome& o, const std::string& message = "");
  // A failed procedure in one line: its result's name, then what failed,
  // "the calibration of" followed by the ALD's label, and whether the ALD
  // stopped answering on the way.
  bool Failed(ResultCode r, CliOutcome& o, const Target& t, const std::string& what);
  static std::string Label(const Target& t);
  // The scan found nothing: no command has an ALD to work on.
  static CliOutcome& NoAld(CliOutcome& o);

  // Common commands (CliCommands.cpp).
  CliOutcome Scan();
  CliOutcome Info(const CliCommand& c);
  CliOutcome Alarms(const CliCommand& c);
  CliOutcome Procedure(const CliCommand& c);
  CliOutcome Report(const CliCommand& c);
  void RefreshForReport(uint8_t slot);
  // The device view's alarm read: the subunit's alarms, and the ALD's state
  // CONNECTED or ALARMED by the result.
  ResultCode GetAlarms(Target& t);
  static std::vector<std::string> ActiveAlarms(const AlarmList& alarms);
  static bool ReadFailed(ResultCode r, const AlarmList& alarms);

  // RET page (CliRetCommands.cpp).
  CliOutcome Tilt(const CliCommand& c);
  CliOutcome SetTilt(const CliCommand& c, Target& t);
  CliOutcome Calibrate(const CliCommand& c);
  CliOutcome CalibrateAll();
  ResultCode CalibrateOne(Target& t);
  ResultCode GetTilt(Target& t);
  void AddTilt(const Target& t, CliOutcome& o);
  CliOutcome Download(const CliCommand& c);
  bool ReadDownloadFile(const std::string& path, size_t limit, std::vector<uint8_t>& data, CliOutcome& o);
  CliOutcome DownloadFirmware(Target& t, const std::string& path, CliOutcome& o);
  CliOutcome DownloadConfig(Target& t, const std::string& path, CliOutcome& o);
  ResultCode Transfer(const AldRecord& ald, size_t size, const std::function<ResultCode()>& transfer);
  void Reconnect(Target& t, CliOutcome& o);

  // TMA page and field pages (CliFieldCommands.cpp).
  CliOutcome Tma(const CliCommand& c);
  CliOutcome TmaGain(const CliCommand& c, Target& t, CliOutcome& o);
  CliOutcome SetTmaGain(const std::string& text, Target& t, CliOutcome& o);
  static void StoreFunctions(DeviceData& d, const uint8_t (&functions)[4]);
  CliOutcome TmaMode(const CliCommand& c, Target& t, CliOutcome& o);
  CliOutcome TmaFunctions(Target& t, CliOutcome& o);
  CliOutcome Field(const CliCommand& c);
  CliOutcome FieldGet(Target& t, uint8_t field, CliOutcome& o);
  CliOutcome FieldGetAll(Target& t, CliOutcome& o);
  CliOutcome FieldSet(Target& t, uint8_t field, const std::vector<std::string>& texts, CliOutcome& o);
  static bool Accepts(uint8_t deviceType, uint8_t field);
  ResultCode ReadField(Target& t, uint8_t field);
  ResultCode GetFieldOnce(Target& t, uint8_t field);
  ResultCode SetFieldOnce(Target& t, uint8_t field);

  // What this session has read already, so that a report asks the devices
  // only for the rest: identities by slot, fields by slot, subunit and id.
  // A field that is set is read back, which keeps its entry true.
  std::set<uint8_t> infoRead_;
  std::set<std::tuple<uint8_t, uint8_t, uint8_t>> fieldsRead_;

  CliSession& session_;
  AisgLayer7& layer7_;
  AldTable& table_;
  std::ostream* progress_;
};
