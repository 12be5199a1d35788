#include "layer7/Vocabulary.h"

#include <array>

namespace {

constexpr std::array<ProcedureInfo, 41> kProcedures = {{
    {kProcReset, 0x03, "Reset", false, 10},
    {kProcGetAlarmStatus, 0x04, "Get Alarm Status", false, 10},
    {kProcGetInfo, 0x05, "Get Info", false, 10},
    {kProcClearAlarms, 0x06, "Clear Alarms", false, 10},
    {kProcReadUserData, 0x10, "Read User Data", false, 10},
    {kProcWriteUserData, 0x11, "Write User Data", false, 10},
    {kProcAlarmSubscribe, 0x12, "Alarm Subscribe", false, 10},
    {kProcSelfTest, 0x0A, "Self Test", false, 60},
    {kProcVendorSpecific, 0x90, "Vendor Specific", false, 10},
    {kProcDownloadStart, 0x40, "Download Start", false, 10},
    {kProcDownloadAppl, 0x41, "Download Appl", false, 10},
    {kProcDownloadEnd, 0x42, "Download End", false, 10},
    {kProcSingleRetCalibrate, 0x31, "Single Ret Calibrate", false, 180},
    {kProcSingleRetSendConfigData, 0x32, "Single Ret Send Config Data", false, 10},
    {kProcSingleRetSetTilt, 0x33, "Single Ret Set Tilt", false, 120},
    {kProcSingleRetGetTilt, 0x34, "Single Ret Get Tilt", false, 10},
    {kProcSingleRetAlarmIndication, 0x07, "Single Ret Alarm Indication", false, 10},
    {kProcSingleRetSetDeviceData, 0x0E, "Single Ret Set Device Data", false, 10},
    {kProcSingleRetGetDeviceData, 0x0F, "Single Ret Get Device Data", false, 10},
    {kProcMultiRetCalibrate, 0x80, "Multi Ret Calibrate", true, 90},
    {kProcMultiRetSetTilt, 0x81, "Multi Ret Set Tilt", true, 30},
    {kProcMultiRetGetTilt, 0x82, "Multi Ret Get Tilt", true, 10},
    {kProcMultiRetSetDeviceData, 0x83, "Multi Ret Set Device Data", true, 10},
    {kProcMultiRetGetDeviceData, 0x84, "Multi Ret Get Device Data", true, 10},
    {kProcMultiRetAlarmIndication, 0x85, "Multi Ret Alarm Indication", true, 10},
    {kProcMultiRetClearAlarms, 0x86, "Multi Ret Clear Alarms", true, 10},
    {kProcMultiRetGetAlarms, 0x87, "Multi Ret Get Alarms", true, 10},
    {kProcMultiRetGetNumberAntennas, 0x88, "Multi Ret Get Number Antennas", true, 10},
    {kProcMultiRetSendConfigData, 0x89, "Multi Ret Send Config Data", true, 10},
    {kProcTmaSetMode, 0x70, "TMA Set Mode", true, 10},
    {kProcTmaGetMode, 0x71, "TMA Get Mode", true, 10},
    {kProcTmaGetSupportedFunctions, 0x7A, "TMA Get Supported Funtions", true, 10},
    {kProcTmaSetGain, 0x72, "TMA Set Gain", true, 10},
    {kProcTmaGetGain, 0x73, "TMA Get Gain", true, 10},
    {kProcTmaSetDeviceData, 0x74, "TMA Set Device Data", true, 10},
    {kProcTmaGetDeviceData, 0x75, "TMA Get Device Data", true, 10},
    {kProcTmaAlarmIndication, 0x76, "TMA Alarm Indication", true, 10},
    {kProcTmaClearAlarms, 0x77, "TMA Clear Alarms", true, 10},
    {kProcTmaGetAlarms, 0x78, "TMA Get Alarms", true, 10},
    {kProcTmaGetNumberSubunits, 0x79, "TMA Get Number Subunits", true, 10},
    {kProcUnknown, 0xFF, "Unknown Command", false, 10},
}};

constexpr std::array<ResultInfo, 47> kResults = {{
    {0, 0xFF, "Success"},
    {1, 0xFF, "Timeout"},
    {2, 0xFF, "Collision"},
    {3, 0xFF, "Failure"},
    {4, 0xFF, "Protocol Error"},
    {5, 0xFF, "CRC16 Error"},
    {6, 0xFF, "Invalid State"},
    {7, 0xFF, "Software Error"},
    {8, 0xFF, "Unsupported Operation"},
    {9, 0xFF, "Procedure Not Completed"},
    {10, 0xFF, "Layer7 Notification"},
    {11, 0x01, "Actuator Detection Fail"},
    {12, 0x02, "Actuator Jam Permanent"},
    {13, 0x03, "Actuator Jam Temporary"},
    {14, 0x04, "Block Number Sequence Error"},
    {15, 0x05, "Busy"},
    {16, 0x06, "CheckSum Error"},
    {17, 0x07, "Command Sequence Error"},
    {18, 0x08, "Data Error"},
    {19, 0x09, "Device Disabled"},
    {20, 0x0A, "Eeprom Error"},
    {21, 0x0B, "Fail"},
    {22, 0x0C, "Flash Erase Error"},
    {23, 0x0D, "Flash Error"},
    {24, 0x0E, "Not Calibrated"},
    {25, 0x0F, "Not Configured"},
    {26, 0x11, "Other Hardware Error"},
    {27, 0x12, "Other Software Error"},
    {28, 0x13, "Out Of Range"},
    {29, 0x14, "Position Lost"},
    {30, 0x15, "Ram Error"},
    {31, 0x16, "Segment Number Sequence Error"},
    {32, 0x17, "Uart Error"},
    {33, 0x19, "Unknown Command"},
    {34, 0x1A, "TMA Alarm Minor"},
    {35, 0x1B, "TMA Alarm Major"},
    {36, 0x1C, "Gain Out Of Range"},
    {37, 0x1D, "Read Only"},
    {39, 0x1E, "Unknown Parameter"},
    {38, 0x1F, "Bad Gain For Bypass Mode"},
    {40, 0x21, "Working Software Missing"},
    {41, 0x22, "Invalid File Content"},
    {42, 0x24, "Format Error"},
    {43, 0x25, "Unsupported Procedure"},
    {44, 0x26, "Invalid Procedure Sequence"},
    {45, 0x27, "Actuator Interference"},
    {46, 0xFF, "Unknown Result Code"},
}};

constexpr size_t kProcedureFallback = 40;
constexpr size_t kResultFallback = 46;

const ProcedureInfo& ProcedureByCode(uint8_t code) {
  for (size_t i = 0; i < kProcedureFallback; ++i) {
    if (kProcedures[i].Code == code) return kProcedures[i];
  }
  return kProcedures[kProcedureFallback];
}

}  // namespace

namespace Vocabulary {

uint8_t ProcedureCodeOf(uint8_t id) {
  for (size_t i = 0; i < kProcedureFallback; ++i) {
    if (kProcedures[i].Id == id) return kProcedures[i].Code;
  }
  return 0xFF;
}

ProcedureId ProcedureIdOf(uint8_t code) {
  return ProcedureByCode(code).Id;
}
std::string ProcedureName(uint8_t code) {
  return ProcedureByCode(code).Name;
}
uint16_t ProcedureTimeout(uint8_t code) {
  return ProcedureByCode(code).Timeout;
}
bool ProcedureHasSubunit(uint8_t code) {
  return ProcedureByCode(code).HasSubunit;
}

std::string ResultName(uint8_t result) {
  for (size_t i = 0; i < kResultFallback; ++i) {
    if (kResults[i].Code == result) return kResults[i].Name;
  }
  return kResults[kResultFallback].Name;
}

// 0xFF marks the system's own rows, so it is not looked up: a device that
// sends 0xFF as a return code has sent no known code.
uint8_t ResultFromAisg(uint8_t aisgCode) {
  if (aisgCode == 0xFF) return kUnknownResultCode;
  for (size_t i = 0; i < kResultFallback; ++i) {
    if (kResults[i].AisgCode == aisgCode) return kResults[i].Code;
  }
  return kUnknownResultCode;
}

std::string AldTypeText(uint8_t type) {
  switch (type) {
    case kAldSingleRet: return "Single RET";
    case kAldTma: return "TMA";
    case kAldMultiRet: return "Multi RET";
    default: return "UNKNOWN";
  }
}

std::string AldStateText(uint8_t state) {
  static const char* const kTexts[] = {"INITIAL",   "DISCOVERED", "ADDRESSED",  "DISCONNECTED",
                                       "CONNECTED", "ALARMED",    "CALIBRATING"};
  return state < 7 ? kTexts[state] : "UNKNOWN";
}

std::string AisgVersionText(uint8_t version) {
  if (version == 1) return "1.0";
  if (version == 2) return "2.0";
  return "Unknown";
}

std::string AldAddressText(uint8_t address, unsigned slot) {
  return address == 0 ? "Default" : std::to_string(slot);
}

}  // namespace Vocabulary
