#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct DeviceData;

// Between the stored device data of a subunit and the octets of a field's
// value as Set and Get Device Data carry it. Pure functions, no bus, no trace.
namespace DeviceDataCodec {

// Right-aligned in width, NUL octets in front. A text longer than width is
// cut to its first width characters; Encode refuses such a text instead.
std::vector<uint8_t> EncodeText(const std::string& text, size_t width);
// Every octet becomes one character, a NUL a space.
std::string DecodeText(const uint8_t* octets, size_t width);

// The stored text of a text field; null for a field that is not text.
const std::string* TextOf(uint8_t field, const DeviceData& data);
std::string* TextOf(uint8_t field, DeviceData& data);

enum class Status { kOk, kNoField, kTooLong, kTooShort };

// The field's stored value as it travels, exactly the field's width.
// kNoField for an identifier that names no field; kTooLong for a text that
// does not fit its width (nothing is cut: the device would hold another value
// than the one stored).
Status Encode(uint8_t field, const DeviceData& data, std::vector<uint8_t>& out);
// Stores the field's value from the first width of the count octets.
// kTooShort, storing nothing, when fewer than the width arrived.
Status Decode(uint8_t field, const uint8_t* octets, size_t count, DeviceData& data);

}  // namespace DeviceDataCodec
