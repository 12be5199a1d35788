#include "serial/PortDiagnosis.h"

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace {

using Kind = PortDiagnosis::Kind;

std::string WhatItIs(const struct stat& info) {
  if (S_ISDIR(info.st_mode)) return "a directory";
  if (S_ISREG(info.st_mode)) return "a regular file";
  if (S_ISFIFO(info.st_mode)) return "a FIFO";
  if (S_ISSOCK(info.st_mode)) return "a socket";
  return "a device that is not a terminal";
}

// The group that owns the device, which is the one a user joins to be let
// in ("dialout" on Debian).
std::string GroupOf(const std::string& path) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0) return "";
  std::vector<char> buffer(16384);
  group entry{};
  group* found = nullptr;
  if (getgrgid_r(info.st_gid, &entry, buffer.data(), buffer.size(), &found) != 0 || found == nullptr) return "";
  return found->gr_name;
}

PortDiagnosis Denied(const std::string& path) {
  std::string group = GroupOf(path);
  if (group.empty() || group == "root") return {Kind::kPermissionDenied, "permission denied"};
  return {Kind::kPermissionDenied, "permission denied (join the group '" + group + "': sudo usermod -aG " + group +
                                       " $USER, then log in again)"};
}

}  // namespace

PortDiagnosis PortDiagnosis::Of(const std::string& path, int error) {
  struct stat info {};
  bool exists = stat(path.c_str(), &info) == 0;
  switch (error) {
    case ENOENT:
    case ENOTDIR:
    case ENXIO:
    case ENODEV: return {Kind::kNoSuchPort, "no such port"};
    case EACCES:
    case EPERM: return Denied(path);
    case EBUSY:
    case EWOULDBLOCK: return {Kind::kInUse, "in use by another program"};
    case EISDIR:
    case ENOTTY: return {Kind::kNotSerialPort, "not a serial port (" + (exists ? WhatItIs(info) : "") + ")"};
    default: return {Kind::kOther, std::strerror(error)};
  }
}

std::string PortDiagnosis::Sentence(const std::string& port) const {
  return "cannot open " + port + ": " + Text;
}

std::string PortDiagnosis::DevicePath(const std::string& name) {
  if (name.find('/') != std::string::npos) return name;
  std::string device = "/dev/" + name;
  struct stat info {};
  if (name.empty() || stat(device.c_str(), &info) == 0 || stat(name.c_str(), &info) != 0) return device;
  return name;
}
