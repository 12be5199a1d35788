#include "capture/PcapngBlocks.h"

#include <algorithm>

namespace {

constexpr uint32_t kSectionHeaderType = 0x0A0D0D0A;
constexpr uint32_t kInterfaceDescriptionType = 0x00000001;
constexpr uint32_t kEnhancedPacketType = 0x00000006;
constexpr uint32_t kByteOrderMagic = 0x1A2B3C4D;

constexpr uint16_t kOptEnd = 0;
constexpr uint16_t kOptComment = 1;
constexpr uint16_t kShbUserApplication = 4;
constexpr uint16_t kIfName = 2;
constexpr uint16_t kIfDescription = 3;
constexpr uint16_t kIfTimeResolution = 9;
constexpr uint16_t kEpbFlags = 2;

constexpr uint32_t kInbound = 1;
constexpr uint32_t kOutbound = 2;

// A block under construction: its type, a length to fill in at the end,
// the body, options, and the length again.
class Block {
 public:
  explicit Block(uint32_t type) {
    U32(type);
    U32(0);
  }
  void U16(uint16_t v) {
    for (int i = 0; i < 2; ++i) bytes_.push_back(static_cast<uint8_t>(v >> (8 * i)));
  }
  void U32(uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes_.push_back(static_cast<uint8_t>(v >> (8 * i)));
  }
  void U64(uint64_t v) {
    U32(static_cast<uint32_t>(v));
    U32(static_cast<uint32_t>(v >> 32));
  }
  void Octets(const uint8_t* data, size_t length) {
    if (length > 0) bytes_.insert(bytes_.end(), data, data + length);
    while (bytes_.size() % 4 != 0) bytes_.push_back(0);
  }
  void Option(uint16_t code, const uint8_t* value, size_t length) {
    U16(code);
    U16(static_cast<uint16_t>(length));
    Octets(value, length);
  }
  void Option(uint16_t code, const std::string& text) {
    // An option's length is 16 bits; longer texts are cut.
    Option(code, reinterpret_cast<const uint8_t*>(text.data()), std::min<size_t>(text.size(), 0xFFF0));
  }
  std::vector<uint8_t> Finish() {
    U16(kOptEnd);
    U16(0);
    auto total = static_cast<uint32_t>(bytes_.size() + 4);
    U32(total);
    for (int i = 0; i < 4; ++i) bytes_[4 + i] = static_cast<uint8_t>(total >> (8 * i));
    return std::move(bytes_);
  }

 private:
  std::vector<uint8_t> bytes_;
};

}  // namespace

namespace PcapngBlocks {

std::vector<uint8_t> SectionHeader(const std::string& application, const std::string& comment) {
  Block b(kSectionHeaderType);
  b.U32(kByteOrderMagic);
  b.U16(1);  // version 1.0
  b.U16(0);
  b.U64(~uint64_t{0});  // section length not given: the file is written as it goes
  if (!comment.empty()) b.Option(kOptComment, comment);
  if (!application.empty()) b.Option(kShbUserApplication, application);
  return b.Finish();
}

std::vector<uint8_t> InterfaceDescription(uint16_t linkType, const std::string& name, const std::string& description) {
  Block b(kInterfaceDescriptionType);
  b.U16(linkType);
  b.U16(0);
  b.U32(0);  // no snapshot limit
  if (!name.empty()) b.Option(kIfName, name);
  if (!description.empty()) b.Option(kIfDescription, description);
  b.Option(kIfTimeResolution, &kMicroseconds, 1);
  return b.Finish();
}

std::vector<uint8_t> EnhancedPacket(CaptureDirection direction, uint64_t timeUs, const uint8_t* data, size_t length) {
  Block b(kEnhancedPacketType);
  b.U32(0);  // the one interface
  b.U32(static_cast<uint32_t>(timeUs >> 32));
  b.U32(static_cast<uint32_t>(timeUs));
  b.U32(static_cast<uint32_t>(length));
  b.U32(static_cast<uint32_t>(length));
  b.Octets(data, length);
  uint8_t flags[4] = {};
  flags[0] = static_cast<uint8_t>(direction == CaptureDirection::kFromPrimary ? kOutbound : kInbound);
  b.Option(kEpbFlags, flags, sizeof flags);
  return b.Finish();
}

}  // namespace PcapngBlocks
