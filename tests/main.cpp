#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "core/TraceLog.h"

// The process-wide log of code that falls back to TraceLog::Instance() writes
// into a scratch folder, never into the user's home.
int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  std::string folder = (std::filesystem::temp_directory_path() / "tiltdeck-tests").string();
  std::filesystem::create_directories(folder);
  TraceLog::SetInstanceFolder(folder);
  return RUN_ALL_TESTS();
}
