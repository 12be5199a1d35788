#include "cli/CliSession.h"

#include <algorithm>

#include "ald/AldType.h"
#include "bus/AldAlarmRead.h"
#include "persist/ScanOptions.h"
#include "serial/AisgSerial.h"
#include "serial/ECommError.h"

namespace {

// Automatic connection: every ALD found is addressed and connected at once.
ScanOptions DefaultScanOptions() {
  return ScanOptions{};
}

}  // namespace

CliSession::CliSession(const std::string& tracePath, Clock& clock, const LinkFactory& link)
    : log_(tracePath),
      table_(log_),
      link_(link ? link(log_, table_) : std::make_unique<AisgHdlc>(log_, table_)),
      layer7_(*link_, table_, log_, clock),
      station_(layer7_, BusUi{ui_, ui_, ui_}, DefaultScanOptions, nullptr) {
  // Standard error carries the tool's own lines only; the scan's
  // diagnostics belong with the rest of its trace.
  station_.Engine().SetDebugOutput([this](const std::string& text) {
    std::string line = text.substr(0, text.find_last_not_of(" \n") + 1);
    log_.Write(kTraceInfo, TraceClass::kMain, 0, "%s", line.c_str());
  });
}

CliSession::~CliSession() {
  // The failure report of the capture refers to this session's members.
  link_->Capture().Stop();
  try {
    link_->Close();
  } catch (const ECommError&) {
    // The adapter may be gone already; nothing is left to release.
  }
}

bool CliSession::Open(const std::string& port, uint32_t baud, PortDiagnosis& why) {
  AisgSerial::ClearLastError();
  try {
    link_->ConfigurePort(port, baud);
  } catch (const ECommError& e) {
    why = {PortDiagnosis::Kind::kOther, "error " + std::to_string(e.Code)};
    return false;
  }
  if (AisgSerial::IsOpen() && AisgSerial::LastError().empty()) return true;
  why = link_->OpenFailure();
  if (why.What == PortDiagnosis::Kind::kNone) why = {PortDiagnosis::Kind::kOther, AisgSerial::LastError()};
  return false;
}

// The reset makes every device give up its address, so the scan finds the
// whole bus and the slots start from 1 in every run. The listing asks multi
// RETs and TMAs for their subunit count and reads every row's alarms.
bool CliSession::Start(std::string& error) {
  station_.Commands().BroadcastReset();
  if (auto e = ui_.TakeError()) {
    error = *e;
    return false;
  }
  try {
    station_.Engine().Run();
  } catch (const ECommError& e) {
    error = "serial port failure during the scan (error " + std::to_string(e.Code) + ")";
    return false;
  }
  station_.Ticker().OnTimerTick();
  if (auto e = ui_.TakeError()) {
    error = *e;
    return false;
  }
  ShowAlarmedStates();
  return true;
}

// A device window would read the alarms of every ALD listed and mark those
// with a raised alarm ALARMED. The listing has just read them, so the
// states follow from the lists without asking the devices again.
void CliSession::ShowAlarmedStates() {
  for (uint8_t slot : Slots()) {
    AldRecord& ald = table_.Record(slot);
    if (!IsLinkUp(ald)) continue;
    bool raised = false;
    for (const AldSubunit& subunit : ald.Subunits) {
      const AlarmList& a = subunit.Alarms;
      for (int i = 0; i < std::min<int>(a.AlarmCount, AlarmList::kMaxAlarms); ++i) raised |= a.AlarmStates[i] == 1;
    }
    ald.State = raised ? kStateAlarmed : kStateConnected;
  }
}

bool CliSession::StartCapture(const std::string& path, std::string& error) {
  return link_->Capture().Start(path, &error, [this](const std::string& message) {
    std::lock_guard<std::mutex> guard(captureLock_);
    captureFailure_ = message;
  });
}

std::optional<std::string> CliSession::TakeCaptureFailure() {
  std::lock_guard<std::mutex> guard(captureLock_);
  std::optional<std::string> message;
  message.swap(captureFailure_);
  return message;
}

uint8_t CliSession::FindAld(const std::string& name) const {
  bool number = !name.empty() && name.size() <= 3 && name.find_first_not_of("0123456789") == std::string::npos;
  for (uint8_t slot : Slots()) {
    if (number ? std::stoi(name) == slot : table_.UniqueIdText(slot) == name) return slot;
  }
  return 0;
}

std::vector<uint8_t> CliSession::Slots() const {
  std::vector<uint8_t> slots;
  for (unsigned slot = 1; slot <= AldTable::kMaxAld; ++slot) {
    if (table_.Record(slot).InUse) slots.push_back(static_cast<uint8_t>(slot));
  }
  return slots;
}
