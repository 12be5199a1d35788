#include "cli/CliCommands.h"

#include <algorithm>
#include <fstream>

#include "ald/AldTable.h"
#include "ald/AldType.h"
#include "bus/AldAlarmRead.h"
#include "bus/FieldPages.h"
#include "bus/RetPage.h"
#include "bus/TmaPage.h"
#include "cli/CliChecks.h"
#include "cli/CliSession.h"
#include "cli/CliTrace2Pcap.h"
#include "cli/CliWaitLine.h"
#include "core/Format.h"
#include "core/TraceLog.h"
#include "layer7/AisgLayer7.h"
#include "layer7/Vocabulary.h"
#include "persist/AldListFile.h"
#include "persist/AldListFormat.h"
#include "serial/ECommError.h"

namespace {

constexpr char kNoAld[] = "No ALD";
constexpr char kNoAldAnswered[] = "no ALD answered the scan";

}  // namespace

CliCommands::CliCommands(CliSession& session, std::ostream* progress)
    : session_(session), layer7_(session.Layer7()), table_(session.Table()), progress_(progress) {}

// The boundary of every command: a serial port failure ends it with one
// error line, whether the procedure met it or a bus command reported it.
CliOutcome CliCommands::Run(const CliCommand& command) {
  CliOutcome o;
  std::string error;
  try {
    if (CliChecks::Syntax(command, error)) {
      o = Dispatch(command);
    } else {
      o.Fail(CliExit::kUsage, "Usage", error);
    }
  } catch (const ECommError& e) {
    o = CliOutcome{};
    o.Fail(CliExit::kFailure, "Serial port failure",
           Format("the serial port failed (error %d, system error %u)", e.Code, e.SystemError));
  }
  if (auto busError = session_.TakeBusError(); busError && o.Ok()) o.Fail(CliExit::kFailure, *busError);
  o.Stamp(command.Name);
  return o;
}

CliOutcome CliCommands::Dispatch(const CliCommand& c) {
  const std::string& n = c.Name;
  if (n == "scan") return Scan();
  if (n == "info") return Info(c);
  if (n == "alarms") return Alarms(c);
  if (n == "tilt") return Tilt(c);
  if (n == "calibrate") return Calibrate(c);
  if (n == "tma") return Tma(c);
  if (n == "field") return Field(c);
  if (n == "download") return Download(c);
  if (n == "selftest" || n == "reset" || n == "clear-alarms") return Procedure(c);
  if (n == "report") return Report(c);
  if (n == "trace2pcap") return ConvertTraceToCapture(c.Args[0], c.Args[1]);
  CliOutcome o;
  o.Fail(CliExit::kUsage, "Usage", n == "run" ? "a script cannot run another script" : "unknown command '" + n + "'");
  return o;
}

CliOutcome& CliCommands::NoAld(CliOutcome& o) {
  return o.Fail(CliExit::kFailure, kNoAld, kNoAldAnswered);
}

// After a scan that found nothing, an ALD name is no typing error: the bus
// (cabling, power, the port) is what failed.
bool CliCommands::Resolve(const CliCommand& c, const std::string& name, SubunitUse use, Target& t, CliOutcome& o) {
  if (session_.Slots().empty()) {
    NoAld(o);
    return false;
  }
  t.Slot = session_.FindAld(name);
  if (t.Slot == 0) {
    o.Fail(CliExit::kUsage, "Usage", "unknown ALD '" + name + "': give a slot number or unique id from the scan");
    return false;
  }
  t.Ald = &table_.Record(t.Slot);
  o.Doc["ald"] = t.Slot;
  o.Doc["uniqueId"] = table_.UniqueIdText(t.Slot);
  if (!ResolveSubunit(c, use, t, o)) return false;
  Select(t);
  return true;
}

// A single RET has no subunit numbers: 1 names its antenna. A multi RET or
// TMA with one subunit needs none named.
bool CliCommands::ResolveSubunit(const CliCommand& c, SubunitUse use, Target& t, CliOutcome& o) {
  bool numbered = t.Ald->DeviceType == kAldMultiRet || t.Ald->DeviceType == kAldTma;
  unsigned count = numbered ? static_cast<unsigned>(t.Ald->SubunitCount) : 1u;
  t.Subunit = 0;
  if (!c.Subunit) {
    if (numbered && use == SubunitUse::kRequired) {
      if (count != 1) {
        o.Fail(CliExit::kUsage, "Usage", Format("ALD %u has %u subunits: give --subunit 1..%u", t.Slot, count, count));
        return false;
      }
      t.Subunit = 1;
    }
    return true;
  }
  const std::string& s = *c.Subunit;
  bool digits = !s.empty() && s.size() <= 2 && s.find_first_not_of("0123456789") == std::string::npos;
  unsigned n = digits ? static_cast<unsigned>(std::stoul(s)) : 0;
  if (use == SubunitUse::kNone || n < 1 || n > count) {
    o.Fail(CliExit::kUsage, "Usage",
           use == SubunitUse::kNone ? "'" + c.Name + "' takes no --subunit"
                                    : Format("ALD %u has no subunit '%s' (1..%u)", t.Slot, s.c_str(), count));
    return false;
  }
  if (numbered) t.Subunit = static_cast<uint8_t>(n);
  o.Doc["subunit"] = n;
  return true;
}

void CliCommands::Select(const Target& t) {
  table_.SelectAld(t.Slot);
  table_.SelectSubunit(t.Subunit);
}

DeviceData& CliCommands::DataOf(const Target& t) {
  return t.Ald->Subunits[t.Subunit == 0 ? 0 : t.Subunit - 1].Data;
}

bool CliCommands::Failed(ResultCode r, CliOutcome& o, const std::string& message) {
  if (r == kSuccess) return false;
  o.Fail(CliExit::kFailure, Vocabulary::ResultName(r), message);
  return true;
}

std::string CliCommands::Label(const Target& t) {
  return t.Subunit == 0 ? Format("ALD %u", t.Slot) : Format("ALD %u.%u", t.Slot, t.Subunit);
}

bool CliCommands::Failed(ResultCode r, CliOutcome& o, const Target& t, const std::string& what) {
  if (r == kSuccess) return false;
  std::string message = what + " " + Label(t) + " failed";
  if (t.Ald != nullptr && t.Ald->State == kStateDisconnected) message += Format(": ALD %u stopped answering", t.Slot);
  o.Fail(CliExit::kFailure, Vocabulary::ResultName(r), message);
  return true;
}

CliOutcome CliCommands::Scan() {
  CliOutcome o;
  nlohmann::json alds = nlohmann::json::array();
  o.Lines.push_back(Format("%-5s%-21s%-14s%-14s%-10s%s", "SLOT", "UNIQUE ID", "TYPE", "STATE", "VERSION", "SUBUNITS"));
  for (uint8_t slot : session_.Slots()) {
    const AldRecord& ald = table_.Record(slot);
    nlohmann::json a = {{"slot", slot},
                        {"uniqueId", table_.UniqueIdText(slot)},
                        {"type", Vocabulary::AldTypeText(ald.DeviceType)},
                        {"state", Vocabulary::AldStateText(ald.State)},
                        {"aisgVersion", Vocabulary::AisgVersionText(ald.AisgVersion)},
                        {"subunits", static_cast<int>(ald.SubunitCount)}};
    o.Lines.push_back(Format("%3u  %-19s  %-12s  %-12s  %-8s  %u", slot, a["uniqueId"].get<std::string>().c_str(),
                             a["type"].get<std::string>().c_str(), a["state"].get<std::string>().c_str(),
                             a["aisgVersion"].get<std::string>().c_str(), static_cast<unsigned>(ald.SubunitCount)));
    alds.push_back(a);
  }
  o.Doc["alds"] = alds;
  if (alds.empty()) {
    o.Lines.clear();
    NoAld(o);
  }
  return o;
}

CliOutcome CliCommands::Info(const CliCommand& c) {
  CliOutcome o;
  Target t;
  if (!Resolve(c, c.Args[0], SubunitUse::kNone, t, o)) return o;
  if (Failed(layer7_.GetInformation(t.Ald->Address, *t.Ald), o, t, "the information read of")) return o;
  infoRead_.insert(t.Slot);
  const std::pair<const char*, const std::string*> values[] = {{"productNumber", &t.Ald->ProductNumber},
                                                               {"serialNumber", &t.Ald->SerialNumber},
                                                               {"hardwareVersion", &t.Ald->HardwareVersion},
                                                               {"softwareVersion", &t.Ald->SoftwareVersion}};
  const char* const labels[] = {"Product Number", "Serial Number", "Hardware Version", "Software Version"};
  for (size_t i = 0; i < std::size(values); ++i) {
    o.Doc[values[i].first] = *values[i].second;
    o.Lines.push_back(Format("%-17s %s", (std::string(labels[i]) + ":").c_str(), values[i].second->c_str()));
  }
  return o;
}

std::vector<std::string> CliCommands::ActiveAlarms(const AlarmList& alarms) {
  std::vector<std::string> names;
  int count = std::min<int>(alarms.AlarmCount, AlarmList::kMaxAlarms);
  for (int i = 0; i < count; ++i) {
    if (alarms.AlarmStates[i] == 1) names.push_back(Vocabulary::ResultName(alarms.AlarmCodes[i]));
  }
  return names;
}

// An alarm read gives the last raised alarm's code as its result, so only
// a result that no raised alarm carries means that the read itself failed.
bool CliCommands::ReadFailed(ResultCode r, const AlarmList& alarms) {
  if (r == kSuccess) return false;
  int count = std::min<int>(alarms.AlarmCount, AlarmList::kMaxAlarms);
  for (int i = 0; i < count; ++i) {
    if (alarms.AlarmStates[i] == 1 && alarms.AlarmCodes[i] == r) return false;
  }
  return true;
}

// A fresh list, so that a code left from an earlier read is not shown as
// raised: the decoders leave the entries of zero octets as they were.
ResultCode CliCommands::GetAlarms(Target& t) {
  AlarmList& list = AlarmsOf(*t.Ald, t.Subunit);
  list = AlarmList{};
  ResultCode r = ReadAldAlarms(layer7_, *t.Ald, t.Subunit);
  if (t.Ald->State != kStateDisconnected) t.Ald->State = r == kSuccess ? kStateConnected : kStateAlarmed;
  return r;
}

CliOutcome CliCommands::Alarms(const CliCommand& c) {
  CliOutcome o;
  Target t;
  if (!Resolve(c, c.Args[0], SubunitUse::kOptional, t, o)) return o;
  bool numbered = t.Ald->DeviceType == kAldMultiRet || t.Ald->DeviceType == kAldTma;
  std::vector<uint8_t> subunits;
  if (numbered && !c.Subunit) {
    for (uint8_t s = 1; s <= std::min<int>(t.Ald->SubunitCount, AldRecord::kMaxSubunits); ++s) subunits.push_back(s);
  } else {
    subunits.push_back(t.Subunit);
  }
  nlohmann::json lists = nlohmann::json::array();
  for (uint8_t s : subunits) {
    t.Subunit = s;
    ResultCode r = GetAlarms(t);
    const AlarmList& list = AlarmsOf(*t.Ald, s);
    if (ReadFailed(r, list)) {
      Failed(r, o, t, "the alarm read of");
      return o;
    }
    std::vector<std::string> names = ActiveAlarms(list);
    std::string text = names.empty() ? "None" : "";
    for (const std::string& name : names) text += (text.empty() ? "" : ", ") + name;
    o.Lines.push_back(numbered ? Format("Subunit %u: %s", s, text.c_str()) : text);
    lists.push_back({{"subunit", numbered ? s : 1}, {"alarms", names}});
  }
  o.Doc["subunits"] = lists;
  o.Doc["state"] = Vocabulary::AldStateText(t.Ald->State);
  return o;
}

// The Tools and Alarm Controls commands: the procedure, then the alarm
// refresh that ends them (not after a reset, which the device answers
// before it restarts).
CliOutcome CliCommands::Procedure(const CliCommand& c) {
  CliOutcome o;
  Target t;
  if (!Resolve(c, c.Args[0], SubunitUse::kNone, t, o)) return o;
  ResultCode r = kSuccess;
  if (c.Name == "selftest") {
    CliWaitLine wait(progress_, session_.Time(), *t.Ald, "self test of " + Label(t),
                     Vocabulary::ProcedureCodeOf(kProcSelfTest));
    r = layer7_.RunSelfTest(t.Ald->Address);
  } else {
    r = c.Name == "reset" ? layer7_.SoftwareReset(t.Ald->Address) : layer7_.ClearAlarms(t.Ald->Address);
  }
  o.Doc["result"] = Vocabulary::ResultName(r);
  const char* what = c.Name == "selftest" ? "the self test of"
                     : c.Name == "reset"  ? "the reset of"
                                          : "clearing the alarms of";
  if (Failed(r, o, t, what)) return o;
  if (c.Name != "reset") GetAlarms(t);
  o.Doc["state"] = Vocabulary::AldStateText(t.Ald->State);
  o.Lines.push_back(Format("ALD %u: %s %s", t.Slot, c.Name.c_str(), Vocabulary::ResultName(r).c_str()));
  return o;
}

// What the device windows read when an ALD is listed: identity, alarms,
// tilt or TMA values, and the fields of its pages, so the file holds the
// bus as it is. A failed read leaves its values empty or "ERROR". Alarms,
// tilts and TMA values change on their own and are always read again.
void CliCommands::RefreshForReport(uint8_t slot) {
  Target t{slot, 0, &table_.Record(slot)};
  if (!infoRead_.count(slot) && layer7_.GetInformation(t.Ald->Address, *t.Ald) == kSuccess) infoRead_.insert(slot);
  bool numbered = t.Ald->DeviceType == kAldMultiRet || t.Ald->DeviceType == kAldTma;
  int count = numbered ? std::min<int>(t.Ald->SubunitCount, AldRecord::kMaxSubunits) : 1;
  for (int s = 1; s <= count; ++s) {
    t.Subunit = numbered ? static_cast<uint8_t>(s) : 0;
    Select(t);
    GetAlarms(t);
    DeviceData& d = DataOf(t);
    if (t.Ald->DeviceType == kAldTma) {
      uint8_t functions[4] = {};
      d.TmaGainValid = layer7_.TmaGetGain(t.Ald->Address, t.Subunit, d.TmaGain) == kSuccess;
      d.TmaModeValid = layer7_.TmaGetMode(t.Ald->Address, t.Subunit, d.TmaMode) == kSuccess;
      if (layer7_.TmaGetSupportedFunctions(t.Ald->Address, t.Subunit, functions) == kSuccess) {
        d.TmaFunctionsFlags = functions[0];
        d.TmaFunctionsMinGain = functions[1];
        d.TmaFunctionsMaxGain = functions[2];
        d.TmaFunctionsGainResolution = functions[3];
      }
    } else {
      GetTilt(t);
    }
    for (uint8_t field : FieldPages::FieldsOfKind(t.Ald->DeviceType)) {
      if (!fieldsRead_.count({slot, t.Subunit, field})) ReadField(t, field);
    }
  }
}

CliOutcome CliCommands::Report(const CliCommand& c) {
  CliOutcome o;
  const std::string& path = c.Args[0];
  std::vector<uint8_t> slots = session_.Slots();
  if (slots.empty()) return NoAld(o);
  for (uint8_t slot : slots) RefreshForReport(slot);
  bool csv = FileExtension(path) == "csv";
  std::string text = csv ? AldListCsvText(table_) : AldListReportText(table_);
  session_.Log().Write(kTraceInfo, TraceClass::kMain, 0, "Saving ALD's List to: %s", path.c_str());
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  if (!(file << text) || !file.flush()) {
    session_.Log().Write(kTraceError, TraceClass::kMain, 0, "Unable to open file!");
    o.Fail(CliExit::kUsage, "Usage", "cannot write '" + path + "'");
    return o;
  }
  o.Doc["file"] = path;
  o.Doc["format"] = csv ? "csv" : "text";
  o.Doc["alds"] = slots.size();
  o.Lines.push_back(Format("Saved %zu ALDs to %s (%s)", slots.size(), path.c_str(), csv ? "csv" : "text report"));
  return o;
}
