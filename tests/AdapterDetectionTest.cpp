#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>

#include "FakePortInventory.h"
#include "TempDir.h"
#include "TraceLines.h"
#include "ald/AldTable.h"
#include "core/TraceLog.h"
#include "link/AisgHdlc.h"
#include "serial/AdapterDetector.h"
#include "serial/AisgSerial.h"
#include "serial/DetectPort.h"

namespace {

using ::testing::ElementsAre;
using Lines = std::vector<std::string>;

constexpr const char* kFtdiId = "USB\\VID_0403&PID_6001\\A5XK3RJT";

class AdapterDetectionTest : public ::testing::Test {
 protected:
  void SetUp() override { AisgSerial::SetDetectedPort(""); }
  void TearDown() override { AisgSerial::SetDetectedPort(""); }

  TempDir dir;
  TraceLog log{dir.File("trace.txt")};
  FakePortInventory inventory;
  std::ostringstream diagnostics;
  AdapterDetector detector{log, inventory, diagnostics};
};

TEST_F(AdapterDetectionTest, FirstFtdiPortAfterAnotherPortIsDetected) {
  inventory.Add("Communications Port (/dev/ttyS0)", "(Standard port types)");
  inventory.Add("USB Serial Port (/dev/ttyUSB0)", "FTDI", kFtdiId);
  inventory.Add("USB Serial Port (/dev/ttyUSB1)", "FTDI", "USB\\VID_0403&PID_6001\\OTHER");
  inventory.Add("Modem (/dev/ttyACM0)", "Acme");

  EXPECT_EQ(detector.FindAdapterPort(), 1);
  EXPECT_EQ(detector.AdapterFound(), 1);
  EXPECT_EQ(AdapterDetector::GetDetectedPort(), "/dev/ttyUSB0");
  // The count stops at the adapter.
  EXPECT_THAT(TakeTraceLines(log),
              ElementsAre("INF COMM ... Searching for COM ports...",
                          std::string("INF COMM ... /dev/ttyUSB0 - FTDI - ") + kFtdiId, "INF COMM ... Found 2 ports"));
}

TEST_F(AdapterDetectionTest, PortCountWordsForOneNoneAndMany) {
  inventory.Add("USB Serial Port (/dev/ttyUSB0)", "FTDI", kFtdiId);
  detector.FindAdapterPort();
  EXPECT_EQ(TakeTraceLines(log).back(), "INF COMM ... Found 1 port");

  inventory.entities.clear();
  inventory.Add("USB Root Hub", "(Standard USB Host Controller)");
  inventory.Add("", "FTDI");
  detector.FindAdapterPort();
  EXPECT_EQ(TakeTraceLines(log).back(), "INF COMM ... Found 0 ports");

  inventory.entities.clear();
  for (int i = 0; i < 3; ++i) inventory.Add("Port (/dev/ttyS" + std::to_string(i) + ")", "Acme");
  detector.FindAdapterPort();
  EXPECT_EQ(TakeTraceLines(log).back(), "INF COMM ... Found 3 ports");
}

TEST_F(AdapterDetectionTest, NoPortAtAllLeavesDetectedPortEmpty) {
  EXPECT_EQ(detector.FindAdapterPort(), 0);
  EXPECT_EQ(AdapterDetector::GetDetectedPort(), "");
  EXPECT_THAT(TakeTraceLines(log),
              ElementsAre("INF COMM ... Searching for COM ports...", "INF COMM ... Found 0 ports"));
}

TEST_F(AdapterDetectionTest, ManufacturerMatchIsCaseSensitive) {
  inventory.Add("USB Serial Port (/dev/ttyUSB0)", "ftdi", kFtdiId);
  inventory.Add("USB Serial Port (/dev/ttyUSB1)", "Ftdi Ltd", kFtdiId);
  EXPECT_EQ(detector.FindAdapterPort(), 0);
  EXPECT_EQ(AdapterDetector::GetDetectedPort(), "");
  EXPECT_EQ(TakeTraceLines(log).back(), "INF COMM ... Found 2 ports");

  inventory.Add("USB Serial Port (/dev/ttyUSB2)", "FTDI Ltd", kFtdiId);
  EXPECT_EQ(detector.FindAdapterPort(), 1);
  EXPECT_EQ(AdapterDetector::GetDetectedPort(), "/dev/ttyUSB2");
}

TEST_F(AdapterDetectionTest, FailedSearchKeepsEarlierResult) {
  inventory.Add("USB Serial Port (/dev/ttyUSB3)", "FTDI", kFtdiId);
  ASSERT_EQ(detector.FindAdapterPort(), 1);

  inventory.entities.clear();
  inventory.Add("Communications Port (/dev/ttyS0)", "Acme");
  EXPECT_EQ(detector.FindAdapterPort(), 1);
  EXPECT_EQ(AdapterDetector::GetDetectedPort(), "/dev/ttyUSB3");

  // Another detector never found anything itself, but the port found stays
  // known to the whole process.
  AdapterDetector other(log, inventory, diagnostics);
  EXPECT_EQ(other.FindAdapterPort(), 0);
  EXPECT_EQ(AdapterDetector::GetDetectedPort(), "/dev/ttyUSB3");
}

TEST_F(AdapterDetectionTest, PortNameIsTheDevicePathInTheLastParentheses) {
  EXPECT_EQ(AdapterDetector::PortInName("FT232R USB UART (rev 2) (/dev/ttyUSB4)"), "/dev/ttyUSB4");
  EXPECT_EQ(AdapterDetector::PortInName("USB Serial Port (/dev/serial/by-id/usb-FTDI_A5X-if00)"),
            "/dev/serial/by-id/usb-FTDI_A5X-if00");
  EXPECT_EQ(AdapterDetector::PortInName(" (/dev/ttyS0)"), "/dev/ttyS0");
  EXPECT_EQ(AdapterDetector::PortInName("USB Serial Port (COM7)"), "");
  EXPECT_EQ(AdapterDetector::PortInName("Serial (/dev/ttyUSB0) adapter (spare)"), "");
  EXPECT_EQ(AdapterDetector::PortInName("Broken (/dev/ttyUSB0"), "");
  EXPECT_EQ(AdapterDetector::PortInName("Empty (/dev/)"), "");
  EXPECT_EQ(AdapterDetector::PortInName("/dev/ttyUSB0"), "");
  EXPECT_EQ(AdapterDetector::PortInName(""), "");
}

TEST_F(AdapterDetectionTest, InventoryFailuresGoToDiagnosticsAndSearchGoesOn) {
  inventory.Add("USB Serial Port (/dev/ttyUSB0)", "FTDI", kFtdiId);
  inventory.queryFailure = "access denied";
  EXPECT_EQ(detector.FindAdapterPort(), 0);
  EXPECT_EQ(diagnostics.str(), "Error in ListComPorts: access denied\n");
  EXPECT_EQ(TakeTraceLines(log).back(), "INF COMM ... Found 0 ports");

  // A property that could not be read is reported, and what was read counts.
  inventory.queryFailure.clear();
  inventory.entities[0].PnPDeviceID.clear();
  inventory.entities[0].ReadFailure = "PnPDeviceID unreadable";
  diagnostics.str("");
  EXPECT_EQ(detector.FindAdapterPort(), 1);
  EXPECT_EQ(diagnostics.str(), "Error in ListComPorts for loop:  PnPDeviceID unreadable\n");
  EXPECT_EQ(AdapterDetector::GetDetectedPort(), "/dev/ttyUSB0");
}

TEST_F(AdapterDetectionTest, AtMost32PortsAreListedOrSearched) {
  for (int i = 0; i < 40; ++i) {
    inventory.ports.push_back("/dev/ttyS" + std::to_string(i));
    inventory.Add("Port (/dev/ttyS" + std::to_string(i) + ")", i == 32 ? "FTDI" : "Acme");
  }
  std::vector<std::string> ports = {"kept"};
  detector.ListPorts(ports);
  ASSERT_EQ(ports.size(), 33u);
  EXPECT_EQ(ports.front(), "kept");
  EXPECT_EQ(ports[1], "/dev/ttyS0");
  EXPECT_EQ(ports.back(), "/dev/ttyS31");
  EXPECT_TRUE(TakeTraceLines(log).empty());

  EXPECT_EQ(detector.FindAdapterPort(), 0);
  EXPECT_EQ(TakeTraceLines(log).back(), "INF COMM ... Found 32 ports");
}

TEST_F(AdapterDetectionTest, ListPortsWithoutPortsLeavesListAlone) {
  std::vector<std::string> ports = {"/dev/ttyS9"};
  detector.ListPorts(ports);
  EXPECT_THAT(ports, ElementsAre("/dev/ttyS9"));
}

// The application's link searches once as it is created; a link made
// without a search (tests, the simulator's tools) leaves the inventory alone.
TEST_F(AdapterDetectionTest, CreatingTheLinkRunsTheSearchOnce) {
  inventory.Add("USB Serial Port (/dev/ttyUSB3)", "FTDI", kFtdiId);
  AldTable table(log);
  AisgHdlc plain(log, table);
  EXPECT_EQ(inventory.queries, 0);
  EXPECT_EQ(AdapterDetector::GetDetectedPort(), "");

  AisgHdlc searching(log, table, &detector);
  EXPECT_EQ(inventory.queries, 1);
  EXPECT_EQ(detector.AdapterFound(), 1);
  EXPECT_EQ(AdapterDetector::GetDetectedPort(), "/dev/ttyUSB3");
}

class DetectPortTest : public AdapterDetectionTest {
 protected:
  std::vector<std::string> adopted;
  bool reopenSucceeds = true;
  std::function<bool(const std::string&)> adopt = [this](const std::string& port) {
    adopted.push_back(port);
    return reopenSucceeds;
  };
};

TEST_F(DetectPortTest, OpenPortIsOnlyReported) {
  inventory.Add("USB Serial Port (/dev/ttyUSB0)", "FTDI", kFtdiId);
  DetectPortOutcome outcome = DetectPort(detector, true, adopt);
  EXPECT_EQ(outcome.Message, "Port is already open and configured");
  EXPECT_EQ(outcome.Caption, "");
  EXPECT_EQ(inventory.queries, 0);
  EXPECT_TRUE(adopted.empty());
  EXPECT_EQ(AdapterDetector::GetDetectedPort(), "");
}

TEST_F(DetectPortTest, FoundAdapterIsAdoptedAndConfirmed) {
  inventory.Add("USB Serial Port (/dev/ttyUSB5)", "FTDI", kFtdiId);
  DetectPortOutcome outcome = DetectPort(detector, false, adopt);
  EXPECT_EQ(outcome.Message, "Opened and Configured serial port successfully");
  EXPECT_EQ(outcome.Port, "/dev/ttyUSB5");
  EXPECT_EQ(outcome.Caption, "");
  EXPECT_THAT(adopted, ElementsAre("/dev/ttyUSB5"));
}

TEST_F(DetectPortTest, FailedReopenIsNotConfirmedAsSuccess) {
  inventory.Add("USB Serial Port (/dev/ttyUSB5)", "FTDI", kFtdiId);
  reopenSucceeds = false;
  DetectPortOutcome outcome = DetectPort(detector, false, adopt);
  EXPECT_EQ(outcome.Message, "Unable to open com port");
  EXPECT_THAT(adopted, ElementsAre("/dev/ttyUSB5"));
}

TEST_F(DetectPortTest, NothingFoundShowsCaptionForOneSecond) {
  DetectPortOutcome outcome = DetectPort(detector, false, adopt);
  EXPECT_EQ(outcome.Caption, "NONE FOUND..");
  EXPECT_EQ(outcome.Message, "");
  EXPECT_EQ(outcome.Port, "");
  EXPECT_TRUE(adopted.empty());
}

TEST_F(DetectPortTest, EarlierDetectionIsReopenedWithoutAdapter) {
  AisgSerial::SetDetectedPort("/dev/ttyUSB7");
  DetectPortOutcome outcome = DetectPort(detector, false, adopt);
  EXPECT_THAT(adopted, ElementsAre("/dev/ttyUSB7"));
  EXPECT_EQ(outcome.Message, "Opened and Configured serial port successfully");
}

}  // namespace
