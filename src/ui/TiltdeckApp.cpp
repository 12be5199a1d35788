#include "ui/TiltdeckApp.h"

#include <QApplication>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QTimer>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <sstream>

#include "ald/AldTable.h"
#include "core/MessageBox.h"
#include "core/MessagePump.h"
#include "core/TraceLog.h"
#include "layer7/AisgLayer7.h"
#include "link/AisgHdlc.h"
#include "persist/DesktopFolder.h"
#include "persist/ProfileStoreQt.h"
#include "persist/Settings.h"
#include "serial/AdapterDetector.h"
#include "serial/PortInventoryQt.h"
#include "ui/DemoBus.h"
#include "ui/MainWindow.h"
#include "ui/QtUserMessages.h"
#include "ui/ScreenshotRun.h"
#include "ui/StartupOptions.h"

namespace {

// The link searches for the adapter as it is created; the settings load
// next and take over the port it found when auto detection is on.
MainWindow::BusParts MakeApplicationBus(AdapterDetector& adapterSearch) {
  AisgHdlc::SetInstanceAdapterSearch(&adapterSearch);
  AisgHdlc::Instance();
  Settings& settings = Settings::Instance();
  return {AldTable::Instance(), AisgLayer7::Instance(), settings};
}

// The same search the link runs at start-up, without a trace file.
int DetectAdapter() {
  TraceLog quiet("");
  PortInventoryQt inventory;
  std::ostringstream diagnostics;
  AdapterDetector search(quiet, inventory, diagnostics);
  if (search.FindAdapterPort() == 0) return 1;
  std::cout << AdapterDetector::GetDetectedPort() << "\n";
  return 0;
}

}  // namespace

int TiltdeckApp::Main(int argc, char** argv) {
  if (StartupOptions::Asks(argc, argv, "--help") || StartupOptions::Asks(argc, argv, "-h")) {
    std::cout << StartupOptions::Usage();
    return 0;
  }
  if (StartupOptions::Asks(argc, argv, "--detect-adapter")) return DetectAdapter();
  QApplication app(argc, argv);
  QCoreApplication::setApplicationName(QString::fromLatin1(Settings::kApplication));
  QCoreApplication::setOrganizationName(QString::fromLatin1(Settings::kVendorKey));
  QCoreApplication::setApplicationVersion(QStringLiteral("5.16.0"));
  // Lets the desktop match the window to the menu entry and its icon.
  QGuiApplication::setDesktopFileName(QStringLiteral("tiltdeck"));
  std::string error;
  std::optional<StartupOptions> options =
      StartupOptions::Parse(std::vector<std::string>(argv + 1, argv + argc), &error);
  if (!options) {
    std::cerr << "tiltdeck: " << error << "\n" << StartupOptions::Usage();
    return 2;
  }
  DemoBus demo;
  if (options->Demo && !demo.Start(options->DemoSite, &error)) {
    std::cerr << "tiltdeck: cannot start the simulated bus: " << error << "\n";
    return 1;
  }

  TraceLog::SetInstanceFolder(DesktopFolder());
  TraceLog& log = TraceLog::Instance();
  PortInventoryQt inventory;
  AdapterDetector adapterSearch(log, inventory);
  QtUserMessages messages;
  ProfileStoreQt layoutStore(Settings::kVendorKey, Settings::kApplication, Settings::kSection);
  SetMessageBoxHook(
      [&messages](const std::string& text) { messages.ShowMessage("", text, UserMessages::Icon::kNone); });

  MainWindow::Environment environment{log,         [&adapterSearch] { return MakeApplicationBus(adapterSearch); },
                                      messages,    inventory,
                                      layoutStore, nullptr,
                                      {},          {},
                                      50};
  environment.PortOverride = options->Demo ? demo.PortPath() : options->Port;
  if (options->Demo) environment.SimulatedBus = demo.Description();
  int code = 0;
  {
    MainWindow window(environment);
    messages.SetOwner(&window);
    SetPumpMessagesHook([&window] {
      if (!window.Closing() && !QCoreApplication::closingDown()) QCoreApplication::processEvents();
    });
    window.show();
    std::unique_ptr<ScreenshotRun> screenshots;
    if (!options->ScreenshotDir.empty()) {
      size_t expected = options->Demo ? demo.DeviceCount() : 1;
      screenshots =
          std::make_unique<ScreenshotRun>(window, inventory, QString::fromStdString(options->ScreenshotDir), expected);
      QTimer::singleShot(500, screenshots.get(), &ScreenshotRun::Start);
    }
    code = QApplication::exec();
    SetPumpMessagesHook(nullptr);
    messages.SetOwner(nullptr);
  }
  // Scripts that drive the window check the simulated devices afterwards.
  const char* statePath = std::getenv("TILTDECK_DEMO_STATE");
  if (options->Demo && statePath && *statePath && !demo.SaveState(statePath, &error)) {
    std::cerr << "tiltdeck: " << error << "\n";
    code = code == 0 ? 1 : code;
  }
  SetMessageBoxHook(nullptr);
  return code;
}
