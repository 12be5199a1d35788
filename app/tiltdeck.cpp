#include "bus/AldTable.h"
#include "core/TraceLog.h"
#include "persist/DesktopFolder.h"
#include "serial/AisgSerial.h"
#include "serial/PortStartup.h"

int main() {
  TraceLog::SetInstanceFolder(DesktopFolder());
  TraceLog& log = TraceLog::Instance();
  log.Write(kTraceInfo, TraceClass::kMain, 0, "Tiltdeck started");
  AisgSerial port(log, AldTable::Instance());
  OpenAndReportPort(port, log, AisgSerial::kDefaultPortName, AisgSerial::kDefaultBaudRate);
  return 0;
}
