#include "cli/CliChecks.h"

#include <cctype>
#include <cstdlib>
#include <utility>

#include "ald/DeviceData.h"
#include "bus/EntryText.h"
#include "bus/FieldPages.h"
#include "bus/TmaPage.h"
#include "core/Format.h"
#include "layer7/DataFieldId.h"
#include "layer7/FirmwareFile.h"

namespace {

// Every command with the least and the most positional arguments it takes.
struct Syntax {
  const char* Name;
  size_t MinArgs;
  size_t MaxArgs;
};
constexpr Syntax kCommands[] = {
    {"scan", 0, 0},         {"info", 1, 1},   {"alarms", 1, 1},   {"tilt", 1, 1},       {"calibrate", 1, 1},
    {"tma", 2, 2},          {"field", 3, 99}, {"download", 3, 3}, {"selftest", 1, 1},   {"reset", 1, 1},
    {"clear-alarms", 1, 1}, {"report", 1, 1}, {"run", 1, 1},      {"trace2pcap", 2, 2},
};

const Syntax* SyntaxOf(const std::string& name) {
  for (const Syntax& s : kCommands) {
    if (name == s.Name) return &s;
  }
  return nullptr;
}

// Names match whatever the case and separators: "Antenna Max Tilt",
// "antenna-max-tilt" and "AntennaMaxTilt" are one field.
std::string Folded(const std::string& text) {
  std::string folded;
  for (unsigned char c : text) {
    if (std::isalnum(c)) folded += static_cast<char>(std::tolower(c));
  }
  return folded;
}

bool Refuse(std::string& error, const std::string& why) {
  error = why;
  return false;
}

// The words that do not depend on the bus, so a misspelt field on the last
// line of a script stops it before the first.
bool CheckWords(const CliCommand& c, std::string& error) {
  const std::vector<std::string>& a = c.Args;
  if (c.Name == "tma" && a[1] != "gain" && a[1] != "mode" && a[1] != "functions")
    return Refuse(error, "tma: 'gain', 'mode' or 'functions', not '" + a[1] + "'");
  if (c.Name == "download" && a[0] != "firmware" && a[0] != "config")
    return Refuse(error, "download what? 'firmware' or 'config', not '" + a[0] + "'");
  if (c.Name == "field" && a[1] != "get" && a[1] != "set")
    return Refuse(error, "field: 'get' or 'set', not '" + a[1] + "'");
  if (c.Name == "field" && !(a[1] == "get" && a[2] == "all") && !CliChecks::FieldByName(a[2]))
    return Refuse(error, "unknown field '" + a[2] + "'");
  if (c.Name == "field" && a[1] == "get" && a.size() != 3) return Refuse(error, "field get takes one field");
  if (c.Name == "field" && a[1] == "set" && a.size() < 4) return Refuse(error, "field set needs a value");
  return true;
}

bool TakesSet(const CliCommand& c) {
  return c.Name == "tilt" || (c.Name == "tma" && (c.Args[1] == "gain" || c.Args[1] == "mode"));
}

bool TakesSubunit(const CliCommand& c) {
  static const char* const kWith[] = {"alarms", "tilt", "calibrate", "tma", "field"};
  for (const char* name : kWith) {
    if (c.Name == name) return !(c.Name == "calibrate" && c.Args[0] == "all");
  }
  return false;
}

// Options that the command would ignore are refused: a --set given to the
// wrong command must not pass for a write that did not happen.
bool CheckOptions(const CliCommand& c, std::string& error) {
  if (c.Set && !TakesSet(c)) {
    return Refuse(error, c.Name == "tma" ? "tma " + c.Args[1] + " cannot be set" : "'" + c.Name + "' takes no --set");
  }
  if (c.Subunit && !TakesSubunit(c)) {
    return Refuse(
        error, (c.Name == "calibrate" ? std::string("'calibrate all'") : "'" + c.Name + "'") + " takes no --subunit");
  }
  if (c.KeepGoing && c.Name != "run") return Refuse(error, "--keep-going belongs to 'run'");
  const std::string& s = c.Subunit.value_or("1");
  if (s.empty() || s.size() > 2 || s.find_first_not_of("0123456789") != std::string::npos || std::atoi(s.c_str()) < 1)
    return Refuse(error, "--subunit takes an antenna or subunit number from 1, not '" + s + "'");
  return true;
}

// An empty value would be taken as 0 by the pages' rules: in a script an
// unset shell variable would move an antenna to 0.0 degrees.
std::string EmptyValue(const std::string& what) {
  return what + " is given an empty value (an unset variable?)";
}

bool CheckSetValue(const CliCommand& c, std::string& error) {
  if (!c.Set) return true;
  const std::string& v = *c.Set;
  if (v.empty()) return Refuse(error, EmptyValue("--set"));
  if (c.Name == "tilt" && !EntryText::Number(v)) return Refuse(error, "Invalid Tilt value.");
  if (c.Name == "tma" && c.Args[1] == "gain" && !EntryText::Number(v)) return Refuse(error, TmaPage::kInvalidGainValue);
  if (c.Name == "tma" && c.Args[1] == "mode" && !TmaPage::ModeFromText(v))
    return Refuse(error, "mode: 'normal' or 'bypass', not '" + v + "'");
  return true;
}

// The field's entry rule on a scratch block: what the pages refuse is
// refused here, before the bus; the block itself is filled again on the
// device's own data when the command runs.
bool CheckFieldValues(const CliCommand& c, std::string& error) {
  if (c.Name != "field" || c.Args[1] != "set") return true;
  uint8_t field = *CliChecks::FieldByName(c.Args[2]);
  std::vector<std::string> texts =
      CliChecks::FieldTexts(field, std::vector<std::string>(c.Args.begin() + 3, c.Args.end()));
  size_t boxes = FieldPages::BoxCount(field);
  bool bands = field == kFieldAntennaFrequencyBand;
  if (!bands && texts.size() > boxes)
    return Refuse(error, Format("%s takes at most %zu values", DataFieldName(field).c_str(), boxes));
  for (const std::string& text : texts) {
    if (text.empty()) return Refuse(error, EmptyValue(DataFieldName(field)));
  }
  if (texts.empty()) return Refuse(error, EmptyValue(DataFieldName(field)));
  DeviceData scratch;
  FieldPages::Entry entry = FieldPages::ApplyEntry(field, texts, scratch);
  if (entry.Verdict == FieldPages::Entry::Status::kRefused) return Refuse(error, entry.Message);
  return true;
}

}  // namespace

namespace CliChecks {

bool Known(const std::string& name) {
  return SyntaxOf(name) != nullptr;
}

bool Syntax(const CliCommand& c, std::string& error) {
  const ::Syntax* s = SyntaxOf(c.Name);
  if (s == nullptr) return Refuse(error, "unknown command '" + c.Name + "' (try --help)");
  if (c.Args.size() < s->MinArgs || c.Args.size() > s->MaxArgs) {
    return Refuse(error, Format("wrong number of arguments for '%s' (see tiltdeck-cli %s --help)", c.Name.c_str(),
                                c.Name.c_str()));
  }
  return CheckWords(c, error) && CheckOptions(c, error) && CheckSetValue(c, error) && CheckFieldValues(c, error);
}

bool Files(const CliCommand& c, std::string& error) {
  if (c.Name != "download") return true;
  const std::string& path = c.Args[2];
  bool firmware = c.Args[0] == "firmware";
  size_t limit = firmware ? FirmwareFile::kMaxFirmwareSize : FirmwareFile::kMaxConfigSize;
  std::vector<uint8_t> data;
  error = FileProblem(FirmwareFile::ReadWhole(path, limit, data), path, limit);
  if (error.empty() && data.empty()) error = "'" + path + "' is empty; nothing sent";
  // A "css" image without a whole word can carry no good checksum.
  if (error.empty() && firmware && FirmwareFile::CarriesChecksum(path) && data.size() < 2) {
    error = "'" + path + "' holds no checksum word; nothing sent";
  }
  return error.empty();
}

std::string FileProblem(FirmwareFile::ReadStatus status, const std::string& path, size_t limit) {
  using Status = FirmwareFile::ReadStatus;
  switch (status) {
    case Status::kCannotOpen: return "cannot read '" + path + "'";
    case Status::kNotRegular: return "'" + path + "' is not a regular file";
    case Status::kTooBig:
      return Format("Download file too big! ('%s' holds more than %zu octets)", path.c_str(), limit);
    case Status::kOk: return "";
  }
  return "";
}

std::optional<uint8_t> FieldByName(const std::string& text) {
  char* end = nullptr;
  unsigned long id = std::strtoul(text.c_str(), &end, 0);
  if (!text.empty() && *end == '\0') {
    if (id > 0xFE || DataFieldInfoOf(static_cast<uint8_t>(id)).Group == FieldGroup::kNone) return std::nullopt;
    return static_cast<uint8_t>(id);
  }
  // The names of the fields, folded once.
  static const std::vector<std::pair<std::string, uint8_t>> kFolded = [] {
    std::vector<std::pair<std::string, uint8_t>> names;
    for (unsigned i = 1; i < 0xFF; ++i) {
      const DataFieldInfo& info = DataFieldInfoOf(static_cast<uint8_t>(i));
      if (info.Group != FieldGroup::kNone) names.emplace_back(Folded(info.Name), info.Id);
    }
    return names;
  }();
  std::string folded = Folded(text);
  for (const auto& [name, id] : kFolded) {
    if (name == folded) return id;
  }
  return std::nullopt;
}

std::vector<std::string> FieldTexts(uint8_t field, const std::vector<std::string>& args) {
  if (args.size() != 1 || FieldPages::BoxCount(field) == 1) return args;
  std::vector<std::string> texts;
  std::string current;
  for (char c : args[0] + ",") {
    if (c == ',' || c == ' ') {
      if (!current.empty()) texts.push_back(current);
      current.clear();
    } else {
      current += c;
    }
  }
  return texts;
}

}  // namespace CliChecks
