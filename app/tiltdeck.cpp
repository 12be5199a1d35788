#include "ald/AldTable.h"
#include "core/TraceLog.h"
#include "link/AisgHdlc.h"
#include "persist/DesktopFolder.h"
#include "persist/Settings.h"
#include "serial/AdapterDetector.h"
#include "serial/PortInventoryQt.h"
#include "serial/PortStartup.h"

int main() {
  TraceLog::SetInstanceFolder(DesktopFolder());
  TraceLog& log = TraceLog::Instance();
  log.Write(kTraceInfo, TraceClass::kMain, 0, "Tiltdeck started");
  // The link searches for the adapter as it is created, the settings load
  // next and take over the port it found when auto detection is on.
  PortInventoryQt inventory;
  AdapterDetector adapterSearch(log, inventory);
  AisgHdlc::SetInstanceAdapterSearch(&adapterSearch);
  AisgHdlc& link = AisgHdlc::Instance();
  Settings& settings = Settings::Instance();
  OpenAndReportPort(link, log, settings.ComPort, static_cast<uint32_t>(settings.SerialBaudrate.Load()));
  return 0;
}
