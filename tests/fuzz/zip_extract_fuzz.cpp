// libFuzzer target of the updater's zip extraction: the input is an archive
// off the network, extracted into a fresh folder. Whatever it holds, nothing
// may appear outside that folder, and no link may be made inside it.
// Built and run by tests/fuzz/CMakeLists.txt; seeds: tests/net/fuzz_seeds.py.
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "net/ZipExtractor.h"

namespace fs = std::filesystem;

namespace {

// A folder of its own per process: <tmp>/zipfuzz-PID/{archive.zip,out/}.
const fs::path& Work() {
  static const fs::path work = fs::temp_directory_path() / ("zipfuzz-" + std::to_string(getpid()));
  return work;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::error_code error;
  fs::remove_all(Work(), error);
  fs::create_directories(Work() / "out");
  const fs::path archive = Work() / "archive.zip";
  if (FILE* file = std::fopen(archive.c_str(), "wb")) {
    std::fwrite(data, 1, size, file);
    std::fclose(file);
  }
  const int work = open(Work().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  GCore::UnzipToFolder(work, "archive.zip", "out");
  close(work);
  for (const fs::directory_entry& entry : fs::directory_iterator(Work())) {
    if (entry.path() != archive && entry.path() != Work() / "out") __builtin_trap();
  }
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(Work() / "out")) {
    if (entry.is_symlink()) __builtin_trap();
  }
  fs::remove_all(Work(), error);
  return 0;
}
