#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <regex>
#include <string>

#include "TempDir.h"

namespace {

// Runs the application in a home of its own, so the trace file lands where a
// user without (or with) a desktop folder would find it. The window opens on
// the offscreen platform; once the port's outcome is traced the start-up is
// over and the program is ended. Returns 0 when it got that far.
int RunAppWithHome(const TempDir& home) {
  const char* bin = std::getenv("TILTDECK_BIN");
  std::string h = home.Path().string();
  std::string traces = "'" + h + "/trace.txt' '" + h + "/Desktop/trace.txt'";
  std::string start = "HOME='" + h + "' XDG_CONFIG_HOME='" + home.File(".config") + "' QT_QPA_PLATFORM=offscreen '" +
                      bin + "/tiltdeck' >/dev/null 2>&1 & pid=$!; ";
  std::string awaitPort = "for i in $(seq 1 600); do if cat " + traces +
                          " 2>/dev/null | grep -qE '(configured|open) com port'; then kill $pid; wait $pid; exit 0; "
                          "fi; kill -0 $pid 2>/dev/null || exit 1; sleep 0.05; done; kill $pid; exit 1";
  return std::system((start + awaitPort).c_str());
}

class AppStartupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!std::getenv("TILTDECK_BIN")) GTEST_SKIP() << "TILTDECK_BIN names the folder of the built programs";
  }
  TempDir home;
};

void ExpectStartTrace(const std::string& text) {
  std::regex first(R"(^INF \d\d:\d\d:\d\d:\d\d\d MAIN \.\.\. Tiltdeck started\n)");
  EXPECT_TRUE(std::regex_search(text, first)) << text;
  // The adapter search runs as the link is created, before the port opens;
  // without an adapter the configured port (by default /dev/ttyS0) opens.
  size_t search = text.find(" COMM ... Searching for COM ports...\n");
  size_t open = text.find(" COMM ... Opening com port '/dev/");
  ASSERT_NE(search, std::string::npos) << text;
  ASSERT_NE(open, std::string::npos) << text;
  EXPECT_LT(search, open) << text;
  if (text.find("FTDI") == std::string::npos) {
    EXPECT_NE(text.find("Opening com port '/dev/ttyS0'"), std::string::npos) << text;
  }
  bool opened = text.find(" MAIN ... Successfully opened and configured com port\n") != std::string::npos;
  bool unable = text.find(" MAIN ... Unable to open com port\n") != std::string::npos;
  EXPECT_NE(opened, unable) << text;  // exactly one outcome, whether this machine has the port or not
}

TEST_F(AppStartupTest, TraceGoesToHomeWithoutDesktopFolder) {
  ASSERT_EQ(RunAppWithHome(home), 0);
  ExpectStartTrace(ReadFile(home.File("trace.txt")));
}

TEST_F(AppStartupTest, TraceGoesToDesktopFolderWhenThereIsOne) {
  std::filesystem::create_directory(home.Path() / "Desktop");
  ASSERT_EQ(RunAppWithHome(home), 0);
  ExpectStartTrace(ReadFile(home.File("Desktop/trace.txt")));
  EXPECT_FALSE(std::filesystem::exists(home.File("trace.txt")));
}

}  // namespace
