#include "bus/AldAlarmRead.h"

#include <algorithm>

#include "ald/AldRecord.h"
#include "ald/AldType.h"
#include "layer7/AisgLayer7.h"

namespace {

uint8_t NumberedSubunit(uint8_t subunit) {
  return static_cast<uint8_t>(std::clamp<int>(subunit, 1, AldRecord::kMaxSubunits));
}

}  // namespace

AlarmList& AlarmsOf(AldRecord& ald, uint8_t subunit) {
  return ald.Subunits[ald.DeviceType == kAldSingleRet ? 0 : NumberedSubunit(subunit) - 1].Alarms;
}

ResultCode ReadAldAlarms(AisgLayer7& layer7, AldRecord& ald, uint8_t subunit) {
  uint8_t s = NumberedSubunit(subunit);
  AlarmList& alarms = AlarmsOf(ald, subunit);
  switch (ald.DeviceType) {
    case kAldSingleRet: return layer7.GetAlarmStatus(ald.Address, alarms);
    case kAldMultiRet: return layer7.MultiRetGetAlarms(ald.Address, s, alarms);
    case kAldTma: return layer7.TmaGetAlarms(ald.Address, s, alarms);
    default: return kNoAlarmProcedure;
  }
}

bool IsLinkUp(const AldRecord& ald) {
  uint8_t state = ald.State;
  return state == kStateConnected || state == kStateAlarmed || state == kStateCalibrating;
}
