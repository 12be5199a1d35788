#pragma once

#include <cstdint>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

// The device data fields a simulated ALD keeps, as the raw octets that travel
// in Set and Get Device Data (each exactly its field's width). Keeping the
// wire form means a set followed by a get returns what was written, octet for
// octet, as a real device's field store does. The JSON names are those of the
// site files.
class SimDataFields {
 public:
  enum class Group { kNone, kAntenna, kTma, kOperator };
  enum class Kind { kText, kWord, kSignedWord, kWords, kOctets };

  struct Info {
    uint8_t Id;
    const char* Key;
    Kind Encoding;
    uint8_t Width;
    Group FieldGroup;
  };

  using Store = std::map<uint8_t, std::vector<uint8_t>>;

  // nullptr when id names no field.
  static const Info* Find(uint8_t id);
  static const Info* FindKey(const std::string& key);
  static Group GroupOf(uint8_t id);

  // Every field of the groups a device kind carries, zero-filled.
  static Store Blank(bool withTma);

  // Text is right-aligned in its width with 0x00 octets in front.
  static std::vector<uint8_t> EncodeText(const std::string& text, uint8_t width);
  static std::string DecodeText(const std::vector<uint8_t>& octets);

  static int16_t SignedWord(const Store& store, uint8_t id);
  static void SetSignedWord(Store& store, uint8_t id, int16_t value);

  // Site JSON: {"antennaModelNumber": "ABC", "maxTilt": 100, ...}.
  // Returns false with a message for an unknown key or a bad value.
  static bool FromJson(const nlohmann::json& object, Store& store, std::string* error);
  static nlohmann::ordered_json ToJson(const Store& store);

 private:
  static bool ValueFromJson(const Info& info, const nlohmann::json& value, std::vector<uint8_t>& out);
  static nlohmann::ordered_json ValueToJson(const Info& info, const std::vector<uint8_t>& octets);
};
