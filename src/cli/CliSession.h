#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "ald/AldTable.h"
#include "bus/BusStation.h"
#include "cli/CliUi.h"
#include "core/TraceLog.h"
#include "layer7/AisgLayer7.h"
#include "link/AisgHdlc.h"

class Clock;

// One run of the tool on the bus: its own trace, table, link and layer 7,
// and the bus side of the station without windows. Open the port, Start
// (broadcast reset, then the scan with automatic connection and the listing
// of what it found), then run commands on the ALDs found.
class CliSession {
 public:
  // Makes the link to the bus; a test gives one over a simulated bus.
  using LinkFactory = std::function<std::unique_ptr<AisgHdlc>(TraceLog&, AldTable&)>;

  // An empty trace path traces nothing. Without a factory the link is the
  // serial port that Open opens.
  CliSession(const std::string& tracePath, Clock& clock, const LinkFactory& link = nullptr);
  ~CliSession();
  CliSession(const CliSession&) = delete;
  CliSession& operator=(const CliSession&) = delete;

  bool TraceOpen() const { return log_.IsLogging(); }
  // Captures every frame of the session into path; false with the reason
  // when the file cannot be created.
  bool StartCapture(const std::string& path, std::string& error);
  // The message of a capture file that failed while the bus worked; the
  // bus work went on without it.
  std::optional<std::string> TakeCaptureFailure();

  // Opens the port; false with what went wrong in the user's terms.
  bool Open(const std::string& port, uint32_t baud, PortDiagnosis& why);
  // False with the reason when the serial port failed on the way.
  bool Start(std::string& error);

  // The slot of the ALD named by its slot number or unique identifier;
  // 0 when no ALD found by the scan has that name.
  uint8_t FindAld(const std::string& name) const;
  // The slots holding ALDs, in order.
  std::vector<uint8_t> Slots() const;

  // A serial port failure reported by the bus commands since the last call.
  std::optional<std::string> TakeBusError() { return ui_.TakeError(); }

  TraceLog& Log() { return log_; }
  AldTable& Table() { return table_; }
  AisgLayer7& Layer7() { return layer7_; }
  BusStation& Station() { return station_; }
  Clock& Time() { return layer7_.Time(); }

 private:
  void ShowAlarmedStates();

  TraceLog log_;
  AldTable table_;
  std::unique_ptr<AisgHdlc> link_;
  AisgLayer7 layer7_;
  CliUi ui_;
  BusStation station_;
  std::mutex captureLock_;
  std::optional<std::string> captureFailure_;
};
