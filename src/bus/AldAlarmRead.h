#pragma once

#include <cstdint>

#include "layer7/ResultCode.h"

class AisgLayer7;
struct AlarmList;
struct AldRecord;

// Result of an alarm read on an ALD whose type has no alarm procedure
// ("Unknown Parameter").
inline constexpr ResultCode kNoAlarmProcedure = static_cast<ResultCode>(39);

// The alarm read of the ALD's type for one subunit, into that subunit's
// alarm list: Get Alarm Status for a single RET, Multi Ret Get Alarms or TMA
// Get Alarms for the others. Subunit 0 on a multi RET or TMA means its first
// subunit, since those number their subunits from 1.
ResultCode ReadAldAlarms(AisgLayer7& layer7, AldRecord& ald, uint8_t subunit);
// The alarm list that read fills.
AlarmList& AlarmsOf(AldRecord& ald, uint8_t subunit);

// Whether the ALD has a link that carries layer-7 procedures.
bool IsLinkUp(const AldRecord& ald);
