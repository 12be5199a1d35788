#pragma once

#include "ald/AlarmList.h"
#include "ald/DeviceData.h"

struct AldSubunit {
  AlarmList Alarms;
  DeviceData Data;
};
