#include <gtest/gtest.h>

#include <regex>
#include <thread>

#include "TempDir.h"
#include "core/TraceLog.h"

namespace {

class TraceLogTest : public ::testing::Test {
 protected:
  TempDir dir;
  TraceLog log{dir.File("trace.txt")};
  std::string FileText() { return ReadFile(dir.File("trace.txt")); }
};

TEST_F(TraceLogTest, LineFormatInPaneAndFile) {
  log.Write(kTraceInfo, TraceClass::kMain, 0, "Scan Started");
  std::regex pane(R"(^INF \d\d:\d\d:\d\d:\d\d\d MAIN \.\.\. Scan Started\r\n$)");
  EXPECT_TRUE(std::regex_match(log.TakePending(), pane));
  std::regex file(R"(^INF \d\d:\d\d:\d\d:\d\d\d MAIN \.\.\. Scan Started\n$)");
  EXPECT_TRUE(std::regex_match(FileText(), file));
  EXPECT_EQ(log.TakePending(), "");
}

TEST_F(TraceLogTest, AldAndLevelTexts) {
  log.Write(kTraceError, "HDLC", 255, "a");
  log.Write(kTraceWarning, "HDLC", 7, "b");
  log.Write(9, "HDLC", 123, "c");
  std::string text = log.TakePending();
  EXPECT_NE(text.find("ERR "), std::string::npos);
  EXPECT_NE(text.find(" HDLC ALL a\r\n"), std::string::npos);
  EXPECT_NE(text.find("WRN "), std::string::npos);
  EXPECT_NE(text.find(" HDLC 007 b\r\n"), std::string::npos);
  // An unknown level has an empty level text: the line starts with the blank.
  EXPECT_NE(text.find("\r\n "), std::string::npos);
  EXPECT_NE(text.find(" HDLC 123 c\r\n"), std::string::npos);
}

TEST_F(TraceLogTest, AldFilterKeepsOneAldAndUnaddressedLines) {
  log.SetAldFilter(3);
  log.Write(kTraceInfo, "MAIN", 3, "three");
  log.Write(kTraceInfo, "MAIN", 0, "none");
  log.Write(kTraceInfo, "MAIN", 4, "four");
  log.Write(kTraceInfo, "MAIN", 255, "all");
  std::string text = log.TakePending();
  EXPECT_NE(text.find("three"), std::string::npos);
  EXPECT_NE(text.find("none"), std::string::npos);
  EXPECT_EQ(text.find("four"), std::string::npos);
  EXPECT_EQ(text.find("all"), std::string::npos);
}

TEST_F(TraceLogTest, SuppressedClassesAndLevels) {
  log.SetClassSuppressed("HDLC", true);
  log.SetClassSuppressed("HDLC", true);
  EXPECT_TRUE(log.IsClassSuppressed("HDLC"));
  EXPECT_FALSE(log.IsClassSuppressed("hdlc"));
  log.Write(kTraceInfo, "HDLC", 0, "hidden");
  log.SetClassSuppressed("HDLC", false);
  EXPECT_FALSE(log.IsClassSuppressed("HDLC"));
  log.Write(kTraceInfo, "HDLC", 0, "shown");
  log.SetLevelSuppressed("WRN", true);
  log.Write(kTraceWarning, "MAIN", 0, "warned");
  std::string text = log.TakePending();
  EXPECT_EQ(text.find("hidden"), std::string::npos);
  EXPECT_NE(text.find("shown"), std::string::npos);
  EXPECT_EQ(text.find("warned"), std::string::npos);
  EXPECT_EQ(FileText().find("hidden"), std::string::npos);
}

TEST_F(TraceLogTest, LineBreaksBecomeCrLf) {
  log.Write(kTraceInfo, "MAIN", 0, "a\r\nb\nc\rd");
  std::string text = log.TakePending();
  EXPECT_NE(text.find("a\r\nb\r\ncd\r\n"), std::string::npos);
  EXPECT_EQ(text.find("\r\r"), std::string::npos);
}

TEST_F(TraceLogTest, LongMessageIsCut) {
  std::string big(60000, 'x');
  log.Write(kTraceInfo, "MAIN", 0, "%s", big.c_str());
  std::string text = log.TakePending();
  std::string expectedTail = std::string(50000, 'x') + "...<cut>\r\n";
  ASSERT_GE(text.size(), expectedTail.size());
  EXPECT_EQ(text.substr(text.size() - expectedTail.size()), expectedTail);
  EXPECT_EQ(text.find(std::string(50001, 'x')), std::string::npos);
  // Exactly 50000 characters count as filled and are marked as well.
  log.Write(kTraceInfo, "MAIN", 0, "%s", std::string(50000, 'y').c_str());
  EXPECT_NE(log.TakePending().find("y...<cut>"), std::string::npos);
  log.Write(kTraceInfo, "MAIN", 0, "%s", std::string(49999, 'z').c_str());
  EXPECT_EQ(log.TakePending().find("<cut>"), std::string::npos);
}

TEST(TraceLogStatic, HexDump) {
  const uint8_t bytes[] = {0x01, 0xAB, 0xFF};
  EXPECT_EQ(TraceLog::HexDump(bytes, 3), "01 AB FF ");
  EXPECT_EQ(TraceLog::HexDump(bytes, 0), "");
}

TEST_F(TraceLogTest, LoggingOffWritesNothing) {
  EXPECT_TRUE(log.IsLogging());
  log.SetLogging(false);
  log.Write(kTraceInfo, "MAIN", 0, "quiet");
  EXPECT_EQ(log.TakePending(), "");
  EXPECT_EQ(FileText(), "");
}

// A quiet scope drops only the calling thread's information and warning
// lines, only for its own log, and only while it lives.
TEST_F(TraceLogTest, QuietLinesCoverOneThreadAndOneScope) {
  TraceLog other(dir.File("other.txt"));
  {
    TraceLog::QuietLines quiet(log);
    log.Write(kTraceInfo, "COMM", 0, "tx hidden");
    log.Write(kTraceWarning, "HDLC", 0, "warning hidden");
    log.Write(kTraceError, "COMM", 0, "failure shown");
    other.Write(kTraceInfo, "MAIN", 0, "other log shown");
    std::thread worker([this] { log.Write(kTraceInfo, "MAIN", 0, "worker shown"); });
    worker.join();
    { TraceLog::QuietLines nested(log); }
    log.Write(kTraceInfo, "COMM", 0, "still hidden after a nested scope");
  }
  log.Write(kTraceInfo, "MAIN", 0, "after shown");
  std::string text = log.TakePending();
  EXPECT_EQ(text.find("hidden"), std::string::npos) << text;
  EXPECT_NE(text.find("failure shown"), std::string::npos) << text;
  EXPECT_NE(text.find("worker shown"), std::string::npos) << text;
  EXPECT_NE(text.find("after shown"), std::string::npos) << text;
  EXPECT_NE(other.TakePending().find("other log shown"), std::string::npos);
  EXPECT_TRUE(log.IsLogging());
}

TEST_F(TraceLogTest, ClearFileAndSaveAs) {
  log.Write(kTraceInfo, "MAIN", 0, "first");
  log.SaveAs(dir.File("copy.txt"));
  log.Write(kTraceInfo, "MAIN", 0, "second");
  EXPECT_NE(ReadFile(dir.File("copy.txt")).find("first"), std::string::npos);
  EXPECT_EQ(ReadFile(dir.File("copy.txt")).find("second"), std::string::npos);
  EXPECT_NE(FileText().find("first"), std::string::npos);
  EXPECT_NE(FileText().find("second"), std::string::npos);
  log.ClearFile();
  EXPECT_EQ(FileText(), "");
  log.Write(kTraceInfo, "MAIN", 0, "third");
  EXPECT_NE(FileText().find("third"), std::string::npos);
  EXPECT_TRUE(log.IsLogging());
}

TEST_F(TraceLogTest, SaveAsSaysWhetherTheCopyWasMade) {
  log.Write(kTraceInfo, "MAIN", 0, "first");
  EXPECT_TRUE(log.SaveAs(dir.File("copy.txt")));
  EXPECT_FALSE(log.SaveAs(dir.File("no-such-folder/copy.txt")));
  log.Write(kTraceInfo, "MAIN", 0, "second");
  EXPECT_NE(FileText().find("second"), std::string::npos);
}

// The pane takes the pending text into a buffer it keeps; lines written
// after a take come with the next one only.
TEST_F(TraceLogTest, TakePendingIntoABuffer) {
  std::string taken = "left from before";
  log.Write(kTraceInfo, "MAIN", 0, "one");
  log.TakePending(taken);
  EXPECT_NE(taken.find("MAIN ... one\r\n"), std::string::npos);
  EXPECT_EQ(taken.find("left from before"), std::string::npos);
  log.Write(kTraceInfo, "MAIN", 0, "two");
  log.TakePending(taken);
  EXPECT_EQ(taken.find("one"), std::string::npos);
  EXPECT_NE(taken.find("two"), std::string::npos);
  log.TakePending(taken);
  EXPECT_EQ(taken, "");
}

TEST(TraceLogFile, UncreatableFileLeavesLoggingOffUntilSwitchedOn) {
  TraceLog log("/nonexistent-folder/trace.txt");
  EXPECT_FALSE(log.IsLogging());
  log.Write(kTraceInfo, "MAIN", 0, "lost");
  EXPECT_EQ(log.TakePending(), "");
  log.SetLogging(true);
  log.Write(kTraceInfo, "MAIN", 0, "pane only");
  EXPECT_NE(log.TakePending().find("pane only"), std::string::npos);
}

TEST_F(TraceLogTest, ConcurrentWritersNeverInterleaveALine) {
  auto writer = [this](char c) {
    std::string body(200, c);
    for (int i = 0; i < 500; ++i) log.Write(kTraceInfo, "MAIN", 0, "%s", body.c_str());
  };
  std::thread a(writer, 'a');
  std::thread b(writer, 'b');
  a.join();
  b.join();
  std::regex line(R"(INF \d\d:\d\d:\d\d:\d\d\d MAIN \.\.\. (a{200}|b{200}))");
  std::istringstream file(FileText());
  std::string l;
  int count = 0;
  while (std::getline(file, l)) {
    ASSERT_TRUE(std::regex_match(l, line)) << l.substr(0, 80);
    ++count;
  }
  EXPECT_EQ(count, 1000);
  EXPECT_EQ(log.TakePending().size(), FileText().size() + 1000);
}

}  // namespace
