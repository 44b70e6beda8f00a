#pragma once
// A folder of its own for a fuzzer whose reader takes paths, removed when
// the process ends normally. It lives in memory (/dev/shm) where the machine
// has that: thousands of small writes to a busy disk cost more than the
// fuzzing itself.
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

namespace fuzzfiles {

inline std::filesystem::path MakeScratchFolder(const std::string& name) {
  static std::filesystem::path folder;
  const std::filesystem::path base =
      access("/dev/shm", W_OK) == 0 ? std::filesystem::path("/dev/shm") : std::filesystem::temp_directory_path();
  folder = base / (name + "-" + std::to_string(getpid()));
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  std::atexit([] {
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
  });
  return folder;
}

}  // namespace fuzzfiles
