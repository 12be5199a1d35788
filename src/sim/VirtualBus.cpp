#include "sim/VirtualBus.h"

#include <algorithm>

#include "link/HdlcCodec.h"
#include "link/HdlcControl.h"
#include "sim/SimSite.h"

namespace {

void PutEscaped(std::vector<uint8_t>& out, uint8_t octet) {
  if (octet == HdlcCodec::kFlag || octet == HdlcCodec::kEscape) {
    out.push_back(HdlcCodec::kEscape);
    octet ^= 0x20;
  }
  out.push_back(octet);
}

}  // namespace

VirtualBus::VirtualBus(Clock& clock) : clock_(clock) {}

size_t VirtualBus::Add(std::unique_ptr<SimAld> device) {
  std::lock_guard<std::mutex> lock(mutex_);
  devices_.push_back(std::move(device));
  return devices_.size() - 1;
}

size_t VirtualBus::Count() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return devices_.size();
}

std::optional<size_t> VirtualBus::Find(const std::string& uniqueId) const {
  std::lock_guard<std::mutex> lock(mutex_);
  for (size_t i = 0; i < devices_.size(); ++i) {
    if (devices_[i]->Config().UniqueId == uniqueId) return i;
  }
  return std::nullopt;
}

void VirtualBus::WithDevice(size_t i, const std::function<void(SimAld&)>& f) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (i < devices_.size()) f(*devices_[i]);
}

void VirtualBus::SetCollisions(Collisions mode) {
  std::lock_guard<std::mutex> lock(mutex_);
  collisions_ = mode;
}

VirtualBus::Collisions VirtualBus::CollisionMode() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return collisions_;
}

uint32_t VirtualBus::LateMs() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return faults_.LateMs;
}

std::vector<std::string> VirtualBus::SetFaults(const SimFaults& faults) {
  std::lock_guard<std::mutex> lock(mutex_);
  faults_ = faults;
  random_.seed(faults.Seed);
  powerEvents_.clear();
  alarmEvents_.clear();
  std::vector<std::string> unknown;
  Schedule(faults, clock_.NowMs(), unknown);
  return unknown;
}

std::vector<std::string> VirtualBus::AddFaults(const SimFaults& faults) {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<std::string> unknown;
  Schedule(faults, clock_.NowMs(), unknown);
  return unknown;
}

std::vector<size_t> VirtualBus::Targets(const std::string& name) const {
  std::vector<size_t> targets;
  for (size_t i = 0; i < devices_.size(); ++i) {
    if (name == "*" || devices_[i]->Config().UniqueId == name) targets.push_back(i);
  }
  return targets;
}

void VirtualBus::Schedule(const SimFaults& faults, uint64_t originMs, std::vector<std::string>& unknown) {
  auto each = [&](const std::string& name, const std::function<void(size_t)>& f) {
    std::vector<size_t> targets = Targets(name);
    if (targets.empty()) unknown.push_back(name);
    for (size_t i : targets) f(i);
  };
  for (const auto& window : faults.Power) {
    each(window.Device, [&](size_t i) {
      powerEvents_.push_back({i, originMs + window.OffAtMs, false});
      if (window.OnAtMs) powerEvents_.push_back({i, originMs + *window.OnAtMs, true});
    });
  }
  for (const auto& alarm : faults.Alarms) {
    each(alarm.Device, [&](size_t i) {
      alarmEvents_.push_back({i, alarm.Subunit, alarm.Code, originMs + alarm.AtMs});
    });
  }
  for (const auto& name : faults.Stuck) each(name, [&](size_t i) { devices_[i]->SetStuck(true); });
  for (const auto& fault : faults.Downloads) {
    each(fault.Device, [&](size_t i) { devices_[i]->SetDownloadFailure(fault.Failure); });
  }
}

// Scheduled events are taken in the order they were given; a device that was
// switched off and on between two frames has restarted all the same.
void VirtualBus::AdvanceTo(uint64_t nowMs) {
  for (auto& event : powerEvents_) {
    if (event.Done || nowMs < event.AtMs) continue;
    event.Done = true;
    if (event.On) {
      devices_[event.Device]->PowerOn();
    } else {
      devices_[event.Device]->PowerOff();
    }
  }
  for (auto& event : alarmEvents_) {
    if (event.Done || nowMs < event.AtMs) continue;
    event.Done = true;
    devices_[event.Device]->RaiseAlarm(event.Subunit, event.Code);
  }
  for (auto& device : devices_) device->Advance(nowMs);
}

VirtualBus::Answer VirtualBus::Handle(const uint8_t* wire, size_t length) {
  Answer answer;
  Handle(wire, length, answer);
  return answer;
}

void VirtualBus::Handle(const uint8_t* wire, size_t length, Answer& answer) {
  std::lock_guard<std::mutex> lock(mutex_);
  answer.OnTime.clear();
  answer.Late.clear();
  answer.SplitAt = answer.SplitPauseMs = 0;
  uint8_t decoded[HdlcCodec::kMaxDecoded];
  HdlcCodec::Decoded frame = HdlcCodec::Decode(wire, static_cast<uint16_t>(length), decoded);
  // A damaged frame, or one to an address nobody holds, is heard by nobody:
  // to the devices it is the same as a quiet line, so time catches up with
  // them at the next frame they hear, as after any quiet spell.
  if (frame.Result != kSuccess || frame.Length == 0 || !Reaches(decoded[0])) return;
  ++framesHeard_;
  content_.assign(decoded, decoded + frame.Length);
  uint64_t now = clock_.NowMs();
  AdvanceTo(now);
  size_t onTime = 0;
  for (auto& device : devices_) {
    std::optional<std::vector<uint8_t>> reply = device->Receive(content_, now);
    if (!reply || Roll(faults_.DropShare)) continue;
    if (onTime == onTime_.size()) onTime_.emplace_back();
    if (Place(*device, *reply, onTime_[onTime], answer)) ++onTime;
  }
  // Answers that meet on the line leave no pieces to tell apart.
  if (onTime != 1 || answer.SplitPauseMs == 0) answer.SplitAt = answer.SplitPauseMs = 0;
  Combine(onTime, answer.OnTime);
}

// Puts one device's reply on the line as octets: late ones straight into
// the answer, and true for those within the read window, left in octets.
bool VirtualBus::Place(const SimAld& device, const std::vector<uint8_t>& reply, std::vector<uint8_t>& octets,
                       Answer& answer) {
  ToWire(reply, Roll(faults_.FcsShare), octets);
  const SimDeviceConfig& config = device.Config();
  size_t frameLength = octets.size();
  bool xid = reply.size() >= 2 && reply[1] == HdlcControl::kXid;
  if (!xid) AddStrayOctets(octets, config.StrayOctets);
  size_t staleLength = PrependStaleIFrame(device, reply, octets);
  if (Roll(faults_.LateShare)) {
    answer.Late.insert(answer.Late.end(), octets.begin(), octets.end());
    return false;
  }
  answer.SplitAt = staleLength > 0 ? staleLength : frameLength / 2;
  answer.SplitPauseMs = staleLength > 0 ? *config.StaleIFrameGapMs : config.SplitAnswerMs;
  return true;
}

bool VirtualBus::Reaches(uint8_t address) const {
  if (address == SimDevice::kBroadcast) return true;
  return std::any_of(devices_.begin(), devices_.end(), [&](const auto& d) { return d->Address() == address; });
}

uint64_t VirtualBus::FramesHeard() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return framesHeard_;
}

bool VirtualBus::Roll(double share) {
  if (share <= 0) return false;
  return std::uniform_real_distribution<double>(0.0, 1.0)(random_) < share;
}

void VirtualBus::ToWire(const std::vector<uint8_t>& content, bool corrupt, std::vector<uint8_t>& out) const {
  out.clear();
  if (!corrupt) {
    out.resize(2 * content.size() + 6);
    out.resize(HdlcCodec::Encode(content.data(), static_cast<uint16_t>(content.size()), out.data()));
    return;
  }
  auto fcs = static_cast<uint16_t>(~HdlcCodec::FcsRun(HdlcCodec::kFcsInit, content.data(), content.size()));
  fcs ^= 0x00FF;
  out.push_back(HdlcCodec::kFlag);
  for (uint8_t octet : content) PutEscaped(out, octet);
  PutEscaped(out, static_cast<uint8_t>(fcs & 0xFF));
  PutEscaped(out, static_cast<uint8_t>(fcs >> 8));
  out.push_back(HdlcCodec::kFlag);
}

// Returns the length of the old frame put in front, 0 when there is none.
size_t VirtualBus::PrependStaleIFrame(const SimAld& device, const std::vector<uint8_t>& reply,
                                      std::vector<uint8_t>& octets) {
  bool iFrame = reply.size() >= 2 && (reply[1] & 0x01) == 0;
  if (!iFrame || !device.Config().StaleIFrameGapMs) return 0;
  std::vector<uint8_t>& last = lastIFrames_[&device];
  std::vector<uint8_t> stale;
  if (!last.empty()) ToWire(last, false, stale);
  last = reply;
  octets.insert(octets.begin(), stale.begin(), stale.end());
  return stale.size();
}

// Noise with neither flag nor escape in it, so that it can never be read
// as part of a frame.
void VirtualBus::AddStrayOctets(std::vector<uint8_t>& octets, uint32_t count) {
  static constexpr uint8_t kNoise[] = {0x00, 0xFF, 0x55, 0xAA, 0x3C};
  for (uint32_t i = 0; i < count; ++i) octets.push_back(kNoise[i % sizeof kNoise]);
}

// Concatenated answers follow each other as devices that wait for a quiet
// line would send them. Overlapped answers start together: where two drivers
// fight, a driven 0 bit wins, so the octets come out as the AND of both.
void VirtualBus::Combine(size_t count, std::vector<uint8_t>& out) const {
  for (size_t k = 0; k < count; ++k) {
    const std::vector<uint8_t>& frame = onTime_[k];
    if (collisions_ == Collisions::kConcat || out.empty()) {
      out.insert(out.end(), frame.begin(), frame.end());
      continue;
    }
    for (size_t i = 0; i < frame.size(); ++i) {
      if (i < out.size()) {
        out[i] &= frame[i];
      } else {
        out.push_back(frame[i]);
      }
    }
  }
}

bool VirtualBus::RaiseAlarm(size_t device, uint8_t subunit, uint8_t code) {
  std::lock_guard<std::mutex> lock(mutex_);
  return device < devices_.size() && devices_[device]->RaiseAlarm(subunit, code);
}

bool VirtualBus::ClearAlarm(size_t device, uint8_t subunit, uint8_t code) {
  std::lock_guard<std::mutex> lock(mutex_);
  return device < devices_.size() && devices_[device]->ClearAlarm(subunit, code);
}

bool VirtualBus::PowerOff(size_t device) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (device >= devices_.size()) return false;
  devices_[device]->PowerOff();
  return true;
}

bool VirtualBus::PowerOn(size_t device) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (device >= devices_.size()) return false;
  devices_[device]->PowerOn();
  return true;
}

nlohmann::ordered_json VirtualBus::StateJson() {
  std::lock_guard<std::mutex> lock(mutex_);
  AdvanceTo(clock_.NowMs());
  nlohmann::ordered_json devices = nlohmann::ordered_json::array();
  for (const auto& device : devices_) devices.push_back(SimSite::DeviceJson(*device, true));
  return {{"devices", devices}};
}
