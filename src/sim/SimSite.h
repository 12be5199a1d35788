#pragma once

#include <cstdint>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>

#include "sim/SimAld.h"
#include "sim/VirtualBus.h"

// Site files: the devices of one simulated bus and the bus settings, as JSON.
//
//   {
//     "bus": {"baud": 9600, "turnaroundMs": 3, "collisions": "concat",
//             "addressTimeoutS": 180},
//     "devices": [
//       {"type": "singleRet" | "multiRet" | "tma",
//        "uniqueId": "KA0000000000001234",      2 to 19 characters
//        "vendorCode": "KA",                     default: first two of uniqueId
//        "aisgVersion": 2, "address": 0,         address 1..254 starts addressed
//        "productNumber": "", "serialNumber": "",
//        "hardwareVersion": "", "softwareVersion": "",
//        "timing": {"tiltDegPerS": 1.0, "moveSettleMs": 500,
//                   "calibrationMs": 6000, "selfTestMs": 3000, "restartMs": 3000},
//        "downloadFail": "never" | "start" | "end" | "block:N",
//        "stuck": false,
//        "splitAnswerMs": 0,                     answers in two pieces this far apart
//        "strayOctets": 0,                       noise after each non-XID answer (<= 64)
//        "staleIFrameGapMs": 20,                 its previous I-frame again, this long
//                                                before each new one (absent: never)
//        "subunits": [                           1 for a single RET, 1 to 6 else
//          {"calibrated": false, "configured": true, "tilt": 0,
//           "mode": 0, "gain": 48, "functions": 3, "gainResolution": 4,
//           "alarms": [14],
//           "fields": {"antennaModelNumber": "...", "maxTilt": 100, ...}}]}]
//   }
//
// Tilts are tenths of a degree, gains 0.25 dB steps, the gain resolution
// 0.0625 dB steps. "fields" uses the names of SimDataFields; a RET antenna
// keeps the antenna and operator fields, a TMA subunit the TMA fields too.
// The live state (SIGUSR1) adds "connected", "powered", "subscribed", "busy",
// "queued", "downloads", "lastDownloadOctets" and per subunit "configOctets".
class SimSite {
 public:
  struct BusSettings {
    uint32_t Baud = 9600;
    uint32_t TurnaroundMs = 3;
    VirtualBus::Collisions Collisions = VirtualBus::Collisions::kConcat;
    uint64_t AddressTimeoutMs = 180000;
  };

  // Adds the site's devices to the bus. False with a message on a bad site.
  // A bare name is also looked for among the sites that come with the
  // program (SiteFiles).
  static bool Load(const std::string& name, VirtualBus& bus, BusSettings& settings, std::string* error);
  static bool FromJson(const nlohmann::json& site, VirtualBus& bus, BusSettings& settings, std::string* error);
  static bool Save(const std::string& path, VirtualBus& bus, const BusSettings& settings, std::string* error);

  // Three single RETs of two vendors, a multi RET with three antennas and a
  // TMA with two subunits.
  static nlohmann::json Demo();

  static std::unique_ptr<SimAld> DeviceFromJson(const nlohmann::json& device, const BusSettings& settings,
                                                uint64_t nowMs, std::string* error);
  static nlohmann::ordered_json DeviceJson(const SimAld& device, bool live);
};
