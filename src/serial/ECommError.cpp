#include "serial/ECommError.h"

#include <cerrno>

#include "core/TraceLog.h"

ECommError::ECommError(int32_t code, TraceLog& log) : ECommError(code, log, static_cast<uint32_t>(errno)) {}

ECommError::ECommError(int32_t code, TraceLog& log, uint32_t systemError)
    : Code(code), SystemError(systemError), Log(&log) {
  Log->Write(kTraceError, TraceClass::kComm, 0, "Exception raised. Check the connection!");
}
