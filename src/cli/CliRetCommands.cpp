#include <fstream>

#include "ald/AldTable.h"
#include "ald/AldType.h"
#include "bus/AldAlarmRead.h"
#include "bus/FieldPages.h"
#include "bus/RetPage.h"
#include "cli/CliChecks.h"
#include "cli/CliCommands.h"
#include "cli/CliProgress.h"
#include "cli/CliSession.h"
#include "cli/CliWaitLine.h"
#include "core/Clock.h"
#include "core/Format.h"
#include "core/MessagePump.h"
#include "core/TraceLog.h"
#include "layer7/AisgLayer7.h"
#include "layer7/DataFieldId.h"
#include "layer7/FirmwareFile.h"
#include "layer7/Vocabulary.h"

namespace {

// After a firmware download the device restarts: about ten seconds before
// it is addressed and connected again.
constexpr int kRestartWaits = 20;
constexpr uint32_t kRestartWaitMs = 500;

bool IsRet(uint8_t type) {
  return type == kAldSingleRet || type == kAldMultiRet;
}

// The AISG return codes, which only a device's answer carries; the lower
// ones are the link's and the engine's own results.
bool IsDeviceAnswer(ResultCode r) {
  return r > kLayer7Notification && r != kUnknownResultCode;
}

bool WriteWhole(const std::string& path, const std::vector<uint8_t>& data) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
  return static_cast<bool>(out.flush());
}

}  // namespace

ResultCode CliCommands::GetTilt(Target& t) {
  DeviceData& d = DataOf(t);
  int16_t tilt = 0;
  ResultCode r = t.Subunit == 0 ? layer7_.RetGetTilt(t.Ald->Address, tilt)
                                : layer7_.MultiRetGetTilt(t.Ald->Address, t.Subunit, tilt);
  d.TiltValid = r == kSuccess;
  if (r == kSuccess) d.Tilt = tilt;
  return r;
}

void CliCommands::AddTilt(const Target& t, CliOutcome& o) {
  const DeviceData& d = DataOf(t);
  if (d.TiltValid) {
    o.Doc["tilt"] = d.Tilt / 10.0;
    o.Lines.push_back(Format("ALD %u%s tilt %s", t.Slot, t.Subunit ? Format(".%u", t.Subunit).c_str() : "",
                             RetPage::TiltText(d.Tilt).c_str()));
  } else {
    o.Doc["tilt"] = nullptr;
  }
}

CliOutcome CliCommands::Tilt(const CliCommand& c) {
  CliOutcome o;
  Target t;
  if (!Resolve(c, c.Args[0], SubunitUse::kRequired, t, o)) return o;
  if (!IsRet(t.Ald->DeviceType)) {
    o.Fail(CliExit::kUsage, "Usage", Format("ALD %u is not a RET", t.Slot));
    return o;
  }
  if (c.Set) return SetTilt(c, t);
  if (Failed(GetTilt(t), o, t, "the tilt read of")) return o;
  AddTilt(t, o);
  return o;
}

// The limits come from the antenna's own tilt fields, read now: a value
// stored earlier may belong to another antenna or be stale.
CliOutcome CliCommands::SetTilt(const CliCommand& c, Target& t) {
  CliOutcome o = CliOutcome{};
  o.Doc["ald"] = t.Slot;
  o.Doc["uniqueId"] = table_.UniqueIdText(t.Slot);
  if (c.Subunit) o.Doc["subunit"] = t.Subunit == 0 ? 1 : t.Subunit;
  o.Doc["requested"] = *c.Set;
  for (uint8_t field : {kFieldAntennaMaxTilt, kFieldAntennaMinTilt}) {
    if (Failed(GetFieldOnce(t, field), o, t, "reading the tilt limits of")) return o;
  }
  DeviceData& d = DataOf(t);
  o.Doc["minTilt"] = d.MinSupportedTilt / 10.0;
  o.Doc["maxTilt"] = d.MaxSupportedTilt / 10.0;
  RetPage::TiltEntry entry = RetPage::CheckTilt(*c.Set, d.MinSupportedTilt, d.MaxSupportedTilt);
  if (entry.Verdict == RetPage::TiltEntry::Status::kInvalid) {
    o.Fail(CliExit::kUsage, "Usage", entry.Message);
    return o;
  }
  if (entry.Verdict == RetPage::TiltEntry::Status::kOutOfRange) {
    GetTilt(t);
    AddTilt(t, o);
    o.Fail(CliExit::kFailure, Vocabulary::ResultName(kOutOfRange), entry.Message);
    return o;
  }
  // The alarms of the antenna to move: on a multi RET another antenna that
  // is not calibrated does not hold this one.
  ResultCode alarms = RetPage::ReadAlarmsBeforeMove(layer7_, *t.Ald, t.Subunit);
  if (RetPage::RefusesToMove(alarms, AlarmsOf(*t.Ald, t.Subunit))) {
    o.Fail(CliExit::kFailure, Vocabulary::ResultName(kNotCalibrated), RetPage::NotCalibratedText(t.Ald->Address));
    return o;
  }
  ResultCode r = kSuccess;
  {
    CliWaitLine wait(progress_, session_.Time(), *t.Ald, "moving " + Label(t) + " to " + *c.Set,
                     Vocabulary::ProcedureCodeOf(t.Subunit == 0 ? kProcSingleRetSetTilt : kProcMultiRetSetTilt));
    r = t.Subunit == 0 ? layer7_.RetSetTilt(t.Ald->Address, entry.Tenths)
                       : layer7_.MultiRetSetTilt(t.Ald->Address, t.Subunit, entry.Tenths);
  }
  bool lost = t.Ald->State == kStateDisconnected;
  if (!lost) GetAlarms(t);
  if (r == kSuccess || !lost) GetTilt(t);
  AddTilt(t, o);
  Failed(r, o, t, "the tilt change of");
  return o;
}

// The page marks the ALD calibrating while the device works, and reads the
// alarms and the tilt afterwards unless the link was lost.
ResultCode CliCommands::CalibrateOne(Target& t) {
  Select(t);
  t.Ald->State = kStateCalibrating;
  ResultCode r = kSuccess;
  {
    CliWaitLine wait(progress_, session_.Time(), *t.Ald, "calibrating " + Label(t),
                     Vocabulary::ProcedureCodeOf(t.Subunit == 0 ? kProcSingleRetCalibrate : kProcMultiRetCalibrate));
    r = t.Subunit == 0 ? layer7_.RetCalibrate(t.Ald->Address) : layer7_.MultiRetCalibrate(t.Ald->Address, t.Subunit);
  }
  bool lost = t.Ald->State == kStateDisconnected;
  if (!lost) GetAlarms(t);
  if (r == kSuccess || !lost) GetTilt(t);
  return r;
}

CliOutcome CliCommands::Calibrate(const CliCommand& c) {
  CliOutcome o;
  if (c.Args[0] == "all") return CalibrateAll();
  Target t;
  if (!Resolve(c, c.Args[0], SubunitUse::kRequired, t, o)) return o;
  if (!IsRet(t.Ald->DeviceType)) {
    o.Fail(CliExit::kUsage, "Usage", Format("ALD %u is not a RET", t.Slot));
    return o;
  }
  ResultCode r = CalibrateOne(t);
  o.Doc["result"] = Vocabulary::ResultName(r);
  AddTilt(t, o);
  Failed(r, o, t, "the calibration of");
  return o;
}

// Every RET and every antenna of a multi RET in slot order; one failure
// does not stop the others, and each result is reported.
CliOutcome CliCommands::CalibrateAll() {
  CliOutcome o;
  TraceLog& log = session_.Log();
  log.Write(kTraceInfo, TraceClass::kMain, 0, "Calibrate all RETs");
  nlohmann::json results = nlohmann::json::array();
  ResultCode firstFailure = kSuccess;
  std::string failures;
  if (session_.Slots().empty()) return NoAld(o);
  for (uint8_t slot : session_.Slots()) {
    AldRecord& ald = table_.Record(slot);
    if (!IsRet(ald.DeviceType)) continue;
    int antennas = ald.DeviceType == kAldMultiRet ? std::min<int>(ald.SubunitCount, AldRecord::kMaxSubunits) : 0;
    for (int s = antennas == 0 ? 0 : 1; s <= antennas; ++s) {
      Target t{slot, static_cast<uint8_t>(s), &ald};
      std::string sub = s == 0 ? "-" : Format("%d", s);
      log.Write(kTraceInfo, TraceClass::kMain, slot, "[Sub: %s] Calibrating", sub.c_str());
      ResultCode r = CalibrateOne(t);
      std::string name = Vocabulary::ResultName(r);
      log.Write(kTraceInfo, TraceClass::kMain, slot, "[Sub: %s] Calibration Done %s", sub.c_str(), name.c_str());
      const DeviceData& d = DataOf(t);
      results.push_back({{"ald", slot},
                         {"subunit", s == 0 ? 1 : s},
                         {"result", name},
                         {"tilt", d.TiltValid ? nlohmann::json(d.Tilt / 10.0) : nlohmann::json(nullptr)}});
      o.Lines.push_back(Label(t) + ": " + name);
      if (r == kSuccess) continue;
      if (firstFailure == kSuccess) firstFailure = r;
      failures += (failures.empty() ? "" : ", ") + Label(t) + " " + name;
    }
  }
  o.Doc["results"] = results;
  // Nothing calibrated is no success: the scan found no RET at all.
  if (results.empty()) return o.Fail(CliExit::kFailure, "No RET", "no RET answered the scan; nothing calibrated");
  Failed(firstFailure, o, "not every RET was calibrated: " + failures);
  return o;
}

// The file was checked before the bus was touched; it is read again now,
// and a file changed meanwhile is refused the same way.
bool CliCommands::ReadDownloadFile(const std::string& path, size_t limit, std::vector<uint8_t>& data, CliOutcome& o) {
  std::string problem = CliChecks::FileProblem(FirmwareFile::ReadWhole(path, limit, data), path, limit);
  if (problem.empty()) return true;
  o.Fail(CliExit::kUsage, "Usage", problem);
  return false;
}

CliOutcome CliCommands::Download(const CliCommand& c) {
  CliOutcome o;
  const std::string& kind = c.Args[0];
  Target t;
  if (!Resolve(c, c.Args[1], SubunitUse::kNone, t, o)) return o;
  o.Doc["kind"] = kind;
  o.Doc["file"] = c.Args[2];
  return kind == "firmware" ? DownloadFirmware(t, c.Args[2], o) : DownloadConfig(t, c.Args[2], o);
}

// The transfers call PumpMessages once per block sent, which is where the
// progress bar moves. The engine also calls it while it waits for a late
// answer, but then the ALD is marked busy: those calls are not blocks.
ResultCode CliCommands::Transfer(const AldRecord& ald, size_t size, const std::function<ResultCode()>& transfer) {
  if (progress_ == nullptr) return transfer();
  CliProgress bar(*progress_, size);
  SetPumpMessagesHook([&bar, &ald] {
    if (!ald.Busy) bar.Block(AisgLayer7::kDownloadBlock);
  });
  ResultCode r = kFailure;
  try {
    r = transfer();
  } catch (...) {
    SetPumpMessagesHook(nullptr);
    bar.Finish();
    throw;
  }
  SetPumpMessagesHook(nullptr);
  bar.Finish();
  return r;
}

// A "css" image is sent only with a good checksum: a bad one is corrected,
// and the corrected copy is kept beside it, so the file sent exists.
CliOutcome CliCommands::DownloadFirmware(Target& t, const std::string& path, CliOutcome& o) {
  std::vector<uint8_t> image;
  if (!ReadDownloadFile(path, FirmwareFile::kMaxFirmwareSize, image, o)) return o;
  TraceLog& log = session_.Log();
  std::string checksum = "none";
  if (FirmwareFile::CarriesChecksum(path)) {
    checksum = "good";
    if (FirmwareFile::Checksum(image) == FirmwareFile::kGoodChecksum) {
      log.Write(kTraceInfo, TraceClass::kAisg, t.Slot, "Good file checksum");
    } else {
      log.Write(kTraceError, TraceClass::kAisg, t.Slot, "Bad file checksum");
      o.Notes.push_back("Bad file checksum!");
      std::string copy = FirmwareFile::CorrectedCopyPath(path);
      if (!FirmwareFile::CorrectChecksum(image)) {
        return o.Fail(CliExit::kUsage, "Usage", "'" + path + "' holds no checksum word; nothing sent");
      }
      if (!WriteWhole(copy, image))
        return o.Fail(CliExit::kUsage, "Usage", "cannot write '" + copy + "'; nothing sent");
      checksum = "corrected";
      o.Doc["correctedCopy"] = copy;
      o.Notes.push_back("Corrected copy written to " + copy);
    }
  }
  o.Doc["checksum"] = checksum;
  if (image.empty()) return o.Fail(CliExit::kUsage, "Usage", "'" + path + "' is empty; nothing sent");
  o.Doc["octets"] = image.size();
  ResultCode r = Transfer(*t.Ald, image.size(),
                          [&] { return layer7_.TransferFirmware(t.Ald->Address, image.data(), image.size()); });
  o.Doc["result"] = Vocabulary::ResultName(r);
  if (Failed(r, o, t, "the firmware download to")) return o;
  o.Lines.push_back(Format("ALD %u: firmware of %zu octets downloaded", t.Slot, image.size()));
  Reconnect(t, o);
  return o;
}

// Waits for the restart, then addresses and connects the device again as
// the main window's re-addressing does.
void CliCommands::Reconnect(Target& t, CliOutcome& o) {
  for (int i = 0; i < kRestartWaits; ++i) session_.Time().SleepMs(kRestartWaitMs);
  Select(t);
  ResultCode r = session_.Station().Commands().ReaddressSelected();
  o.Doc["reconnected"] = r == kSuccess;
  o.Doc["state"] = Vocabulary::AldStateText(t.Ald->State);
  if (!Failed(r, o, Format("ALD %u did not come back after the download", t.Slot))) {
    o.Lines.push_back(Format("ALD %u reconnected", t.Slot));
  }
}

CliOutcome CliCommands::DownloadConfig(Target& t, const std::string& path, CliOutcome& o) {
  if (t.Ald->DeviceType != kAldSingleRet) {
    return o.Fail(CliExit::kUsage, "Usage", Format("ALD %u is not a single RET", t.Slot));
  }
  std::vector<uint8_t> data;
  if (!ReadDownloadFile(path, FirmwareFile::kMaxConfigSize, data, o)) return o;
  if (data.empty()) return o.Fail(CliExit::kUsage, "Usage", "'" + path + "' is empty; nothing sent");
  o.Doc["octets"] = data.size();
  ResultCode r = Transfer(*t.Ald, data.size(),
                          [&] { return layer7_.TransferConfigData(t.Ald->Address, data.data(), data.size()); });
  o.Doc["result"] = Vocabulary::ResultName(r);
  // The file is worth checking only when the device refused its data; a
  // link that failed says nothing about the file.
  if (Failed(r, o, t, "the configuration download to") && IsDeviceAnswer(r)) {
    o.Doc["message"] = o.Doc["message"].get<std::string>() + "; check the file and download again";
    o.Error += "; check the file and download again";
  }
  if (r != kSuccess) return o;
  o.Lines.push_back(Format("ALD %u: configuration of %zu octets downloaded", t.Slot, data.size()));
  return o;
}
