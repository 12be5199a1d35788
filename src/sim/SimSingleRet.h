#pragma once

#include "sim/SimRet.h"

// A RET with one antenna. Its procedures name no antenna. Alarm indication
// (0x07): pairs of alarm code and state octet (1 raised, 0 cleared).
class SimSingleRet : public SimRet {
 public:
  using SimRet::SimRet;

 protected:
  std::optional<Outcome> KindProcedure(uint8_t code, View data, uint64_t nowMs) override;
  Bytes AlarmIndication(size_t index, const std::vector<std::pair<uint8_t, uint8_t>>& changes) const override;
};
