#pragma once

#include "sim/SimRet.h"

// A RET driving 1 to 6 antennas. Every request names the antenna in its first
// data octet and every response repeats it before the return code, except
// Get Number Antennas (return code, count).
//
// Alarm indication (0x85), one message per antenna:
//   data octet 0      antenna number (1 to 6)
//   then pairs        alarm code, state (1 raised, 0 cleared)
// so an indication of antenna 2 raising Actuator Jam Permanent carries the
// data 0x02 0x02 0x01.
class SimMultiRet : public SimRet {
 public:
  using SimRet::SimRet;

 protected:
  std::optional<Outcome> KindProcedure(uint8_t code, View data, uint64_t nowMs) override;
  Bytes AlarmIndication(size_t index, const std::vector<std::pair<uint8_t, uint8_t>>& changes) const override;

 private:
  Outcome AntennaProcedure(uint8_t code, uint8_t antenna, View rest);
};
