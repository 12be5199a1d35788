#pragma once

#include <cstdint>
#include <functional>

#include "layer7/ResultCode.h"

class AisgLayer7;
struct AldRecord;
struct DeviceData;

// One device data field of an ALD read or written with the procedure of
// its kind: single RET, multi RET (the antenna given) or TMA (the subunit
// given). Any other kind traces "Invalid device type!" and sends nothing.
// Every front end that reads or writes fields goes through here.
namespace FieldAccess {

ResultCode Get(AisgLayer7& layer7, const AldRecord& ald, uint8_t subunit, uint8_t field, DeviceData& data);
// Sends the field's value from the selected ALD's selected subunit. The
// antenna frequency band also sends the band words that word A announces.
ResultCode Set(AisgLayer7& layer7, const AldRecord& ald, uint8_t subunit, uint8_t field);

// Called after each read of a band word with its field and result.
using BandReadShown = std::function<void(uint8_t field, ResultCode result)>;
// Reads word A, then words B and C as word A announces them. A word that
// word A does not announce holds no band and is cleared, so that bands of
// an earlier read are not shown as the device's. The first failure ends it.
ResultCode ReadBands(AisgLayer7& layer7, const AldRecord& ald, uint8_t subunit, DeviceData& data,
                     const BandReadShown& shown = {});

}  // namespace FieldAccess
