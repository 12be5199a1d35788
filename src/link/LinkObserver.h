#pragma once

#include <cstdint>

// Told when polling declares an ALD lost. The user interface implements it
// (and posts to its own thread); the link layer never calls windows itself.
class LinkObserver {
 public:
  virtual ~LinkObserver() = default;
  virtual void OnLinkLost(uint8_t address) = 0;
};
