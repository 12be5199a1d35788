#include "persist/AldListFormat.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "ald/AldTable.h"
#include "ald/AldType.h"
#include "core/Format.h"
#include "layer7/BandListText.h"
#include "layer7/Vocabulary.h"

namespace {

constexpr const char* kCsvHeader =
    "ADDRESS,STATUS,TYPE,VENDOR,RET UNIQUE ID,PRODUCT NUMBER,SOFTWARE VERSION,HARDWARE VERSION,ALARM,RET TILT,"
    "ANTENNA MODEL NUMBER,ANTENNA SERIAL NUMBER,ANTENNA FREQUENCY BAND,ANTENNA BEAMWIDTH,ANTENNA GAIN,"
    "ANTENNA MAX TILT,ANTENNA MIN TILT,OPERATOR INSTALL DATE,OPERATOR INSTALL ID,OPERATOR BASESTATION ID,"
    "OPERATOR SECTOR ID,OPERATOR ANTENNA BEARING,OPERATOR MECHANICAL TILT\n";
constexpr const char* kHashLine = "#############################################################\n";

// A NUL ends a text: what follows it in a record's buffer is no part of the value.
std::string Text(const std::string& value) {
  return value.substr(0, value.find('\0'));
}
std::string Text(const char* value, size_t capacity) {
  return std::string(value, strnlen(value, capacity));
}

// A value holding a comma, quote or line break would shift every later
// column of its row; quoted, it stays in its own. Other values go as they are.
std::string CsvValue(const std::string& value) {
  if (value.find_first_of(",\"\r\n") == std::string::npos) return value;
  std::string quoted = "\"";
  for (char c : value) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  return quoted + "\"";
}

std::string StateText(uint8_t state) {
  static const char* const kStates[] = {"INITIAL",   "DISCOVERED", "ADDRESSED",  "DISCONNECTED",
                                        "CONNECTED", "ALARMED",    "CALIBRATING"};
  return state < std::size(kStates) ? kStates[state] : "UNKNOWN";
}

std::string CsvTypeText(uint8_t type) {
  switch (type) {
    case kAldSingleRet: return "SINGLE - RET";
    case kAldTma: return "TMA";
    case kAldMultiRet: return "MULTI - RET";
    default: return "UNKNOWN";
  }
}

std::string ReportTypeText(uint8_t type) {
  switch (type) {
    case kAldSingleRet: return "SINGLE RET";
    case kAldTma: return "TMA";
    case kAldMultiRet: return "MULTI RET";
    default: return "UNKNOWN";
  }
}

bool IsKnownType(uint8_t type) {
  return type == kAldSingleRet || type == kAldTma || type == kAldMultiRet;
}

// The record's count, kept inside the subunit array whatever the device said.
int SubunitsOf(const AldRecord& ald) {
  return std::min<int>(ald.SubunitCount, AldRecord::kMaxSubunits);
}

std::string SubunitLine(int number) {
  return Format("------------------------- SUBUNIT %d -------------------------\n", number);
}

std::string AlarmText(const AldSubunit& subunit) {
  uint8_t code = subunit.Alarms.AlarmCodes[0];
  return code != 0 ? Vocabulary::ResultName(code) : "NONE";
}

std::string TiltText(const DeviceData& d) {
  return d.TiltValid != 0 ? Format("%.1f", d.Tilt / 10.0) : "ERROR";
}

std::string BandsText(const DeviceData& d) {
  std::string text = BandListText(d.AntennaFrequencyBands);
  std::replace(text.begin(), text.end(), ',', ':');
  return text;
}

std::string BeamwidthsText(const DeviceData& d) {
  const uint16_t* b = d.BeamwidthForBands;
  return Format("%d %d %d %d", b[0], b[1], b[2], b[3]);
}

std::string GainsText(const DeviceData& d) {
  const uint8_t* g = d.GainForBands;
  return Format("%.1f %.1f %.1f %.1f", g[0] / 10.0, g[1] / 10.0, g[2] / 10.0, g[3] / 10.0);
}

std::string Tenths(double value) {
  return Format("%.1f", value / 10.0);
}

// The antenna and operator values that every type carries, in column order.
std::vector<std::string> AntennaValues(const DeviceData& d) {
  return {Text(d.AntennaModelNumber),
          Text(d.AntennaSerialNumber),
          BandsText(d),
          BeamwidthsText(d),
          GainsText(d),
          Tenths(d.MaxSupportedTilt),
          Tenths(d.MinSupportedTilt),
          Text(d.InstallationDate),
          Text(d.InstallerId),
          Text(d.BaseStationId),
          Text(d.SectorId),
          Tenths(d.AntennaBearing),
          Tenths(d.InstalledMechanicalTilt)};
}

constexpr const char* kAntennaLabels[] = {
    "ANTENNA MODEL NUMBER     , ", "ANTENNA SERIAL NUMBER    , ", "ANTENNA FREQUENCY BAND   , ",
    "ANTENNA BEAMWIDTH        , ", "ANTENNA GAIN             , ", "ANTENNA MAX TILT         , ",
    "ANTENNA MIN TILT         , ", "OPERATOR INSTALL DATE    , ", "OPERATOR INSTALL ID      , ",
    "OPERATOR BASESTATION ID  , ", "OPERATOR SECTOR ID       , ", "OPERATOR ANTENNA BEARING , ",
    "OPERATOR MECHANICAL TILT , "};

std::string TmaModeLine(const DeviceData& d) {
  if (d.TmaModeValid == 0) return "TMA MODE                 : ERROR\n";
  return std::string("TMA MODE                 : ") + (d.TmaMode != 0 ? "BYPASS" : "NORMAL") + "\n";
}

std::string TmaGainLine(const DeviceData& d) {
  if (d.TmaGainValid == 0) return "TMA GAIN                 : ERROR\n";
  return Format("TMA GAIN                 : %.1f\n", d.TmaGain * 0.25);
}

// Gains and gain limits come in quarter decibels, the supported-functions
// resolution in sixteenths of a decibel; the gain resolution is shown times four.
std::string TmaLines(const DeviceData& d) {
  std::string t = TmaModeLine(d) + TmaGainLine(d);
  t += Format("TMA FUNCTIONS FLAGS      : %.d\n", d.TmaFunctionsFlags);
  t += Format("TMA FUNCTIONS MIN GAIN   : %.1f\n", d.TmaFunctionsMinGain * 0.25);
  t += Format("TMA FUNCTIONS MAX GAIN   : %.1f\n", d.TmaFunctionsMaxGain * 0.25);
  t += Format("TMA FUNCTIONS GAIN RES   : %.1f\n", d.TmaFunctionsGainResolution * 0.0625);
  t += "TMA MODEL NUMBER         : " + Text(d.TmaModelNumber) + "\n";
  t += "TMA SERIAL NUMBER        : " + Text(d.TmaSerialNumber) + "\n";
  t += Format("TMA TYPE                 : %d\n", d.TmaSubunitType);
  t += Format("TMA RX FREQUENCY BAND    : MIN = %d MAX = %d\n", d.TmaRxBandMin, d.TmaRxBandMax);
  t += Format("TMA TX FREQUENCY BAND    : MIN = %d MAX = %d\n", d.TmaTxBandMin, d.TmaTxBandMax);
  t += Format("TMA MAX GAIN             : %.1f\n", d.TmaMaxGain * 0.25);
  t += Format("TMA MIN GAIN             : %.1f\n", d.TmaMinGain * 0.25);
  t += Format("TMA GAIN RESOLUTION      : %.1f\n", d.TmaGainResolution * 4.0);
  return t;
}

constexpr const char* kIdentityLabels[] = {"ADDRESS                  , ", "STATUS                   , ",
                                           "TYPE                     , ", "VENDOR                   , ",
                                           "RET Unique Id            , ", "PRODUCT NUMBER           , ",
                                           "SOFTWARE VERSION         , ", "HARDWARE VERSION         , "};
constexpr size_t kTypeIndex = 2;

// Address, state, type, vendor, identifier and versions, in column order.
std::vector<std::string> IdentityValues(const AldTable& table, unsigned slot, std::string (*typeText)(uint8_t)) {
  const AldRecord& ald = table.Record(slot);
  return {Format("%d", static_cast<int>(ald.Address)),
          StateText(ald.State),
          typeText(ald.DeviceType),
          Text(ald.VendorCode, sizeof ald.VendorCode),
          table.UniqueIdText(slot),
          Text(ald.ProductNumber),
          Text(ald.SoftwareVersion),
          Text(ald.HardwareVersion)};
}

void AppendCsvValues(std::string& row, const std::vector<std::string>& values) {
  for (const std::string& value : values) row += CsvValue(value) + ",";
}

// Lines that go before the row (subunit headings, TMA values) are collected
// in lead; the row itself is complete only after the last subunit.
std::string CsvAld(const AldTable& table, unsigned slot) {
  const AldRecord& ald = table.Record(slot);
  std::string lead;
  std::string row;
  AppendCsvValues(row, IdentityValues(table, slot, CsvTypeText));
  int subunits = SubunitsOf(ald);
  for (int s = 0; s < subunits; ++s) {
    const AldSubunit& subunit = ald.Subunits[s];
    if (subunits > 1) lead += SubunitLine(s + 1);
    if (ald.DeviceType == kAldTma) lead += TmaLines(subunit.Data);
    AppendCsvValues(row, {AlarmText(subunit)});
    if (ald.DeviceType == kAldSingleRet) AppendCsvValues(row, {TiltText(subunit.Data)});
    AppendCsvValues(row, AntennaValues(subunit.Data));
  }
  return lead + row + "\n";
}

std::string ReportSubunit(const AldRecord& ald, int s) {
  const DeviceData& d = ald.Subunits[s].Data;
  std::string t = SubunitsOf(ald) > 1 ? SubunitLine(s + 1) : "";
  t += "ALARM                    , " + AlarmText(ald.Subunits[s]) + "\n";
  if (ald.DeviceType == kAldSingleRet) t += "RET TILT                 , " + TiltText(d) + "\n";
  if (ald.DeviceType == kAldTma) t += TmaLines(d);
  std::vector<std::string> values = AntennaValues(d);
  for (size_t i = 0; i < values.size(); ++i) t += kAntennaLabels[i] + values[i] + "\n";
  return t;
}

// An ALD of a type the program does not know ends after its type line.
std::string ReportAld(const AldTable& table, unsigned slot) {
  const AldRecord& ald = table.Record(slot);
  std::vector<std::string> values = IdentityValues(table, slot, ReportTypeText);
  std::string t;
  for (size_t i = 0; i < values.size(); ++i) {
    t += kIdentityLabels[i] + values[i] + "\n";
    if (i == kTypeIndex && !IsKnownType(ald.DeviceType)) return t;
  }
  for (int s = 0; s < SubunitsOf(ald); ++s) t += ReportSubunit(ald, s);
  return t + kHashLine;
}

// Slots whose record holds an ALD, in slot order: the ALDs the list shows.
std::vector<unsigned> AldSlots(const AldTable& table) {
  std::vector<unsigned> slots;
  for (unsigned i = 1; i <= AldTable::kMaxAld; ++i) {
    if (table.Record(i).InUse != 0) slots.push_back(i);
  }
  return slots;
}

}  // namespace

std::string AldListCsvText(const AldTable& table) {
  std::string text = kCsvHeader;
  for (unsigned slot : AldSlots(table)) text += CsvAld(table, slot);
  return text;
}

std::string AldListReportText(const AldTable& table) {
  std::vector<unsigned> slots = AldSlots(table);
  std::string text = slots.empty() ? "" : kHashLine;
  for (unsigned slot : slots) text += ReportAld(table, slot);
  return text;
}
