#include "sim/SimSite.h"

// The demonstration site: three single RETs of two vendors (two with nearly
// the same serial number), a multi RET with three antennas and a TMA with two
// subunits. The single RETs start uncalibrated, as RETs fresh on a mast do.
nlohmann::json SimSite::Demo() {
  using json = nlohmann::json;
  auto antenna = [](const char* model, const char* serial, int maxTilt, int minTilt) {
    return json{{"antennaModelNumber", model},
                {"antennaSerialNumber", serial},
                {"antennaFrequencyBand", 0x0120},
                {"antennaBeamwidth", {65, 63, 0, 0}},
                {"antennaGain", {171, 175, 0, 0}},
                {"maxTilt", maxTilt},
                {"minTilt", minTilt},
                {"installDate", "240611"},
                {"installerId", "TD001"},
                {"baseStationId", "DEMO-SITE-0001"},
                {"bearing", 1200},
                {"mechanicalTilt", 0}};
  };
  auto singleRet = [&](const char* id, const char* serial, int tilt) {
    return json{{"type", "singleRet"},
                {"uniqueId", id},
                {"productNumber", "RET-8001"},
                {"serialNumber", serial},
                {"hardwareVersion", "HW 2.1"},
                {"softwareVersion", "SW 3.4.17"},
                {"subunits", {{{"tilt", tilt}, {"fields", antenna("ANT-742266", serial, 120, 0)}}}}};
  };
  json multiRet = {{"type", "multiRet"},
                   {"uniqueId", "CS7000RM0000420"},
                   {"productNumber", "MRET-3A"},
                   {"serialNumber", "RM0000420"},
                   {"hardwareVersion", "HW 1.0"},
                   {"softwareVersion", "SW 1.8.2"},
                   {"subunits",
                    {{{"calibrated", true}, {"tilt", 40}, {"fields", antenna("ANT-3X-1710", "A0420-1", 100, 0)}},
                     {{"calibrated", false}, {"tilt", 0}, {"fields", antenna("ANT-3X-1710", "A0420-2", 100, 0)}},
                     {{"calibrated", true}, {"tilt", 65}, {"fields", antenna("ANT-3X-0790", "A0420-3", 140, 20)}}}}};
  json tmaSubunit = {
      {"gain", 48},
      {"fields",
       {{"tmaModelNumber", "TMA-DD-1800"}, {"tmaType", 1}, {"tmaRxBand", {1710, 1785}}, {"tmaTxBand", {1805, 1880}}}}};
  json tma = {{"type", "tma"},
              {"uniqueId", "TW21800045"},
              {"productNumber", "TMA-DD-1800"},
              {"serialNumber", "21800045"},
              {"hardwareVersion", "HW A"},
              {"softwareVersion", "SW 2.0.5"},
              {"subunits", {tmaSubunit, tmaSubunit}}};
  return {{"bus", {{"baud", 9600}, {"turnaroundMs", 3}, {"collisions", "concat"}, {"addressTimeoutS", 180}}},
          {"devices",
           {singleRet("KA0000801234567", "0000801234567", 20), singleRet("KA0000801234568", "0000801234568", 35),
            singleRet("AN07RET4410", "07RET4410", 0), multiRet, tma}}};
}
