#include "ald/AldTable.h"
#include "ald/AldType.h"
#include "bus/FieldAccess.h"
#include "bus/FieldPages.h"
#include "bus/TmaPage.h"
#include "cli/CliChecks.h"
#include "cli/CliCommands.h"
#include "cli/CliSession.h"
#include "core/Format.h"
#include "core/TraceLog.h"
#include "layer7/AisgLayer7.h"
#include "layer7/DataFieldId.h"
#include "layer7/Vocabulary.h"

namespace {

// A field shown in one box is one text; the others a list of texts.
nlohmann::json ValueJson(uint8_t field, const std::vector<std::string>& texts) {
  if (FieldPages::BoxCount(field) == 1) return texts.empty() ? "" : texts[0];
  return texts;
}

std::string ValueLine(uint8_t field, const std::vector<std::string>& texts) {
  std::string joined;
  for (const std::string& t : texts) joined += (joined.empty() ? "" : " ") + t;
  return DataFieldName(field) + ": " + joined;
}

}  // namespace

CliOutcome CliCommands::Tma(const CliCommand& c) {
  CliOutcome o;
  Target t;
  if (!Resolve(c, c.Args[0], SubunitUse::kRequired, t, o)) return o;
  if (t.Ald->DeviceType != kAldTma) return o.Fail(CliExit::kUsage, "Usage", Format("ALD %u is not a TMA", t.Slot));
  const std::string& what = c.Args[1];
  if (what == "gain") return TmaGain(c, t, o);
  if (what == "mode") return TmaMode(c, t, o);
  if (what == "functions" && !c.Set) return TmaFunctions(t, o);
  return o.Fail(CliExit::kUsage, "Usage",
                "tma: 'gain', 'mode' or 'functions' (which cannot be set), not '" + what + "'");
}

CliOutcome CliCommands::TmaGain(const CliCommand& c, Target& t, CliOutcome& o) {
  DeviceData& d = DataOf(t);
  if (c.Set) return SetTmaGain(*c.Set, t, o);
  ResultCode r = layer7_.TmaGetGain(t.Ald->Address, t.Subunit, d.TmaGain);
  d.TmaGainValid = r == kSuccess;
  if (Failed(r, o, t, "the gain read of")) return o;
  o.Doc["gain"] = TmaPage::GainDb(d.TmaGain);
  o.Lines.push_back(Format("ALD %u.%u gain %s dB", t.Slot, t.Subunit, TmaPage::GainText(d.TmaGain).c_str()));
  return o;
}

// The gain must be one the subunit allows, read from it now: an octet cut
// from a gain beyond the limits, or off the resolution's grid, would reach
// the device as another gain.
CliOutcome CliCommands::SetTmaGain(const std::string& text, Target& t, CliOutcome& o) {
  DeviceData& d = DataOf(t);
  uint8_t f[4] = {};
  if (Failed(layer7_.TmaGetSupportedFunctions(t.Ald->Address, t.Subunit, f), o, t, "reading the gain limits of"))
    return o;
  StoreFunctions(d, f);
  TmaPage::GainCheck check = TmaPage::CheckGain(text, {f[1], f[2], f[3]});
  if (check.Verdict == TmaPage::GainCheck::Status::kInvalid)
    return o.Fail(CliExit::kUsage, "Usage", TmaPage::kInvalidGainValue);
  if (check.Verdict == TmaPage::GainCheck::Status::kNotAllowed)
    return o.Fail(CliExit::kFailure, Vocabulary::ResultName(TmaPage::kGainOutOfRange), check.Message);
  if (Failed(layer7_.TmaSetGain(t.Ald->Address, t.Subunit, check.Quarters), o, t, "the gain change of")) return o;
  o.Doc["gain"] = TmaPage::GainDb(check.Quarters);
  o.Lines.push_back(
      Format("ALD %u.%u gain set to %s dB", t.Slot, t.Subunit, TmaPage::GainText(check.Quarters).c_str()));
  return o;
}

void CliCommands::StoreFunctions(DeviceData& d, const uint8_t (&f)[4]) {
  d.TmaFunctionsFlags = f[0];
  d.TmaFunctionsMinGain = f[1];
  d.TmaFunctionsMaxGain = f[2];
  d.TmaFunctionsGainResolution = f[3];
}

CliOutcome CliCommands::TmaMode(const CliCommand& c, Target& t, CliOutcome& o) {
  DeviceData& d = DataOf(t);
  TraceLog& log = session_.Log();
  if (c.Set) {
    std::optional<uint8_t> mode = TmaPage::ModeFromText(*c.Set);
    if (!mode) return o.Fail(CliExit::kUsage, "Usage", "mode: 'normal' or 'bypass', not '" + *c.Set + "'");
    ResultCode r = layer7_.TmaSetMode(t.Ald->Address, t.Subunit, *mode);
    if (r != kSuccess) log.Write(kTraceError, TraceClass::kMain, t.Ald->Address, "Failed to set TMA Mode!");
    if (Failed(r, o, t, "the mode change of")) return o;
  }
  ResultCode r = layer7_.TmaGetMode(t.Ald->Address, t.Subunit, d.TmaMode);
  d.TmaModeValid = r == kSuccess;
  if (r != kSuccess) log.Write(kTraceError, TraceClass::kMain, t.Ald->Address, "Failed to get TMA Mode!");
  if (Failed(r, o, t, "the mode read of")) return o;
  o.Doc["mode"] = TmaPage::ModeText(d.TmaMode);
  o.Lines.push_back(Format("ALD %u.%u mode %s", t.Slot, t.Subunit, TmaPage::ModeText(d.TmaMode).c_str()));
  return o;
}

CliOutcome CliCommands::TmaFunctions(Target& t, CliOutcome& o) {
  DeviceData& d = DataOf(t);
  uint8_t f[4] = {};
  if (Failed(layer7_.TmaGetSupportedFunctions(t.Ald->Address, t.Subunit, f), o, t, "the functions read of")) return o;
  StoreFunctions(d, f);
  o.Doc["flags"] = f[0];
  o.Doc["minGain"] = TmaPage::GainDb(f[1]);
  o.Doc["maxGain"] = TmaPage::GainDb(f[2]);
  o.Doc["gainResolution"] = TmaPage::GainResolutionDb(f[3]);
  o.Lines.push_back(Format("Flags:    %d", f[0]));
  o.Lines.push_back("Min Gain: " + TmaPage::GainText(f[1]));
  o.Lines.push_back("Max Gain: " + TmaPage::GainText(f[2]));
  o.Lines.push_back("Gain Res: " + TmaPage::GainResolutionText(f[3]));
  return o;
}

bool CliCommands::Accepts(uint8_t deviceType, uint8_t field) {
  FieldGroup g = DataFieldInfoOf(field).Group;
  if (deviceType == kAldTma) return g != FieldGroup::kNone;
  if (deviceType == kAldSingleRet || deviceType == kAldMultiRet)
    return g == FieldGroup::kAntenna || g == FieldGroup::kOperator;
  return false;
}

ResultCode CliCommands::GetFieldOnce(Target& t, uint8_t field) {
  return FieldAccess::Get(layer7_, *t.Ald, t.Subunit, field, DataOf(t));
}

// The set operations send from the selected ALD's selected subunit.
ResultCode CliCommands::SetFieldOnce(Target& t, uint8_t field) {
  Select(t);
  return FieldAccess::Set(layer7_, *t.Ald, t.Subunit, field);
}

// The frequency bands are up to three words: word A says whether B and C
// follow.
ResultCode CliCommands::ReadField(Target& t, uint8_t field) {
  ResultCode r = field == kFieldAntennaFrequencyBand ? FieldAccess::ReadBands(layer7_, *t.Ald, t.Subunit, DataOf(t))
                                                     : GetFieldOnce(t, field);
  if (r == kSuccess) fieldsRead_.insert({t.Slot, t.Subunit, field});
  return r;
}

CliOutcome CliCommands::Field(const CliCommand& c) {
  CliOutcome o;
  Target t;
  if (!Resolve(c, c.Args[0], SubunitUse::kRequired, t, o)) return o;
  const std::string& action = c.Args[1];
  if (action == "get" && c.Args[2] == "all") return FieldGetAll(t, o);
  std::optional<uint8_t> field = CliChecks::FieldByName(c.Args[2]);
  if (!field) return o.Fail(CliExit::kUsage, "Usage", "unknown field '" + c.Args[2] + "'");
  if (!Accepts(t.Ald->DeviceType, *field)) {
    return o.Fail(CliExit::kUsage, "Usage",
                  Format("'%s' is not a field of ALD %u (%s)", DataFieldName(*field).c_str(), t.Slot,
                         Vocabulary::AldTypeText(t.Ald->DeviceType).c_str()));
  }
  o.Doc["field"] = DataFieldName(*field);
  o.Doc["id"] = *field;
  if (action == "get") return FieldGet(t, *field, o);
  std::vector<std::string> texts(c.Args.begin() + 3, c.Args.end());
  return FieldSet(t, *field, CliChecks::FieldTexts(*field, texts), o);
}

CliOutcome CliCommands::FieldGet(Target& t, uint8_t field, CliOutcome& o) {
  if (Failed(ReadField(t, field), o, t, "reading " + DataFieldName(field) + " of")) return o;
  std::vector<std::string> texts = FieldPages::ShownTexts(field, DataOf(t));
  o.Doc["value"] = ValueJson(field, texts);
  o.Lines.push_back(ValueLine(field, texts));
  return o;
}

// Every field of the device's pages; a field that fails is reported and
// the others are still read.
CliOutcome CliCommands::FieldGetAll(Target& t, CliOutcome& o) {
  nlohmann::json fields = nlohmann::json::array();
  ResultCode firstFailure = kSuccess;
  for (uint8_t field : FieldPages::FieldsOfKind(t.Ald->DeviceType)) {
    ResultCode r = ReadField(t, field);
    nlohmann::json f = {{"field", DataFieldName(field)}, {"id", field}, {"result", Vocabulary::ResultName(r)}};
    if (r == kSuccess) {
      std::vector<std::string> texts = FieldPages::ShownTexts(field, DataOf(t));
      f["value"] = ValueJson(field, texts);
      o.Lines.push_back(ValueLine(field, texts));
    } else {
      f["value"] = nullptr;
      o.Lines.push_back(DataFieldName(field) + ": " + Vocabulary::ResultName(r));
      if (firstFailure == kSuccess) firstFailure = r;
    }
    fields.push_back(f);
  }
  o.Doc["fields"] = fields;
  Failed(firstFailure, o, t, "reading every field of");
  return o;
}

CliOutcome CliCommands::FieldSet(Target& t, uint8_t field, const std::vector<std::string>& texts, CliOutcome& o) {
  DeviceData& d = DataOf(t);
  FieldPages::Entry entry = FieldPages::ApplyEntry(field, texts, d);
  if (entry.Verdict == FieldPages::Entry::Status::kRefused) return o.Fail(CliExit::kUsage, "Usage", entry.Message);
  if (entry.Verdict == FieldPages::Entry::Status::kShorter) o.Notes.push_back(entry.Message);
  if (Failed(SetFieldOnce(t, field), o, t, "writing " + DataFieldName(field) + " to")) return o;
  return FieldGet(t, field, o);
}
