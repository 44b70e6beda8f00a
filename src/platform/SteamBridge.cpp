#include "platform/SteamBridge.h"

#include <dlfcn.h>

#include "platform/ProgramFolder.h"

namespace GCore {
namespace {

// One dlopen'ed library, closed when it goes out of scope.
class Library {
 public:
  explicit Library(const std::string& path) : handle_(dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) {}
  ~Library() {
    if (handle_) dlclose(handle_);
  }
  Library(const Library&) = delete;
  Library& operator=(const Library&) = delete;

  void* Find(const char* name) const { return handle_ ? dlsym(handle_, name) : nullptr; }

 private:
  void* handle_;
};

}  // namespace

std::string SteamLibraryPath() {
  const std::string folder = ProgramFolder();
  return folder.empty() ? "steam_tool.so" : folder + "/steam_tool.so";
}

std::optional<int> SteamGetAccount() { return SteamGetAccount(SteamLibraryPath()); }

std::optional<int> SteamGetAccount(const std::string& libraryPath) {
  const Library library(libraryPath);
  using GetAccount = int (*)();
  const auto getAccount = reinterpret_cast<GetAccount>(library.Find("steam_getAccount"));
  if (!getAccount) return std::nullopt;
  return getAccount();
}

uint64_t SteamGetSteamId2() { return SteamGetSteamId2(SteamLibraryPath()); }

uint64_t SteamGetSteamId2(const std::string& libraryPath) {
  const Library library(libraryPath);
  using GetSteamId = void (*)(uint64_t*);
  const auto getSteamId = reinterpret_cast<GetSteamId>(library.Find("steam_getSteamId2"));
  uint64_t id = 0;
  if (getSteamId) getSteamId(&id);
  return id;
}

}  // namespace GCore
