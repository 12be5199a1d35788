#pragma once

#include <cstdint>
#include <string>

#include "layer7/ResultCode.h"

class AisgLayer7;
struct AlarmList;
struct AldRecord;

// The rules of the RET operation page that do not need a window: how a tilt
// is shown, how an entered tilt is taken and checked against the antenna's
// limits, and the texts the page shows. Front ends only display them.
namespace RetPage {

inline constexpr char kInvalidTilt[] = "Invalid Tilt value.";

// "%.1f" of the tilt in tenths of a degree: -25 shows as "-2.5".
std::string TiltText(int16_t tenths);

struct TiltEntry {
  enum class Status { kOk, kInvalid, kOutOfRange };
  Status Verdict = Status::kOk;
  int16_t Tenths = 0;   // the tilt to send when kOk
  std::string Message;  // the page's message box text otherwise
};

// SET TILT's entry rule: a decimal number (an empty text is 0), within the
// antenna's MinSupportedTilt and MaxSupportedTilt (tenths of a degree),
// sent as the value x 10 truncated toward zero to 16 bits.
TiltEntry CheckTilt(const std::string& text, int16_t minTenths, int16_t maxTenths);

// The alarm read SET TILT makes before it moves an antenna, into that
// antenna's alarm list, emptied first: Get Alarm Status for a single RET,
// Multi Ret Get Alarms of the antenna itself for a multi RET (the device's
// status would carry the alarms of its other antennas).
ResultCode ReadAlarmsBeforeMove(AisgLayer7& layer7, AldRecord& ald, uint8_t subunit);
// SET TILT refuses to move an antenna whose alarm read gave this result,
// or whose list holds a raised "Not Calibrated" among other alarms.
bool RefusesToMove(ResultCode alarmRead);
bool RefusesToMove(ResultCode alarmRead, const AlarmList& alarms);
std::string NotCalibratedText(uint8_t address);
// The configuration download's failure text.
std::string ConfigDownloadErrorText(ResultCode result);

}  // namespace RetPage
