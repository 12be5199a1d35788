#include "serial/AdapterDetector.h"

#include "core/TraceLog.h"
#include "serial/AisgSerial.h"
#include "serial/PortInventory.h"

namespace {
constexpr const char* kDevicePrefix = "/dev/";
}  // namespace

AdapterDetector::AdapterDetector(TraceLog& log, PortInventory& inventory, std::ostream& diagnostics)
    : log_(log), inventory_(inventory), diagnostics_(diagnostics) {}

void AdapterDetector::ListPorts(std::vector<std::string>& ports) {
  std::vector<std::string> existing = inventory_.ExistingPorts();
  if (existing.size() > kMaxPorts) existing.resize(kMaxPorts);
  ports.insert(ports.end(), existing.begin(), existing.end());
}

// The last parentheses, because a description may carry its own, as in
// "USB Serial (rev 2) (/dev/ttyUSB0)".
std::string AdapterDetector::PortInName(const std::string& name) {
  size_t open = name.rfind('(');
  if (open == std::string::npos) return "";
  size_t close = name.find(')', open);
  if (close == std::string::npos) return "";
  std::string port = name.substr(open + 1, close - open - 1);
  bool isDevicePath = port.rfind(kDevicePrefix, 0) == 0 && port.size() > std::char_traits<char>::length(kDevicePrefix);
  return isDevicePath ? port : "";
}

int32_t AdapterDetector::FindAdapterPort() {
  log_.Write(kTraceInfo, TraceClass::kComm, 0, "Searching for COM ports...");
  std::vector<PortEntity> entities;
  std::string failure;
  if (!inventory_.QueryEntities(entities, failure)) {
    diagnostics_ << "Error in ListComPorts: " << failure << "\n";
    entities.clear();
  }
  int count = 0;
  for (const PortEntity& entity : entities) {
    if (count == static_cast<int>(kMaxPorts)) break;
    if (!entity.ReadFailure.empty()) diagnostics_ << "Error in ListComPorts for loop:  " << entity.ReadFailure << "\n";
    std::string port = PortInName(entity.Name);
    if (port.empty()) continue;
    ++count;
    if (entity.Manufacturer.find("FTDI") == std::string::npos) continue;
    log_.Write(kTraceInfo, TraceClass::kComm, 0, "%s - %s - %s", port.c_str(), entity.Manufacturer.c_str(),
               entity.PnPDeviceID.c_str());
    AisgSerial::SetDetectedPort(port);
    adapterFound_ = 1;
    break;
  }
  log_.Write(kTraceInfo, TraceClass::kComm, 0, "Found %d port%s", count, count == 1 ? "" : "s");
  return adapterFound_;
}

std::string AdapterDetector::GetDetectedPort() {
  return AisgSerial::DetectedPort();
}
