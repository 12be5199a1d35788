#include <algorithm>
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
// of the time-outs of the procedure's wait. The frames of one input lie in
// one buffer that the next input reuses.
class ScriptLink : public AisgHdlc {
 public:
  ScriptLink(TraceLog& log, AldTable& table) : AisgHdlc(log, table) {}

  void Clear() {
    octets_.clear();
    ends_.clear();
    next_ = 0;
  }

  void Add(const uint8_t* content, size_t length) {
    uint16_t n = static_cast<uint16_t>(std::min<size_t>(length, HdlcCodec::kMaxContent));
    size_t start = octets_.size();
    octets_.resize(start + HdlcCodec::kBufferSize);
    octets_.resize(start + HdlcCodec::Encode(content, n, octets_.data() + start));
    ends_.push_back(octets_.size());
  }

  uint32_t Write(const uint8_t*, uint32_t length) override { return length; }
  uint32_t Read(uint8_t* buffer, uint32_t capacity) override {
    if (next_ >= ends_.size()) return 0;
    size_t start = next_ == 0 ? 0 : ends_[next_ - 1];
    size_t n = std::min<size_t>(ends_[next_++] - start, capacity);
    std::memcpy(buffer, octets_.data() + start, n);
    return static_cast<uint32_t>(n);
  }

 private:
  std::vector<uint8_t> octets_;
  std::vector<size_t> ends_;
  size_t next_ = 0;
};

// Built once for the run: an ALD table is 255 records of strings and device
// data, and building one per input took far longer than the procedure. The
// procedures address ALD 1 only, so each input starts from a blank record 1
// and scratch record (copied from a blank one, which reuses their storage),
// an empty script and a clock at zero, as with a fresh table.
struct World {
  TraceLog log{""};
  AldTable table{log};
  ScriptLink link{log, table};
  const AldRecord blank{};
  static World& Get() {
    static World* world = new World;
    return *world;
  }
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
  World& w = World::Get();
  w.table.Scratch() = w.blank;
  w.table.Record(1) = w.blank;
  w.link.Clear();
  FakeClock clock;
  AisgLayer7 layer7{w.link, w.table, w.log, clock};
  for (size_t at = 2; at < size;) {
    size_t length = std::min<size_t>(data[at], size - at - 1);
    w.link.Add(data + at + 1, length);
    at += 1 + length;
  }
  RunProcedure(layer7, w.table, data[0], data[1]);
  return 0;
}
