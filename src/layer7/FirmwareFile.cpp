#include "layer7/FirmwareFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <memory>

#include "ald/AldTable.h"
#include "core/MessageBox.h"
#include "core/TraceLog.h"
#include "layer7/AisgLayer7.h"

namespace {

constexpr char kChecksumSuffix[] = "css";
constexpr char kCopySuffix[] = "_chk.css";

struct CloseFile {
  void operator()(FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<FILE, CloseFile>;

File Open(const std::string& path, const char* mode) {
  return File(std::fopen(path.c_str(), mode));
}

uint16_t WordAt(const std::vector<uint8_t>& image, size_t i) {
  uint8_t high = i + 1 < image.size() ? image[i + 1] : 0;
  return static_cast<uint16_t>(image[i] | (high << 8));
}

// Closing flushes, so a full disk may only show there.
bool WriteWhole(const std::string& path, const std::vector<uint8_t>& image) {
  File f = Open(path, "wb");
  if (!f) return false;
  bool written = std::fwrite(image.data(), 1, image.size(), f.get()) == image.size();
  return std::fclose(f.release()) == 0 && written;
}

// A bad image is corrected and the correction kept in a copy beside the
// original, so the user has the file that was actually sent.
ResultCode CheckImage(const std::string& path, TraceLog& log, uint8_t ald, std::vector<uint8_t>& image) {
  if (FirmwareFile::Checksum(image) == FirmwareFile::kGoodChecksum) {
    log.Write(kTraceInfo, TraceClass::kAisg, ald, "Good file checksum");
    return kSuccess;
  }
  log.Write(kTraceError, TraceClass::kAisg, ald, "Bad file checksum");
  ShowMessageBox("Bad file checksum!");
  // Under one whole word there is nothing to correct; sending the image
  // would start a download that cannot carry a good file.
  if (!FirmwareFile::CorrectChecksum(image)) {
    log.Write(kTraceError, TraceClass::kAisg, ald, "File of %zu octets holds no checksum word, not sent", image.size());
    return kSoftwareError;
  }
  std::string copy = FirmwareFile::CorrectedCopyPath(path);
  if (!WriteWhole(copy, image)) {
    log.Write(kTraceError, TraceClass::kAisg, ald, "Cannot write '%s'", copy.c_str());
    return kSoftwareError;
  }
  return kSuccess;
}

}  // namespace

namespace FirmwareFile {

bool CarriesChecksum(const std::string& path) {
  size_t n = sizeof kChecksumSuffix - 1;
  return path.size() >= n && path.compare(path.size() - n, n, kChecksumSuffix) == 0;
}

uint16_t Checksum(const std::vector<uint8_t>& image) {
  uint16_t sum = 0;
  for (size_t i = 0; i < image.size(); i += 2) sum = static_cast<uint16_t>(sum + WordAt(image, i));
  return sum;
}

bool CorrectChecksum(std::vector<uint8_t>& image) {
  if (image.size() < 2) return false;
  size_t last = (image.size() & ~size_t{1}) - 2;
  uint16_t others = static_cast<uint16_t>(Checksum(image) - WordAt(image, last));
  uint16_t word = static_cast<uint16_t>(kGoodChecksum - others);
  image[last] = static_cast<uint8_t>(word & 0xFF);
  image[last + 1] = static_cast<uint8_t>(word >> 8);
  return true;
}

std::string CorrectedCopyPath(const std::string& path) {
  size_t stem = path.size() - (CarriesChecksum(path) ? sizeof kChecksumSuffix - 1 : 0);
  size_t nameStart = path.find_last_of('/') + 1;  // 0 when there is no folder
  if (stem > nameStart && path[stem - 1] == '.') --stem;
  return path.substr(0, stem) + kCopySuffix;
}

// Opened without waiting, so that a FIFO or a device named by mistake is
// refused instead of blocking the caller until someone writes to it.
ReadStatus ReadWhole(const std::string& path, size_t limit, std::vector<uint8_t>& out) {
  int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return ReadStatus::kCannotOpen;
  struct stat info {};
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    return ReadStatus::kNotRegular;
  }
  File f(fdopen(fd, "rb"));
  if (!f) {
    ::close(fd);
    return ReadStatus::kCannotOpen;
  }
  // One octet more than allowed tells a file that is too big without
  // reading all of it.
  std::vector<uint8_t> data(limit + 1);
  size_t n = std::fread(data.data(), 1, data.size(), f.get());
  if (std::ferror(f.get())) return ReadStatus::kCannotOpen;
  if (n > limit) return ReadStatus::kTooBig;
  data.resize(n);
  out = std::move(data);
  return ReadStatus::kOk;
}

ResultCode PrepareFirmware(const std::string& path, TraceLog& log, uint8_t ald, std::vector<uint8_t>& image) {
  ReadStatus status = ReadWhole(path, kMaxFirmwareSize, image);
  if (status == ReadStatus::kTooBig) ShowMessageBox("Download file too big!");
  if (status != ReadStatus::kOk) return kSoftwareError;
  if (CarriesChecksum(path) && CheckImage(path, log, ald, image) != kSuccess) return kSoftwareError;
  // An empty image would start a download and end it with no software.
  if (image.empty()) {
    log.Write(kTraceError, TraceClass::kAisg, ald, "Download file is empty, not sent");
    return kSoftwareError;
  }
  return kSuccess;
}

// An empty configuration would send nothing and still be reported as
// completed: it is refused like an empty firmware image.
ResultCode PrepareConfig(const std::string& path, TraceLog& log, uint8_t ald, std::vector<uint8_t>& data) {
  ReadStatus status = ReadWhole(path, kMaxConfigSize, data);
  if (status == ReadStatus::kTooBig) ShowMessageBox("Download file too big!");
  if (status != ReadStatus::kOk) return kSoftwareError;
  if (data.empty()) {
    log.Write(kTraceError, TraceClass::kAisg, ald, "Download file is empty, not sent");
    return kSoftwareError;
  }
  return kSuccess;
}

ResultCode DownloadFirmware(AisgLayer7& layer7, const ChooseFile& choose) {
  AldTable& table = layer7.Alds();
  AldRecord* ald = table.CurrentAld();
  if (ald == nullptr) {
    layer7.Log().Write(kTraceWarning, TraceClass::kAisg, kTraceNoAld, "You must select a device first!");
    return kSoftwareError;
  }
  std::optional<std::string> path = choose();
  if (!path) return kCancelled;
  std::vector<uint8_t> image;
  if (PrepareFirmware(*path, layer7.Log(), table.CurrentAldIndex(), image) != kSuccess) return kSoftwareError;
  return layer7.TransferFirmware(ald->Address, image.data(), image.size());
}

}  // namespace FirmwareFile
