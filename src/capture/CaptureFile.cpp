#include "capture/CaptureFile.h"

#include <cerrno>
#include <cstring>
#include <vector>

#include "capture/PcapngBlocks.h"

namespace {

std::string SystemText(int error) {
  return error != 0 ? std::strerror(error) : "write failed";
}

}  // namespace

CaptureFile::~CaptureFile() {
  Close();
}

bool CaptureFile::Open(const std::string& path, const Identity& identity, std::string* error) {
  Close();
  file_ = std::fopen(path.c_str(), "wb");
  if (file_ == nullptr) {
    *error = SystemText(errno);
    return false;
  }
  bool written =
      Put(PcapngBlocks::SectionHeader(identity.Application, identity.Comment), error) &&
      Put(PcapngBlocks::InterfaceDescription(PcapngBlocks::kLinkTypeUser0, identity.Interface, identity.Description),
          error);
  if (!written) Close();
  return written;
}

bool CaptureFile::Append(CaptureDirection direction, uint64_t timeUs, const uint8_t* data, size_t length,
                         std::string* error) {
  if (file_ == nullptr) {
    *error = "the capture file is not open";
    return false;
  }
  return Put(PcapngBlocks::EnhancedPacket(direction, timeUs, data, length), error);
}

void CaptureFile::Close() {
  if (file_ != nullptr) std::fclose(file_);
  file_ = nullptr;
}

bool CaptureFile::Put(const std::vector<uint8_t>& block, std::string* error) {
  errno = 0;
  bool ok = std::fwrite(block.data(), 1, block.size(), file_) == block.size() && std::fflush(file_) == 0;
  if (!ok) *error = SystemText(errno);
  return ok;
}
