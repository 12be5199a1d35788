#include "ui/DemoBus.h"

#include <fstream>

#include "core/Clock.h"
#include "core/Format.h"
#include "sim/PtyServer.h"
#include "sim/SimSite.h"
#include "sim/VirtualBus.h"

DemoBus::DemoBus() : bus_(std::make_unique<VirtualBus>(Clock::System())) {}

// The server stops before the bus it serves goes.
DemoBus::~DemoBus() {
  server_.reset();
}

bool DemoBus::Start(const std::string& sitePath, std::string* error) {
  SimSite::BusSettings settings;
  bool loaded = sitePath.empty() ? SimSite::FromJson(SimSite::Demo(), *bus_, settings, error)
                                 : SimSite::Load(sitePath, *bus_, settings, error);
  if (!loaded) return false;
  bus_->SetCollisions(settings.Collisions);
  siteName_ = sitePath.empty() ? "demo site" : sitePath.substr(sitePath.rfind('/') + 1);
  server_ = std::make_unique<PtyServer>(*bus_, PtyServer::Options{settings.Baud, settings.TurnaroundMs, ""});
  return server_->Open("", error) && server_->Start(error);
}

const std::string& DemoBus::PortPath() const {
  static const std::string kNone;
  return server_ ? server_->SlavePath() : kNone;
}

size_t DemoBus::DeviceCount() const {
  return bus_->Count();
}

std::string DemoBus::Description() const {
  return Format("SIMULATED BUS: %s, %zu ALDs", siteName_.c_str(), bus_->Count());
}

bool DemoBus::SaveState(const std::string& path, std::string* error) {
  std::ofstream out(path);
  out << bus_->StateJson().dump(2) << "\n";
  if (!out) *error = "cannot write " + path;
  return static_cast<bool>(out);
}
