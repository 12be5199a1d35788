#pragma once

#include <cstddef>
#include <ostream>

// A one-line progress bar of a transfer, redrawn in place; only for a
// terminal, since a pipe or a log would collect every redraw.
class CliProgress {
 public:
  CliProgress(std::ostream& out, size_t total) : out_(out), total_(total) {}
  // One more block of at most blockSize octets went out.
  void Block(size_t blockSize);
  // Ends the line.
  void Finish();

 private:
  void Draw();

  std::ostream& out_;
  size_t total_;
  size_t done_ = 0;
  bool drawn_ = false;
};
