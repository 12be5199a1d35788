#include "layer7/DeviceDataCodec.h"

#include <algorithm>

#include "ald/DeviceData.h"
#include "layer7/DataFieldId.h"

namespace {

uint16_t Word(int16_t v) {
  return static_cast<uint16_t>(v);
}
int16_t Signed(uint16_t v) {
  return static_cast<int16_t>(v);
}
uint8_t Octet(uint16_t v) {
  return static_cast<uint8_t>(v);
}

// The numbers of a word or octet field in the order they travel.
std::vector<uint16_t> NumbersOf(const DeviceData& d, uint8_t field) {
  switch (field) {
    case kFieldAntennaFrequencyBand: return {d.AntennaFrequencyBands[0]};
    case kFieldAntennaBeamwidth: return {std::begin(d.BeamwidthForBands), std::end(d.BeamwidthForBands)};
    case kFieldAntennaGain: return {std::begin(d.GainForBands), std::end(d.GainForBands)};
    case kFieldAntennaMaxTilt: return {Word(d.MaxSupportedTilt)};
    case kFieldAntennaMinTilt: return {Word(d.MinSupportedTilt)};
    case kFieldAntennaFrequencyBand08: return {d.AntennaFrequencyBands[1]};
    case kFieldAntennaFrequencyBand09: return {d.AntennaFrequencyBands[2]};
    case kFieldTmaType: return {d.TmaSubunitType};
    case kFieldTmaRxFrequencyBand: return {d.TmaRxBandMin, d.TmaRxBandMax};
    case kFieldTmaTxFrequencyBand: return {d.TmaTxBandMin, d.TmaTxBandMax};
    case kFieldTmaMaxSupportGain: return {d.TmaMaxGain};
    case kFieldTmaMinSupportGain: return {d.TmaMinGain};
    case kFieldTmaGainResolution: return {d.TmaGainResolution};
    case kFieldOperatorAntennaBearing: return {d.AntennaBearing};
    case kFieldOperatorMechanicalTilt: return {Word(d.InstalledMechanicalTilt)};
    default: return {};
  }
}

void StoreNumbers(DeviceData& d, uint8_t field, const uint16_t* v) {
  switch (field) {
    case kFieldAntennaFrequencyBand: d.AntennaFrequencyBands[0] = v[0]; break;
    case kFieldAntennaBeamwidth: std::copy(v, v + 4, d.BeamwidthForBands); break;
    case kFieldAntennaGain: std::transform(v, v + 4, d.GainForBands, Octet); break;
    case kFieldAntennaMaxTilt: d.MaxSupportedTilt = Signed(v[0]); break;
    case kFieldAntennaMinTilt: d.MinSupportedTilt = Signed(v[0]); break;
    case kFieldAntennaFrequencyBand08: d.AntennaFrequencyBands[1] = v[0]; break;
    case kFieldAntennaFrequencyBand09: d.AntennaFrequencyBands[2] = v[0]; break;
    case kFieldTmaType: d.TmaSubunitType = Octet(v[0]); break;
    case kFieldTmaRxFrequencyBand:
      d.TmaRxBandMin = v[0];
      d.TmaRxBandMax = v[1];
      break;
    case kFieldTmaTxFrequencyBand:
      d.TmaTxBandMin = v[0];
      d.TmaTxBandMax = v[1];
      break;
    case kFieldTmaMaxSupportGain: d.TmaMaxGain = Octet(v[0]); break;
    case kFieldTmaMinSupportGain: d.TmaMinGain = Octet(v[0]); break;
    case kFieldTmaGainResolution: d.TmaGainResolution = Octet(v[0]); break;
    case kFieldOperatorAntennaBearing: d.AntennaBearing = v[0]; break;
    case kFieldOperatorMechanicalTilt: d.InstalledMechanicalTilt = Signed(v[0]); break;
    default: break;
  }
}

size_t UnitWidth(FieldEncoding encoding) {
  return encoding == FieldEncoding::kWords ? 2 : 1;
}

}  // namespace

namespace DeviceDataCodec {

// A pointer to the field's stored text, const when the data is.
template <class Data>
auto TextIn(Data& d, uint8_t field) -> decltype(&d.AntennaModelNumber) {
  switch (field) {
    case kFieldAntennaModelNumber: return &d.AntennaModelNumber;
    case kFieldAntennaSerialNumber: return &d.AntennaSerialNumber;
    case kFieldTmaModelNumber: return &d.TmaModelNumber;
    case kFieldTmaSerialNumber: return &d.TmaSerialNumber;
    case kFieldOperatorInstallDate: return &d.InstallationDate;
    case kFieldOperatorInstallId: return &d.InstallerId;
    case kFieldOperatorBaseStationId: return &d.BaseStationId;
    case kFieldOperatorSectorId: return &d.SectorId;
    default: return nullptr;
  }
}

const std::string* TextOf(uint8_t field, const DeviceData& data) {
  return TextIn(data, field);
}
std::string* TextOf(uint8_t field, DeviceData& data) {
  return TextIn(data, field);
}

std::vector<uint8_t> EncodeText(const std::string& text, size_t width) {
  std::vector<uint8_t> out(width, 0x00);
  size_t n = std::min(text.size(), width);
  std::copy_n(text.begin(), n, out.end() - static_cast<std::ptrdiff_t>(n));
  return out;
}

std::string DecodeText(const uint8_t* octets, size_t width) {
  std::string text(width, ' ');
  for (size_t i = 0; i < width; ++i) {
    if (octets[i] != 0x00) text[i] = static_cast<char>(octets[i]);
  }
  return text;
}

Status Encode(uint8_t field, const DeviceData& data, std::vector<uint8_t>& out) {
  const DataFieldInfo& info = DataFieldInfoOf(field);
  if (info.Encoding == FieldEncoding::kNone) return Status::kNoField;
  if (info.Encoding == FieldEncoding::kText) {
    const std::string& text = *TextOf(field, data);
    if (text.size() > info.Width) return Status::kTooLong;
    out = EncodeText(text, info.Width);
    return Status::kOk;
  }
  out.clear();
  for (uint16_t n : NumbersOf(data, field)) {
    out.push_back(static_cast<uint8_t>(n & 0xFF));
    if (info.Encoding == FieldEncoding::kWords) out.push_back(static_cast<uint8_t>(n >> 8));
  }
  return Status::kOk;
}

Status Decode(uint8_t field, const uint8_t* octets, size_t count, DeviceData& data) {
  const DataFieldInfo& info = DataFieldInfoOf(field);
  if (info.Encoding == FieldEncoding::kNone) return Status::kNoField;
  if (count < info.Width) return Status::kTooShort;
  if (info.Encoding == FieldEncoding::kText) {
    *TextOf(field, data) = DecodeText(octets, info.Width);
    return Status::kOk;
  }
  size_t unit = UnitWidth(info.Encoding);
  uint16_t numbers[4] = {};
  for (size_t i = 0; i < info.Width / unit; ++i) {
    numbers[i] = unit == 2 ? static_cast<uint16_t>(octets[2 * i] | (octets[2 * i + 1] << 8)) : octets[i];
  }
  StoreNumbers(data, field, numbers);
  return Status::kOk;
}

}  // namespace DeviceDataCodec
