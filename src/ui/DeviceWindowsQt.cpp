#include "ui/DeviceWindowsQt.h"

// TODO(#13): the device windows themselves.
DeviceWindowsQt::DeviceWindowsQt(QMdiArea& /*area*/, AisgLayer7& /*layer7*/, AldTable& /*table*/, TraceLog& /*log*/,
                                 UserMessages& /*messages*/, QObject* parent)
    : QObject(parent) {}

bool DeviceWindowsQt::HasWindow(uint8_t /*slot*/) const { return false; }
void DeviceWindowsQt::LoadAld(uint8_t /*slot*/) {}
void DeviceWindowsQt::EnableCommands(uint8_t /*slot*/, bool /*enable*/) {}
bool DeviceWindowsQt::HasActiveWindow() const { return false; }
void DeviceWindowsQt::OpenWindow(uint8_t /*slot*/) {}
void DeviceWindowsQt::CloseAll() {}
void DeviceWindowsQt::ShowDeviceType(uint8_t /*deviceType*/) {}
void DeviceWindowsQt::RefreshAllSubunits() {}
void DeviceWindowsQt::RefreshAld() {}
void DeviceWindowsQt::GetAlarms() {}
void DeviceWindowsQt::ResetDevice() {}
void DeviceWindowsQt::SelfTest() {}
void DeviceWindowsQt::GetAll() {}
void DeviceWindowsQt::ClearDisplay() {}
void DeviceWindowsQt::ShowAlarmText(const std::string& /*text*/) {}
void DeviceWindowsQt::ShowResult(ResultCode /*result*/) {}
void DeviceWindowsQt::ShowAlarmStatus(const std::string& /*text*/, bool /*alarmed*/) {}
void DeviceWindowsQt::ClearAlarmBoxes() {}
void DeviceWindowsQt::EnableRetTab(bool /*enable*/) {}
void DeviceWindowsQt::ShowLinkLost(uint8_t /*slot*/) {}
std::vector<uint8_t> DeviceWindowsQt::OpenSlots() const { return {}; }
void DeviceWindowsQt::Raise(uint8_t /*slot*/) {}
