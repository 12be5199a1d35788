#include "sim/SimDataFields.h"

#include <array>

#include "sim/SimText.h"

namespace {

using Info = SimDataFields::Info;
using Kind = SimDataFields::Kind;
using Group = SimDataFields::Group;

constexpr std::array<Info, 23> kFields = {{
    {0x01, "antennaModelNumber", Kind::kText, 15, Group::kAntenna},
    {0x02, "antennaSerialNumber", Kind::kText, 17, Group::kAntenna},
    {0x03, "antennaFrequencyBand", Kind::kWord, 2, Group::kAntenna},
    {0x04, "antennaBeamwidth", Kind::kWords, 8, Group::kAntenna},
    {0x05, "antennaGain", Kind::kOctets, 4, Group::kAntenna},
    {0x06, "maxTilt", Kind::kSignedWord, 2, Group::kAntenna},
    {0x07, "minTilt", Kind::kSignedWord, 2, Group::kAntenna},
    {0x08, "antennaFrequencyBand08", Kind::kWord, 2, Group::kAntenna},
    {0x09, "antennaFrequencyBand09", Kind::kWord, 2, Group::kAntenna},
    {0x11, "tmaModelNumber", Kind::kText, 15, Group::kTma},
    {0x12, "tmaSerialNumber", Kind::kText, 17, Group::kTma},
    {0x13, "tmaType", Kind::kOctets, 1, Group::kTma},
    {0x14, "tmaRxBand", Kind::kWords, 4, Group::kTma},
    {0x15, "tmaTxBand", Kind::kWords, 4, Group::kTma},
    {0x16, "tmaMaxGain", Kind::kOctets, 1, Group::kTma},
    {0x17, "tmaMinGain", Kind::kOctets, 1, Group::kTma},
    {0x18, "tmaGainResolution", Kind::kOctets, 1, Group::kTma},
    {0x21, "installDate", Kind::kText, 6, Group::kOperator},
    {0x22, "installerId", Kind::kText, 5, Group::kOperator},
    {0x23, "baseStationId", Kind::kText, 32, Group::kOperator},
    {0x24, "sectorId", Kind::kText, 32, Group::kOperator},
    {0x25, "bearing", Kind::kWord, 2, Group::kOperator},
    {0x26, "mechanicalTilt", Kind::kSignedWord, 2, Group::kOperator},
}};

void PutWord(std::vector<uint8_t>& out, size_t at, uint16_t v) {
  out[at] = static_cast<uint8_t>(v & 0xFF);
  out[at + 1] = static_cast<uint8_t>(v >> 8);
}

uint16_t GetWord(const std::vector<uint8_t>& in, size_t at) {
  return static_cast<uint16_t>(in[at] | (in[at + 1] << 8));
}

// A number or an array of numbers, each within [lo, hi].
bool NumbersFromJson(const nlohmann::json& value, size_t count, long lo, long hi, std::vector<long>& out) {
  nlohmann::json items = value.is_array() ? value : nlohmann::json::array({value});
  if (items.size() != count) return false;
  for (const auto& item : items) {
    if (!item.is_number_integer()) return false;
    long v = item.get<long>();
    if (v < lo || v > hi) return false;
    out.push_back(v);
  }
  return true;
}

}  // namespace

const SimDataFields::Info* SimDataFields::Find(uint8_t id) {
  for (const auto& info : kFields) {
    if (info.Id == id) return &info;
  }
  return nullptr;
}

const SimDataFields::Info* SimDataFields::FindKey(const std::string& key) {
  for (const auto& info : kFields) {
    if (key == info.Key) return &info;
  }
  return nullptr;
}

SimDataFields::Group SimDataFields::GroupOf(uint8_t id) {
  const Info* info = Find(id);
  return info ? info->FieldGroup : Group::kNone;
}

SimDataFields::Store SimDataFields::Blank(bool withTma) {
  Store store;
  for (const auto& info : kFields) {
    if (info.FieldGroup == Group::kTma && !withTma) continue;
    store[info.Id] = std::vector<uint8_t>(info.Width, 0);
  }
  return store;
}

std::vector<uint8_t> SimDataFields::EncodeText(const std::string& text, uint8_t width) {
  std::vector<uint8_t> out(width, 0);
  size_t n = text.size() < width ? text.size() : width;
  for (size_t i = 0; i < n; ++i) out[width - n + i] = static_cast<uint8_t>(text[i]);
  return out;
}

std::string SimDataFields::DecodeText(const std::vector<uint8_t>& octets) {
  size_t start = 0;
  while (start < octets.size() && octets[start] == 0) ++start;
  std::string text;
  for (size_t i = start; i < octets.size(); ++i) text += octets[i] ? static_cast<char>(octets[i]) : ' ';
  return text;
}

int16_t SimDataFields::SignedWord(const Store& store, uint8_t id) {
  auto it = store.find(id);
  if (it == store.end() || it->second.size() < 2) return 0;
  return static_cast<int16_t>(GetWord(it->second, 0));
}

void SimDataFields::SetSignedWord(Store& store, uint8_t id, int16_t value) {
  std::vector<uint8_t> octets(2);
  PutWord(octets, 0, static_cast<uint16_t>(value));
  store[id] = octets;
}

bool SimDataFields::ValueFromJson(const Info& info, const nlohmann::json& value, std::vector<uint8_t>& out) {
  out.assign(info.Width, 0);
  std::vector<long> numbers;
  switch (info.Encoding) {
    case Kind::kText:
      if (!value.is_string() || SimText::Unescape(value.get<std::string>()).size() > info.Width) return false;
      out = EncodeText(SimText::Unescape(value.get<std::string>()), info.Width);
      return true;
    case Kind::kWord:
    case Kind::kWords:
      if (!NumbersFromJson(value, info.Width / 2u, 0, 65535, numbers)) return false;
      break;
    case Kind::kSignedWord:
      if (!NumbersFromJson(value, 1, -32768, 32767, numbers)) return false;
      break;
    case Kind::kOctets:
      if (!NumbersFromJson(value, info.Width, 0, 255, numbers)) return false;
      for (size_t i = 0; i < numbers.size(); ++i) out[i] = static_cast<uint8_t>(numbers[i]);
      return true;
  }
  for (size_t i = 0; i < numbers.size(); ++i) PutWord(out, 2 * i, static_cast<uint16_t>(numbers[i]));
  return true;
}

nlohmann::ordered_json SimDataFields::ValueToJson(const Info& info, const std::vector<uint8_t>& octets) {
  switch (info.Encoding) {
    case Kind::kText: return SimText::Escape(DecodeText(octets));
    case Kind::kWord: return GetWord(octets, 0);
    case Kind::kSignedWord: return static_cast<int16_t>(GetWord(octets, 0));
    case Kind::kWords: {
      nlohmann::ordered_json words = nlohmann::ordered_json::array();
      for (size_t i = 0; i + 1 < octets.size(); i += 2) words.push_back(GetWord(octets, i));
      return words;
    }
    case Kind::kOctets:
      if (octets.size() == 1) return octets[0];
      return nlohmann::ordered_json(octets);
  }
  return nullptr;
}

bool SimDataFields::FromJson(const nlohmann::json& object, Store& store, std::string* error) {
  if (!object.is_object()) {
    *error = "\"fields\" must be an object";
    return false;
  }
  for (const auto& [key, value] : object.items()) {
    const Info* info = FindKey(key);
    std::vector<uint8_t> octets;
    if (!info || !store.count(info->Id) || !ValueFromJson(*info, value, octets)) {
      *error = "bad device data field \"" + key + "\"";
      return false;
    }
    store[info->Id] = octets;
  }
  return true;
}

nlohmann::ordered_json SimDataFields::ToJson(const Store& store) {
  nlohmann::ordered_json object = nlohmann::ordered_json::object();
  for (const auto& [id, octets] : store) {
    const Info* info = Find(id);
    if (info && octets.size() == info->Width) object[info->Key] = ValueToJson(*info, octets);
  }
  return object;
}
