#pragma once

#include <gtest/gtest.h>

#include "Hex.h"
#include "ScriptedHdlc.h"
#include "TempDir.h"
#include "ald/AldTable.h"
#include "ald/AldType.h"
#include "core/FakeClock.h"
#include "core/TraceLog.h"
#include "layer7/AisgLayer7.h"

// Layer 7 over a scripted link and a fake clock: answers are queued as
// frames, waits cost no time.
class Layer7Test : public ::testing::Test {
 protected:
  static constexpr uint8_t kAld = 3;

  TempDir dir;
  TraceLog log{dir.File("trace.txt")};
  AldTable table{log};
  ScriptedHdlc link{log, table};
  FakeClock clock;
  AisgLayer7 l7{link, table, log, clock};

  void SetUp() override {
    table.Record(kAld).InUse = 1;
    table.Record(kAld).State = kStateConnected;
  }

  // The device answers with an I-frame carrying the layer-7 message bytes,
  // numbered as the device would number it.
  void AnswerI(const std::string& message) {
    std::vector<uint8_t> content = {kAld, 0x10};
    std::vector<uint8_t> m = Hex(message);
    content.insert(content.end(), m.begin(), m.end());
    link.AnswerIFrameInSequence(content);
  }
  void AnswerRR(int times = 1) {
    for (int i = 0; i < times; ++i) link.AnswerFrame({kAld, 0x11});
  }
  // Layer-7 message of the i-th I-frame written (without address/control).
  std::string SentMessage(size_t i) {
    std::vector<uint8_t> c = link.SentContent(i);
    return ToHex(std::vector<uint8_t>(c.begin() + 2, c.end()));
  }
  std::string Trace() { return log.TakePending(); }
  static bool Has(const std::string& text, const std::string& what) { return text.find(what) != std::string::npos; }
  static size_t Count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
  }
};
