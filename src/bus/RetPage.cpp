#include "bus/RetPage.h"

#include <algorithm>
#include <optional>

#include "ald/AldRecord.h"
#include "bus/AldAlarmRead.h"
#include "bus/EntryText.h"
#include "core/Format.h"
#include "layer7/Vocabulary.h"

namespace RetPage {

std::string TiltText(int16_t tenths) {
  return Format("%.1f", tenths / 10.0);
}

TiltEntry CheckTilt(const std::string& text, int16_t minTenths, int16_t maxTenths) {
  TiltEntry entry;
  std::optional<double> degrees = EntryText::Number(text);
  if (!degrees) {
    entry.Verdict = TiltEntry::Status::kInvalid;
    entry.Message = kInvalidTilt;
    return entry;
  }
  double min = minTenths / 10.0;
  double max = maxTenths / 10.0;
  if (*degrees > max || *degrees < min) {
    entry.Verdict = TiltEntry::Status::kOutOfRange;
    entry.Message = Format("Tilt value is out of range. Please enter a value between %.1f - %.1f", min, max);
    return entry;
  }
  entry.Tenths = static_cast<int16_t>(EntryText::Truncate16(*degrees, 10.0));
  return entry;
}

// The page compares the result's name, so any code named so refuses.
bool RefusesToMove(ResultCode alarmRead) {
  return Vocabulary::ResultName(alarmRead) == "Not Calibrated";
}

ResultCode ReadAlarmsBeforeMove(AisgLayer7& layer7, AldRecord& ald, uint8_t subunit) {
  AlarmsOf(ald, subunit) = AlarmList{};
  return ReadAldAlarms(layer7, ald, subunit);
}

bool RefusesToMove(ResultCode alarmRead, const AlarmList& alarms) {
  if (RefusesToMove(alarmRead)) return true;
  int count = std::min<int>(alarms.AlarmCount, AlarmList::kMaxAlarms);
  for (int i = 0; i < count; ++i) {
    if (alarms.AlarmStates[i] == 1 && RefusesToMove(static_cast<ResultCode>(alarms.AlarmCodes[i]))) return true;
  }
  return false;
}

std::string NotCalibratedText(uint8_t address) {
  return Format("ALD#%d is Not Calibrated. Please perform Calibration", address);
}

std::string ConfigDownloadErrorText(ResultCode result) {
  return Format("Error:  %s\nPlease check the file and download again", Vocabulary::ResultName(result).c_str());
}

}  // namespace RetPage
