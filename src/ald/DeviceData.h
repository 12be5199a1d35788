#pragma once

#include <cstdint>
#include <string>

// The stored copy of an antenna's or TMA subunit's device data fields, with
// the TMA and tilt values read by the operation pages.
struct DeviceData {
  std::string AntennaModelNumber;
  std::string AntennaSerialNumber;
  uint16_t AntennaFrequencyBands[3] = {};
  uint16_t BeamwidthForBands[4] = {};
  uint8_t GainForBands[4] = {};
  int16_t MaxSupportedTilt = 0;
  int16_t MinSupportedTilt = 0;
  std::string InstallationDate;
  std::string InstallerId;
  std::string BaseStationId;
  std::string SectorId;
  uint16_t AntennaBearing = 0;
  int16_t InstalledMechanicalTilt = 0;
  std::string TmaModelNumber;
  std::string TmaSerialNumber;
  uint8_t TmaSubunitType = 0;
  uint16_t TmaRxBandMin = 0;
  uint16_t TmaRxBandMax = 0;
  uint16_t TmaTxBandMin = 0;
  uint16_t TmaTxBandMax = 0;
  uint8_t TmaMaxGain = 0;
  uint8_t TmaMinGain = 0;
  uint8_t TmaGainResolution = 0;
  int32_t TmaModeValid = 0;
  uint8_t TmaMode = 0;
  int32_t TmaGainValid = 0;
  uint8_t TmaGain = 0;
  uint8_t TmaFunctionsFlags = 0;
  uint8_t TmaFunctionsMinGain = 0;
  uint8_t TmaFunctionsMaxGain = 0;
  uint8_t TmaFunctionsGainResolution = 0;
  int32_t TiltValid = 0;
  int16_t Tilt = 0;
};
