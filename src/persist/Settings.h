#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/Relaxed.h"
#include "persist/PollOptions.h"
#include "persist/ScanOptions.h"

class AdapterDetector;
class ProfileStore;
class ScanOptionsSink;
class TraceLog;

// The user's options for the whole run. The members hold the values in
// force; the options dialog exchanges its controls with them directly, and
// Save writes them all and applies what takes effect at once.
//
// The section path carries the version and build of the program, so every
// build starts from the defaults and never reads another build's keys.
class Settings {
 public:
  static constexpr const char* kVendorKey = "Orvel5.16.0Apr 27 201809:17:22";
  static constexpr const char* kApplication = "Tiltdeck";
  static constexpr const char* kSection = "SettingsOrvel";
  static constexpr const char* kDefaultComPort = "/dev/ttyS0";
  static constexpr int32_t kDefaultApplicationLook = 5006;
  static constexpr int kAldListFieldCount = 16;
  static constexpr std::array<const char*, kAldListFieldCount> kAldListFieldNames = {"ALD [DISABLED]",
                                                                                     "Unique Id",
                                                                                     "Status",
                                                                                     "Alarm",
                                                                                     "Type",
                                                                                     "Vers",
                                                                                     "Product Number",
                                                                                     "Software Version",
                                                                                     "Hardware Version",
                                                                                     "BaseStation Id",
                                                                                     "Sector Id",
                                                                                     "Antenna Model Number",
                                                                                     "Antenna Frequency Band",
                                                                                     "Ret Tilt",
                                                                                     "Tma Mode",
                                                                                     "Tma Gain"};

  // Members hold the defaults until Load.
  Settings(ProfileStore& store, TraceLog& log);
  Settings(const Settings&) = delete;
  Settings& operator=(const Settings&) = delete;
  // The application's settings in the user's store, loaded on the first call.
  static Settings& Instance();

  // Reads every key (writing only "IsFirstLaunch" on a first start), lists
  // the ports, takes over a detected adapter's port when auto detection is
  // on, and switches the trace classes.
  void Load(AdapterDetector& ports);
  // Writes every key, switches the trace classes, reopens the port when its
  // name changed and hands the scan options on. After RestoreDefaults it does
  // nothing at all and returns false.
  bool Save();
  // Remembers the path of the list the user saved; writes only that key.
  void SetAldListFile(const std::string& path);
  // Empties the stored section, so the next start runs with the defaults,
  // and keeps this run's saves from writing it again.
  void RestoreDefaults();
  // Rebuilds AldListFields from the field selector's marks; field 0 cannot be
  // switched off.
  void TakeFieldSelection(const std::array<bool, kAldListFieldCount>& checked);

  // What the scan engine copies at its reset, and what the poll timer
  // reads at every tick; safe to call from any thread.
  ScanOptions CurrentScanOptions() const;
  PollOptions CurrentPollOptions() const;

  int32_t ReadApplicationLook();
  void WriteApplicationLook(int32_t look);

  // Closes and reopens the serial port; must report its own failures, not
  // raise them.
  void SetPortReopen(std::function<void(const std::string& port, int32_t baud)> reopen);
  void SetScanOptionsSink(ScanOptionsSink* sink) { scanSink_ = sink; }
  // Where FastExchanges and ExchangeGuardMs take effect: given the values in
  // force at once, and again at every load and save.
  void SetExchangeTimingSink(std::function<void(bool fast, uint32_t guardMs)> sink);

  static std::string DefaultAldListFile();

  std::string ComPort;
  std::string ALDListFile;
  Relaxed<int32_t> IsFirstLaunch;
  Relaxed<int32_t> SerialBaudrate;
  Relaxed<int32_t> ScanMaxIterations;
  Relaxed<int32_t> AldListFields;
  Relaxed<int32_t> ScanAutoconnect;
  Relaxed<int32_t> ScanRepeatMode;
  Relaxed<int32_t> ScanPreviouslyFound;
  Relaxed<int32_t> DownloadAutoconnect;
  Relaxed<int32_t> EnablePolling;
  Relaxed<int32_t> RefreshSelectedAld;
  Relaxed<int32_t> ComPortAutoDetection;
  Relaxed<int32_t> TraceAisgSerial;
  Relaxed<int32_t> TraceAisgHdlc;
  Relaxed<int32_t> TraceAisgLayer7;
  Relaxed<int32_t> TraceAisgMain;
  Relaxed<int32_t> TraceAisgPolling;
  Relaxed<int32_t> FastExchanges;
  Relaxed<int32_t> ExchangeGuardMs;

  // Serial ports found on the machine, filled at load.
  std::vector<std::string> Ports;
  // Set by the field selector when a mark changed; the list pane clears it.
  Relaxed<int32_t> FieldsChanged = 0;
  Relaxed<int32_t> DefaultsRestored = 0;

 private:
  void ApplyTraceClasses();
  void ApplyExchangeTiming();

  ProfileStore& store_;
  TraceLog& log_;
  std::function<void(const std::string&, int32_t)> reopen_;
  ScanOptionsSink* scanSink_ = nullptr;
  std::function<void(bool, uint32_t)> timingSink_;
};
