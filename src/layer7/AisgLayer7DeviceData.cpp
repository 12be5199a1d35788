#include <vector>

#include "ald/AldTable.h"
#include "ald/DeviceData.h"
#include "core/TraceLog.h"
#include "layer7/AisgLayer7.h"
#include "layer7/DataFieldId.h"
#include "layer7/DeviceDataCodec.h"
#include "layer7/Vocabulary.h"

namespace {

uint8_t CodeOf(ProcedureId id) {
  return Vocabulary::ProcedureCodeOf(id);
}

// RETs keep antenna and operator fields; a TMA keeps its own fields as well.
bool Accepts(uint8_t procedure, uint8_t field) {
  FieldGroup group = DataFieldInfoOf(field).Group;
  if (group == FieldGroup::kTma) {
    return procedure == CodeOf(kProcTmaSetDeviceData) || procedure == CodeOf(kProcTmaGetDeviceData);
  }
  return group != FieldGroup::kNone;
}

// Procedure code, then the antenna or subunit number where the procedure
// has one, the field identifier and the value octets.
L7Message FieldRequest(uint8_t procedure, std::initializer_list<uint8_t> subunit, uint8_t field,
                       const std::vector<uint8_t>& value) {
  L7Message request = L7Message::Make(procedure, subunit);
  size_t n = request.Length();
  request.Data()[n++] = field;
  for (uint8_t octet : value) request.Data()[n++] = octet;
  request.SetLength(static_cast<uint16_t>(n));
  return request;
}

void TraceFieldCommand(TraceLog& log, uint8_t address, uint8_t procedure, uint8_t field) {
  log.Write(kTraceInfo, TraceClass::kAisg, address, "Handling Command: '%s', Field: '%s'",
            Vocabulary::ProcedureName(procedure).c_str(), DataFieldName(field).c_str());
}

void TraceUnknownField(TraceLog& log, uint8_t address) {
  log.Write(kTraceWarning, TraceClass::kAisg, address, "Unknown Addition Data Field");
}

}  // namespace

ResultCode AisgLayer7::RetSetDeviceData(uint8_t address, uint8_t field) {
  return SetDeviceData(address, CodeOf(kProcSingleRetSetDeviceData), {}, field);
}

ResultCode AisgLayer7::RetGetDeviceData(uint8_t address, uint8_t field, DeviceData& data) {
  return GetDeviceData(address, CodeOf(kProcSingleRetGetDeviceData), {}, field, data);
}

ResultCode AisgLayer7::MultiRetSetDeviceData(uint8_t address, uint8_t antenna, uint8_t field) {
  return SetDeviceData(address, CodeOf(kProcMultiRetSetDeviceData), {antenna}, field);
}

ResultCode AisgLayer7::MultiRetGetDeviceData(uint8_t address, uint8_t antenna, uint8_t field, DeviceData& data) {
  return GetDeviceData(address, CodeOf(kProcMultiRetGetDeviceData), {antenna}, field, data);
}

ResultCode AisgLayer7::TmaSetDeviceData(uint8_t address, uint8_t subunit, uint8_t field) {
  return SetDeviceData(address, CodeOf(kProcTmaSetDeviceData), {subunit}, field);
}

ResultCode AisgLayer7::TmaGetDeviceData(uint8_t address, uint8_t subunit, uint8_t field, DeviceData& data) {
  return GetDeviceData(address, CodeOf(kProcTmaGetDeviceData), {subunit}, field, data);
}

// Nothing goes on the bus unless the whole value can: a field the device
// kind does not keep, no selected data to take the value from, or a text too
// long for its width would otherwise reach the device as some other value.
ResultCode AisgLayer7::SetDeviceData(uint8_t address, uint8_t procedure, std::initializer_list<uint8_t> subunit,
                                     uint8_t field) {
  if (!Accepts(procedure, field)) {
    TraceUnknownField(log_, address);
    return kUnsupportedOperation;
  }
  const DeviceData* data = table_.CurrentDeviceData();
  if (data == nullptr) {
    log_.Write(kTraceWarning, classTag_, address, "You must select a device first!");
    return kSoftwareError;
  }
  std::vector<uint8_t> value;
  if (DeviceDataCodec::Encode(field, *data, value) != DeviceDataCodec::Status::kOk) {
    log_.Write(kTraceError, classTag_, address, "%s does not fit in %u octets", DataFieldName(field).c_str(),
               unsigned{DataFieldInfoOf(field).Width});
    return kSoftwareError;
  }
  TraceFieldCommand(log_, address, procedure, field);
  return Simple(address, FieldRequest(procedure, subunit, field, value));
}

ResultCode AisgLayer7::GetDeviceData(uint8_t address, uint8_t procedure, std::initializer_list<uint8_t> subunit,
                                     uint8_t field, DeviceData& data) {
  TraceFieldCommand(log_, address, procedure, field);
  L7Message response;
  Outcome o = Transact(address, FieldRequest(procedure, subunit, field, {}), response);
  if (!o.Ok) return o.Result;
  return StoreField(address, procedure, response, field, data);
}

// The value follows the return code. A field the device kind does not keep
// is asked all the same and its answer dropped. A value cut short by the
// response's length is a failure: padding it out would store made-up octets.
ResultCode AisgLayer7::StoreField(uint8_t address, uint8_t procedure, const L7Message& response, uint8_t field,
                                  DeviceData& data) {
  if (!Accepts(procedure, field)) {
    TraceUnknownField(log_, address);
    return Succeeded(address, procedure);
  }
  size_t first = ReturnCodeIndex(procedure) + 1;
  size_t end = response.DataLength();
  size_t count = end > first ? end - first : 0;
  if (DeviceDataCodec::Decode(field, response.Data() + first, count, data) != DeviceDataCodec::Status::kOk) {
    log_.Write(kTraceError, classTag_, address, "%s needs %u octets, the response holds %zu",
               DataFieldName(field).c_str(), unsigned{DataFieldInfoOf(field).Width}, count);
    return Failed(address, procedure, kProtocolError);
  }
  return Succeeded(address, procedure);
}
