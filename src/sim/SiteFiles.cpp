#include "sim/SiteFiles.h"

#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

std::string SiteFiles::Folder() {
  std::error_code ec;
  fs::path program = fs::read_symlink("/proc/self/exe", ec);
  if (ec || program.empty()) return "";
  return (program.parent_path().parent_path() / "share" / "tiltdeck" / "sites").string();
}

std::string SiteFiles::Find(const std::string& name) {
  return FindIn(Folder(), name);
}

std::string SiteFiles::FindIn(const std::string& folder, const std::string& name) {
  std::error_code ec;
  if (name.empty() || folder.empty() || name.find('/') != std::string::npos || fs::exists(name, ec)) return name;
  fs::path candidate = fs::path(folder) / name;
  if (fs::is_regular_file(candidate, ec)) return candidate.string();
  if (!candidate.has_extension()) {
    candidate += ".json";
    if (fs::is_regular_file(candidate, ec)) return candidate.string();
  }
  return name;
}
