#include "cli/CliProgress.h"

#include <algorithm>
#include <string>

namespace {
constexpr size_t kWidth = 40;
}

void CliProgress::Block(size_t blockSize) {
  done_ = std::min(total_, done_ + blockSize);
  Draw();
}

void CliProgress::Finish() {
  if (drawn_) out_ << "\n" << std::flush;
  drawn_ = false;
}

void CliProgress::Draw() {
  size_t percent = total_ == 0 ? 100 : done_ * 100 / total_;
  size_t filled = total_ == 0 ? kWidth : done_ * kWidth / total_;
  out_ << "\r[" << std::string(filled, '#') << std::string(kWidth - filled, ' ') << "] " << percent << "% " << done_
       << "/" << total_ << " octets" << std::flush;
  drawn_ = true;
}
