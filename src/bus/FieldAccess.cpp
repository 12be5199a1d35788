#include "bus/FieldAccess.h"

#include "ald/AldRecord.h"
#include "ald/AldTable.h"
#include "ald/AldType.h"
#include "ald/DeviceData.h"
#include "bus/FieldPages.h"
#include "core/TraceLog.h"
#include "layer7/AisgLayer7.h"
#include "layer7/DataFieldId.h"

namespace {

ResultCode InvalidType(AisgLayer7& layer7, const AldRecord& ald) {
  layer7.Log().Write(kTraceWarning, TraceClass::kMain, ald.Address, "Invalid device type!");
  return kUnsupportedOperation;
}

ResultCode SetOne(AisgLayer7& layer7, const AldRecord& ald, uint8_t subunit, uint8_t field) {
  switch (ald.DeviceType) {
    case kAldSingleRet: return layer7.RetSetDeviceData(ald.Address, field);
    case kAldMultiRet: return layer7.MultiRetSetDeviceData(ald.Address, subunit, field);
    case kAldTma: return layer7.TmaSetDeviceData(ald.Address, subunit, field);
    default: return InvalidType(layer7, ald);
  }
}

}  // namespace

namespace FieldAccess {

ResultCode Get(AisgLayer7& layer7, const AldRecord& ald, uint8_t subunit, uint8_t field, DeviceData& data) {
  switch (ald.DeviceType) {
    case kAldSingleRet: return layer7.RetGetDeviceData(ald.Address, field, data);
    case kAldMultiRet: return layer7.MultiRetGetDeviceData(ald.Address, subunit, field, data);
    case kAldTma: return layer7.TmaGetDeviceData(ald.Address, subunit, field, data);
    default: return InvalidType(layer7, ald);
  }
}

// Word A goes in the band field itself; the words it announces follow in
// fields of their own, which the device needs to keep its bands whole.
ResultCode Set(AisgLayer7& layer7, const AldRecord& ald, uint8_t subunit, uint8_t field) {
  ResultCode r = SetOne(layer7, ald, subunit, field);
  if (field != kFieldAntennaFrequencyBand || r != kSuccess) return r;
  const DeviceData* data = layer7.Alds().CurrentDeviceData();
  uint16_t a = data ? data->AntennaFrequencyBands[0] : 0;
  if (FieldPages::ReadsWordB(a)) r = SetOne(layer7, ald, subunit, kFieldAntennaFrequencyBand08);
  if (r == kSuccess && FieldPages::ReadsWordC(a)) r = SetOne(layer7, ald, subunit, kFieldAntennaFrequencyBand09);
  return r;
}

ResultCode ReadBands(AisgLayer7& layer7, const AldRecord& ald, uint8_t subunit, DeviceData& data,
                     const BandReadShown& shown) {
  auto read = [&](uint8_t field) {
    ResultCode r = Get(layer7, ald, subunit, field, data);
    if (shown) shown(field, r);
    return r;
  };
  ResultCode r = read(kFieldAntennaFrequencyBand);
  if (r != kSuccess) return r;
  uint16_t a = data.AntennaFrequencyBands[0];
  if (!FieldPages::ReadsWordB(a)) data.AntennaFrequencyBands[1] = 0;
  if (!FieldPages::ReadsWordC(a)) data.AntennaFrequencyBands[2] = 0;
  if (FieldPages::ReadsWordB(a) && (r = read(kFieldAntennaFrequencyBand08)) != kSuccess) return r;
  if (FieldPages::ReadsWordC(a)) r = read(kFieldAntennaFrequencyBand09);
  return r;
}

}  // namespace FieldAccess
