#pragma once

#include <string>

// Where the site files that come with the program live: share/tiltdeck/sites
// next to the folder of the running program, which is the build tree's
// build/share (copied there at build time) and /usr/share once installed.
// So "aldsim --site site16" and "tiltdeck --demo site16" work from any
// working folder.
class SiteFiles {
 public:
  // The folder of the sites that come with the program; empty when the
  // running program's path cannot be read.
  static std::string Folder();
  // A path that exists, or one with a slash, is taken as it is. A bare name
  // that is no file in the working folder is looked up in Folder(), with
  // ".json" added when it has no extension. Anything not found comes back
  // unchanged, so the caller's "cannot open" names what the user typed.
  static std::string Find(const std::string& name);
  // The same lookup in a given folder.
  static std::string FindIn(const std::string& folder, const std::string& name);
};
