#include "sim/SimDevice.h"

#include <algorithm>
#include <utility>

namespace {

constexpr uint8_t kPollBit = 0x10;
constexpr uint8_t kSnrm = 0x83;
constexpr uint8_t kDisc = 0x43;
constexpr uint8_t kXid = 0xAF;
constexpr uint8_t kUa = 0x73;
constexpr uint8_t kDm = 0x1F;
constexpr uint8_t kFrmr = 0x97;
constexpr uint8_t kRr = 0x01;
constexpr uint8_t kRnr = 0x05;
constexpr uint8_t kRej = 0x09;
// Enough for every indication a primary that polls every few seconds lets
// pile up; the oldest go first when it does not poll at all.
constexpr size_t kMaxQueued = 32;

bool PollBit(uint8_t control) {
  return (control & kPollBit) != 0;
}

}  // namespace

SimDevice::SimDevice(SimDeviceConfig config) : config_(std::move(config)) {}

std::optional<SimDevice::Bytes> SimDevice::Receive(const Bytes& content, uint64_t nowMs) {
  if (!powered_ || restarting_ || content.size() < 2) return std::nullopt;
  bool xid = (content[1] & ~kPollBit) == kXid;
  if (content[0] == kBroadcast) return xid ? HandleXid(content, true, nowMs) : std::nullopt;
  if (address_ == kNoAddress || content[0] != address_) return std::nullopt;
  lastHeardMs_ = nowMs;
  return HandleAddressed(content, nowMs);
}

void SimDevice::Advance(uint64_t nowMs) {
  if (restarting_ && nowMs >= restartUntilMs_) PowerOn();
  if (pending_ && !config_.Stuck && nowMs >= pending_->DueMs) {
    Pending done = std::move(*pending_);
    pending_.reset();
    QueueMessage(std::move(done.Response));
    if (done.Done) done.Done();
  }
  if (address_ == kNoAddress || config_.AddressTimeoutMs == 0) return;
  if (nowMs - lastHeardMs_ >= config_.AddressTimeoutMs) ForgetAddress();
}

void SimDevice::PowerOff() {
  powered_ = false;
}

// Power-up state of an AISG 2.0 device: no address, no link, nothing queued.
void SimDevice::PowerOn() {
  powered_ = true;
  restarting_ = false;
  ForgetAddress();
  AbortProcedure();
  queue_.clear();
  OnRestart();
}

void SimDevice::PresetAddress(uint8_t address, uint64_t nowMs) {
  address_ = address;
  lastHeardMs_ = nowMs;
}

void SimDevice::QueueMessage(Bytes message) {
  if (queue_.size() == kMaxQueued) queue_.pop_front();
  queue_.push_back(std::move(message));
}

void SimDevice::AbortProcedure() {
  pending_.reset();
}

void SimDevice::ScheduleRestart(uint64_t nowMs) {
  restarting_ = true;
  restartUntilMs_ = nowMs + config_.RestartMs;
}

std::optional<SimDevice::Bytes> SimDevice::HandleXid(const Bytes& content, bool broadcast, uint64_t nowMs) {
  SimXid::Fields fields;
  if (!SimXid::Parse(content.data(), content.size(), fields)) return std::nullopt;
  if (fields.Find(SimXid::kPiReset)) {
    ForgetAddress();
    return std::nullopt;
  }
  if (!broadcast) {
    if (!fields.Find(SimXid::kPiProtocolVersion)) return std::nullopt;
    return SimXid::Build(address_, std::array{SimXid::Field{SimXid::kPiProtocolVersion, 1, &config_.AisgVersion}});
  }
  bool id = fields.Find(SimXid::kPiUniqueId) != nullptr;
  bool mask = fields.Find(SimXid::kPiMask) != nullptr;
  bool address = fields.Find(SimXid::kPiAddress) != nullptr;
  if (id && mask && !address) return ScanAnswer(fields);
  if (id && address && !mask) return AssignAnswer(fields, nowMs);
  return std::nullopt;
}

std::optional<SimDevice::Bytes> SimDevice::ScanAnswer(const SimXid::Fields& fields) const {
  if (address_ != kNoAddress) return std::nullopt;
  const auto* pattern = fields.Find(SimXid::kPiUniqueId);
  const auto* mask = fields.Find(SimXid::kPiMask);
  if (!SimXid::ScanMatchesHeard(config_.UniqueId, *pattern, *mask)) return std::nullopt;
  return SimXid::Build(kNoAddress, IdentityFields());
}

std::optional<SimDevice::Bytes> SimDevice::AssignAnswer(const SimXid::Fields& fields, uint64_t nowMs) {
  const auto* id = fields.Find(SimXid::kPiUniqueId);
  const auto* address = fields.Find(SimXid::kPiAddress);
  const auto* type = fields.Find(SimXid::kPiDeviceType);
  const auto* vendor = fields.Find(SimXid::kPiVendorCode);
  if (address->Length != 1 || address->Value[0] == kNoAddress || address->Value[0] == kBroadcast) {
    return std::nullopt;
  }
  if (!SimXid::AssignMatches(config_.UniqueId, id->Value, id->Length)) return std::nullopt;
  if (type && !type->Equals(&config_.DeviceType, 1)) return std::nullopt;
  const auto* vendorCode = reinterpret_cast<const uint8_t*>(config_.VendorCode.data());
  if (vendor && !vendor->Equals(vendorCode, config_.VendorCode.size())) return std::nullopt;
  DropLink();
  address_ = address->Value[0];
  lastHeardMs_ = nowMs;
  std::array<SimXid::Field, 4> identity = IdentityFields();
  return SimXid::Build(address_, std::span(identity).first(3));
}

// The fields point into the configuration, which outlives the answer built
// from them.
std::array<SimXid::Field, 4> SimDevice::IdentityFields() const {
  auto text = [](uint8_t id, const std::string& value) {
    return SimXid::Field{id, static_cast<uint8_t>(value.size()), reinterpret_cast<const uint8_t*>(value.data())};
  };
  return {text(SimXid::kPiUniqueId, config_.UniqueId), SimXid::Field{SimXid::kPiDeviceType, 1, &config_.DeviceType},
          text(SimXid::kPiVendorCode, config_.VendorCode),
          SimXid::Field{SimXid::kPiScanVersion, 1, &config_.AisgVersion}};
}

std::optional<SimDevice::Bytes> SimDevice::HandleAddressed(const Bytes& content, uint64_t nowMs) {
  uint8_t control = content[1];
  if ((control & 0x01) == 0) return HandleIFrame(content, nowMs);
  if ((control & 0x03) == 0x01) return HandleSupervisory(control);
  std::optional<Bytes> answer = HandleUnnumbered(content, nowMs);
  return PollBit(control) ? answer : std::nullopt;
}

std::optional<SimDevice::Bytes> SimDevice::HandleUnnumbered(const Bytes& content, uint64_t nowMs) {
  uint8_t control = content[1];
  switch (control & ~kPollBit) {
    case kSnrm:
      connected_ = true;
      vr_ = vs_ = 0;
      unacked_.reset();
      return Control(kUa);
    case kDisc: DropLink(); return Control(kUa);
    case kXid: return HandleXid(content, false, nowMs);
    default:
      if (!connected_) return Control(kDm);
      // W bit: the control field names no command this station knows.
      return Bytes{address_, kFrmr, control, static_cast<uint8_t>(vr_ << 5 | vs_ << 1), 0x01};
  }
}

std::optional<SimDevice::Bytes> SimDevice::HandleIFrame(const Bytes& content, uint64_t nowMs) {
  uint8_t control = content[1];
  bool poll = PollBit(control);
  if (!connected_) return poll ? std::optional<Bytes>(Control(kDm)) : std::nullopt;
  Acknowledge(static_cast<uint8_t>(control >> 5), true);
  if (((control >> 1) & 7) != vr_) return poll ? std::optional<Bytes>(Supervisory(kRej)) : std::nullopt;
  vr_ = (vr_ + 1) & 7;
  Outcome outcome = HandleMessage(View(content).subspan(2), nowMs);
  if (outcome.Long) {
    pending_ = Pending{nowMs + outcome.DelayMs, std::move(outcome.Response), std::move(outcome.Done)};
    return poll ? std::optional<Bytes>(Supervisory(kRr)) : std::nullopt;
  }
  if (!poll) {
    QueueMessage(std::move(outcome.Response));
    return std::nullopt;
  }
  return SendNew(std::move(outcome.Response));
}

std::optional<SimDevice::Bytes> SimDevice::HandleSupervisory(uint8_t control) {
  bool poll = PollBit(control);
  if (!connected_) return poll ? std::optional<Bytes>(Control(kDm)) : std::nullopt;
  uint8_t nr = static_cast<uint8_t>(control >> 5);
  Acknowledge(nr, false);
  if (!poll) return std::nullopt;
  if ((control & 0x0F) == kRnr) return Supervisory(kRr);
  if (unacked_) {
    // Go back to what the primary says it expects next.
    unacked_->Ns = nr;
    vs_ = (nr + 1) & 7;
    return IFrame(*unacked_);
  }
  if (queue_.empty()) return Supervisory(kRr);
  Bytes message = std::move(queue_.front());
  queue_.pop_front();
  return SendNew(std::move(message));
}

// At most one I-frame is outstanding, since a new one is only sent once the
// last was acknowledged. A new command that does not acknowledge it means the
// primary moved on: the frame is given up and V(S) follows the primary's N(R).
void SimDevice::Acknowledge(uint8_t nr, bool byIFrame) {
  if (!unacked_) return;
  if (nr == ((unacked_->Ns + 1) & 7)) {
    unacked_.reset();
  } else if (byIFrame) {
    unacked_.reset();
    vs_ = nr;
  }
}

SimDevice::Bytes SimDevice::SendNew(Bytes message) {
  unacked_ = Sent{vs_, std::move(message)};
  vs_ = (vs_ + 1) & 7;
  return IFrame(*unacked_);
}

SimDevice::Bytes SimDevice::IFrame(const Sent& sent) const {
  Bytes frame(2 + sent.Message.size());
  frame[0] = address_;
  frame[1] = static_cast<uint8_t>(kPollBit | vr_ << 5 | sent.Ns << 1);
  std::copy(sent.Message.begin(), sent.Message.end(), frame.begin() + 2);
  return frame;
}

SimDevice::Bytes SimDevice::Supervisory(uint8_t type) const {
  return {address_, static_cast<uint8_t>(kPollBit | type | vr_ << 5)};
}

void SimDevice::ForgetAddress() {
  address_ = kNoAddress;
  DropLink();
}

void SimDevice::DropLink() {
  connected_ = false;
  unacked_.reset();
  OnLinkLost();
}
