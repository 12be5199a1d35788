#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <span>
#include <vector>

#include "sim/SimDeviceConfig.h"
#include "sim/SimXid.h"

// The AISG layer 2 of one simulated ALD: a secondary station in normal
// response mode. It answers the XID discovery frames while it has no address,
// takes an address, keeps V(R) and V(S), acknowledges or rejects I-frames,
// and hands their layer-7 messages to the device model. Messages it has to
// send on its own (completed long procedures, alarm indications) wait in a
// queue for the next RR poll.
//
// Not thread-safe: the bus that holds the device serialises every call.
class SimDevice {
 public:
  using Bytes = std::vector<uint8_t>;
  // Octets read where they lie, in the frame heard.
  using View = std::span<const uint8_t>;

  static constexpr uint8_t kBroadcast = 0xFF;
  static constexpr uint8_t kNoAddress = 0x00;

  explicit SimDevice(SimDeviceConfig config);
  virtual ~SimDevice() = default;
  SimDevice(const SimDevice&) = delete;

  // One frame heard on the bus (address, control, information) at nowMs,
  // up to which the bus has let time pass (Advance). Returns the content
  // this device puts on the line, if it answers.
  std::optional<Bytes> Receive(const Bytes& content, uint64_t nowMs);
  // Lets time pass: completes a due long procedure, forgets an idle address,
  // ends a restart.
  void Advance(uint64_t nowMs);

  void PowerOff();
  void PowerOn();
  bool Powered() const { return powered_; }

  const SimDeviceConfig& Config() const { return config_; }
  uint8_t Address() const { return address_; }
  bool Connected() const { return connected_; }
  bool ProcedureRunning() const { return pending_.has_value(); }
  size_t QueuedMessages() const { return queue_.size(); }
  void SetStuck(bool stuck) { config_.Stuck = stuck; }
  void SetDownloadFailure(SimDeviceConfig::DownloadFailure failure) { config_.DownloadFail = failure; }
  void SetAddressTimeoutMs(uint64_t ms) { config_.AddressTimeoutMs = ms; }
  // Gives the device an address without an XID exchange (site files).
  void PresetAddress(uint8_t address, uint64_t nowMs);

 protected:
  // What the device model does with one layer-7 message.
  struct Outcome {
    Bytes Response;     // the response message
    bool Long = false;  // acknowledge with RR now, send Response after DelayMs
    uint64_t DelayMs = 0;
    std::function<void()> Done;  // applied when a long procedure completes
  };

  virtual Outcome HandleMessage(View message, uint64_t nowMs) = 0;
  // The link dropped (DISC, address lost, restart): subscriptions end here.
  virtual void OnLinkLost() {}
  // The device started afresh (power on, restart after a download).
  virtual void OnRestart() {}

  // Every member copied, for SimAld::Restore only: a running procedure's
  // completion acts on the device that started it, so the source must have
  // none.
  SimDevice& operator=(const SimDevice&) = default;

  void QueueMessage(Bytes message);
  void AbortProcedure();
  void ClearQueue() { queue_.clear(); }
  void ScheduleRestart(uint64_t nowMs);
  SimDeviceConfig& MutableConfig() { return config_; }

 private:
  struct Sent {
    uint8_t Ns;
    Bytes Message;
  };
  struct Pending {
    uint64_t DueMs;
    Bytes Response;
    std::function<void()> Done;
  };

  std::optional<Bytes> HandleXid(const Bytes& content, bool broadcast, uint64_t nowMs);
  std::optional<Bytes> ScanAnswer(const SimXid::Fields& fields) const;
  std::optional<Bytes> AssignAnswer(const SimXid::Fields& fields, uint64_t nowMs);
  // Unique id, device type and vendor code, then the scan's protocol version.
  std::array<SimXid::Field, 4> IdentityFields() const;
  std::optional<Bytes> HandleAddressed(const Bytes& content, uint64_t nowMs);
  std::optional<Bytes> HandleUnnumbered(const Bytes& content, uint64_t nowMs);
  std::optional<Bytes> HandleIFrame(const Bytes& content, uint64_t nowMs);
  std::optional<Bytes> HandleSupervisory(uint8_t control);
  void Acknowledge(uint8_t nr, bool byIFrame);
  Bytes SendNew(Bytes message);
  Bytes IFrame(const Sent& sent) const;
  Bytes Control(uint8_t control) const { return {address_, control}; }
  Bytes Supervisory(uint8_t type) const;
  void ForgetAddress();
  void DropLink();

  SimDeviceConfig config_;
  bool powered_ = true;
  uint64_t restartUntilMs_ = 0;
  bool restarting_ = false;
  uint8_t address_ = kNoAddress;
  uint64_t lastHeardMs_ = 0;
  bool connected_ = false;
  uint8_t vr_ = 0;
  uint8_t vs_ = 0;
  std::optional<Sent> unacked_;
  std::deque<Bytes> queue_;
  std::optional<Pending> pending_;
};
