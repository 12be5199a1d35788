#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "capture/CaptureDirection.h"

// One pcapng capture file being written. Every block is handed to the
// system as soon as it is complete, so a crash or a pulled adapter loses at
// most the frame in flight. Not thread-safe: BusCapture guards it.
class CaptureFile {
 public:
  // What the file says about itself: the program that wrote it, a comment,
  // and the interface the frames were seen on.
  struct Identity {
    std::string Application;
    std::string Comment;
    std::string Interface = "aisg";
    std::string Description;
  };

  CaptureFile() = default;
  ~CaptureFile();
  CaptureFile(const CaptureFile&) = delete;
  CaptureFile& operator=(const CaptureFile&) = delete;

  // Creates (or truncates) the file and writes its headers; false with the
  // reason in *error when that fails.
  bool Open(const std::string& path, const Identity& identity, std::string* error);
  // One frame; false with the reason when it could not be written.
  bool Append(CaptureDirection direction, uint64_t timeUs, const uint8_t* data, size_t length, std::string* error);
  void Close();
  bool IsOpen() const { return file_ != nullptr; }

 private:
  bool Put(const std::vector<uint8_t>& block, std::string* error);

  std::FILE* file_ = nullptr;
};
