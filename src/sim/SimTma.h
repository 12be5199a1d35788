#pragma once

#include "sim/SimAld.h"

// A tower mounted amplifier with 1 to 6 subunits. Every request names the
// subunit first and every response repeats it, except Get Number Subunits
// (return code, count). Modes: 0 normal, 1 bypass. Gains in 0.25 dB steps
// within the subunit's Tma Min/Max Support Gain fields, on the subunit's
// resolution (0.0625 dB steps). Supported-function flags: bit 0 bypass mode,
// bit 1 adjustable gain.
//
// Alarm indication (0x76), one message per subunit, laid out like the multi
// RET's: subunit number, then pairs of alarm code and state.
class SimTma : public SimAld {
 public:
  static constexpr uint8_t kGainOutOfRange = 0x1C;
  static constexpr uint8_t kBadGainForBypass = 0x1F;
  static constexpr uint8_t kUnsupportedProcedure = 0x25;

  using SimAld::SimAld;

 protected:
  std::optional<Outcome> KindProcedure(uint8_t code, View data, uint64_t nowMs) override;
  Bytes AlarmIndication(size_t index, const std::vector<std::pair<uint8_t, uint8_t>>& changes) const override;

 private:
  Outcome SubunitProcedure(uint8_t code, uint8_t number, View rest);
  Outcome SetMode(uint8_t code, uint8_t number, SimSubunit& subunit, View rest);
  Outcome SetGain(uint8_t code, uint8_t number, SimSubunit& subunit, View rest);
  Outcome SupportedFunctions(uint8_t code, uint8_t number, const SimSubunit& subunit) const;
};
