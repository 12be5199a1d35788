#include "sim/SimFaults.h"

#include <cmath>
#include <cstdlib>
#include <sstream>

namespace {

bool ParseShare(std::string text, double& share) {
  bool percent = !text.empty() && text.back() == '%';
  if (percent) text.pop_back();
  char* end = nullptr;
  double value = std::strtod(text.c_str(), &end);
  if (text.empty() || *end != '\0' || !std::isfinite(value)) return false;
  if (percent) value /= 100.0;
  if (value < 0 || value > 1) return false;
  share = value;
  return true;
}

bool ParseUnsigned(const std::string& text, uint64_t& value, uint64_t max) {
  if (text.empty()) return false;
  char* end = nullptr;
  unsigned long long v = std::strtoull(text.c_str(), &end, 0);
  if (*end != '\0' || text[0] == '-' || v > max) return false;
  value = v;
  return true;
}

bool ParseSeconds(const std::string& text, uint64_t& ms) {
  char* end = nullptr;
  double seconds = std::strtod(text.c_str(), &end);
  if (text.empty() || *end != '\0' || !std::isfinite(seconds) || seconds < 0 || seconds > 1e9) return false;
  ms = static_cast<uint64_t>(std::llround(seconds * 1000.0));
  return true;
}

// Splits "a<sep>b" at the last separator; false when it is missing.
bool SplitLast(const std::string& text, char separator, std::string& left, std::string& right) {
  size_t at = text.rfind(separator);
  if (at == std::string::npos) return false;
  left = text.substr(0, at);
  right = text.substr(at + 1);
  return !left.empty() && !right.empty();
}

bool ParseSmall(const std::string& text, uint32_t& value, uint64_t max) {
  uint64_t number = 0;
  if (!ParseUnsigned(text, number, max)) return false;
  value = static_cast<uint32_t>(number);
  return true;
}

bool ParseName(const std::string& text, std::string& name) {
  name = text;
  return !name.empty();
}

template <typename T>
bool Append(std::vector<T>& list, const std::string& text, bool (*parse)(const std::string&, T&)) {
  T item{};
  if (!parse(text, item)) return false;
  list.push_back(item);
  return true;
}

bool ParsePower(const std::string& value, SimFaults::PowerWindow& window) {
  std::string times;
  if (!SplitLast(value, '@', window.Device, times)) return false;
  size_t dash = times.find('-');
  if (!ParseSeconds(times.substr(0, dash), window.OffAtMs)) return false;
  if (dash == std::string::npos) return true;
  uint64_t on = 0;
  if (!ParseSeconds(times.substr(dash + 1), on) || on < window.OffAtMs) return false;
  window.OnAtMs = on;
  return true;
}

bool ParseAlarm(const std::string& value, SimFaults::AlarmEvent& event) {
  std::string target, rest, code, at;
  uint64_t number = 0;
  if (!SplitLast(value, '@', rest, at) || !ParseSeconds(at, event.AtMs)) return false;
  if (!SplitLast(rest, ':', target, code) || !ParseUnsigned(code, number, 255) || number == 0) return false;
  event.Code = static_cast<uint8_t>(number);
  std::string subunit;
  if (!SplitLast(target, '/', event.Device, subunit)) {
    event.Device = target;
    return true;
  }
  if (!ParseUnsigned(subunit, number, 6) || number == 0) return false;
  event.Subunit = static_cast<uint8_t>(number);
  return true;
}

bool ParseDownload(const std::string& value, SimFaults::DownloadFault& fault) {
  std::string where;
  if (!SplitLast(value, ':', fault.Device, where)) return false;
  using Failure = SimDeviceConfig::DownloadFailure;
  if (where == "start") {
    fault.Failure.Where = Failure::kStart;
  } else if (where == "end") {
    fault.Failure.Where = Failure::kEnd;
  } else {
    uint64_t block = 0;
    if (!ParseUnsigned(where, block, 0xFFFFFFFF) || block == 0) return false;
    fault.Failure = {Failure::kBlock, static_cast<uint32_t>(block)};
  }
  return true;
}

}  // namespace

bool SimFaults::ParseItem(const std::string& key, const std::string& value) {
  if (key == "drop") return ParseShare(value, DropShare);
  if (key == "fcs") return ParseShare(value, FcsShare);
  if (key == "late") return ParseShare(value, LateShare);
  if (key == "late-ms") return ParseSmall(value, LateMs, 60000);
  if (key == "seed") return ParseSmall(value, Seed, 0xFFFFFFFF);
  if (key == "stuck") return Append(Stuck, value, ParseName);
  if (key == "off") return Append(Power, value, ParsePower);
  if (key == "alarm") return Append(Alarms, value, ParseAlarm);
  if (key == "dlfail") return Append(Downloads, value, ParseDownload);
  return false;
}

std::optional<SimFaults> SimFaults::Parse(const std::string& text, std::string* error) {
  SimFaults faults;
  std::stringstream items(text);
  std::string item;
  while (std::getline(items, item, ',')) {
    if (item.empty()) continue;
    size_t eq = item.find('=');
    if (eq == std::string::npos || !faults.ParseItem(item.substr(0, eq), item.substr(eq + 1))) {
      if (error) *error = "bad fault \"" + item + "\"";
      return std::nullopt;
    }
  }
  return faults;
}
