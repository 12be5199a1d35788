#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "Layer7Fixture.h"
#include "core/MessageBox.h"
#include "layer7/FirmwareFile.h"

namespace {

using Bytes = std::vector<uint8_t>;

TEST(FirmwareChecksum, SumsLittleEndianWords) {
  EXPECT_EQ(FirmwareFile::Checksum({}), 0);
  EXPECT_EQ(FirmwareFile::Checksum({0x5A, 0x5A, 0x00, 0x00}), 0x5A5A);
  EXPECT_EQ(FirmwareFile::Checksum({0x01, 0x02, 0x03, 0x04}), 0x0201 + 0x0403);
  EXPECT_EQ(FirmwareFile::Checksum({0xFF, 0xFF, 0x02, 0x00}), 0x0001);  // modulo 65536
  // A last octet without a partner is the low octet of a word.
  EXPECT_EQ(FirmwareFile::Checksum({0x01, 0x00, 0x05}), 0x0006);
  EXPECT_EQ(FirmwareFile::Checksum({0x5A}), 0x005A);
}

TEST(FirmwareChecksum, CorrectionReplacesTheLastWholeWord) {
  Bytes even = {0x01, 0x00, 0x02, 0x00};
  ASSERT_TRUE(FirmwareFile::CorrectChecksum(even));
  EXPECT_EQ(even, (Bytes{0x01, 0x00, 0x59, 0x5A}));

  Bytes odd = {0x01, 0x00, 0x02, 0x00, 0x05};
  ASSERT_TRUE(FirmwareFile::CorrectChecksum(odd));
  EXPECT_EQ(odd, (Bytes{0x01, 0x00, 0x54, 0x5A, 0x05}));
  EXPECT_EQ(FirmwareFile::Checksum(odd), 0x5A5A);

  Bytes wraps = {0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00};
  ASSERT_TRUE(FirmwareFile::CorrectChecksum(wraps));
  EXPECT_EQ(FirmwareFile::Checksum(wraps), 0x5A5A);
  EXPECT_EQ(wraps, (Bytes{0xFF, 0xFF, 0xFF, 0xFF, 0x5C, 0x5A}));

  for (Bytes tiny : {Bytes{}, Bytes{0x5A}}) {
    Bytes before = tiny;
    EXPECT_FALSE(FirmwareFile::CorrectChecksum(tiny));
    EXPECT_EQ(tiny, before);
  }
}

TEST(FirmwareFileNames, ChecksumMarkAndCopyName) {
  EXPECT_TRUE(FirmwareFile::CarriesChecksum("/d/fw.css"));
  EXPECT_TRUE(FirmwareFile::CarriesChecksum("fwcss"));
  EXPECT_FALSE(FirmwareFile::CarriesChecksum("/d/FW.CSS"));
  EXPECT_FALSE(FirmwareFile::CarriesChecksum("/d/fw.bin"));
  EXPECT_FALSE(FirmwareFile::CarriesChecksum("ss"));

  EXPECT_EQ(FirmwareFile::CorrectedCopyPath("/d/fw1.css"), "/d/fw1_chk.css");
  EXPECT_EQ(FirmwareFile::CorrectedCopyPath("fw1.css"), "fw1_chk.css");
  // Without a dot only "css" goes; the copy never leaves the folder.
  EXPECT_EQ(FirmwareFile::CorrectedCopyPath("/d/fwcss"), "/d/fw_chk.css");
  EXPECT_EQ(FirmwareFile::CorrectedCopyPath("/d/x/css"), "/d/x/_chk.css");
  EXPECT_EQ(FirmwareFile::CorrectedCopyPath("/d/x/.css"), "/d/x/_chk.css");
}

class FirmwareFileTest : public Layer7Test {
 protected:
  void SetUp() override {
    Layer7Test::SetUp();
    SetMessageBoxHook([this](const std::string& text) { boxes.push_back(text); });
  }
  void TearDown() override { SetMessageBoxHook(nullptr); }

  std::string Write(const std::string& name, const Bytes& octets) {
    std::string path = dir.File(name);
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(octets.data()), octets.size());
    return path;
  }
  ResultCode Prepare(const std::string& path, Bytes& image) {
    return FirmwareFile::PrepareFirmware(path, log, kAld, image);
  }
  ResultCode PrepareConfig(const std::string& path, Bytes& data) {
    return FirmwareFile::PrepareConfig(path, log, kAld, data);
  }
  static Bytes AsBytes(const std::string& s) { return Bytes(s.begin(), s.end()); }

  std::vector<std::string> boxes;
};

TEST_F(FirmwareFileTest, SizeLimits) {
  Bytes image;
  EXPECT_EQ(Prepare(Write("max.bin", Bytes(262144, 0xA5)), image), kSuccess);
  EXPECT_EQ(image.size(), 262144u);
  EXPECT_TRUE(boxes.empty());

  Bytes untouched = {1, 2, 3};
  EXPECT_EQ(Prepare(Write("big.bin", Bytes(262145, 0xA5)), untouched), kSoftwareError);
  EXPECT_EQ(boxes, std::vector<std::string>{"Download file too big!"});

  Bytes config;
  EXPECT_EQ(PrepareConfig(Write("c.bin", Bytes(131072, 1)), config), kSuccess);
  EXPECT_EQ(config.size(), 131072u);
  EXPECT_EQ(PrepareConfig(Write("c2.bin", Bytes(131073, 1)), config), kSoftwareError);
  EXPECT_EQ(boxes.size(), 2u);
  // An empty configuration would send nothing and report success.
  EXPECT_EQ(PrepareConfig(Write("empty.cfg", {}), config), kSoftwareError);

  // A file that cannot be read ends quietly.
  EXPECT_EQ(Prepare(dir.File("missing.bin"), image), kSoftwareError);
  EXPECT_EQ(Prepare(dir.Path().string(), image), kSoftwareError);
  EXPECT_EQ(PrepareConfig(dir.File("missing.cfg"), config), kSoftwareError);
  EXPECT_EQ(boxes.size(), 2u);
}

// A FIFO would block the reader until someone wrote to it; a device or a
// folder is no download file either.
TEST_F(FirmwareFileTest, OnlyRegularFilesAreRead) {
  std::string fifo = dir.File("fifo.bin");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  Bytes data;
  for (const std::string& path : {fifo, std::string("/dev/null"), dir.Path().string()}) {
    EXPECT_EQ(FirmwareFile::ReadWhole(path, FirmwareFile::kMaxConfigSize, data), FirmwareFile::ReadStatus::kNotRegular)
        << path;
  }
  EXPECT_EQ(PrepareConfig(fifo, data), kSoftwareError);
  EXPECT_EQ(Prepare(fifo, data), kSoftwareError);
  EXPECT_EQ(FirmwareFile::ReadWhole(dir.File("none"), 10, data), FirmwareFile::ReadStatus::kCannotOpen);
}

TEST_F(FirmwareFileTest, BadChecksumIsCorrectedIntoACopyBesideTheOriginal) {
  std::string path = Write("fw.css", {0x01, 0x00, 0x02, 0x00});
  Bytes image;
  EXPECT_EQ(Prepare(path, image), kSuccess);
  EXPECT_EQ(image, (Bytes{0x01, 0x00, 0x59, 0x5A}));
  EXPECT_EQ(AsBytes(ReadFile(dir.File("fw_chk.css"))), image);
  EXPECT_EQ(AsBytes(ReadFile(path)), (Bytes{0x01, 0x00, 0x02, 0x00}));
  EXPECT_EQ(boxes, std::vector<std::string>{"Bad file checksum!"});
  std::string trace = Trace();
  EXPECT_TRUE(Has(trace, "ERR"));
  EXPECT_TRUE(Has(trace, "AISG 003 Bad file checksum"));

  boxes.clear();
  EXPECT_EQ(Prepare(Write("image.css", {0x5A, 0x5A, 0x00, 0x00}), image), kSuccess);
  EXPECT_EQ(image, (Bytes{0x5A, 0x5A, 0x00, 0x00}));
  EXPECT_TRUE(boxes.empty());
  EXPECT_TRUE(Has(Trace(), "Good file checksum"));
  EXPECT_FALSE(std::filesystem::exists(dir.File("image_chk.css")));

  // Capital letters do not mark a checksum: sent as it is.
  EXPECT_EQ(Prepare(Write("FW.CSS", {0x01, 0x00, 0x02, 0x00}), image), kSuccess);
  EXPECT_EQ(image, (Bytes{0x01, 0x00, 0x02, 0x00}));
  EXPECT_FALSE(Has(Trace(), "checksum"));
  EXPECT_FALSE(std::filesystem::exists(dir.File("FW_chk.css")));
}

TEST_F(FirmwareFileTest, ImagesThatMayNotBeSent) {
  Bytes image;
  // Nothing to correct in an empty or one-octet image: reported, not sent, no copy.
  for (const char* name : {"x.css", "y.css"}) {
    boxes.clear();
    Bytes content = std::string(name) == "x.css" ? Bytes{} : Bytes{0x5A};
    EXPECT_EQ(Prepare(Write(name, content), image), kSoftwareError) << name;
    EXPECT_EQ(boxes, std::vector<std::string>{"Bad file checksum!"}) << name;
    EXPECT_TRUE(Has(Trace(), "Bad file checksum")) << name;
  }
  EXPECT_FALSE(std::filesystem::exists(dir.File("x_chk.css")));
  EXPECT_FALSE(std::filesystem::exists(dir.File("y_chk.css")));

  EXPECT_EQ(Prepare(Write("empty.bin", {}), image), kSoftwareError);

  // The copy cannot be created: a folder stands in its place.
  std::filesystem::create_directory(dir.File("fw_chk.css"));
  EXPECT_EQ(Prepare(Write("fw.css", {0x01, 0x00, 0x02, 0x00}), image), kSoftwareError);
}

TEST_F(FirmwareFileTest, DownloadToTheSelectedAld) {
  int asked = 0;
  std::string path = Write("fw.css", {0x01, 0x00, 0x02, 0x00});
  auto choose = [&]() -> std::optional<std::string> {
    ++asked;
    return path;
  };
  EXPECT_EQ(FirmwareFile::DownloadFirmware(l7, choose), kSoftwareError);
  EXPECT_EQ(asked, 0);
  EXPECT_TRUE(Has(Trace(), "You must select a device first!"));

  table.Record(kAld).Address = kAld;
  table.SelectAld(kAld);
  EXPECT_EQ(FirmwareFile::DownloadFirmware(l7, [] { return std::optional<std::string>(); }), FirmwareFile::kCancelled);
  EXPECT_EQ(int{FirmwareFile::kCancelled}, 20);
  EXPECT_TRUE(link.written.empty());

  path = Write("big.bin", Bytes(262145, 0));
  EXPECT_EQ(FirmwareFile::DownloadFirmware(l7, choose), kSoftwareError);
  EXPECT_TRUE(link.written.empty());

  path = dir.File("fw.css");
  AnswerI("40 01 00 00");
  AnswerI("41 01 00 00");
  AnswerI("42 01 00 00");
  EXPECT_EQ(FirmwareFile::DownloadFirmware(l7, choose), kSuccess);
  ASSERT_EQ(link.written.size(), 3u);
  EXPECT_EQ(SentMessage(1), "41 04 00 01 00 59 5A");
  EXPECT_EQ(link.SentContent(1)[0], kAld);
}

}  // namespace
