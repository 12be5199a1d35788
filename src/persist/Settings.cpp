#include "persist/Settings.h"

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>

#include "core/TraceLevel.h"
#include "core/TraceLog.h"
#include "persist/ProfileStore.h"
#include "persist/ScanOptionsSink.h"
#include "serial/AdapterDetector.h"

namespace {

constexpr const char* kIsFirstLaunchKey = "IsFirstLaunch";
constexpr const char* kAldListFileKey = "ALDListFile";
constexpr const char* kComPortKey = "ComPort";
constexpr const char* kApplicationLookKey = "ApplicationLook";

struct IntKey {
  const char* Key;
  Relaxed<int32_t> Settings::*Member;
  int32_t Default;
};

// In the order they are read and written.
const IntKey kIntKeys[] = {
    {"SerialBaudrate", &Settings::SerialBaudrate, 9600},
    {"ScanMaxIterations", &Settings::ScanMaxIterations, 9999},
    {"AldListFields", &Settings::AldListFields, 0xFFFF},
    {"ScanAutoconnect", &Settings::ScanAutoconnect, 1},
    {"ScanRepeatMode", &Settings::ScanRepeatMode, 1},
    {"ScanPreviouslyFound", &Settings::ScanPreviouslyFound, 0},
    {"DownloadAutoconnect", &Settings::DownloadAutoconnect, 1},
    {"EnablePolling", &Settings::EnablePolling, 1},
    {"RefreshSelectedAld", &Settings::RefreshSelectedAld, 1},
    {"ComPortAutoDetection", &Settings::ComPortAutoDetection, 1},
    {"TraceAisgSerial", &Settings::TraceAisgSerial, 1},
    {"TraceAisgHdlc", &Settings::TraceAisgHdlc, 1},
    {"TraceAisgLayer7", &Settings::TraceAisgLayer7, 1},
    {"TraceAisgMain", &Settings::TraceAisgMain, 1},
    {"TraceAisgPolling", &Settings::TraceAisgPolling, 1},
    {"FastExchanges", &Settings::FastExchanges, 1},
    {"ExchangeGuardMs", &Settings::ExchangeGuardMs, 5},
};

struct TraceSwitch {
  const char* Class;
  Relaxed<int32_t> Settings::*Member;
};

const TraceSwitch kTraceSwitches[] = {
    {TraceClass::kMain, &Settings::TraceAisgMain},    {TraceClass::kComm, &Settings::TraceAisgSerial},
    {TraceClass::kHdlc, &Settings::TraceAisgHdlc},    {TraceClass::kAisg, &Settings::TraceAisgLayer7},
    {TraceClass::kPoll, &Settings::TraceAisgPolling},
};

}  // namespace

Settings::Settings(ProfileStore& store, TraceLog& log)
    : ComPort(kDefaultComPort), ALDListFile(DefaultAldListFile()), IsFirstLaunch(1), store_(store), log_(log) {
  for (const IntKey& key : kIntKeys) this->*key.Member = key.Default;
}

std::string Settings::DefaultAldListFile() {
  const char* home = std::getenv("HOME");
  if (home == nullptr || *home == '\0') {
    const passwd* user = getpwuid(getuid());
    home = user != nullptr ? user->pw_dir : "";
  }
  return std::string(home) + "/ald_list.txt";
}

void Settings::Load(AdapterDetector& ports) {
  IsFirstLaunch = store_.ReadInt(kIsFirstLaunchKey, 1);
  if (IsFirstLaunch == 1) {
    store_.WriteInt(kIsFirstLaunchKey, 0);
    store_.Flush();
  }
  ALDListFile = store_.ReadString(kAldListFileKey, DefaultAldListFile());
  ComPort = store_.ReadString(kComPortKey, kDefaultComPort);
  for (const IntKey& key : kIntKeys) this->*key.Member = store_.ReadInt(key.Key, key.Default);
  Ports.clear();
  ports.ListPorts(Ports);
  std::string detected = ports.GetDetectedPort();
  if (ComPortAutoDetection == 1 && !detected.empty()) ComPort = detected;
  ApplyTraceClasses();
  ApplyExchangeTiming();
}

bool Settings::Save() {
  if (DefaultsRestored != 0) return false;
  std::string previousPort = store_.ReadString(kComPortKey, kDefaultComPort);
  store_.WriteString(kComPortKey, ComPort);
  for (const IntKey& key : kIntKeys) store_.WriteInt(key.Key, this->*key.Member);
  store_.Flush();
  ApplyTraceClasses();
  ApplyExchangeTiming();
  if (ComPort != previousPort && reopen_) reopen_(ComPort, SerialBaudrate);
  if (scanSink_ != nullptr) {
    scanSink_->SetMaxIterations(ScanMaxIterations);
    scanSink_->SetAutoConnect(ScanAutoconnect);
    scanSink_->SetRepeatMode(ScanRepeatMode);
  }
  return true;
}

void Settings::ApplyTraceClasses() {
  for (const TraceSwitch& entry : kTraceSwitches) log_.SetClassSuppressed(entry.Class, this->*entry.Member == 0);
}

// A guard time beyond a second is no guard but a stalled bus; a negative one
// is none.
void Settings::ApplyExchangeTiming() {
  constexpr int32_t kLongestGuardMs = 1000;
  if (!timingSink_) return;
  int32_t guard = std::clamp<int32_t>(ExchangeGuardMs, 0, kLongestGuardMs);
  timingSink_(FastExchanges != 0, static_cast<uint32_t>(guard));
}

void Settings::SetExchangeTimingSink(std::function<void(bool fast, uint32_t guardMs)> sink) {
  timingSink_ = std::move(sink);
  ApplyExchangeTiming();
}

void Settings::SetAldListFile(const std::string& path) {
  ALDListFile = path;
  store_.WriteString(kAldListFileKey, path);
  store_.Flush();
}

void Settings::RestoreDefaults() {
  store_.DeleteSection();
  store_.Flush();
  DefaultsRestored = 1;
}

void Settings::TakeFieldSelection(const std::array<bool, kAldListFieldCount>& checked) {
  int32_t fields = 1;
  for (int i = 1; i < kAldListFieldCount; ++i) {
    if (checked[i]) fields |= 1 << i;
  }
  AldListFields = fields;
}

ScanOptions Settings::CurrentScanOptions() const {
  ScanOptions options;
  options.AutoConnect = ScanAutoconnect;
  options.MaxIterations = ScanMaxIterations;
  options.RepeatMode = ScanRepeatMode;
  options.PreviouslyFound = ScanPreviouslyFound;
  return options;
}

PollOptions Settings::CurrentPollOptions() const {
  PollOptions options;
  options.EnablePolling = EnablePolling;
  options.ScanAutoconnect = ScanAutoconnect;
  return options;
}

int32_t Settings::ReadApplicationLook() {
  return store_.ReadInt(kApplicationLookKey, kDefaultApplicationLook);
}

void Settings::WriteApplicationLook(int32_t look) {
  store_.WriteInt(kApplicationLookKey, look);
  store_.Flush();
}

void Settings::SetPortReopen(std::function<void(const std::string& port, int32_t baud)> reopen) {
  reopen_ = std::move(reopen);
}
