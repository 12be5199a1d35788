#include <mutex>

#include "ald/AlarmList.h"
#include "core/TraceLog.h"
#include "layer7/AisgLayer7.h"
#include "layer7/Vocabulary.h"
#include "link/AisgHdlc.h"

namespace {

uint8_t CodeOf(ProcedureId id) {
  return Vocabulary::ProcedureCodeOf(id);
}
uint8_t Low(int16_t v) {
  return static_cast<uint8_t>(static_cast<uint16_t>(v) & 0xFF);
}
uint8_t High(int16_t v) {
  return static_cast<uint8_t>(static_cast<uint16_t>(v) >> 8);
}

constexpr uint8_t kSingleRetIndication = 0x07;
constexpr uint8_t kMultiRetIndication = 0x85;
// The antenna count request declares one data octet; no antenna is meant.
constexpr uint8_t kNoAntenna = 0x00;

// Pairs of alarm code and state from `first` on, at most the list's 32.
void DecodeIndicationPairs(const L7Message& m, size_t first, AlarmList& alarms) {
  size_t end = m.DataLength();
  size_t pairs = end > first ? (end - first) / 2 : 0;
  if (pairs > AlarmList::kMaxAlarms) pairs = AlarmList::kMaxAlarms;
  alarms.AlarmCount = 0;
  for (size_t i = 0; i < pairs; ++i) {
    alarms.AlarmCodes[i] = Vocabulary::ResultFromAisg(m.DataAt(first + 2 * i));
    alarms.AlarmStates[i] = m.DataAt(first + 2 * i + 1);
    ++alarms.AlarmCount;
  }
}

}  // namespace

ResultCode AisgLayer7::RetCalibrate(uint8_t address) {
  return Simple(address, L7Message::Make(CodeOf(kProcSingleRetCalibrate), {}));
}

ResultCode AisgLayer7::RetSetTilt(uint8_t address, int16_t tilt) {
  return Simple(address, L7Message::Make(CodeOf(kProcSingleRetSetTilt), {Low(tilt), High(tilt)}));
}

ResultCode AisgLayer7::RetGetTilt(uint8_t address, int16_t& tilt) {
  L7Message response;
  uint8_t code = CodeOf(kProcSingleRetGetTilt);
  Outcome o = Transact(address, L7Message::Make(code, {}), response);
  if (!o.Ok) return o.Result;
  tilt = response.Int16At(1);
  return Succeeded(address, code);
}

ResultCode AisgLayer7::MultiRetCalibrate(uint8_t address, uint8_t antenna) {
  return Simple(address, L7Message::Make(CodeOf(kProcMultiRetCalibrate), {antenna}));
}

ResultCode AisgLayer7::MultiRetSetTilt(uint8_t address, uint8_t antenna, int16_t tilt) {
  return Simple(address, L7Message::Make(CodeOf(kProcMultiRetSetTilt), {antenna, Low(tilt), High(tilt)}));
}

ResultCode AisgLayer7::MultiRetGetTilt(uint8_t address, uint8_t antenna, int16_t& tilt) {
  L7Message response;
  uint8_t code = CodeOf(kProcMultiRetGetTilt);
  Outcome o = Transact(address, L7Message::Make(code, {antenna}), response);
  if (!o.Ok) return o.Result;
  tilt = response.Int16At(2);
  return Succeeded(address, code);
}

ResultCode AisgLayer7::MultiRetGetAlarms(uint8_t address, uint8_t antenna, AlarmList& alarms) {
  return AlarmsOfSubunit(address, CodeOf(kProcMultiRetGetAlarms), antenna, alarms);
}

ResultCode AisgLayer7::AlarmsOfSubunit(uint8_t address, uint8_t procedure, uint8_t subunit, AlarmList& alarms) {
  L7Message response;
  Outcome o = Transact(address, L7Message::Make(procedure, {subunit}), response);
  if (!o.Ok) return o.Result;
  return DecodeAlarmOctets(address, response, 2, alarms);
}

ResultCode AisgLayer7::MultiRetGetNumberAntennas(uint8_t address, uint8_t& count) {
  return CountQuery(address, CodeOf(kProcMultiRetGetNumberAntennas), {kNoAntenna}, count);
}

// The count answers carry the return code first and the count second, with
// no subunit number in front.
ResultCode AisgLayer7::CountQuery(uint8_t address, uint8_t procedure, std::initializer_list<uint8_t> data,
                                  uint8_t& count) {
  L7Message response;
  ResultCode result = RunProcedure(address, L7Message::Make(procedure, data), response);
  if (result == kSuccess && response.Length() >= 2 && response.DataAt(0) == 0x00) {
    count = response.DataAt(1);
    return Succeeded(address, procedure);
  }
  bool hasResponse = result == kSuccess || result == kFormatError;
  return Failed(address, procedure, hasResponse ? ResponseResult(response) : result);
}

// Single RET: pairs of alarm code and state. Multi RET: the antenna number,
// then pairs of alarm code and state for that antenna.
ResultCode AisgLayer7::PollAlarmIndication(uint8_t address, AlarmList& alarms) {
  std::unique_lock<std::recursive_mutex> holdAld(procedureLocks_[address], std::try_to_lock);
  if (!holdAld.owns_lock()) return kBusy;
  L7Message message;
  ResultCode result = link_.Poll(address, message.Bytes);
  if (result != kLayer7Notification) return result;
  if (TakeOwedAnswer(address, message)) return kSuccess;
  if (message.Code() == kSingleRetIndication) {
    DecodeIndicationPairs(message, 0, alarms);
    alarms.AlarmSubunit = 0;
    return kSuccess;
  }
  if (message.Code() == kMultiRetIndication) {
    DecodeIndicationPairs(message, 1, alarms);
    alarms.AlarmSubunit = message.DataAt(0);
    return kSuccess;
  }
  return kUnsupportedOperation;
}
