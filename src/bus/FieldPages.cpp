#include "bus/FieldPages.h"

#include <cstdint>
#include <optional>

#include "ald/AldType.h"
#include "ald/DeviceData.h"
#include "bus/EntryText.h"
#include "bus/TmaPage.h"
#include "core/Format.h"
#include "layer7/BandListText.h"
#include "layer7/DataFieldId.h"
#include "layer7/DeviceDataCodec.h"

namespace {

using Entry = FieldPages::Entry;

constexpr const char* kInvalidGain = TmaPage::kInvalidGainValue;
constexpr char kInvalidTilt[] = "Invalid Tilt value.";
constexpr char kInvalidBearing[] = "Invalid Antenna Bearing Value.";
constexpr char kBearingRange[] = "Invalid Antenna Bearing Value. Please enter a value between 0 - 360.0";
constexpr char kMechanicalTiltRange[] = "Invalid Tilt value. Please enter a value between 0 - 360.0";
constexpr double kMaxDegrees = 360.0;

constexpr uint16_t kWordBPresent = 0x4000;
constexpr uint16_t kWordCPresent = 0x8000;
constexpr uint16_t kNoMoreWords = 0xFFFF;
constexpr int kBands = 44;

// Where band k (1..44) lives: word and bit.
struct BandBit {
  int Word;
  int Bit;
};
BandBit BitOfBand(int band) {
  if (band <= 6) return {0, 6 - band};
  if (band <= 14) return {0, band - 1};
  if (band <= 30) return {1, band - 15};
  if (band <= 32) return {2, band - 19};
  return {2, band - 33};
}

Entry Ok() {
  return {};
}
Entry Refused(const std::string& message) {
  return {Entry::Status::kRefused, message};
}

// The name the messages of a text field give it, page by page.
const char* TextFieldLabel(uint8_t field) {
  switch (field) {
    case kFieldAntennaModelNumber: return "Model Number";
    case kFieldAntennaSerialNumber: return "Serial Number";
    case kFieldOperatorInstallDate: return "Install Date";
    case kFieldOperatorInstallId: return "Install ID";
    case kFieldOperatorBaseStationId: return "BaseStation ID";
    case kFieldOperatorSectorId: return "Sector ID";
    default: return "Parameter";
  }
}

Entry LengthRule(uint8_t field, const std::string& text) {
  size_t width = DataFieldInfoOf(field).Width;
  const char* label = TextFieldLabel(field);
  if (text.size() > width) {
    return Refused(Format("%s is longer than expected length [%zu]. Set not allowed!", label, width));
  }
  if (text.size() < width) {
    return {Entry::Status::kShorter,
            Format("%s is shorter than expected length [%zu]. It will left padded", label, width)};
  }
  return Ok();
}

std::string Tenths(int value) {
  return Format("%.1f", value / 10.0);
}
std::string Decimal(long value) {
  return Format("%ld", value);
}

// Numbers of one field, all checked before any is stored.
std::optional<std::vector<double>> Numbers(const std::vector<std::string>& texts, size_t count) {
  std::vector<double> values;
  for (size_t i = 0; i < count; ++i) {
    std::optional<double> v = EntryText::Number(i < texts.size() ? texts[i] : "");
    if (!v) return std::nullopt;
    values.push_back(*v);
  }
  return values;
}

// The first count texts as integers of a field of 16-bit words, all
// checked before any is stored; a missing text counts as empty.
std::optional<std::vector<uint16_t>> Words(const std::vector<std::string>& texts, size_t count) {
  std::vector<uint16_t> words;
  for (size_t i = 0; i < count; ++i) {
    std::optional<int64_t> v = EntryText::WholeInteger(i < texts.size() ? texts[i] : "");
    if (!v || *v < 0 || *v > 0xFFFF) return std::nullopt;
    words.push_back(static_cast<uint16_t>(*v));
  }
  return words;
}

Entry BandEntry(const std::vector<std::string>& texts, DeviceData& d) {
  std::vector<int> bands;
  for (const std::string& text : texts) {
    std::string number;
    for (size_t i = 0; i <= text.size(); ++i) {
      char c = i < text.size() ? text[i] : ',';
      if (c >= '0' && c <= '9') {
        number += c;
      } else if (c == ',' || c == ' ') {
        // More than three digits name no band either.
        if (!number.empty()) bands.push_back(number.size() > 3 ? kBands + 1 : std::stoi(number));
        number.clear();
      } else {
        return Refused(Format("Invalid band list '%s': give band numbers from 1 to %d", text.c_str(), kBands));
      }
    }
  }
  uint16_t words[3] = {};
  if (!FieldPages::MarkBands(bands, words)) return Refused(Format("Band numbers go from 1 to %d", kBands));
  for (int i = 0; i < 3; ++i) d.AntennaFrequencyBands[i] = words[i];
  return Ok();
}

// A decimal number field: its message, its factor and what its octets hold
// after scaling (the unsigned ones nothing negative).
struct NumberRule {
  const char* Invalid;
  double Factor;
  int64_t Min;
  int64_t Max;
};

NumberRule NumberRuleOf(uint8_t field) {
  switch (field) {
    case kFieldAntennaGain: return {kInvalidGain, 10.0, 0, 0xFF};
    case kFieldAntennaMaxTilt:
    case kFieldAntennaMinTilt: return {kInvalidTilt, 10.0, INT16_MIN, INT16_MAX};
    case kFieldOperatorAntennaBearing: return {kInvalidBearing, 10.0, 0, 0xFFFF};
    case kFieldOperatorMechanicalTilt: return {kInvalidTilt, 10.0, INT16_MIN, INT16_MAX};
    case kFieldTmaMaxSupportGain:
    case kFieldTmaMinSupportGain: return {kInvalidGain, 4.0, 0, 0xFF};
    case kFieldTmaGainResolution: return {kInvalidGain, 0.25, 0, 0xFF};
    default: return {"No such field", 1.0, 0, 0};
  }
}

// The bearing and the mechanical tilt are angles of a full turn, with a
// message of their own when they are numbers outside it.
const char* AngleRangeMessage(uint8_t field, double value) {
  if (value >= 0 && value <= kMaxDegrees) return nullptr;
  if (field == kFieldOperatorAntennaBearing) return kBearingRange;
  return field == kFieldOperatorMechanicalTilt ? kMechanicalTiltRange : nullptr;
}

void StoreNumber(uint8_t field, const std::vector<int64_t>& v, DeviceData& d) {
  switch (field) {
    case kFieldAntennaGain:
      for (int i = 0; i < 4; ++i) d.GainForBands[i] = static_cast<uint8_t>(v[i]);
      break;
    case kFieldAntennaMaxTilt: d.MaxSupportedTilt = static_cast<int16_t>(v[0]); break;
    case kFieldAntennaMinTilt: d.MinSupportedTilt = static_cast<int16_t>(v[0]); break;
    case kFieldOperatorAntennaBearing: d.AntennaBearing = static_cast<uint16_t>(v[0]); break;
    case kFieldOperatorMechanicalTilt: d.InstalledMechanicalTilt = static_cast<int16_t>(v[0]); break;
    case kFieldTmaMaxSupportGain: d.TmaMaxGain = static_cast<uint8_t>(v[0]); break;
    case kFieldTmaMinSupportGain: d.TmaMinGain = static_cast<uint8_t>(v[0]); break;
    case kFieldTmaGainResolution: d.TmaGainResolution = static_cast<uint8_t>(v[0]); break;
    default: break;
  }
}

// Every box must hold a number that the field can carry once scaled: a
// value the octets cannot hold would reach the device as another one.
Entry NumberEntry(uint8_t field, const std::vector<std::string>& texts, DeviceData& d) {
  NumberRule rule = NumberRuleOf(field);
  std::optional<std::vector<double>> values = Numbers(texts, field == kFieldAntennaGain ? 4 : 1);
  if (!values) return Refused(rule.Invalid);
  std::vector<int64_t> scaled;
  for (double value : *values) {
    if (const char* range = AngleRangeMessage(field, value)) return Refused(range);
    std::optional<int64_t> s = EntryText::Scaled(value, rule.Factor, rule.Min, rule.Max);
    if (!s) return Refused(rule.Invalid);
    scaled.push_back(*s);
  }
  StoreNumber(field, scaled, d);
  return Ok();
}

// The fields of decimal integers name themselves in their message.
std::string InvalidIntegerMessage(uint8_t field) {
  const char* name = field == kFieldAntennaBeamwidth     ? "Beamwidth"
                     : field == kFieldTmaRxFrequencyBand ? "Rx Frequency Band"
                     : field == kFieldTmaTxFrequencyBand ? "Tx Frequency Band"
                     : field == kFieldTmaType            ? "TMA Type"
                                                         : "Frequency Band";
  return Format("Invalid %s value.", name);
}

Entry IntegerEntry(uint8_t field, const std::vector<std::string>& texts, DeviceData& d) {
  std::optional<std::vector<uint16_t>> w = Words(texts, FieldPages::BoxCount(field));
  if (!w) return Refused(InvalidIntegerMessage(field));
  switch (field) {
    case kFieldAntennaBeamwidth:
      for (size_t i = 0; i < 4; ++i) d.BeamwidthForBands[i] = (*w)[i];
      break;
    case kFieldAntennaFrequencyBand08: d.AntennaFrequencyBands[1] = (*w)[0]; break;
    case kFieldAntennaFrequencyBand09: d.AntennaFrequencyBands[2] = (*w)[0]; break;
    case kFieldTmaRxFrequencyBand:
      d.TmaRxBandMin = (*w)[0];
      d.TmaRxBandMax = (*w)[1];
      break;
    case kFieldTmaTxFrequencyBand:
      d.TmaTxBandMin = (*w)[0];
      d.TmaTxBandMax = (*w)[1];
      break;
    default: return Refused("No such field");
  }
  return Ok();
}

// The TMA type is a one-character text that travels as a number: a digit,
// or nothing, which the page sends as 0 after its "shorter" message.
Entry TmaTypeEntry(const std::vector<std::string>& texts, DeviceData& d) {
  std::string text = texts.empty() ? "" : texts[0];
  Entry e = LengthRule(kFieldTmaType, text);
  if (e.Verdict == Entry::Status::kRefused) return e;
  std::optional<int64_t> type = EntryText::WholeInteger(text);
  if (!type || *type < 0) return Refused(InvalidIntegerMessage(kFieldTmaType));
  d.TmaSubunitType = static_cast<uint8_t>(*type);
  return e;
}

}  // namespace

namespace FieldPages {

size_t BoxCount(uint8_t field) {
  switch (field) {
    case kFieldAntennaBeamwidth:
    case kFieldAntennaGain: return 4;
    case kFieldTmaRxFrequencyBand:
    case kFieldTmaTxFrequencyBand: return 2;
    default: return 1;
  }
}

std::vector<std::string> ShownTexts(uint8_t field, const DeviceData& d) {
  if (const std::string* text = DeviceDataCodec::TextOf(field, d)) return {*text};
  switch (field) {
    case kFieldAntennaFrequencyBand: return {BandListText(d.AntennaFrequencyBands)};
    case kFieldAntennaBeamwidth:
      return {Decimal(d.BeamwidthForBands[0]), Decimal(d.BeamwidthForBands[1]), Decimal(d.BeamwidthForBands[2]),
              Decimal(d.BeamwidthForBands[3])};
    case kFieldAntennaGain:
      return {Tenths(d.GainForBands[0]), Tenths(d.GainForBands[1]), Tenths(d.GainForBands[2]),
              Tenths(d.GainForBands[3])};
    case kFieldAntennaMaxTilt: return {Tenths(d.MaxSupportedTilt)};
    case kFieldAntennaMinTilt: return {Tenths(d.MinSupportedTilt)};
    case kFieldAntennaFrequencyBand08: return {Decimal(d.AntennaFrequencyBands[1])};
    case kFieldAntennaFrequencyBand09: return {Decimal(d.AntennaFrequencyBands[2])};
    case kFieldTmaType: return {Decimal(d.TmaSubunitType)};
    case kFieldTmaRxFrequencyBand: return {Decimal(d.TmaRxBandMin), Decimal(d.TmaRxBandMax)};
    case kFieldTmaTxFrequencyBand: return {Decimal(d.TmaTxBandMin), Decimal(d.TmaTxBandMax)};
    case kFieldTmaMaxSupportGain: return {TmaPage::GainText(d.TmaMaxGain)};
    case kFieldTmaMinSupportGain: return {TmaPage::GainText(d.TmaMinGain)};
    case kFieldTmaGainResolution: return {Format("%.1f", d.TmaGainResolution * 4.0)};
    case kFieldOperatorAntennaBearing: return {Tenths(d.AntennaBearing)};
    case kFieldOperatorMechanicalTilt: return {Tenths(d.InstalledMechanicalTilt)};
    default: return {};
  }
}

Entry ApplyEntry(uint8_t field, const std::vector<std::string>& texts, DeviceData& d) {
  if (std::string* text = DeviceDataCodec::TextOf(field, d)) {
    *text = texts.empty() ? "" : texts[0];
    return LengthRule(field, *text);
  }
  switch (field) {
    case kFieldAntennaFrequencyBand: return BandEntry(texts, d);
    case kFieldTmaType: return TmaTypeEntry(texts, d);
    case kFieldAntennaBeamwidth:
    case kFieldAntennaFrequencyBand08:
    case kFieldAntennaFrequencyBand09:
    case kFieldTmaRxFrequencyBand:
    case kFieldTmaTxFrequencyBand: return IntegerEntry(field, texts, d);
    default: return NumberEntry(field, texts, d);
  }
}

std::vector<uint8_t> FieldsOfKind(uint8_t deviceType) {
  if (deviceType == kAldSingleRet || deviceType == kAldMultiRet) {
    return {kFieldAntennaModelNumber,    kFieldAntennaSerialNumber, kFieldAntennaFrequencyBand,
            kFieldAntennaBeamwidth,      kFieldAntennaGain,         kFieldAntennaMaxTilt,
            kFieldAntennaMinTilt,        kFieldOperatorInstallDate, kFieldOperatorInstallId,
            kFieldOperatorBaseStationId, kFieldOperatorSectorId,    kFieldOperatorAntennaBearing,
            kFieldOperatorMechanicalTilt};
  }
  if (deviceType == kAldTma) {
    return {kFieldTmaModelNumber,     kFieldTmaSerialNumber,   kFieldTmaType,           kFieldTmaRxFrequencyBand,
            kFieldTmaTxFrequencyBand, kFieldTmaMaxSupportGain, kFieldTmaMinSupportGain, kFieldTmaGainResolution};
  }
  return {};
}

bool MarkBands(const std::vector<int>& bands, uint16_t (&words)[3]) {
  words[0] = words[1] = words[2] = 0;
  for (int band : bands) {
    if (band < 1 || band > kBands) return false;
    BandBit b = BitOfBand(band);
    words[b.Word] = static_cast<uint16_t>(words[b.Word] | (1u << b.Bit));
  }
  if (words[1] != 0) words[0] = static_cast<uint16_t>(words[0] | kWordBPresent);
  if (words[2] != 0) words[0] = static_cast<uint16_t>(words[0] | kWordCPresent);
  return true;
}

std::vector<int> MarkedBands(const uint16_t (&words)[3]) {
  std::vector<int> bands;
  for (int band = 1; band <= kBands; ++band) {
    BandBit b = BitOfBand(band);
    if (words[b.Word] & (1u << b.Bit)) bands.push_back(band);
  }
  return bands;
}

bool ReadsWordB(uint16_t wordA) {
  return wordA != kNoMoreWords && (wordA & kWordBPresent) != 0;
}

bool ReadsWordC(uint16_t wordA) {
  return wordA != kNoMoreWords && (wordA & kWordCPresent) != 0;
}

}  // namespace FieldPages
