#pragma once

#include "bus/AlarmList.h"
#include "bus/DeviceData.h"

struct AldSubunit {
  AlarmList Alarms;
  DeviceData Data;
};
