#include <cstring>
#include <vector>

#include "ald/AldTable.h"
#include "ald/DeviceData.h"
#include "core/FakeClock.h"
#include "core/TraceLog.h"
#include "layer7/AisgLayer7.h"
#include "link/AisgHdlc.h"
#include "link/HdlcCodec.h"

namespace {

// Answers the reads with the frames of the fuzz input, one each, then with
// silence: a device's I-frames, RRs and anything else, in any order, ahead
// of the time-outs of the procedure's wait.
class ScriptLink : public AisgHdlc {
 public:
  ScriptLink(TraceLog& log, AldTable& table) : AisgHdlc(log, table) {}

  void Add(const uint8_t* content, size_t length) {
    std::vector<uint8_t> frame(HdlcCodec::kBufferSize);
    uint16_t n = static_cast<uint16_t>(std::min<size_t>(length, HdlcCodec::kMaxContent));
    frame.resize(HdlcCodec::Encode(content, n, frame.data()));
    frames_.push_back(std::move(frame));
  }

  uint32_t Write(const uint8_t*, uint32_t length) override { return length; }
  uint32_t Read(uint8_t* buffer, uint32_t capacity) override {
    if (next_ >= frames_.size()) return 0;
    const std::vector<uint8_t>& frame = frames_[next_++];
    uint32_t n = std::min<uint32_t>(static_cast<uint32_t>(frame.size()), capacity);
    std::memcpy(buffer, frame.data(), n);
    return n;
  }

 private:
  std::vector<std::vector<uint8_t>> frames_;
  size_t next_ = 0;
};

void Check(bool holds) {
  if (!holds) __builtin_trap();
}

void CheckAlarms(const AlarmList& alarms) {
  Check(alarms.AlarmCount <= AlarmList::kMaxAlarms);
}

void CheckRecord(const AldRecord& ald) {
  Check(ald.UniqueId[AldRecord::kUniqueIdMax] == 0);
  for (const std::string* text : {&ald.ProductNumber, &ald.SerialNumber, &ald.HardwareVersion, &ald.SoftwareVersion})
    Check(text->size() <= 80);
}

// One procedure of each kind of response layout, chosen by the selector.
void RunProcedure(AisgLayer7& l7, AldTable& table, uint8_t selector, uint8_t argument) {
  constexpr uint8_t a = 1;
  uint8_t sub = static_cast<uint8_t>(1 + argument % 6);
  AlarmList alarms;
  DeviceData data;
  int16_t tilt = 0;
  uint8_t value = 0;
  uint8_t functions[4] = {};
  switch (selector % 16) {
    case 0: l7.GetInformation(a, table.Record(a)); break;
    case 1: l7.GetAlarmStatus(a, alarms); break;
    case 2: l7.MultiRetGetAlarms(a, sub, alarms); break;
    case 3: l7.TmaGetAlarms(a, sub, alarms); break;
    case 4: l7.PollAlarmIndication(a, alarms); break;
    case 5: l7.RetGetTilt(a, tilt); break;
    case 6: l7.MultiRetGetTilt(a, sub, tilt); break;
    case 7: l7.MultiRetGetNumberAntennas(a, value); break;
    case 8: l7.TmaGetNumberSubunits(a, value); break;
    case 9: l7.TmaGetMode(a, sub, value); break;
    case 10: l7.TmaGetGain(a, sub, value); break;
    case 11: l7.TmaGetSupportedFunctions(a, sub, functions); break;
    case 12: l7.RetGetDeviceData(a, argument, data); break;
    case 13: l7.MultiRetGetDeviceData(a, sub, argument, data); break;
    case 14: l7.TmaGetDeviceData(a, sub, argument, data); break;
    default: l7.RetCalibrate(a); break;
  }
  CheckAlarms(alarms);
  CheckRecord(table.Record(a));
}

}  // namespace

// Input: a selector octet, an argument octet (subunit or field), then frames
// as a length octet and that many content octets each.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  TraceLog log{""};
  AldTable table{log};
  ScriptLink link{log, table};
  FakeClock clock;
  AisgLayer7 layer7{link, table, log, clock};
  for (size_t at = 2; at < size;) {
    size_t length = std::min<size_t>(data[at], size - at - 1);
    link.Add(data + at + 1, length);
    at += 1 + length;
  }
  RunProcedure(layer7, table, data[0], data[1]);
  return 0;
}
