#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "layer7/ResultCode.h"

class AisgLayer7;
class TraceLog;

// The file side of the firmware and configuration downloads: size limits,
// the checksum of "css" firmware images with their corrected copy, and the
// firmware download of the device window with the file chooser left to the
// caller. Message boxes go through the core's message box routine.
namespace FirmwareFile {

inline constexpr size_t kMaxFirmwareSize = 262144;
inline constexpr size_t kMaxConfigSize = 131072;
inline constexpr uint16_t kGoodChecksum = 0x5A5A;
// What the firmware download gives when the user cancels the file choice;
// its callers report nothing for it.
inline constexpr ResultCode kCancelled = kEepromError;

// The last three characters of the path are "css", compared as written.
bool CarriesChecksum(const std::string& path);
// Sum modulo 65536 of the 16-bit little-endian words from the start. A last
// octet without a partner counts as a word whose high octet is 0.
uint16_t Checksum(const std::vector<uint8_t>& image);
// Replaces the last whole word so that the checksum becomes kGoodChecksum;
// a last octet without a partner stays as it is. False, leaving the image
// alone, when it holds no whole word.
bool CorrectChecksum(std::vector<uint8_t>& image);
// Next to the original: its name without the final "css" (and a '.' before
// it) followed by "_chk.css"; "fw1.css" gives "fw1_chk.css".
std::string CorrectedCopyPath(const std::string& path);

enum class ReadStatus { kOk, kCannotOpen, kNotRegular, kTooBig };
// Reads the whole file when it is a regular file of at most limit octets.
ReadStatus ReadWhole(const std::string& path, size_t limit, std::vector<uint8_t>& out);

// Reads a chosen firmware file and tests a "css" image, writing the
// corrected copy when its checksum is bad. 0 with the image to send, or 7
// when nothing may be sent. Traces under the given ALD number.
ResultCode PrepareFirmware(const std::string& path, TraceLog& log, uint8_t ald, std::vector<uint8_t>& image);
// Reads a chosen configuration file; 0 with its octets, or 7 (an empty
// file included).
ResultCode PrepareConfig(const std::string& path, TraceLog& log, uint8_t ald, std::vector<uint8_t>& data);

// Asks the user for a file; nothing when the choice was cancelled.
using ChooseFile = std::function<std::optional<std::string>()>;

// The firmware download to the selected ALD, up to the end of the transfer:
// 7 without a selection or when the file may not be sent, kCancelled when
// choose gives nothing, otherwise the transfer's result. Reconnecting the
// device afterwards is the caller's.
ResultCode DownloadFirmware(AisgLayer7& layer7, const ChooseFile& choose);

}  // namespace FirmwareFile
