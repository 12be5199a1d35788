#include "sim/SimSite.h"

#include <filesystem>
#include <fstream>
#include <limits>
#include <stdexcept>
#include <type_traits>

#include "sim/SimMultiRet.h"
#include "sim/SimSingleRet.h"
#include "sim/SimText.h"
#include "sim/SimTma.h"
#include "sim/SiteFiles.h"

namespace {

using json = nlohmann::json;
using ojson = nlohmann::ordered_json;

constexpr uint8_t kSingleRet = 1;
constexpr uint8_t kTma = 2;
constexpr uint8_t kMultiRet = 0x11;
constexpr size_t kMaxSubunits = 6;
constexpr uint32_t kMaxStrayOctets = 64;

// Site errors are thrown inside this file only and come out as messages.
[[noreturn]] void Bad(const std::string& message) {
  throw std::runtime_error(message);
}

template <typename T>
T Get(const json& object, const char* key, T fallback) {
  if (!object.contains(key)) return fallback;
  const json& value = object.at(key);
  try {
    if constexpr (std::is_integral_v<T> && !std::is_same_v<T, bool>) {
      // Numbers must fit their field instead of wrapping around.
      auto number = value.get<long long>();
      auto min = static_cast<long long>(std::numeric_limits<T>::min());
      auto max = static_cast<unsigned long long>(std::numeric_limits<T>::max());
      bool fits = number >= min && (number < 0 || static_cast<unsigned long long>(number) <= max);
      if (value.is_number_integer() && fits) {
        return static_cast<T>(number);
      }
    } else {
      return value.get<T>();
    }
  } catch (const json::exception&) {
  }
  Bad(std::string("bad value of \"") + key + "\"");
}

std::vector<uint8_t> GetCodes(const json& object, const char* key) {
  json codes = Get<json>(object, key, json::array());
  if (!codes.is_array()) Bad(std::string("\"") + key + "\" must be an array");
  std::vector<uint8_t> out;
  for (const auto& code : codes) out.push_back(Get<uint8_t>(json{{key, code}}, key, 0));
  return out;
}

uint8_t TypeOf(const std::string& name) {
  if (name == "singleRet") return kSingleRet;
  if (name == "multiRet") return kMultiRet;
  if (name == "tma") return kTma;
  Bad("unknown device type \"" + name + "\"");
}

std::string TypeName(uint8_t type) {
  if (type == kTma) return "tma";
  return type == kMultiRet ? "multiRet" : "singleRet";
}

bool Printable(const std::string& text) {
  for (char c : text) {
    if (c < 0x20 || c > 0x7E) return false;
  }
  return true;
}

// Texts of a device as the dump writes them, octet escapes undone.
std::string GetText(const json& object, const char* key) {
  return SimText::Unescape(Get<std::string>(object, key, ""));
}

SimDeviceConfig::DownloadFailure DownloadFailOf(const std::string& text) {
  using Failure = SimDeviceConfig::DownloadFailure;
  if (text == "never") return {};
  if (text == "start") return {Failure::kStart, 0};
  if (text == "end") return {Failure::kEnd, 0};
  if (text.rfind("block:", 0) == 0) {
    try {
      unsigned long block = std::stoul(text.substr(6));
      if (block > 0 && block <= 0xFFFFFFFFul) return {Failure::kBlock, static_cast<uint32_t>(block)};
    } catch (const std::exception&) {
    }
  }
  Bad("bad downloadFail \"" + text + "\"");
}

std::string DownloadFailText(const SimDeviceConfig::DownloadFailure& failure) {
  using Failure = SimDeviceConfig::DownloadFailure;
  switch (failure.Where) {
    case Failure::kStart: return "start";
    case Failure::kEnd: return "end";
    case Failure::kBlock: return "block:" + std::to_string(failure.Block);
    default: return "never";
  }
}

void ReadTiming(const json& timing, SimDeviceConfig& config) {
  config.TiltDegPerS = Get(timing, "tiltDegPerS", config.TiltDegPerS);
  config.MoveSettleMs = Get(timing, "moveSettleMs", config.MoveSettleMs);
  config.CalibrationMs = Get(timing, "calibrationMs", config.CalibrationMs);
  config.SelfTestMs = Get(timing, "selfTestMs", config.SelfTestMs);
  config.RestartMs = Get(timing, "restartMs", config.RestartMs);
  if (config.TiltDegPerS <= 0) Bad("tiltDegPerS must be positive");
}

SimDeviceConfig ReadConfig(const json& device, const SimSite::BusSettings& settings) {
  SimDeviceConfig config;
  config.DeviceType = TypeOf(Get<std::string>(device, "type", ""));
  config.UniqueId = GetText(device, "uniqueId");
  if (config.UniqueId.size() < 2 || config.UniqueId.size() > 19 || !Printable(config.UniqueId)) {
    Bad("uniqueId \"" + config.UniqueId + "\" must have 2 to 19 printable characters");
  }
  config.VendorCode = device.contains("vendorCode") ? GetText(device, "vendorCode") : config.UniqueId.substr(0, 2);
  if (config.VendorCode.size() != 2) Bad("vendorCode must have 2 characters");
  config.AisgVersion = Get<uint8_t>(device, "aisgVersion", 2);
  config.ProductNumber = GetText(device, "productNumber");
  config.SerialNumber = GetText(device, "serialNumber");
  config.HardwareVersion = GetText(device, "hardwareVersion");
  config.SoftwareVersion = GetText(device, "softwareVersion");
  ReadTiming(Get<json>(device, "timing", json::object()), config);
  config.DownloadFail = DownloadFailOf(Get<std::string>(device, "downloadFail", "never"));
  config.Stuck = Get<bool>(device, "stuck", false);
  config.SplitAnswerMs = Get<uint32_t>(device, "splitAnswerMs", 0);
  config.StrayOctets = Get<uint32_t>(device, "strayOctets", 0);
  if (config.StrayOctets > kMaxStrayOctets) Bad("strayOctets must be at most " + std::to_string(kMaxStrayOctets));
  if (device.contains("staleIFrameGapMs")) config.StaleIFrameGapMs = Get<uint32_t>(device, "staleIFrameGapMs", 0);
  config.AddressTimeoutMs = settings.AddressTimeoutMs;
  return config;
}

SimDataFields::Store DefaultFields(uint8_t type) {
  SimDataFields::Store fields = SimDataFields::Blank(type == kTma);
  if (type == kTma) {
    fields[0x16] = {48};  // 12 dB
    fields[0x17] = {16};  // 4 dB
    fields[0x18] = {4};
  } else {
    SimDataFields::SetSignedWord(fields, 0x06, 100);
    SimDataFields::SetSignedWord(fields, 0x07, 0);
  }
  return fields;
}

SimSubunit ReadSubunit(const json& entry, uint8_t type) {
  SimSubunit subunit;
  subunit.Fields = DefaultFields(type);
  std::string error;
  if (!SimDataFields::FromJson(Get<json>(entry, "fields", json::object()), subunit.Fields, &error)) Bad(error);
  subunit.Alarms = GetCodes(entry, "alarms");
  subunit.Calibrated = Get<bool>(entry, "calibrated", false);
  subunit.Configured = Get<bool>(entry, "configured", true);
  subunit.Tilt = Get<int16_t>(entry, "tilt", 0);
  subunit.Mode = Get<uint8_t>(entry, "mode", 0);
  subunit.Functions = Get<uint8_t>(entry, "functions", 0x03);
  subunit.GainResolution = Get<uint8_t>(entry, "gainResolution", 4);
  if (type == kTma) {
    subunit.Gain = Get<uint8_t>(entry, "gain", subunit.Fields[0x16][0]);
    subunit.Fields[0x18] = {subunit.GainResolution};
  }
  return subunit;
}

std::vector<SimSubunit> ReadSubunits(const json& device, uint8_t type) {
  json entries = Get<json>(device, "subunits", json::array({json::object()}));
  if (!entries.is_array() || entries.empty() || entries.size() > kMaxSubunits) Bad("1 to 6 subunits needed");
  if (type == kSingleRet && entries.size() != 1) Bad("a single RET has one antenna");
  std::vector<SimSubunit> subunits;
  for (const auto& entry : entries) subunits.push_back(ReadSubunit(entry, type));
  return subunits;
}

ojson SubunitJson(const SimSubunit& subunit, uint8_t type, bool live) {
  ojson entry = {{"alarms", subunit.Alarms}, {"fields", SimDataFields::ToJson(subunit.Fields)}};
  if (type == kTma) {
    entry.update(ojson{{"mode", subunit.Mode},
                       {"gain", subunit.Gain},
                       {"functions", subunit.Functions},
                       {"gainResolution", subunit.GainResolution}});
  } else {
    entry.update(ojson{{"calibrated", subunit.Calibrated}, {"configured", subunit.Configured}, {"tilt", subunit.Tilt}});
    if (live) entry["configOctets"] = subunit.ConfigOctets;
  }
  return entry;
}

// The answer habits are written only by a device that has them, so that
// sites without them read as they always did.
ojson ConfigJson(const SimDeviceConfig& config) {
  ojson json = {{"type", TypeName(config.DeviceType)},
                {"uniqueId", SimText::Escape(config.UniqueId)},
                {"vendorCode", SimText::Escape(config.VendorCode)},
                {"aisgVersion", config.AisgVersion},
                {"productNumber", SimText::Escape(config.ProductNumber)},
                {"serialNumber", SimText::Escape(config.SerialNumber)},
                {"hardwareVersion", SimText::Escape(config.HardwareVersion)},
                {"softwareVersion", SimText::Escape(config.SoftwareVersion)},
                {"timing",
                 {{"tiltDegPerS", config.TiltDegPerS},
                  {"moveSettleMs", config.MoveSettleMs},
                  {"calibrationMs", config.CalibrationMs},
                  {"selfTestMs", config.SelfTestMs},
                  {"restartMs", config.RestartMs}}},
                {"downloadFail", DownloadFailText(config.DownloadFail)},
                {"stuck", config.Stuck}};
  if (config.SplitAnswerMs != 0) json["splitAnswerMs"] = config.SplitAnswerMs;
  if (config.StrayOctets != 0) json["strayOctets"] = config.StrayOctets;
  if (config.StaleIFrameGapMs) json["staleIFrameGapMs"] = *config.StaleIFrameGapMs;
  return json;
}

void ReadBus(const json& bus, SimSite::BusSettings& settings) {
  settings.Baud = Get(bus, "baud", settings.Baud);
  settings.TurnaroundMs = Get(bus, "turnaroundMs", settings.TurnaroundMs);
  settings.AddressTimeoutMs = Get<uint64_t>(bus, "addressTimeoutS", settings.AddressTimeoutMs / 1000) * 1000;
  std::string collisions = Get<std::string>(bus, "collisions", "concat");
  if (collisions != "concat" && collisions != "garble") Bad("collisions must be concat or garble");
  settings.Collisions = collisions == "garble" ? VirtualBus::Collisions::kGarble : VirtualBus::Collisions::kConcat;
  if (settings.Baud == 0) Bad("baud must be positive");
}

}  // namespace

std::unique_ptr<SimAld> SimSite::DeviceFromJson(const json& device, const BusSettings& settings, uint64_t nowMs,
                                                std::string* error) {
  try {
    if (!device.is_object()) Bad("a device must be an object");
    SimDeviceConfig config = ReadConfig(device, settings);
    std::vector<SimSubunit> subunits = ReadSubunits(device, config.DeviceType);
    auto address = Get<uint8_t>(device, "address", 0);
    if (address == 0xFF) Bad("address must be 0 to 254");
    std::unique_ptr<SimAld> ald;
    if (config.DeviceType == kTma) {
      ald = std::make_unique<SimTma>(std::move(config), std::move(subunits));
    } else if (config.DeviceType == kMultiRet) {
      ald = std::make_unique<SimMultiRet>(std::move(config), std::move(subunits));
    } else {
      ald = std::make_unique<SimSingleRet>(std::move(config), std::move(subunits));
    }
    if (address != 0) ald->PresetAddress(address, nowMs);
    return ald;
  } catch (const std::exception& e) {
    if (error) *error = e.what();
    return nullptr;
  }
}

ojson SimSite::DeviceJson(const SimAld& device, bool live) {
  ojson entry = ConfigJson(device.Config());
  entry["address"] = device.Address();
  ojson subunits = ojson::array();
  for (const auto& subunit : device.Subunits())
    subunits.push_back(SubunitJson(subunit, device.Config().DeviceType, live));
  entry["subunits"] = subunits;
  if (!live) return entry;
  entry.update(ojson{{"connected", device.Connected()},
                     {"powered", device.Powered()},
                     {"subscribed", device.Subscribed()},
                     {"busy", device.ProcedureRunning()},
                     {"queued", device.QueuedMessages()},
                     {"downloads", device.Downloads()},
                     {"lastDownloadOctets", device.LastDownloadOctets()}});
  return entry;
}

bool SimSite::FromJson(const json& site, VirtualBus& bus, BusSettings& settings, std::string* error) {
  try {
    if (!site.is_object()) Bad("a site must be an object");
    ReadBus(Get<json>(site, "bus", json::object()), settings);
    json devices = Get<json>(site, "devices", json::array());
    if (!devices.is_array()) Bad("\"devices\" must be an array");
    std::vector<std::unique_ptr<SimAld>> built;
    for (const auto& device : devices) {
      std::string message;
      built.push_back(DeviceFromJson(device, settings, bus.TimeSource().NowMs(), &message));
      if (!built.back()) Bad("device " + std::to_string(built.size()) + ": " + message);
    }
    bus.SetCollisions(settings.Collisions);
    for (auto& device : built) bus.Add(std::move(device));
    return true;
  } catch (const std::exception& e) {
    if (error) *error = e.what();
    return false;
  }
}

// A folder or a device given by mistake is refused before it is read: the
// stream reports a folder's read error by throwing.
bool SimSite::Load(const std::string& name, VirtualBus& bus, BusSettings& settings, std::string* error) {
  const std::string path = SiteFiles::Find(name);
  std::error_code ec;
  bool exists = std::filesystem::exists(path, ec);
  if (!exists || !std::filesystem::is_regular_file(path, ec)) {
    if (error) *error = exists ? path + " is not a site file (not a regular file)" : "cannot open " + path;
    return false;
  }
  std::ifstream in(path);
  json site;
  try {
    site = json::parse(in, nullptr, false);
  } catch (const std::exception& e) {
    if (error) *error = "cannot read " + path + ": " + e.what();
    return false;
  }
  if (!in.is_open() || site.is_discarded()) {
    if (error) *error = in.is_open() ? path + " is not valid JSON" : "cannot open " + path;
    return false;
  }
  return FromJson(site, bus, settings, error);
}

bool SimSite::Save(const std::string& path, VirtualBus& bus, const BusSettings& settings, std::string* error) {
  ojson devices = ojson::array();
  for (size_t i = 0; i < bus.Count(); ++i) {
    bus.WithDevice(i, [&](SimAld& device) { devices.push_back(DeviceJson(device, false)); });
  }
  ojson site = {{"bus",
                 {{"baud", settings.Baud},
                  {"turnaroundMs", settings.TurnaroundMs},
                  {"collisions", settings.Collisions == VirtualBus::Collisions::kGarble ? "garble" : "concat"},
                  {"addressTimeoutS", settings.AddressTimeoutMs / 1000}}},
                {"devices", devices}};
  std::ofstream out(path);
  out << site.dump(2) << "\n";
  if (!out) {
    if (error) *error = "cannot write " + path;
    return false;
  }
  return true;
}
