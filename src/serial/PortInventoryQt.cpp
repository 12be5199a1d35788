#include "serial/PortInventoryQt.h"

#include <QFile>
#include <QSerialPortInfo>
#include <QString>

namespace {

std::string PathOf(const QSerialPortInfo& info) {
  return QFile::encodeName(info.systemLocation()).toStdString();
}

// The identifier Windows gives a USB device; ports without USB ids (on-board
// UARTs) have none.
std::string PnPDeviceIdOf(const QSerialPortInfo& info) {
  if (!info.hasVendorIdentifier() || !info.hasProductIdentifier()) return "";
  return QString::asprintf("USB\\VID_%04X&PID_%04X\\", info.vendorIdentifier(), info.productIdentifier())
      .append(info.serialNumber())
      .toStdString();
}

}  // namespace

bool PortInventoryQt::QueryEntities(std::vector<PortEntity>& entities, std::string& /*failure*/) {
  for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
    PortEntity entity;
    entity.Name = info.description().toStdString() + " (" + PathOf(info) + ")";
    entity.Manufacturer = info.manufacturer().toStdString();
    entity.PnPDeviceID = PnPDeviceIdOf(info);
    entities.push_back(std::move(entity));
  }
  return true;
}

std::vector<std::string> PortInventoryQt::ExistingPorts() {
  std::vector<std::string> paths;
  for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) paths.push_back(PathOf(info));
  return paths;
}
