#pragma once

#include <cstdint>
#include <ostream>
#include <string>

class Clock;
struct AldRecord;

// While a long procedure waits for its device (a calibration may take
// minutes), one line redrawn in place shows how long it has waited against
// the procedure's time-out, so the technician sees the tool is alive. Drawn
// only for a terminal; the procedure engine calls the message pump several
// times a second while the ALD is busy, and the line moves when the count
// of seconds does.
class CliWaitLine {
 public:
  // out null draws nothing. procedureCode gives the time-out.
  CliWaitLine(std::ostream* out, Clock& clock, const AldRecord& ald, std::string label, uint8_t procedureCode);
  ~CliWaitLine();
  CliWaitLine(const CliWaitLine&) = delete;
  CliWaitLine& operator=(const CliWaitLine&) = delete;

 private:
  void Draw();

  std::ostream* out_;
  Clock& clock_;
  const AldRecord& ald_;
  std::string label_;
  uint64_t startMs_;
  uint32_t timeoutS_;
  uint64_t shownS_ = UINT64_MAX;
  bool drawn_ = false;
};
