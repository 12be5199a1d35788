#include "layer7/DataFieldId.h"

#include <iterator>

namespace {

using E = FieldEncoding;
using G = FieldGroup;

constexpr DataFieldInfo kFields[] = {
    {kFieldAntennaModelNumber, "Antenna Model Number", 15, E::kText, G::kAntenna},
    {kFieldAntennaSerialNumber, "Antenna Serial Number", 17, E::kText, G::kAntenna},
    {kFieldAntennaFrequencyBand, "Antenna Frequency Band", 2, E::kWords, G::kAntenna},
    {kFieldAntennaBeamwidth, "Antenna Beamwidth", 8, E::kWords, G::kAntenna},
    {kFieldAntennaGain, "Antenna Gain", 4, E::kOctets, G::kAntenna},
    {kFieldAntennaMaxTilt, "Antenna Max Tilt", 2, E::kWords, G::kAntenna},
    {kFieldAntennaMinTilt, "Antenna Min Tilt", 2, E::kWords, G::kAntenna},
    {kFieldAntennaFrequencyBand08, "Antenna Frequency Band 08", 2, E::kWords, G::kAntenna},
    {kFieldAntennaFrequencyBand09, "Antenna Frequency Band 09", 2, E::kWords, G::kAntenna},
    {kFieldTmaModelNumber, "Tma Model Number", 15, E::kText, G::kTma},
    {kFieldTmaSerialNumber, "Tma Serial Number", 17, E::kText, G::kTma},
    {kFieldTmaType, "Tma Type", 1, E::kOctets, G::kTma},
    {kFieldTmaRxFrequencyBand, "Tma Rx Frequency Band", 4, E::kWords, G::kTma},
    {kFieldTmaTxFrequencyBand, "Tma Tx Frequency Band", 4, E::kWords, G::kTma},
    {kFieldTmaMaxSupportGain, "Tma Max Support Gain", 1, E::kOctets, G::kTma},
    {kFieldTmaMinSupportGain, "Tma Min Support Gain", 1, E::kOctets, G::kTma},
    {kFieldTmaGainResolution, "Tma Gain Resolution", 1, E::kOctets, G::kTma},
    {kFieldOperatorInstallDate, "Operator Install Date", 6, E::kText, G::kOperator},
    {kFieldOperatorInstallId, "Operator Install Id", 5, E::kText, G::kOperator},
    {kFieldOperatorBaseStationId, "Operator BaseStation Id", 32, E::kText, G::kOperator},
    {kFieldOperatorSectorId, "Operator Sector Id", 32, E::kText, G::kOperator},
    {kFieldOperatorAntennaBearing, "Operator Antenna Bearing", 2, E::kWords, G::kOperator},
    {kFieldOperatorMechanicalTilt, "Operator Mechanical Tilt", 2, E::kWords, G::kOperator},
    {kFieldUnknown, "Unknown", 0, E::kNone, G::kNone},
};

// The last row is the fallback; a search never matches it, so 0xFF is not
// a field even though that row carries the identifier.
constexpr size_t kSearchedRows = std::size(kFields) - 1;

}  // namespace

const DataFieldInfo& DataFieldInfoOf(uint8_t id) {
  for (size_t i = 0; i < kSearchedRows; ++i) {
    if (kFields[i].Id == id) return kFields[i];
  }
  return kFields[kSearchedRows];
}

std::string DataFieldName(uint8_t id) {
  return DataFieldInfoOf(id).Name;
}
