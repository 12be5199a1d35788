#pragma once

#include <string>

// A simulator's claim on its link path, so that a second one started on the
// same path refuses instead of taking the link from the first. The claim is
// an abstract local socket named after the path: the system drops it when
// the process ends, however it ends, so a crashed simulator leaves no claim.
class LinkClaim {
 public:
  LinkClaim() = default;
  ~LinkClaim();
  LinkClaim(const LinkClaim&) = delete;
  LinkClaim& operator=(const LinkClaim&) = delete;

  // False with a message when another process holds the path.
  bool Take(const std::string& linkPath, std::string* error);

 private:
  int fd_ = -1;
};
