#include "core/TraceLog.h"
#include "persist/ProfileStoreQt.h"
#include "persist/Settings.h"
#include "serial/AdapterDetector.h"
#include "serial/PortInventoryQt.h"

Settings& Settings::Instance() {
  static Settings* settings = [] {
    static ProfileStoreQt store(kVendorKey, kApplication, kSection);
    TraceLog& log = TraceLog::Instance();
    auto* loaded = new Settings(store, log);
    PortInventoryQt inventory;
    AdapterDetector ports(log, inventory);
    loaded->Load(ports);
    return loaded;
  }();
  return *settings;
}
