#include "serial/PortStartup.h"

#include "core/TraceLog.h"
#include "serial/AisgSerial.h"
#include "serial/ECommError.h"

bool OpenAndReportPort(AisgSerial& port, TraceLog& log, const std::string& portName, uint32_t baud) {
  AisgSerial::ClearLastError();
  bool raised = false;
  try {
    port.SetPortName(portName);
    port.Open();
    port.SetBaudRate(baud);
  } catch (const ECommError&) {
    raised = true;  // already traced when it was raised
  } catch (...) {
    raised = true;
  }
  bool ok = !raised && AisgSerial::LastError().empty() && AisgSerial::IsOpen();
  if (ok) {
    log.Write(kTraceInfo, TraceClass::kMain, 0, "Successfully opened and configured com port");
  } else {
    log.Write(kTraceError, TraceClass::kMain, 0, "Unable to open com port");
    const PortDiagnosis& why = port.OpenFailure();
    if (why.What != PortDiagnosis::Kind::kNone)
      log.Write(kTraceError, TraceClass::kMain, 0, "%s", why.Sentence(portName).c_str());
  }
  return ok;
}
