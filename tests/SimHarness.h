#pragma once

#include <cstdint>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "core/FakeClock.h"
#include "link/HdlcCodec.h"
#include "sim/SimLink.h"
#include "sim/SimSite.h"
#include "sim/VirtualBus.h"

// A virtual bus on a fake clock with an in-process link, and the frames a
// primary would send, built by hand so that the devices are tested against
// the wire format rather than against another implementation of it.
class SimHarness {
 public:
  struct Reply {
    ResultCode Result;  // as HdlcCodec::Decode sees the read; kTimeout for silence
    std::vector<uint8_t> Content;
    std::vector<uint8_t> Raw;
  };

  SimHarness() : bus_(clock_), link_(bus_) {}

  // Adds devices described as in a site file; returns the first one's index.
  size_t Add(const nlohmann::json& device) {
    std::string error;
    SimSite::BusSettings settings;
    settings.AddressTimeoutMs = addressTimeoutMs_;
    auto ald = SimSite::DeviceFromJson(device, settings, clock_.NowMs(), &error);
    if (!ald) throw std::runtime_error(error);
    return bus_.Add(std::move(ald));
  }
  void SetAddressTimeoutMs(uint64_t ms) { addressTimeoutMs_ = ms; }

  static nlohmann::json SingleRet(const std::string& id, bool calibrated = true) {
    return {{"type", "singleRet"}, {"uniqueId", id}, {"subunits", {{{"calibrated", calibrated}, {"tilt", 30}}}}};
  }

  // One exchange: write the frame of content, read once.
  Reply Exchange(const std::vector<uint8_t>& content) {
    std::vector<uint8_t> wire(2 * content.size() + 6);
    wire.resize(HdlcCodec::Encode(content.data(), static_cast<uint16_t>(content.size()), wire.data()));
    link_.Transmit(wire.data(), static_cast<uint32_t>(wire.size()));
    return Read();
  }
  Reply Read() {
    std::vector<uint8_t> raw(HdlcCodec::kBufferSize);
    raw.resize(link_.Receive(raw.data(), static_cast<uint32_t>(raw.size())));
    return Decode(raw);
  }
  static Reply Decode(const std::vector<uint8_t>& raw) {
    if (raw.empty()) return {kTimeout, {}, raw};
    uint8_t out[HdlcCodec::kMaxDecoded] = {};
    HdlcCodec::Decoded d = HdlcCodec::Decode(raw.data(), static_cast<uint16_t>(raw.size()), out);
    return {d.Result, std::vector<uint8_t>(out, out + d.Length), raw};
  }

  // XID frames of the primary.
  static std::vector<uint8_t> Xid(uint8_t address, const std::vector<std::vector<uint8_t>>& parameters) {
    std::vector<uint8_t> content = {address, 0xBF, 0x81, 0xF0, 0};
    for (const auto& p : parameters) content.insert(content.end(), p.begin(), p.end());
    content[4] = static_cast<uint8_t>(content.size() - 5);
    return content;
  }
  static std::vector<uint8_t> Parameter(uint8_t id, const std::vector<uint8_t>& value) {
    std::vector<uint8_t> p = {id, static_cast<uint8_t>(value.size())};
    p.insert(p.end(), value.begin(), value.end());
    return p;
  }
  static std::vector<uint8_t> Octets(const std::string& text) { return {text.begin(), text.end()}; }
  static std::vector<uint8_t> Scan(const std::vector<uint8_t>& pattern, const std::vector<uint8_t>& mask) {
    return Xid(0xFF, {Parameter(1, pattern), Parameter(3, mask)});
  }
  static std::vector<uint8_t> Assign(const std::string& id, uint8_t address) {
    return Xid(0xFF, {Parameter(1, Octets(id)), Parameter(2, {address})});
  }

  // Link frames of the primary, P bit set; sequence numbers kept like the
  // primary keeps them (counting, reset by connect).
  Reply Connect(uint8_t address) {
    vr_ = vs_ = 0;
    return Exchange({address, 0x93});
  }
  Reply Poll(uint8_t address) {
    Reply r = Exchange({address, static_cast<uint8_t>(0x11 + 32 * vr_)});
    CountIFrame(r);
    return r;
  }
  Reply Send(uint8_t address, uint8_t code, const std::vector<uint8_t>& data) {
    std::vector<uint8_t> content = {address, static_cast<uint8_t>(0x10 + 32 * vr_ + 2 * vs_), code,
                                    static_cast<uint8_t>(data.size()), 0};
    content.insert(content.end(), data.begin(), data.end());
    vs_ = (vs_ + 1) & 7;
    Reply r = Exchange(content);
    CountIFrame(r);
    return r;
  }
  // The layer-7 message an I-frame reply carries (empty for other frames).
  static std::vector<uint8_t> Message(const Reply& r) {
    if (r.Result != kSuccess || r.Content.size() < 2 || (r.Content[1] & 1)) return {};
    return std::vector<uint8_t>(r.Content.begin() + 2, r.Content.end());
  }
  // Assigns an address and connects, as a primary's scan does.
  void Attach(const std::string& id, uint8_t address) {
    Exchange(Assign(id, address));
    Connect(address);
  }

  FakeClock& Time() { return clock_; }
  VirtualBus& Bus() { return bus_; }
  SimLink& Link() { return link_; }

 private:
  void CountIFrame(const Reply& r) {
    if (r.Result == kSuccess && r.Content.size() >= 2 && (r.Content[1] & 1) == 0) vr_ = (vr_ + 1) & 7;
  }

  FakeClock clock_{1000};
  VirtualBus bus_;
  SimLink link_;
  uint64_t addressTimeoutMs_ = 180000;
  uint8_t vr_ = 0;
  uint8_t vs_ = 0;
};
