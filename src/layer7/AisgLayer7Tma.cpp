#include "layer7/AisgLayer7.h"
#include "layer7/Vocabulary.h"

namespace {

uint8_t CodeOf(ProcedureId id) {
  return Vocabulary::ProcedureCodeOf(id);
}

}  // namespace

ResultCode AisgLayer7::TmaSetMode(uint8_t address, uint8_t subunit, uint8_t mode) {
  return Simple(address, L7Message::Make(CodeOf(kProcTmaSetMode), {subunit, mode}));
}

ResultCode AisgLayer7::TmaGetMode(uint8_t address, uint8_t subunit, uint8_t& mode) {
  return SubunitOctets(address, CodeOf(kProcTmaGetMode), subunit, &mode, 1);
}

ResultCode AisgLayer7::TmaGetSupportedFunctions(uint8_t address, uint8_t subunit, uint8_t functions[4]) {
  return SubunitOctets(address, CodeOf(kProcTmaGetSupportedFunctions), subunit, functions, 4);
}

ResultCode AisgLayer7::TmaSetGain(uint8_t address, uint8_t subunit, uint8_t gain) {
  return Simple(address, L7Message::Make(CodeOf(kProcTmaSetGain), {subunit, gain}));
}

ResultCode AisgLayer7::TmaGetGain(uint8_t address, uint8_t subunit, uint8_t& gain) {
  return SubunitOctets(address, CodeOf(kProcTmaGetGain), subunit, &gain, 1);
}

ResultCode AisgLayer7::TmaGetAlarms(uint8_t address, uint8_t subunit, AlarmList& alarms) {
  return AlarmsOfSubunit(address, CodeOf(kProcTmaGetAlarms), subunit, alarms);
}

ResultCode AisgLayer7::TmaGetNumberSubunits(uint8_t address, uint8_t& count) {
  return CountQuery(address, CodeOf(kProcTmaGetNumberSubunits), {}, count);
}

// Requests that name only the subunit and read n octets after the subunit
// number and the return code.
ResultCode AisgLayer7::SubunitOctets(uint8_t address, uint8_t procedure, uint8_t subunit, uint8_t* out, size_t n) {
  L7Message response;
  Outcome o = Transact(address, L7Message::Make(procedure, {subunit}), response);
  if (!o.Ok) return o.Result;
  for (size_t i = 0; i < n; ++i) out[i] = response.DataAt(2 + i);
  return Succeeded(address, procedure);
}
