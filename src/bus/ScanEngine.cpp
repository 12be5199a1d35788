#include "bus/ScanEngine.h"

#include <cstdio>
#include <cstring>

#include "ald/AldTable.h"
#include "ald/AldType.h"
#include "bus/AldSetup.h"
#include "bus/DeviceWindows.h"
#include "bus/UserMessages.h"
#include "core/Clock.h"
#include "core/Format.h"
#include "core/MessagePump.h"
#include "core/TraceLog.h"
#include "layer7/AisgLayer7.h"
#include "link/AisgHdlc.h"

namespace {

constexpr uint32_t kNewAldPauseMs = 20;
constexpr uint32_t kReconnectStepMs = 500;
constexpr uint32_t kReconnectSettleMs = 2000;
constexpr uint32_t kReloadPauseMs = 500;

// Whatever reached the line, unless it is one well-formed answer, is
// several devices answering together: a collision, octets that make no
// frame, or more octets than one answer can have.
bool IsCollision(ResultCode r) {
  return r != kSuccess && r != kTimeout;
}
bool IsAnswer(ResultCode r) {
  return r != kTimeout;
}

}  // namespace

ScanEngine::ScanEngine(AisgLayer7& layer7, DeviceWindows& windows, UserMessages& messages, OptionsProvider options)
    : layer7_(layer7),
      link_(layer7.Link()),
      table_(layer7.Alds()),
      log_(layer7.Log()),
      clock_(layer7.Time()),
      windows_(windows),
      messages_(messages),
      options_(std::move(options)) {
  Reset();
}

// Waits for a running scan to end (the cleared flag ends it at its next
// step), so that the table is never reset under the worker's feet.
void ScanEngine::Reset() {
  running_ = 0;
  std::lock_guard<std::mutex> lock(runMutex_);
  found_ = 0;
  reported_ = 0;
  idLength_ = kIdLength;
  std::memset(allPattern_, 0, sizeof allPattern_);
  std::memset(allMask_, 0, sizeof allMask_);
  allMask_[0] = 0x80;
  ScanOptions o = options_ ? options_() : ScanOptions{};
  autoConnect_ = o.AutoConnect;
  maxIterations_ = o.MaxIterations;
  repeatMode_ = o.RepeatMode;
  previouslyFound_ = o.PreviouslyFound;
  table_.ResetAll();
}

void ScanEngine::Halt() {
  running_ = 0;
  std::lock_guard<std::mutex> lock(runMutex_);
}

void ScanEngine::Run() {
  Arm();
  RunArmed();
}

void ScanEngine::RunArmed() {
  std::lock_guard<std::mutex> lock(runMutex_);
  tableFull_ = false;
  identical_.clear();
  try {
    ReconnectPass();
    log_.Write(kTraceInfo, TraceClass::kMain, 0, "Scan Started");
    if (SearchBus()) Finish();
    ReportIdentical();
  } catch (...) {
    // The ALDs entered so far still get their rows, and the next scan can run.
    HandOver();
    throw;
  }
}

void ScanEngine::Stop() {
  running_ = 0;
  log_.Write(kTraceInfo, TraceClass::kMain, 0, "Scan stopped");
}

// Counts add up until the user interface takes them, so a scan that ends
// before the previous report was taken does not hide its ALDs.
void ScanEngine::Finish() {
  running_ = 0;
  uint8_t found = found_;
  reported_ += found;
  log_.Write(kTraceInfo, TraceClass::kMain, 0, "Found: [%d]", found);
  found_ = 0;
}

void ScanEngine::HandOver() {
  running_ = 0;
  reported_ += found_.load();
  found_ = 0;
}

// A stop ends the pass between two ALDs, so that a bus reset does not wait
// for every lost ALD's reconnect to time out.
void ScanEngine::ReconnectPass() {
  int reconnected = 0;
  for (unsigned i = 1; i <= table_.AldCount() && running_ != 0; ++i) {
    if (table_.Record(i).State != kStateDisconnected) continue;
    if (Reconnect(static_cast<uint8_t>(i))) ++reconnected;
  }
  if (reconnected > 0) {
    messages_.ShowMessage("RECONNECTED", Format("Reconnected %d ALDs", reconnected), UserMessages::Icon::kInformation);
  }
}

// The assignment and the connection are asked again when an answer is
// lost, so that one lost frame does not keep the ALD away for another scan.
bool ScanEngine::Reconnect(uint8_t slot) {
  AldRecord& ald = table_.Record(slot);
  link_.Disconnect(slot);
  clock_.SleepMs(kReconnectStepMs);
  layer7_.SoftwareReset(slot);
  clock_.SleepMs(kReconnectStepMs);
  if (Assign(slot) == kTimeout) {
    ald.State = kStateDisconnected;
    log_.Write(kTraceInfo, TraceClass::kMain, slot, "Unable to reconnect");
  }
  ResultCode r = AldSetup::Retried([&] { return link_.Connect(slot); });
  clock_.SleepMs(kReconnectSettleMs);
  if (r != kSuccess) {
    AldSetup::Failed(log_, ald, slot, kSetupConnect, r);
    return false;
  }
  AldSetup::Completed(ald);
  log_.Write(kTraceInfo, TraceClass::kMain, slot, "Reconnected Successfully");
  if (windows_.HasWindow(slot)) {
    windows_.LoadAld(slot);
    windows_.EnableCommands(slot, true);
    clock_.SleepMs(kReloadPauseMs);
  }
  return true;
}

// Returns whether the search ended in the finishing step; a stop seen
// between the groups ends it without, and the count carries over.
bool ScanEngine::SearchBus() {
  ResultCode r = ScanOne();
  if (r == kTimeout) {
    r = ScanOne();
    if (r == kTimeout) return true;
  }
  if (r == kSuccess && ScanAllUntilTimeout() == kTimeout) return true;
  if (running_ == 0) return false;
  Search s;
  return SearchGroups(s);
}

// Groups of first characters: bit 0x10 clear ('A'..'O') split by bit 0x08,
// then bit 0x08 set, then bit 0x10 set ('P'..'Z').
bool ScanEngine::SearchGroups(Search& s) {
  if (IsCollision(Probe(0x00, 0x10))) {
    if (IsAnswer(Probe(0x00, 0x08)) && RangeScanVID_1('A', 'G', s) == 0) {
      Debug("RangeScanVID_1 for A - G returned false \n");
    }
    if (WholeBusDone(s)) return true;
  }
  if (running_ == 0) return false;
  if (IsAnswer(Probe(0x08, 0x08))) {
    RangeScanVID_1('H', 'O', s);
    if (WholeBusDone(s)) return true;
  }
  if (running_ == 0) return false;
  if (!IsAnswer(Probe(0x10, 0x10))) return Unresolved(s);
  RangeScanVID_1('P', 'Z', s);
  return WholeBusDone(s) || Unresolved(s);
}

bool ScanEngine::WholeBusDone(Search& s) {
  return s.AllFound || ScanAllUntilTimeout() == kTimeout;
}

// The groups ran out while devices may still be answering together: their
// vendor codes lie outside the letters, or a group's probe was answered by
// one device while others of the group went unsearched. The whole range of
// identifiers is then searched bit by bit; the vendor codes searched to
// their end are passed over. With devices sharing an identifier the whole
// bus answers for ever, so its scan would tell nothing.
bool ScanEngine::Unresolved(Search& s) {
  if (Halted()) return true;
  if (identical_.empty() && ScanAllUntilTimeout() == kTimeout) return true;
  log_.Write(kTraceInfo, TraceClass::kMain, 0, "Searching every unique id bit by bit");
  Resolve(ScanCube(), false, s);
  return true;
}

// Probes only ask: whatever answers is not entered.
ResultCode ScanEngine::Probe(uint8_t pattern, uint8_t mask) {
  if (tableFull_) return kTimeout;
  SetWorking({pattern}, {mask});
  return link_.XidScan(pattern_, mask_, 1, &table_.Scratch());
}

ResultCode ScanEngine::ScanOne() {
  return ScanWith(allPattern_, allMask_, idLength_);
}

ResultCode ScanEngine::ScanMatching(const uint8_t* pattern, const uint8_t* mask, uint8_t length) {
  autoConnect_ = 1;
  return ScanWith(pattern, mask, length);
}

ResultCode ScanEngine::ScanWith(const uint8_t* pattern, const uint8_t* mask, uint8_t length) {
  lastScan_ = kTimeout;
  if (Halted()) return kTimeout;
  AldRecord& scratch = table_.Scratch();
  AldTable::Reset(scratch);
  ResultCode r = link_.XidScan(pattern, mask, length, &scratch);
  lastScan_ = r;
  if (r != kSuccess) return r;
  unsigned known = table_.FindUniqueId(scratch.UniqueId, scratch.UniqueIdLength);
  if (known != AldTable::kNoSlot) return Rediscovered(known);
  return Enter(scratch);
}

ResultCode ScanEngine::Enter(const AldRecord& scratch) {
  unsigned slot = table_.Insert(scratch);
  if (slot == AldTable::kNoSlot) {
    TableFull(scratch);
    return kTimeout;
  }
  ++found_;
  const AldRecord& ald = table_.Record(slot);
  log_.Write(kTraceInfo, TraceClass::kMain, 0, "Found: %.19s", ald.UniqueId);
  if (autoConnect_ == 0) {
    clock_.SleepMs(kNewAldPauseMs);
    return kSuccess;
  }
  log_.Write(kTraceInfo, TraceClass::kMain, 0, "Auto Address & Connect: %.19s", ald.UniqueId);
  return AddressAndConnect(slot);
}

// A known ALD that answers a scan has no address: it was never given one,
// or it lost it. Without automatic connection it would answer every scan
// that follows, so the search takes it as silence instead of looping on it;
// with automatic connection it gets its address and link back.
ResultCode ScanEngine::Rediscovered(unsigned slot) {
  if (autoConnect_ == 0) return kTimeout;
  log_.Write(kTraceInfo, TraceClass::kMain, 0, "Auto Address & Connect: %.19s", table_.Record(slot).UniqueId);
  return AddressAndConnect(slot);
}

// Each step is asked again when its answer is lost, garbled or late. Once
// the ALD has taken its address it no longer answers device scans, so for
// the search it counts as found whatever the later steps did; an ALD that
// could not be brought up says why in its record and in the trace.
ResultCode ScanEngine::AddressAndConnect(unsigned slot) {
  AldRecord& ald = table_.Record(slot);
  auto s = static_cast<uint8_t>(slot);
  ald.State = kStateDiscovered;
  ResultCode r = Assign(s);
  if (ald.State != kStateAddressed) {
    // Every answer lost does not mean the request was: the device may hold
    // the address now, and then it answers no scan again. Only an
    // assignment by its identifier reaches it, which the reconnect pass of
    // the next scan gives a disconnected ALD.
    ald.State = kStateDisconnected;
    AldSetup::Failed(log_, ald, s, kSetupAssign, r);
    return r;
  }
  PumpMessages();
  r = AldSetup::Retried([&] { return link_.ProtocolVersion(ald.Address); });
  if (r != kSuccess) {
    AldSetup::Failed(log_, ald, s, kSetupVersion, r);
    return kSuccess;
  }
  PumpMessages();
  r = AldSetup::Retried([&] { return link_.Connect(ald.Address); });
  if (r != kSuccess) {
    AldSetup::Failed(log_, ald, s, kSetupConnect, r);
    return kSuccess;
  }
  AldSetup::Completed(ald);
  return kSuccess;
}

// Asked again until the ALD has taken the address: an answer that names it
// but is otherwise malformed still counts as taken.
ResultCode ScanEngine::Assign(uint8_t slot) {
  const AldRecord& ald = table_.Record(slot);
  uint8_t before = ald.State;
  ResultCode r = kTimeout;
  for (int i = 0; i <= AldSetup::kRetries; ++i) {
    r = link_.AssignAddress(slot);
    if (r == kSuccess || (ald.State == kStateAddressed && before != kStateAddressed)) break;
  }
  return r;
}

ResultCode ScanEngine::ScanAllUntilTimeout() {
  ResultCode r;
  do {
    r = ScanOne();
  } while (r == kSuccess);
  return r;
}

// The device is left out; the search ends as if the bus had gone quiet, and
// the ALDs entered so far are reported as usual.
void ScanEngine::TableFull(const AldRecord& scratch) {
  tableFull_ = true;
  messages_.ShowMessage("ALD table full",
                        Format("All %u ALD slots are in use: %.19s and any further ALDs were left out.",
                               AldTable::kMaxAld, scratch.UniqueId),
                        UserMessages::Icon::kError);
}

// Devices that share an identifier answer every scan that one of them
// answers; no mask tells them apart and no address can be given to one
// alone. The user is told which identifiers they are.
void ScanEngine::ReportIdentical() {
  if (identical_.empty()) return;
  std::string ids;
  for (const ScanCube& id : identical_) ids += (ids.empty() ? "" : ", ") + id.IdentifierText();
  messages_.ShowMessage("Identical unique ids",
                        Format("Several ALDs answer with the same unique id: %s. ALDs that share a unique id cannot "
                               "be addressed apart; they were left out.",
                               ids.c_str()),
                        UserMessages::Icon::kWarning);
}

void ScanEngine::Debug(const std::string& text) {
  if (debug_) {
    debug_(text);
  } else {
    std::fputs(text.c_str(), stderr);
  }
}
