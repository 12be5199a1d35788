#include <string>
#include <vector>

#include "Layer7Fixture.h"
#include "core/MessagePump.h"

namespace {

class DownloadTest : public Layer7Test {
 protected:
  void SetUp() override {
    Layer7Test::SetUp();
    SetPumpMessagesHook([this] { ++pumps; });
    link.onWrite = [this](const std::vector<uint8_t>&) { writeTimes.push_back(clock.NowMs()); };
  }
  void TearDown() override { SetPumpMessagesHook(nullptr); }

  static std::vector<uint8_t> Image(size_t n) {
    std::vector<uint8_t> image(n);
    for (size_t i = 0; i < n; ++i) image[i] = static_cast<uint8_t>(i * 7 + 1);
    return image;
  }
  // Octets carried by the i-th written message, after its 3 header octets.
  std::vector<uint8_t> Carried(size_t i) {
    std::vector<uint8_t> c = link.SentContent(i);
    return std::vector<uint8_t>(c.begin() + 5, c.end());
  }
  std::string Header(size_t i) { return SentMessage(i).substr(0, 8); }
  bool IsPoll(size_t i) {
    std::vector<uint8_t> c = link.SentContent(i);
    return c.size() == 2 && (c[1] & 0x0F) == 0x01;
  }

  int pumps = 0;
  std::vector<uint64_t> writeTimes;
};

TEST_F(DownloadTest, FirmwareGoesInBlocksOf71AfterAPause) {
  std::vector<uint8_t> image = Image(150);
  AnswerI("40 01 00 00");
  for (int i = 0; i < 3; ++i) AnswerI("41 01 00 00");
  AnswerI("42 01 00 00");
  EXPECT_EQ(l7.TransferFirmware(kAld, image.data(), image.size()), kSuccess);

  ASSERT_EQ(link.written.size(), 5u);
  EXPECT_EQ(SentMessage(0), "40 00 00");
  EXPECT_EQ(Header(1), "41 47 00");
  EXPECT_EQ(Header(2), "41 47 00");
  EXPECT_EQ(Header(3), "41 08 00");
  EXPECT_EQ(SentMessage(4), "42 00 00");
  std::vector<uint8_t> sent = Carried(1);
  for (size_t i : {2, 3}) {
    std::vector<uint8_t> more = Carried(i);
    sent.insert(sent.end(), more.begin(), more.end());
  }
  EXPECT_EQ(sent, image);
  // One pause, between the start and the first block.
  EXPECT_EQ(clock.Sleeps(), 1u);
  EXPECT_EQ(writeTimes, (std::vector<uint64_t>{0, 200, 200, 200, 200}));
  EXPECT_EQ(pumps, 3);

  std::string trace = Trace();
  size_t a = trace.find("Downloading block Length: 71, remaining: 79");
  size_t b = trace.find("Downloading block Length: 71, remaining: 8");
  size_t c = trace.find("Downloading block Length: 8, remaining: 0");
  ASSERT_NE(c, std::string::npos);
  EXPECT_LT(a, b);
  EXPECT_LT(b, c);
  EXPECT_FALSE(Has(trace, "failed"));
}

TEST_F(DownloadTest, FirmwareOfOneBlockOrNone) {
  std::vector<uint8_t> image = Image(71);
  AnswerI("40 01 00 00");
  AnswerI("41 01 00 00");
  AnswerI("42 01 00 00");
  EXPECT_EQ(l7.TransferFirmware(kAld, image.data(), image.size()), kSuccess);
  EXPECT_EQ(link.written.size(), 3u);
  EXPECT_EQ(Carried(1), image);
  EXPECT_TRUE(Has(Trace(), "Downloading block Length: 71, remaining: 0"));

  link.written.clear();
  AnswerI("40 01 00 00");
  AnswerI("42 01 00 00");
  EXPECT_EQ(l7.TransferFirmware(kAld, nullptr, 0), kSuccess);
  ASSERT_EQ(link.written.size(), 2u);
  EXPECT_EQ(SentMessage(0), "40 00 00");
  EXPECT_EQ(SentMessage(1), "42 00 00");
}

TEST_F(DownloadTest, FirmwareStopsAtTheFirstFailure) {
  std::vector<uint8_t> image = Image(150);
  AnswerI("40 02 00 0B 05");
  EXPECT_EQ(l7.TransferFirmware(kAld, image.data(), image.size()), kBusy);
  EXPECT_EQ(link.written.size(), 1u);
  EXPECT_EQ(clock.Sleeps(), 0u);
  EXPECT_EQ(Count(Trace(), "Firmware downloading failed!"), 1u);

  link.written.clear();
  AnswerI("40 01 00 00");
  AnswerI("41 01 00 00");
  AnswerI("41 02 00 0B 0D");
  EXPECT_EQ(l7.TransferFirmware(kAld, image.data(), image.size()), 23);  // Flash Error
  EXPECT_EQ(link.written.size(), 3u);                                    // no further block, no end
  std::string trace = Trace();
  EXPECT_EQ(Count(trace, "Downloading block"), 1u);
  EXPECT_EQ(Count(trace, "Firmware downloading failed!"), 1u);

  link.written.clear();
  AnswerI("40 01 00 00");
  AnswerI("41 01 00 00");
  AnswerI("41 01 00 00");
  AnswerI("41 01 00 00");
  AnswerI("42 02 00 0B 06");
  EXPECT_EQ(l7.TransferFirmware(kAld, image.data(), image.size()), 16);  // CheckSum Error
  EXPECT_TRUE(Has(Trace(), "ERR"));
}

TEST_F(DownloadTest, BlockAcceptedLaterIsAwaitedBeforeTheNext) {
  std::vector<uint8_t> image = Image(80);
  AnswerI("40 01 00 00");
  AnswerRR();              // first block taken, answer pending
  AnswerRR();              // first poll: nothing yet
  AnswerI("41 01 00 00");  // second poll: the response
  AnswerI("41 01 00 00");
  AnswerI("42 01 00 00");
  EXPECT_EQ(l7.TransferFirmware(kAld, image.data(), image.size()), kSuccess);
  ASSERT_EQ(link.written.size(), 6u);
  EXPECT_TRUE(IsPoll(2));
  EXPECT_TRUE(IsPoll(3));
  EXPECT_EQ(Header(4), "41 09 00");
  EXPECT_EQ(clock.NowMs(), 200u + 1000u);
  EXPECT_EQ(table.Record(kAld).Busy, 0);
}

TEST_F(DownloadTest, ConfigurationGoesInBlocksWithoutStartOrEnd) {
  std::vector<uint8_t> data = Image(142);
  AnswerI("32 01 00 00");
  AnswerI("32 01 00 00");
  EXPECT_EQ(l7.TransferConfigData(kAld, data.data(), data.size()), kSuccess);
  ASSERT_EQ(link.written.size(), 2u);
  EXPECT_EQ(Header(0), "32 47 00");
  EXPECT_EQ(Header(1), "32 47 00");
  std::vector<uint8_t> sent = Carried(0);
  std::vector<uint8_t> second = Carried(1);
  sent.insert(sent.end(), second.begin(), second.end());
  EXPECT_EQ(sent, data);
  EXPECT_EQ(clock.Sleeps(), 0u);
  EXPECT_EQ(pumps, 2);
  std::string trace = Trace();
  EXPECT_EQ(Count(trace, "Config Data completed"), 1u);
  EXPECT_FALSE(Has(trace, "Downloading block"));

  link.written.clear();
  EXPECT_EQ(l7.TransferConfigData(kAld, nullptr, 0), kSuccess);
  EXPECT_TRUE(link.written.empty());
  EXPECT_TRUE(Has(Trace(), "Config Data completed"));

  AnswerI("32 01 00 00");
  AnswerI("32 02 00 0B 08");
  EXPECT_EQ(l7.TransferConfigData(kAld, data.data(), data.size()), 18);  // Data Error
  trace = Trace();
  EXPECT_TRUE(Has(trace, "Config File download failed!"));
  EXPECT_FALSE(Has(trace, "Config Data completed"));
}

TEST_F(DownloadTest, OversizedBlockIsRefusedUnsent) {
  std::vector<uint8_t> block = Image(255);
  EXPECT_EQ(l7.DownloadApplication(kAld, block.data(), 72), kSoftwareError);
  EXPECT_EQ(l7.RetSendConfigData(kAld, block.data(), 255), kSoftwareError);
  EXPECT_TRUE(link.written.empty());
  AnswerI("41 01 00 00");
  EXPECT_EQ(l7.DownloadApplication(kAld, block.data(), 71), kSuccess);
  EXPECT_EQ(Carried(0), std::vector<uint8_t>(block.begin(), block.begin() + 71));
}

}  // namespace
