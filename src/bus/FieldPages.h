#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct DeviceData;

// The conversions and checks of the device data field pages (antenna,
// operator, TMA fields): how a stored field is shown in its boxes, and how
// the texts of its boxes are checked, converted and stored before the field
// is sent. Front ends only display what these give.
namespace FieldPages {

struct Entry {
  enum class Status {
    kOk,       // stored, to be sent
    kShorter,  // stored, to be sent, with the "shorter" message shown
    kRefused,  // not to be sent; Message says why
  };
  Status Verdict = Status::kOk;
  std::string Message;
};

// Number of boxes in which the field is shown and entered: 4 for the
// beamwidths and gains, 2 for the TMA bands, 1 otherwise. The antenna
// frequency band is one box holding band numbers.
size_t BoxCount(uint8_t field);
// The texts the field's boxes show for the stored value, in box order.
std::vector<std::string> ShownTexts(uint8_t field, const DeviceData& data);
// The field's entry rule over its box texts (BoxCount of them; missing ones
// count as empty). Stores the converted value into data unless refused; a
// text that is too long is stored but refused, as the pages do.
Entry ApplyEntry(uint8_t field, const std::vector<std::string>& texts, DeviceData& data);

// The fields the pages show for a device type, in table order: the antenna
// and operator pages for single and multi RETs, the TMA fields page for a
// TMA. The antenna frequency band stands for its three band words.
std::vector<uint8_t> FieldsOfKind(uint8_t deviceType);

// Antenna frequency bands 1 to 44 and the three band words A, B, C, with
// the continuation marks of word A (bit 14: B present, bit 15: C present).
bool MarkBands(const std::vector<int>& bands, uint16_t (&words)[3]);
std::vector<int> MarkedBands(const uint16_t (&words)[3]);
// Whether a read of word A asks for the read of word B or of word C.
bool ReadsWordB(uint16_t wordA);
bool ReadsWordC(uint16_t wordA);

}  // namespace FieldPages
