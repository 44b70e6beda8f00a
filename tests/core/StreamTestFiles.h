#pragma once
// Temporary folders, files and git repositories for the stream and language
// table tests. Everything lives under a fresh folder in /tmp that is removed
// when the owning object goes.
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "core/MD5.h"

namespace streamtest {

class TempFolder {
 public:
  TempFolder() {
    char pattern[] = "/tmp/qv-stream-XXXXXX";
    path_ = mkdtemp(pattern) ? pattern : "";
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  ~TempFolder() {
    if (!path_.empty()) std::filesystem::remove_all(path_);
  }
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& relative) const { return path_ + "/" + relative; }

 private:
  std::string path_;
};

inline void WriteFile(const std::string& path, const std::string& bytes) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Content whose first 16 bytes are the MD5 digest of the rest.
inline std::string WithDigestPrefix(const std::string& rest) {
  uint8_t digest[16];
  GCore::MD5Digest(rest.data(), rest.size(), digest);
  return std::string(reinterpret_cast<const char*>(digest), 16) + rest;
}

// Runs a git command in `repo` with a fixed identity and branch name; the exit status.
inline int Git(const std::string& repo, const std::string& arguments) {
  const std::string command = "git -C '" + repo +
                              "' -c user.name=Test -c user.email=test@localhost "
                              "-c init.defaultBranch=master -c core.symlinks=true " +
                              arguments + " >/dev/null 2>&1";
  return std::system(command.c_str());
}

}  // namespace streamtest
