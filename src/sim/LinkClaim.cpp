#include "sim/LinkClaim.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>

namespace {

// The same link reached by another spelling (relative, "..") is one name.
std::string AbsolutePath(const std::string& path) {
  std::error_code ec;
  std::filesystem::path p = std::filesystem::absolute(path, ec);
  if (ec) return path;
  std::filesystem::path folder = std::filesystem::weakly_canonical(p.parent_path(), ec);
  return ec ? p.lexically_normal().string() : (folder / p.filename()).string();
}

}  // namespace

LinkClaim::~LinkClaim() {
  if (fd_ >= 0) close(fd_);
}

bool LinkClaim::Take(const std::string& linkPath, std::string* error) {
  fd_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd_ < 0) {
    *error = std::string("cannot claim the link: ") + std::strerror(errno);
    return false;
  }
  char name[64];
  int length =
      std::snprintf(name, sizeof name, "tiltdeck-aldsim-%016zx", std::hash<std::string>{}(AbsolutePath(linkPath)));
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path + 1, name, static_cast<size_t>(length));  // sun_path[0] = 0: abstract
  auto size = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + static_cast<size_t>(length));
  if (bind(fd_, reinterpret_cast<sockaddr*>(&address), size) == 0) return true;
  *error = errno == EADDRINUSE ? linkPath + " is served by another aldsim; give another --link"
                               : std::string("cannot claim the link: ") + std::strerror(errno);
  close(fd_);
  fd_ = -1;
  return false;
}
