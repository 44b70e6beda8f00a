// libFuzzer target of the update command interpreter: the input is a command
// text off the network, run against actions that only check what they are
// given. Every path must name a place below the root folder (the root itself
// only as an unzip folder), written without ".", ".." or empty components.
// Built and run by tests/fuzz/CMakeLists.txt; seeds: tests/net/fuzz_seeds.py.
#include <cstdint>
#include <string>
#include <string_view>

#include "net/UpdateScript.h"

namespace {

const std::string kRoot = "/fuzz/root";

void CheckPath(const std::string& path, bool rootAllowed) {
  if (path == kRoot && rootAllowed) return;
  if (path.compare(0, kRoot.size() + 1, kRoot + "/") != 0) __builtin_trap();
  const std::string rest = path.substr(kRoot.size());
  if (rest.find("//") != std::string::npos || rest.find("/./") != std::string::npos ||
      rest.find("/../") != std::string::npos || rest.back() == '/' || rest.ends_with("/.") ||
      rest.ends_with("/..")) {
    __builtin_trap();
  }
}

// Answers from the lengths of what it is given, so that every branch is reached.
class CheckingActions : public GCore::UpdateActions {
 public:
  void Pause() override {}
  bool Aborted() override { return false; }
  bool IsVersionCurrent(const std::string& version) override { return version.size() % 2 == 1; }
  bool CheckFileMD5(const std::string& path, const std::string& hex) override {
    CheckPath(path, false);
    return hex.size() == 32;
  }
  bool Exec(const std::string& path) override {
    CheckPath(path, false);
    return path.size() % 2 == 0;
  }
  bool Download(const std::string&, const std::string& path) override {
    CheckPath(path, false);
    return path.size() % 3 != 0;
  }
  bool Unzip(const std::string& zip, const std::string& folder) override {
    CheckPath(zip, false);
    CheckPath(folder, true);
    return true;
  }
  bool Delete(const std::string& path) override {
    CheckPath(path, false);
    return path.size() % 5 != 0;
  }
  void WriteInstalledVersion(const std::string&) override {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CheckingActions actions;
  GCore::runcmd(std::string_view(reinterpret_cast<const char*>(data), size), kRoot, actions);
  return 0;
}
