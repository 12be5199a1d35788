#pragma once

#include <QPushButton>
#include <memory>
#include <string>
#include <vector>

#include "DeviceWindowsFixture.h"
#include "sim/SimDataFields.h"
#include "ui/AntennaFieldsPage.h"
#include "ui/CaptionColor.h"
#include "ui/DevicePageOwner.h"
#include "ui/DevicePageParts.h"
#include "ui/OperatorFieldsPage.h"
#include "ui/TmaFieldsPage.h"

// The device window as a page sees it, remembering what the pages asked of
// it; the pauses between steps take no time.
class RecordingPageOwner : public DevicePageOwner {
 public:
  struct Result {
    ResultCode Code;
    QPushButton* Button;
  };
  void ShowResult(ResultCode result, QPushButton* button) override {
    results.push_back({result, button});
    CaptionColor::Set(button, result == kSuccess ? CaptionColor::kBlack : CaptionColor::kRed);
  }
  void ShowAlarmStatus(const QString&, bool) override {}
  void GetAlarms() override { ++alarmReads; }
  void RefreshAld() override {}
  void SetServiceMode(bool) override {}
  ResultCode Download() override { return kFailure; }
  void Pause(int milliseconds) override { pausedMs += milliseconds; }

  std::vector<Result> results;
  int alarmReads = 0;
  int pausedMs = 0;
};

// The three field pages over the device windows' bench: a scanned site on
// the in-process simulated bus, whose devices' own field stores tell what
// reached them.
class FieldPagesBench {
 public:
  explicit FieldPagesBench(const nlohmann::json& site) : bench(site) {
    bench.ScanAndList();
    antenna = std::make_unique<AntennaFieldsPage>(Parts());
    operatorPage = std::make_unique<OperatorFieldsPage>(Parts());
    tma = std::make_unique<TmaFieldsPage>(Parts());
  }

  DevicePageParts Parts() { return DevicePageParts{bench.layer7, bench.table, bench.log, bench.messages, {}, owner}; }

  void Select(uint8_t slot, uint8_t subunit = 0) {
    bench.table.SelectAld(slot);
    bench.table.SelectSubunit(subunit);
  }

  // The device's stored octets of a field, subunit numbered from 1.
  std::vector<uint8_t> SimField(const std::string& uniqueId, uint8_t subunit, uint8_t field) {
    std::vector<uint8_t> octets;
    std::optional<size_t> device = bench.bus.Find(uniqueId);
    if (!device) qFatal("no device %s", uniqueId.c_str());
    bench.bus.WithDevice(*device, [&](SimAld& ald) {
      const auto& fields = ald.Subunits().at(subunit - 1u).Fields;
      auto at = fields.find(field);
      if (at != fields.end()) octets = at->second;
    });
    return octets;
  }
  std::string SimText(const std::string& uniqueId, uint8_t subunit, uint8_t field) {
    return SimDataFields::DecodeText(SimField(uniqueId, subunit, field));
  }
  int SimWord(const std::string& uniqueId, uint8_t subunit, uint8_t field, size_t word = 0) {
    std::vector<uint8_t> o = SimField(uniqueId, subunit, field);
    if (o.size() < 2 * word + 2) return -1;
    return o[2 * word] | (o[2 * word + 1] << 8);
  }

  // Message box texts shown since the last call.
  std::vector<std::string> NewMessages() {
    std::vector<std::string> all = bench.messages.Texts();
    std::vector<std::string> fresh(all.begin() + static_cast<long>(seenMessages_), all.end());
    seenMessages_ = all.size();
    return fresh;
  }

  DeviceWindowsBench bench;
  RecordingPageOwner owner;
  std::unique_ptr<AntennaFieldsPage> antenna;
  std::unique_ptr<OperatorFieldsPage> operatorPage;
  std::unique_ptr<TmaFieldsPage> tma;

 private:
  size_t seenMessages_ = 0;
};
