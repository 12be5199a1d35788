#include "bus/CommFailureReporter.h"

#include "core/Format.h"
#include "core/TraceLog.h"
#include "serial/ECommError.h"

void CommFailureReporter::Report(const ECommError& error, const char* activity) {
  log_.Write(kTraceError, TraceClass::kMain, 0, "Serial port failure during %s: error %d, system error %u", activity,
             error.Code, error.SystemError);
  messages_.ShowMessage("Serial port",
                        Format("The serial port failed during %s (error %d). Check the adapter, then open the port "
                               "again.",
                               activity, error.Code),
                        UserMessages::Icon::kError);
}
