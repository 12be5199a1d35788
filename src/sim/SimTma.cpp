#include "sim/SimTma.h"

namespace {

constexpr uint8_t kSetMode = 0x70;
constexpr uint8_t kGetMode = 0x71;
constexpr uint8_t kSetGain = 0x72;
constexpr uint8_t kGetGain = 0x73;
constexpr uint8_t kSetDeviceData = 0x74;
constexpr uint8_t kGetDeviceData = 0x75;
constexpr uint8_t kAlarmIndication = 0x76;
constexpr uint8_t kClearAlarms = 0x77;
constexpr uint8_t kGetAlarms = 0x78;
constexpr uint8_t kGetNumberSubunits = 0x79;
constexpr uint8_t kGetSupportedFunctions = 0x7A;

constexpr uint8_t kMaxGainField = 0x16;
constexpr uint8_t kMinGainField = 0x17;
constexpr uint8_t kBypassFlag = 0x01;
constexpr uint8_t kGainFlag = 0x02;

uint8_t FieldOctet(const SimSubunit& subunit, uint8_t id) {
  auto it = subunit.Fields.find(id);
  return it == subunit.Fields.end() || it->second.empty() ? 0 : it->second[0];
}

}  // namespace

std::optional<SimDevice::Outcome> SimTma::KindProcedure(uint8_t code, View data, uint64_t) {
  if (code == kGetNumberSubunits) {
    if (!data.empty()) return Fail(code, std::nullopt, kFormatError);
    return Ok(code, std::nullopt, {static_cast<uint8_t>(Subunits().size())});
  }
  if (code < kSetMode || code > kGetSupportedFunctions || code == kAlarmIndication) return std::nullopt;
  if (data.empty()) return Fail(code, 0, kFormatError);
  if (!SubunitAt(data[0])) return Fail(code, data[0], kOutOfRange);
  return SubunitProcedure(code, data[0], data.subspan(1));
}

SimDevice::Outcome SimTma::SubunitProcedure(uint8_t code, uint8_t number, View rest) {
  SimSubunit& subunit = *SubunitAt(number);
  bool empty = rest.empty();
  switch (code) {
    case kSetMode: return SetMode(code, number, subunit, rest);
    case kGetMode: return empty ? Ok(code, number, {subunit.Mode}) : Fail(code, number, kFormatError);
    case kSetGain: return SetGain(code, number, subunit, rest);
    case kGetGain: return empty ? Ok(code, number, {subunit.Gain}) : Fail(code, number, kFormatError);
    case kSetDeviceData: return SetField(code, number, subunit, rest);
    case kGetDeviceData: return GetField(code, number, subunit, rest);
    case kClearAlarms: return empty ? ClearAlarmsOf(code, number, subunit) : Fail(code, number, kFormatError);
    case kGetAlarms: return empty ? AlarmsOf(code, number, subunit) : Fail(code, number, kFormatError);
    default: return empty ? SupportedFunctions(code, number, subunit) : Fail(code, number, kFormatError);
  }
}

SimDevice::Outcome SimTma::SetMode(uint8_t code, uint8_t number, SimSubunit& subunit, View rest) {
  if (rest.size() != 1) return Fail(code, number, kFormatError);
  if (rest[0] > 1) return Fail(code, number, kOutOfRange);
  if (rest[0] == 1 && !(subunit.Functions & kBypassFlag)) return Fail(code, number, kUnsupportedProcedure);
  subunit.Mode = rest[0];
  return Ok(code, number);
}

// A gain must lie within the support limits and on the resolution grid; in
// bypass mode there is no amplifier to set.
SimDevice::Outcome SimTma::SetGain(uint8_t code, uint8_t number, SimSubunit& subunit, View rest) {
  if (rest.size() != 1) return Fail(code, number, kFormatError);
  if (!(subunit.Functions & kGainFlag)) return Fail(code, number, kUnsupportedProcedure);
  if (subunit.Mode == 1) return Fail(code, number, kBadGainForBypass);
  uint8_t gain = rest[0];
  bool inRange = gain >= FieldOctet(subunit, kMinGainField) && gain <= FieldOctet(subunit, kMaxGainField);
  bool onGrid = subunit.GainResolution == 0 || (gain * 4u) % subunit.GainResolution == 0;
  if (!inRange || !onGrid) return Fail(code, number, kGainOutOfRange);
  subunit.Gain = gain;
  return Ok(code, number);
}

SimDevice::Outcome SimTma::SupportedFunctions(uint8_t code, uint8_t number, const SimSubunit& subunit) const {
  return Ok(code, number,
            {subunit.Functions, FieldOctet(subunit, kMinGainField), FieldOctet(subunit, kMaxGainField),
             subunit.GainResolution});
}

SimDevice::Bytes SimTma::AlarmIndication(size_t index, const std::vector<std::pair<uint8_t, uint8_t>>& changes) const {
  Bytes data = {static_cast<uint8_t>(index + 1)};
  for (const auto& [code, state] : changes) {
    data.push_back(code);
    data.push_back(state);
  }
  return Message(kAlarmIndication, data);
}
