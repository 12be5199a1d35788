// The fault soak: a technician's session against aldsim serving a site (the
// 16-device one unless told otherwise), for as long as it is told, with the bus misbehaving throughout: a
// share of the answers dropped, corrupted or late, single devices powered
// off and on, one device stuck in a long procedure, and the adapter pulled
// out and put back. The bus side runs as the main window runs it: the scan
// on the worker thread, the 50 ms timer tick with its alarm poll on this
// thread (nested inside long procedures through the message pump), and a
// stream of operations; a failed one is tried again, as a technician would.
//
//   FaultSoak [--minutes N | --seconds N] [--seed N] [--aldsim PATH] [--site FILE|NAME] [--keep 1]
//             [--poll-lines 1]
//
// The soak time counts from the end of the first scan, which itself takes
// two minutes or more at 9600 baud on the 16-device site and some seconds
// on the five devices of "--site demo". A bare site name is one of the
// sites under sim/sites. The last line judges the run; the exit status is
// 0 when it passed.

#include <sys/resource.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "SoakAdapter.h"
#include "SoakStation.h"
#include "ald/AldType.h"
#include "core/Format.h"
#include "core/MessagePump.h"
#include "core/TraceLevel.h"
#include "layer7/DataFieldId.h"
#include "layer7/Vocabulary.h"
#include "serial/ECommError.h"
#include "sim/AldsimChild.h"

namespace {

using Steady = std::chrono::steady_clock;
using Ms = std::chrono::milliseconds;

constexpr uint32_t kTickMs = 50;
constexpr int kAttempts = 3;  // a technician gives an operation up after the third failure
constexpr int kMaxPollsToLoss = 6;
constexpr const char* kBusFaults = "drop=0.005,fcs=0.005,late=0.002";

struct Options {
  uint32_t Seconds = 600;
  uint32_t Seed = 1;
  std::string Aldsim;
  std::string Site;
  bool Keep = false;       // keep the trace file
  bool PollLines = false;  // trace the alarm poll's exchanges too
};

struct SiteDevice {
  std::string Id;
  std::string Type;
  unsigned Subunits = 1;
  // Each antenna's tilt range: a move outside it is refused.
  std::array<int, AldRecord::kMaxSubunits> MinTilt{};
  std::array<int, AldRecord::kMaxSubunits> MaxTilt{};
};

// What the soak follows of each device of the site.
struct Tracked {
  SiteDevice Site;
  bool PoweredOff = false;  // between the off and the reconnection
  Steady::time_point OnAt;
  uint64_t UnheardAtOff = 0;  // polls that heard nothing, counted when it went off
  bool Lost = false;
  bool Excluded = false;  // stuck: only the poll touches it
  int ReconnectTries = 0;
  uint64_t PollsAtBack = ~0ull;  // polls counted when it was last reconnected
  std::array<bool, AldRecord::kMaxSubunits> Calibrated{};
  std::array<int16_t, AldRecord::kMaxSubunits> Tilt{};
};

struct Loss {
  std::string Id;
  bool PowerCycled = false;
  bool FirstPollAfterReconnect = false;
  bool Unassigned = false;  // a scan's assignment went unanswered
  uint64_t Polls = 0;
};

double Seconds(Steady::duration d) {
  return std::chrono::duration<double>(d).count();
}

long PeakKb() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
  }
  return 0;
}

bool AddressSanitizer() {
#if defined(__SANITIZE_ADDRESS__)
  return true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
  return true;
#endif
#endif
  return false;
}

class FaultSoak {
 public:
  FaultSoak(Options options, std::vector<SiteDevice> site) : options_(std::move(options)), random_(options_.Seed) {
    for (auto& s : site) {
      // The site's last multi RET gets stuck in its move.
      if (s.Type == "multiRet") stuckId_ = s.Id;
      Tracked d;
      d.Site = std::move(s);
      devices_.push_back(std::move(d));
    }
    dir_ = std::filesystem::temp_directory_path() / Format("tiltdeck-soak-%d", getpid());
    std::filesystem::create_directories(dir_);
  }
  ~FaultSoak() {
    if (options_.Keep) return;
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }

  int Run() {
    started_ = Steady::now();
    Start();
    InitialScan();
    peakAtStart_ = PeakKb();
    Soak();
    Close();
    Final();
    Finish();
    return Report();
  }

 private:
  // ---- the bus and the station ----

  void Start() {
    // aldsim serves the pseudo-terminal it names in its READY line (a first
    // start on a loaded machine takes a while); fault lists written to its
    // standard input take effect at once, each acknowledged by one line.
    sim_ = std::make_unique<AldsimChild>(
        std::vector<std::string>{options_.Aldsim, "--control", "--link", "", "--site", ServedSite(), "--faults",
                                 Format("%s,seed=%u", kBusFaults, options_.Seed)},
        20000);
    adapter_ = std::make_unique<SoakAdapter>(sim_->SlavePath());
    station_ = std::make_unique<SoakStation>((dir_ / "trace.txt").string());
    // The quiet alarm poll, as a technician who hides the poll lines runs it.
    station_->log.SetClassSuppressed(TraceClass::kPoll, !options_.PollLines);
    OpenPort();
    SetPumpMessagesHook([this] { Pump(); });
    station_->bus.Worker().Start();
    markers_ = std::thread([this] { WriteMarkers(); });
  }

  // The site as given, except that its devices keep their addresses through
  // silences: on a loaded machine the first scan can outlast their 180 s,
  // and the devices found first would drop out before the soak begins.
  std::string ServedSite() {
    std::ifstream in(options_.Site);
    nlohmann::json site = nlohmann::json::parse(in, nullptr, false);
    if (site.is_discarded()) throw std::runtime_error("cannot read the site " + options_.Site);
    site["bus"]["addressTimeoutS"] = 0;
    std::string path = (dir_ / "site.json").string();
    std::ofstream(path) << site.dump(2);
    return path;
  }

  void OpenPort() {
    for (int tries = 0; tries < 50; ++tries) {
      std::string path = adapter_->PortPath();
      uint32_t generation = adapter_->Generation();
      try {
        station_->link.Close();
      } catch (const ECommError&) {
        // The old port is gone with the adapter.
      }
      station_->link.ConfigurePort(path, 9600);
      if (AisgSerial::IsOpen()) {
        openedGeneration_ = generation;
        return;
      }
      Idle(200);
    }
    throw std::runtime_error("cannot open the adapter's port: " + AisgSerial::LastError());
  }

  // After the adapter was put back, the technician opens its port again once
  // no scan is using the bus.
  void EnsurePort() {
    while (!adapter_->PluggedIn() || adapter_->Generation() != openedGeneration_) {
      if (adapter_->PluggedIn() && !ScanBusy()) {
        OpenPort();
        ++reopens_;
        return;
      }
      Idle(kTickMs);
    }
  }

  bool ScanBusy() { return station_->bus.Control().ScanRequested() != 0 || station_->bus.Engine().IsRunning(); }

  // A thread of its own writes a line every 100 ms, so that lines lost
  // around the other threads' exchanges show.
  void WriteMarkers() {
    while (!stopMarkers_) {
      station_->log.Write(kTraceInfo, TraceClass::kMain, kTraceNoAld, "Soak marker %llu",
                          static_cast<unsigned long long>(markersWritten_.load()));
      ++markersWritten_;
      std::this_thread::sleep_for(Ms(100));
    }
  }

  // ---- the timer ----

  void Tick() {
    if (inTick_) return;
    inTick_ = true;
    lastTick_ = Steady::now();
    ++ticks_;
    Guard("the timer tick", [this] { station_->bus.Ticker().OnTimerTick(); });
    TakePolls();
    TakeTrace();
    NoteLosses();
    inTick_ = false;
  }

  void TakePolls() {
    SoakLink::Polled polled = station_->link.TakePolled();
    for (uint8_t address : polled.Any) ++pollsOf_[address];
    for (const auto& [address, n] : polled.Unheard) unheardOf_[address] += n;
  }

  // The message pump of long procedures: the timer's tick when it is due.
  void Pump() {
    if (Steady::now() - lastTick_ >= Ms(kTickMs)) Tick();
  }

  void Idle(uint32_t ms) {
    Steady::time_point until = Steady::now() + Ms(ms);
    while (Steady::now() < until) {
      std::this_thread::sleep_until(std::min(until, lastTick_ + Ms(kTickMs)));
      if (Steady::now() - lastTick_ >= Ms(kTickMs)) Tick();
    }
  }

  template <class F>
  bool IdleUntil(F done, uint32_t limitMs) {
    Steady::time_point until = Steady::now() + Ms(limitMs);
    while (!done()) {
      if (Steady::now() > until) return false;
      Idle(kTickMs);
    }
    return true;
  }

  // The output pane's collection of the trace.
  void TakeTrace() {
    std::string text = station_->log.TakePending();
    for (size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at + 2)) ++paneLines_;
    if (text.find("Scan Started") != std::string::npos) scanStarted_ = true;
  }

  // Whatever escapes a boundary of the bus side would have ended the
  // program: counted, never let through.
  template <class F>
  bool Guard(const char* where, F f) {
    try {
      f();
      return true;
    } catch (const ECommError&) {
      Escape(std::string("serial port failure escaped ") + where);
    } catch (const std::exception& e) {
      Escape(std::string(e.what()) + " escaped " + where);
    } catch (...) {
      Escape(std::string("an exception escaped ") + where);
    }
    return false;
  }
  void Escape(const std::string& what) {
    ++escapes_;
    if (escapeTexts_.size() < 5) escapeTexts_.push_back(what);
  }

  // ---- losses and reconnection ----

  unsigned SlotOf(const Tracked& d) const {
    return station_->table.FindUniqueId(d.Site.Id.c_str(), static_cast<unsigned>(d.Site.Id.size()));
  }

  // The poll that declared a loss is counted before the loss shows in the
  // table, so the polls are taken again first.
  void NoteLosses() {
    TakePolls();
    for (auto& d : devices_) {
      unsigned slot = SlotOf(d);
      if (slot == 0 || d.Lost) continue;
      const AldRecord& r = station_->table.Record(slot);
      if (r.State != kStateDisconnected) continue;
      d.Lost = true;
      Loss loss{d.Site.Id, d.PoweredOff};
      loss.Unassigned = !d.PoweredOff && r.SetupStep == kSetupAssign;
      loss.FirstPollAfterReconnect = !d.PoweredOff && !loss.Unassigned && pollsOf_[slot] <= d.PollsAtBack + 1;
      loss.Polls = d.PoweredOff ? unheardOf_[slot] - d.UnheardAtOff : 0;
      losses_.push_back(loss);
    }
  }

  bool Up(const Tracked& d) const {
    unsigned slot = SlotOf(d);
    if (slot == 0) return false;
    const AldRecord& r = station_->table.Record(slot);
    bool connected = r.State == kStateConnected || r.State == kStateAlarmed || r.State == kStateCalibrating;
    return connected && r.Address == slot && r.SetupStep == kSetupComplete && r.SubunitCount == d.Site.Subunits;
  }

  void PowerCycle(Tracked& d, uint32_t offMs) {
    unsigned slot = SlotOf(d);
    std::string answer = sim_->Control(Format("off=%s@0-%.1f", d.Site.Id.c_str(), offMs / 1000.0));
    if (answer.rfind("APPLIED", 0) != 0) throw std::runtime_error("aldsim refused a power cycle: " + answer);
    d.PoweredOff = true;
    d.OnAt = Steady::now() + Ms(offMs);
    // Polls that ended before the device went off are not its to miss.
    TakePolls();
    d.UnheardAtOff = unheardOf_[slot];
    d.Calibrated.fill(false);
    ++powerCycles_;
  }

  // A lost device that has power again is brought back by the reconnect
  // pass at the start of a scan; the technician stops the scan once it has
  // started searching.
  void ReconnectLost() {
    bool due = false;
    for (auto& d : devices_) due |= d.Lost && (!d.PoweredOff || Steady::now() >= d.OnAt + Ms(500));
    if (!due || !adapter_->PluggedIn()) return;
    ++reconnectScans_;
    scanStarted_ = false;
    station_->bus.Control().StartScan();
    IdleUntil([this] { return scanStarted_ || !ScanBusy(); }, 600000);
    station_->bus.Control().StopScan();
    IdleUntil([this] { return !ScanBusy(); }, 600000);
    for (auto& d : devices_) {
      if (!d.Lost) continue;
      if (Up(d)) {
        d.Lost = false;
        d.PoweredOff = false;
        d.PollsAtBack = pollsOf_[SlotOf(d)];
        ++back_;
      } else if (++d.ReconnectTries >= 5) {
        d.Lost = false;  // given up; the final check names it
      }
    }
  }

  // ---- scans ----

  double FullScan() {
    Steady::time_point start = Steady::now();
    station_->bus.Control().StartScan();
    IdleUntil([this] { return !ScanBusy(); }, 1800000);
    Idle(200);  // the tick lists what the scan found
    ++fullScans_;
    return Seconds(Steady::now() - start);
  }

  void InitialScan() {
    initialScanSeconds_ = FullScan();
    initialFound_ = station_->table.AldCount();
    for (int again = 0; again < 2 && station_->table.AldCount() < devices_.size(); ++again) FullScan();
  }

  // ---- the operations ----

  enum class Kind { kGetTilt, kSetTilt, kCalibrate, kDataGet, kDataSet, kAlarms, kTmaGain, kTmaMode };
  static const char* KindName(Kind k) {
    static const char* const kNames[] = {"get tilt",        "set tilt", "calibrate", "device data get",
                                         "device data set", "alarms",   "tma gain",  "tma mode"};
    return kNames[static_cast<int>(k)];
  }

  struct Op {
    Tracked* Device;
    unsigned Slot;
    uint8_t Subunit;  // 1-based; 0 for a single RET
    Kind What;
  };

  bool Usable(const Tracked& d) const { return !d.Excluded && !d.PoweredOff && !d.Lost && Up(d); }

  bool PickOp(Op& op) {
    std::vector<Tracked*> usable;
    for (auto& d : devices_) {
      if (Usable(d)) usable.push_back(&d);
    }
    if (usable.empty()) return false;
    Tracked* d = usable[random_() % usable.size()];
    unsigned slot = SlotOf(*d);
    uint8_t type = station_->table.Record(slot).DeviceType;
    uint8_t subunit = type == kAldSingleRet ? 0 : static_cast<uint8_t>(1 + random_() % d->Site.Subunits);
    static const Kind kRet[] = {Kind::kGetTilt, Kind::kGetTilt, Kind::kSetTilt, Kind::kSetTilt, Kind::kCalibrate,
                                Kind::kDataGet, Kind::kDataGet, Kind::kDataSet, Kind::kAlarms,  Kind::kAlarms};
    static const Kind kTma[] = {Kind::kTmaGain, Kind::kTmaMode, Kind::kDataGet, Kind::kAlarms};
    Kind what = type == kAldTma ? kTma[random_() % 4] : kRet[random_() % 10];
    op = {d, slot, subunit, what};
    return true;
  }

  DeviceData& DataOf(const Op& op) {
    return station_->table.Record(op.Slot).Subunits[op.Subunit == 0 ? 0 : op.Subunit - 1].Data;
  }
  size_t Element(const Op& op) const { return op.Subunit == 0 ? 0 : op.Subunit - 1u; }

  ResultCode GetTilt(const Op& op, int16_t& tilt) {
    AisgLayer7& l7 = station_->layer7;
    uint8_t a = station_->table.Record(op.Slot).Address;
    return op.Subunit == 0 ? l7.RetGetTilt(a, tilt) : l7.MultiRetGetTilt(a, op.Subunit, tilt);
  }

  // A tilt set is read back: a move reported done that did not happen is a
  // wrong result, worse than a failure.
  ResultCode SetTilt(const Op& op) {
    AisgLayer7& l7 = station_->layer7;
    uint8_t a = station_->table.Record(op.Slot).Address;
    int16_t now = op.Device->Tilt[Element(op)];
    size_t e = Element(op);
    int low = op.Device->Site.MinTilt[e], high = std::min(op.Device->Site.MaxTilt[e], low + 100);
    auto target = static_cast<int16_t>(std::clamp(now + static_cast<int>(random_() % 41) - 20, low, high));
    ResultCode r = op.Subunit == 0 ? l7.RetSetTilt(a, target) : l7.MultiRetSetTilt(a, op.Subunit, target);
    if (r != kSuccess) return r;
    int16_t read = 0;
    r = GetTilt(op, read);
    if (r == kSuccess && read != target) ++wrongResults_;
    op.Device->Tilt[Element(op)] = read;
    return r;
  }

  ResultCode Calibrate(const Op& op) {
    AisgLayer7& l7 = station_->layer7;
    uint8_t a = station_->table.Record(op.Slot).Address;
    ResultCode r = op.Subunit == 0 ? l7.RetCalibrate(a) : l7.MultiRetCalibrate(a, op.Subunit);
    if (r == kSuccess) op.Device->Calibrated[Element(op)] = true;
    return r;
  }

  ResultCode DataGet(const Op& op, uint8_t field) {
    AisgLayer7& l7 = station_->layer7;
    uint8_t a = station_->table.Record(op.Slot).Address;
    uint8_t type = station_->table.Record(op.Slot).DeviceType;
    if (type == kAldTma) return l7.TmaGetDeviceData(a, op.Subunit, kFieldTmaModelNumber, DataOf(op));
    if (op.Subunit == 0) return l7.RetGetDeviceData(a, field, DataOf(op));
    return l7.MultiRetGetDeviceData(a, op.Subunit, field, DataOf(op));
  }

  // The sector identifier is written from the selected subunit's copy and
  // read back.
  ResultCode DataSet(const Op& op) {
    AisgLayer7& l7 = station_->layer7;
    uint8_t a = station_->table.Record(op.Slot).Address;
    station_->table.SelectAld(op.Slot);
    station_->table.SelectSubunit(op.Subunit);
    std::string sector = Format("S%u", static_cast<unsigned>(random_() % 100));
    station_->table.CurrentDeviceData()->SectorId = sector;
    ResultCode r = op.Subunit == 0 ? l7.RetSetDeviceData(a, kFieldOperatorSectorId)
                                   : l7.MultiRetSetDeviceData(a, op.Subunit, kFieldOperatorSectorId);
    if (r != kSuccess) return r;
    DataOf(op).SectorId.clear();
    r = DataGet(op, kFieldOperatorSectorId);
    const std::string& read = DataOf(op).SectorId;  // right-aligned in its field
    if (r == kSuccess && read.substr(std::min(read.find_first_not_of(' '), read.size())) != sector) ++wrongResults_;
    return r;
  }

  ResultCode Alarms(const Op& op) {
    AisgLayer7& l7 = station_->layer7;
    uint8_t a = station_->table.Record(op.Slot).Address;
    uint8_t type = station_->table.Record(op.Slot).DeviceType;
    AlarmList alarms;
    if (type == kAldTma) return l7.TmaGetAlarms(a, op.Subunit, alarms);
    if (op.Subunit == 0) return l7.GetAlarmStatus(a, alarms);
    return l7.MultiRetGetAlarms(a, op.Subunit, alarms);
  }

  ResultCode Attempt(const Op& op) {
    AisgLayer7& l7 = station_->layer7;
    uint8_t a = station_->table.Record(op.Slot).Address;
    static const uint8_t kFields[] = {kFieldOperatorSectorId, kFieldOperatorBaseStationId, kFieldAntennaModelNumber,
                                      kFieldAntennaMaxTilt, kFieldOperatorInstallDate};
    uint8_t value = 0;
    int16_t tilt = 0;
    switch (op.What) {
      case Kind::kGetTilt: {
        ResultCode r = GetTilt(op, tilt);
        if (r == kSuccess) op.Device->Tilt[Element(op)] = tilt;
        return r;
      }
      case Kind::kSetTilt: return SetTilt(op);
      case Kind::kCalibrate: return Calibrate(op);
      case Kind::kDataGet: return DataGet(op, kFields[random_() % 5]);
      case Kind::kDataSet: return DataSet(op);
      case Kind::kAlarms: return Alarms(op);
      case Kind::kTmaGain: return l7.TmaGetGain(a, op.Subunit, value);
      case Kind::kTmaMode: return l7.TmaGetMode(a, op.Subunit, value);
    }
    return kFailure;
  }

  // One operation as the technician runs it: on a failure, again, up to
  // the third; a port that failed under it is opened again first and does
  // not count. A RET that is not calibrated is calibrated first.
  void RunOp(Op op) {
    ++opsByKind_[KindName(op.What)];
    ++operations_;
    station_->log.Write(kTraceInfo, TraceClass::kMain, kTraceNoAld, "Soak operation %llu: %s on %s",
                        static_cast<unsigned long long>(operations_), KindName(op.What), op.Device->Site.Id.c_str());
    ++uiMarkers_;
    int failed = 0, portFailures = 0;
    while (failed < kAttempts && portFailures < 3) {
      ++attempts_;
      uint32_t generation = adapter_->Generation();
      ResultCode r = kFailure;
      bool portFailed = false;
      try {
        r = Attempt(op);
      } catch (const ECommError&) {
        portFailed = true;
      } catch (const std::exception& e) {
        Escape(std::string(e.what()) + " escaped " + KindName(op.What));
      }
      portFailed |= !adapter_->PluggedIn() || adapter_->Generation() != generation;
      if (r == kSuccess && !portFailed) return;
      if (portFailed) {
        ++portFailures;
        ++opsHitByPull_;
        EnsurePort();
        Idle(1000);
        continue;
      }
      if (op.What == Kind::kAlarms && DeviceAnswer(r)) return;  // the first alarm the device reports
      ++failures_[Vocabulary::ResultName(r)];
      if (!Usable(*op.Device)) return;  // lost meanwhile: the loss is judged on its own
      if (r == kBusy) Idle(3000);       // still busy with a move the failure cut short
      if (r == kNotCalibrated && op.What != Kind::kCalibrate) {
        Op calibrate = op;
        calibrate.What = Kind::kCalibrate;
        RunOp(calibrate);
        continue;
      }
      ++failed;
      Idle(300);
    }
    ++abandoned_;
    if (abandonedTexts_.size() < 8)
      abandonedTexts_.push_back(Format("%s on %s", KindName(op.What), op.Device->Site.Id.c_str()));
  }

  // ---- the stuck device ----

  // A device that never finishes its tilt move: the procedure must end in
  // its time-out, leave the ALD pollable, and the poll of the others must go
  // on meanwhile.
  void StuckOperation() {
    Tracked* d = Find(stuckId_);
    if (!d || !Usable(*d)) return;
    std::string answer = sim_->Control(Format("stuck=%s", stuckId_.c_str()));
    if (answer.rfind("APPLIED", 0) != 0) throw std::runtime_error("aldsim refused the stuck device: " + answer);
    d->Excluded = true;
    unsigned slot = SlotOf(*d);
    uint64_t othersBefore = PollsOfOthers(slot);
    uint64_t ticksBefore = ticks_;
    Steady::time_point start = Steady::now();
    ResultCode r = kFailure;
    // A port that fails under the move is opened again and the move tried
    // once more; the failure is the procedure's to report, not an escape.
    for (int tries = 0; tries < 2; ++tries) {
      try {
        r = station_->layer7.MultiRetSetTilt(station_->table.Record(slot).Address, 1, 50);
        break;
      } catch (const ECommError&) {
        ++opsHitByPull_;
        EnsurePort();
      } catch (const std::exception& e) {
        Escape(std::string(e.what()) + " escaped the stuck device's tilt move");
      }
    }
    stuckRan_ = true;
    stuckResult_ = Vocabulary::ResultName(r);
    stuckSucceeded_ = r == kSuccess;
    stuckSeconds_ = Seconds(Steady::now() - start);
    stuckBusyAfter_ = station_->table.Record(slot).Busy != 0;
    stuckOtherPolls_ = PollsOfOthers(slot) - othersBefore;
    stuckTicks_ = ticks_ - ticksBefore;
    uint64_t pollsBefore = pollsOf_[slot];
    IdleUntil([&] { return pollsOf_[slot] > pollsBefore; }, 15000);
    stuckPolledAfter_ = pollsOf_[slot] > pollsBefore;
  }

  uint64_t PollsOfOthers(unsigned slot) const {
    uint64_t n = 0;
    for (unsigned a = 1; a < pollsOf_.size(); ++a) n += a == slot ? 0 : pollsOf_[a];
    return n;
  }

  // The device's own return codes (the alarm reads give the first alarm as
  // their result), as opposed to the link's and the engine's results.
  static bool DeviceAnswer(ResultCode r) { return r > kLayer7Notification && r != kUnknownResultCode; }

  Tracked* Find(const std::string& id) {
    for (auto& d : devices_) {
      if (d.Site.Id == id) return &d;
    }
    return nullptr;
  }

  // ---- the soak ----

  struct Plan {
    std::vector<Steady::time_point> PowerCycles;
    std::vector<Steady::time_point> Pulls;
    Steady::time_point Stuck;
    bool WithStuck = false;
  };

  // Faults spread over the soak: a power cycle about every 75 s and a pull
  // about every 4 minutes, none in its last fifth so that the devices they
  // take away have time to come back; the stuck device once, from 100 s on, away
  // from the pulls.
  Plan MakePlan(Steady::time_point start, uint32_t seconds) {
    Plan plan;
    auto at = [&](double share) { return start + Ms(static_cast<int64_t>(share * seconds * 1000)); };
    unsigned cycles = std::max(1u, seconds / 75);
    for (unsigned i = 0; i < cycles; ++i) plan.PowerCycles.push_back(at(0.05 + 0.75 * i / cycles));
    unsigned pulls = std::max(1u, seconds / 240);
    for (unsigned i = 0; i < pulls; ++i) plan.Pulls.push_back(at(0.4 + 0.4 * i / pulls));
    plan.WithStuck = seconds >= 100;
    plan.Stuck = at(0.7);
    return plan;
  }

  void Soak() {
    soakStart_ = Steady::now();
    Steady::time_point end = soakStart_ + std::chrono::seconds(options_.Seconds);
    Plan plan = MakePlan(soakStart_, options_.Seconds);
    for (auto pull : plan.Pulls) pulls_.push_back(pull);
    while (Steady::now() < end) {
      FollowPlan(plan);
      EnsurePort();
      ReconnectLost();
      Op op{};
      if (PickOp(op)) RunOp(op);
      Idle(200 + random_() % 1000);
    }
  }

  void FollowPlan(Plan& plan) {
    Steady::time_point now = Steady::now();
    if (!plan.PowerCycles.empty() && now >= plan.PowerCycles.front() && !AnyOffOrLost()) {
      plan.PowerCycles.erase(plan.PowerCycles.begin());
      std::vector<Tracked*> candidates;
      for (auto& d : devices_) {
        if (Usable(d)) candidates.push_back(&d);
      }
      if (!candidates.empty()) PowerCycle(*candidates[random_() % candidates.size()], 3000 + random_() % 5000);
    }
    if (!pulls_.empty() && now >= pulls_.front() && !adapter_->PullPlanned()) {
      // Somewhere within the next operation or poll.
      adapter_->SchedulePull(now + Ms(random_() % 2000), 1500);
      pulls_.erase(pulls_.begin());
      ++pullsDone_;
    }
    if (plan.WithStuck && now >= plan.Stuck) {
      plan.WithStuck = false;
      StuckOperation();
    }
  }

  bool AnyOffOrLost() const {
    return std::any_of(devices_.begin(), devices_.end(), [](const Tracked& d) { return d.PoweredOff || d.Lost; });
  }

  // ---- the end ----

  // Every fault over: the adapter back, the power back, lost devices
  // reconnected, and a full scan for any device no scan has brought up.
  void Close() {
    closeStart_ = Steady::now();
    EnsurePort();
    for (int round = 0; round < 4; ++round) {
      for (auto& d : devices_) {
        if (d.PoweredOff && !d.Lost) IdleUntil([&] { return d.Lost; }, 120000);
      }
      ReconnectLost();
      bool allUp = std::all_of(devices_.begin(), devices_.end(), [this](const Tracked& d) { return Up(d); });
      if (allUp) break;
      if (!AnyOffOrLost()) {
        ++closingFullScans_;
        FullScan();
      }
    }
    Idle(3000);
  }

  void Final() {
    for (auto& d : devices_) {
      if (Up(d)) {
        ++finalUp_;
      } else {
        unsigned slot = SlotOf(d);
        const AldRecord& r = station_->table.Record(slot);
        notUp_.push_back(slot == 0 ? d.Site.Id + " not in the table"
                                   : Format("%s slot %u state %u address %u subunits %u step %u", d.Site.Id.c_str(),
                                            slot, static_cast<unsigned>(r.State), static_cast<unsigned>(r.Address),
                                            static_cast<unsigned>(r.SubunitCount), static_cast<unsigned>(r.SetupStep)));
      }
    }
    peakAtEnd_ = PeakKb();
    pollsHitByPull_ = station_->link.PollsHitByPortFailures();
    messages_ = station_->ui.Counts();
    aldsimAlive_ = sim_->Alive();
  }

  void Finish() {
    stopMarkers_ = true;
    markers_.join();
    station_->bus.Worker().Stop();
    SetPumpMessagesHook(nullptr);
    Guard("closing the port", [this] { station_->link.Close(); });
    TakeTrace();
    fileWriteError_ = station_->log.FileWriteError();
    station_.reset();  // closes the trace file
    adapter_.reset();
    sim_.reset();
    std::ifstream trace(dir_ / "trace.txt");
    std::string line;
    while (std::getline(trace, line)) {
      ++fileLines_;
      if (line.find("Soak marker ") != std::string::npos) ++markersInFile_;
      if (line.find("Soak operation ") != std::string::npos) ++uiMarkersInFile_;
    }
  }

  // ---- the report ----

  int Report() {
    std::vector<std::string> faults;
    auto judge = [&faults](bool ok, const std::string& why) {
      if (!ok) faults.push_back(why);
    };
    std::printf("FaultSoak: seed %u, soak %u s, total %.0f s, %zu devices, faults %s\n", options_.Seed,
                options_.Seconds, Seconds(Steady::now() - started_), devices_.size(), kBusFaults);
    if (options_.Keep) std::printf("trace file: %s\n", (dir_ / "trace.txt").c_str());
    std::printf("scans: first %.1f s found %u; full scans %u (%u at the close); reconnect scans %u\n",
                initialScanSeconds_, initialFound_, fullScans_, closingFullScans_, reconnectScans_);
    ReportOperations(judge);
    ReportLosses(judge);
    ReportStuck(judge);
    std::printf("adapter: pulled %u, port opened again %u, operations hit %u, polls hit %llu\n", pullsDone_, reopens_,
                opsHitByPull_, static_cast<unsigned long long>(pollsHitByPull_));
    judge(reopens_ >= pullsDone_, "the port was not opened again after every pull");
    std::printf("messages:");
    for (const auto& [title, n] : messages_) std::printf(" '%s' %u", title.c_str(), n);
    std::printf("\n");
    std::printf("crashes: %u escaped exceptions\n", escapes_);
    for (const auto& e : escapeTexts_) std::printf("  %s\n", e.c_str());
    judge(escapes_ == 0, Format("%u exceptions escaped", escapes_));
    judge(aldsimAlive_, "aldsim died");
    std::printf("final: %u of %zu devices addressed and connected with their subunits known\n", finalUp_,
                devices_.size());
    for (const auto& n : notUp_) std::printf("  not up: %s\n", n.c_str());
    judge(finalUp_ == devices_.size(), Format("%zu devices not up at the end", devices_.size() - finalUp_));
    ReportTrace(judge);
    ReportMemory(judge);
    if (faults.empty()) {
      std::printf("FaultSoak: PASS (%llu operations, %u losses, %u crashes)\n",
                  static_cast<unsigned long long>(operations_), static_cast<unsigned>(losses_.size()), escapes_);
      return 0;
    }
    std::string joined;
    for (const auto& f : faults) joined += (joined.empty() ? "" : "; ") + f;
    std::printf("FaultSoak: FAIL: %s\n", joined.c_str());
    return 1;
  }

  template <class J>
  void ReportOperations(J& judge) {
    std::printf("operations: %llu run in %llu attempts:", static_cast<unsigned long long>(operations_),
                static_cast<unsigned long long>(attempts_));
    for (const auto& [kind, n] : opsByKind_) std::printf(" %s %u,", kind.c_str(), n);
    std::printf("\nfailures by result:");
    unsigned failures = 0;
    for (const auto& [name, n] : failures_) {
      std::printf(" '%s' %u", name.c_str(), n);
      failures += n;
    }
    std::printf("%s\n", failures == 0 ? " none" : "");
    std::printf("given up after %d failures: %u; wrong results: %u\n", kAttempts, abandoned_, wrongResults_);
    for (const auto& a : abandonedTexts_) std::printf("  given up: %s\n", a.c_str());
    judge(operations_ > 0, "no operation ran");
    judge(abandoned_ == 0, Format("%u operations failed %d times", abandoned_, kAttempts));
    judge(wrongResults_ == 0, Format("%u operations reported success with a wrong result", wrongResults_));
  }

  template <class J>
  void ReportLosses(J& judge) {
    std::printf("power cycles: %u; devices lost: %zu\n", powerCycles_, losses_.size());
    unsigned expected = 0;
    for (const auto& l : losses_) {
      if (l.PowerCycled) {
        ++expected;
        std::printf("  %s lost after %llu unanswered polls\n", l.Id.c_str(), static_cast<unsigned long long>(l.Polls));
        judge(l.Polls <= kMaxPollsToLoss,
              Format("%s declared lost after %llu polls", l.Id.c_str(), static_cast<unsigned long long>(l.Polls)));
      } else if (l.Unassigned) {
        // Left disconnected by a scan whose assignment went unanswered; the
        // reconnect pass of the next scan gives it its address again.
        std::printf("  %s left unaddressed by a scan (its assignment went unanswered)\n", l.Id.c_str());
      } else if (l.FirstPollAfterReconnect) {
        // The link keeps the missed polls of a lost ALD through its
        // reconnection until a poll is answered, so one answer lost to the
        // injected faults right after the reconnection loses it again.
        std::printf("  %s lost again at its first poll after the reconnection\n", l.Id.c_str());
      } else {
        std::printf("  %s lost while powered\n", l.Id.c_str());
        judge(false, l.Id + " lost while powered");
      }
    }
    judge(expected == powerCycles_, Format("%u of %u power-cycled devices declared lost", expected, powerCycles_));
    std::printf("back after the reconnect pass: %u of %zu\n", back_, losses_.size());
    judge(back_ == losses_.size(), Format("%u of %zu lost devices came back", back_, losses_.size()));
  }

  template <class J>
  void ReportStuck(J& judge) {
    if (!stuckRan_) {
      std::printf("stuck device: not in a run this short\n");
      return;
    }
    std::printf(
        "stuck device %s: tilt move ended '%s' after %.1f s, busy after %d, timer ticks meanwhile %llu, polls of "
        "the others meanwhile %llu, polled again after %d\n",
        stuckId_.c_str(), stuckResult_.c_str(), stuckSeconds_, stuckBusyAfter_ ? 1 : 0,
        static_cast<unsigned long long>(stuckTicks_), static_cast<unsigned long long>(stuckOtherPolls_),
        stuckPolledAfter_ ? 1 : 0);
    judge(!stuckSucceeded_, "the stuck device's move reported success");
    judge(!stuckBusyAfter_, "the stuck device stayed busy");
    judge(stuckTicks_ >= stuckSeconds_ / 2, "the timer stopped while the stuck device was awaited");
    judge(stuckPolledAfter_, "the stuck device was not polled after its time-out");
  }

  template <class J>
  void ReportTrace(J& judge) {
    std::printf(
        "trace: %llu lines taken by the pane, %llu in the file; markers %llu + %llu written, %llu + %llu in "
        "the file\n",
        static_cast<unsigned long long>(paneLines_), static_cast<unsigned long long>(fileLines_),
        static_cast<unsigned long long>(markersWritten_.load()), static_cast<unsigned long long>(uiMarkers_),
        static_cast<unsigned long long>(markersInFile_), static_cast<unsigned long long>(uiMarkersInFile_));
    judge(fileWriteError_ == 0, Format("the trace file failed (errno %d)", fileWriteError_));
    judge(paneLines_ == fileLines_, "the pane and the trace file differ");
    judge(markersInFile_ == markersWritten_ && uiMarkersInFile_ == uiMarkers_, "trace lines were lost");
  }

  // Growth beyond a margin is a leak; AddressSanitizer keeps up to 256 MB
  // of freed memory in quarantine, so its margin is wider.
  template <class J>
  void ReportMemory(J& judge) {
    std::printf("memory: peak resident %.1f MB at the start of the soak, %.1f MB at the end\n", peakAtStart_ / 1024.0,
                peakAtEnd_ / 1024.0);
    long margin = AddressSanitizer() ? 320L * 1024 : 16L * 1024 + peakAtStart_ / 4;
    judge(peakAtEnd_ <= peakAtStart_ + margin, "the resident memory grew");
  }

  Options options_;
  std::mt19937 random_;
  std::vector<Tracked> devices_;
  std::string stuckId_;
  std::filesystem::path dir_;
  std::unique_ptr<AldsimChild> sim_;
  std::unique_ptr<SoakAdapter> adapter_;
  std::unique_ptr<SoakStation> station_;
  uint32_t openedGeneration_ = 0;

  Steady::time_point started_, soakStart_, closeStart_;
  Steady::time_point lastTick_;
  bool inTick_ = false;
  bool scanStarted_ = false;
  std::array<uint64_t, 256> pollsOf_{};
  std::array<uint64_t, 256> unheardOf_{};

  std::thread markers_;
  std::atomic<bool> stopMarkers_{false};
  std::atomic<uint64_t> markersWritten_{0};
  uint64_t uiMarkers_ = 0, markersInFile_ = 0, uiMarkersInFile_ = 0;
  uint64_t paneLines_ = 0, fileLines_ = 0;
  int fileWriteError_ = 0;

  double initialScanSeconds_ = 0;
  unsigned initialFound_ = 0, fullScans_ = 0, closingFullScans_ = 0, reconnectScans_ = 0;
  uint64_t operations_ = 0, attempts_ = 0;
  std::map<std::string, unsigned> opsByKind_, failures_;
  unsigned abandoned_ = 0, wrongResults_ = 0, opsHitByPull_ = 0;
  std::vector<std::string> abandonedTexts_;
  unsigned escapes_ = 0;
  std::vector<std::string> escapeTexts_;
  unsigned powerCycles_ = 0, back_ = 0;
  std::vector<Loss> losses_;
  std::vector<Steady::time_point> pulls_;
  unsigned pullsDone_ = 0, reopens_ = 0;
  uint64_t pollsHitByPull_ = 0;
  bool stuckRan_ = false, stuckSucceeded_ = false, stuckBusyAfter_ = false;
  std::string stuckResult_;
  double stuckSeconds_ = 0;
  uint64_t stuckOtherPolls_ = 0, stuckTicks_ = 0, ticks_ = 0;
  bool stuckPolledAfter_ = false;
  unsigned finalUp_ = 0;
  std::vector<std::string> notUp_;
  std::map<std::string, unsigned> messages_;
  bool aldsimAlive_ = false;
  long peakAtStart_ = 0, peakAtEnd_ = 0;
};

std::vector<SiteDevice> LoadSite(const std::string& path) {
  std::ifstream in(path);
  nlohmann::json site = nlohmann::json::parse(in, nullptr, false);
  if (site.is_discarded() || !site.contains("devices")) throw std::runtime_error("cannot read the site " + path);
  std::vector<SiteDevice> devices;
  for (const auto& d : site["devices"]) {
    SiteDevice device{d["uniqueId"].get<std::string>(), d["type"].get<std::string>(),
                      static_cast<unsigned>(d.contains("subunits") ? d["subunits"].size() : 1)};
    device.MaxTilt.fill(100);
    for (size_t i = 0; d.contains("subunits") && i < d["subunits"].size() && i < device.MinTilt.size(); ++i) {
      nlohmann::json fields = d["subunits"][i].value("fields", nlohmann::json::object());
      int low = fields.value("minTilt", 0), high = fields.value("maxTilt", 100);
      if (high > low) {
        device.MinTilt[i] = low;
        device.MaxTilt[i] = high;
      }
    }
    devices.push_back(std::move(device));
  }
  return devices;
}

bool ParseOptions(int argc, char** argv, Options& o) {
  o.Aldsim = (std::filesystem::path(argv[0]).parent_path() / "aldsim").string();
  o.Site = std::string(TILTDECK_SOURCE_DIR) + "/sim/sites/site16.json";
  for (int i = 1; i + 1 < argc; i += 2) {
    std::string name = argv[i], value = argv[i + 1];
    if (name == "--minutes") {
      o.Seconds = static_cast<uint32_t>(std::stoul(value) * 60);
    } else if (name == "--seconds") {
      o.Seconds = static_cast<uint32_t>(std::stoul(value));
    } else if (name == "--seed") {
      o.Seed = static_cast<uint32_t>(std::stoul(value));
    } else if (name == "--aldsim") {
      o.Aldsim = value;
    } else if (name == "--site") {
      bool bare = value.find('/') == std::string::npos && value.find('.') == std::string::npos;
      o.Site = bare ? std::string(TILTDECK_SOURCE_DIR) + "/sim/sites/" + value + ".json" : value;
    } else if (name == "--keep") {
      o.Keep = value == "1";
    } else if (name == "--poll-lines") {
      o.PollLines = value == "1";
    } else {
      return false;
    }
  }
  return argc % 2 == 1;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  try {
    if (!ParseOptions(argc, argv, options)) {
      std::fprintf(stderr,
                   "usage: FaultSoak [--minutes N | --seconds N] [--seed N] [--aldsim PATH] [--site FILE|NAME] [--keep "
                   "1] [--poll-lines 1]\n");
      return 2;
    }
    FaultSoak soak(options, LoadSite(options.Site));
    return soak.Run();
  } catch (const std::exception& e) {
    std::printf("FaultSoak: FAIL: %s\n", e.what());
    return 1;
  }
}
