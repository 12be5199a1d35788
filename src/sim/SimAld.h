#pragma once

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <utility>
#include <vector>

#include "sim/SimDevice.h"
#include "sim/SimSubunit.h"

// The layer 7 that every simulated ALD shares: message framing and the
// common procedures (reset, alarm status, information, clear alarms, alarm
// subscription, self test, vendor-specific identity write, software
// download), the alarm store with its unsolicited indications, and the
// response shapes. The device kinds add their own procedure codes.
//
// Response data: the return code 0x00 and the values, or 0x0B and a reason.
// Procedures whose request names an antenna or subunit answer with that
// number first.
class SimAld : public SimDevice {
 public:
  static constexpr uint8_t kOk = 0x00;
  static constexpr uint8_t kFail = 0x0B;
  static constexpr uint8_t kCommandSequenceError = 0x07;
  static constexpr uint8_t kBusy = 0x05;
  static constexpr uint8_t kChecksumError = 0x06;
  static constexpr uint8_t kFlashEraseError = 0x0C;
  static constexpr uint8_t kFlashError = 0x0D;
  static constexpr uint8_t kNotCalibrated = 0x0E;
  static constexpr uint8_t kNotConfigured = 0x0F;
  static constexpr uint8_t kOutOfRange = 0x13;
  static constexpr uint8_t kUnknownCommand = 0x19;
  static constexpr uint8_t kUnknownParameter = 0x1E;
  static constexpr uint8_t kFormatError = 0x24;
  static constexpr size_t kMaxAlarms = 32;

  SimAld(SimDeviceConfig config, std::vector<SimSubunit> subunits);
  SimAld& operator=(const SimAld&) = delete;

  // Puts this device back into the state of snapshot, a device of the same
  // kind, reusing this device's storage: a fuzz run starts every input from
  // one site built once. False, with nothing changed, for another kind or a
  // snapshot in the middle of a long procedure.
  bool Restore(const SimAld& snapshot);

  // Subunits are numbered from 1 (a single RET has antenna 1 only). Both
  // return false for a subunit that does not exist or a change that is none.
  bool RaiseAlarm(uint8_t subunit, uint8_t code);
  bool ClearAlarm(uint8_t subunit, uint8_t code);

  const std::vector<SimSubunit>& Subunits() const { return subunits_; }
  bool Subscribed() const { return subscribed_; }
  uint32_t Downloads() const { return downloads_; }
  uint32_t LastDownloadOctets() const { return lastDownloadOctets_; }

 protected:
  using Reply = std::optional<uint8_t>;  // the subunit octet a response starts with

  Outcome HandleMessage(View message, uint64_t nowMs) override;
  void OnLinkLost() override { subscribed_ = false; }
  void OnRestart() override;

  // The device kind's own procedures; nothing for a code it does not know.
  virtual std::optional<Outcome> KindProcedure(uint8_t code, View data, uint64_t nowMs) = 0;
  // The unsolicited message reporting changed alarms of one subunit (index).
  virtual Bytes AlarmIndication(size_t index, const std::vector<std::pair<uint8_t, uint8_t>>& changes) const = 0;

  static Bytes Message(uint8_t code, View data);
  static Outcome Ok(uint8_t code, Reply sub, View values = {});
  static Outcome Ok(uint8_t code, Reply sub, std::initializer_list<uint8_t> values);
  static Outcome Fail(uint8_t code, Reply sub, uint8_t reason);
  // The subunit a request names, or nothing when it names none that exists.
  SimSubunit* SubunitAt(uint8_t number);
  std::vector<SimSubunit>& MutableSubunits() { return subunits_; }
  void SetCalibrated(size_t index, bool calibrated);
  // An alarm whose cause still holds: clearing alarms leaves it raised.
  virtual bool IsCondition(const SimSubunit&, uint8_t) const { return false; }
  Outcome AlarmsOf(uint8_t code, Reply sub, const SimSubunit& subunit) const;
  Outcome ClearAlarmsOf(uint8_t code, Reply sub, SimSubunit& subunit);
  // Set and Get Device Data; request holds the field id, then (set) the
  // value. A subunit accepts the fields its store holds.
  Outcome SetField(uint8_t code, Reply sub, SimSubunit& subunit, View request) const;
  Outcome GetField(uint8_t code, Reply sub, const SimSubunit& subunit, View request) const;

 private:
  std::optional<Outcome> CommonProcedure(uint8_t code, View data, uint64_t nowMs);
  Outcome Reset();
  Outcome AlarmStatus() const;
  Outcome Information() const;
  Outcome SelfTest() const;
  Outcome VendorSpecific(View data);
  Outcome DownloadStart();
  Outcome DownloadBlock(View data);
  Outcome DownloadEnd(uint64_t nowMs);
  void Notify(size_t index, uint8_t code, uint8_t state);
  static Outcome Respond(uint8_t code, Reply sub, uint8_t status, View values);

  // A new member is restored in Restore too.
  std::vector<SimSubunit> subunits_;
  bool subscribed_ = false;
  bool downloading_ = false;
  uint32_t downloadBlocks_ = 0;
  uint32_t downloadOctets_ = 0;
  uint32_t downloads_ = 0;
  uint32_t lastDownloadOctets_ = 0;
};
