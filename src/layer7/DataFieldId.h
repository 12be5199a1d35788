#pragma once

#include <cstdint>
#include <string>

// Identifiers of the device data fields that Set and Get Device Data carry.
enum DataFieldId : uint8_t {
  kFieldAntennaModelNumber = 0x01,
  kFieldAntennaSerialNumber = 0x02,
  kFieldAntennaFrequencyBand = 0x03,
  kFieldAntennaBeamwidth = 0x04,
  kFieldAntennaGain = 0x05,
  kFieldAntennaMaxTilt = 0x06,
  kFieldAntennaMinTilt = 0x07,
  kFieldAntennaFrequencyBand08 = 0x08,
  kFieldAntennaFrequencyBand09 = 0x09,
  kFieldTmaModelNumber = 0x11,
  kFieldTmaSerialNumber = 0x12,
  kFieldTmaType = 0x13,
  kFieldTmaRxFrequencyBand = 0x14,
  kFieldTmaTxFrequencyBand = 0x15,
  kFieldTmaMaxSupportGain = 0x16,
  kFieldTmaMinSupportGain = 0x17,
  kFieldTmaGainResolution = 0x18,
  kFieldOperatorInstallDate = 0x21,
  kFieldOperatorInstallId = 0x22,
  kFieldOperatorBaseStationId = 0x23,
  kFieldOperatorSectorId = 0x24,
  kFieldOperatorAntennaBearing = 0x25,
  kFieldOperatorMechanicalTilt = 0x26,
  kFieldUnknown = 0xFF,
};

enum class FieldGroup : uint8_t { kNone, kAntenna, kTma, kOperator };

// How a field's value travels: text in exactly the field's width, 16-bit
// little-endian words, or single octets.
enum class FieldEncoding : uint8_t { kNone, kText, kWords, kOctets };

struct DataFieldInfo {
  uint8_t Id;
  const char* Name;
  uint8_t Width;  // octets of the value on the bus
  FieldEncoding Encoding;
  FieldGroup Group;
};

// The row of a field identifier; the "Unknown" row (width 0, no group) for
// an identifier that names no field.
const DataFieldInfo& DataFieldInfoOf(uint8_t id);
std::string DataFieldName(uint8_t id);
