#pragma once
// A game root in a fresh temporary folder, removed with the fixture.
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include <unistd.h>

class TempRoot {
 public:
  TempRoot() {
    char pattern[] = "/tmp/quarvelin-test-XXXXXX";
    path_ = mkdtemp(pattern);
    std::filesystem::create_directories(path_ / "build");
  }
  ~TempRoot() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempRoot(const TempRoot&) = delete;
  TempRoot& operator=(const TempRoot&) = delete;

  std::string Path() const { return path_.string(); }
  std::string Path(const std::string& relative) const { return (path_ / relative).string(); }

  // Writes a file below the root, creating its folders.
  void Write(const std::string& relative, const std::string& content) const {
    const std::filesystem::path file = path_ / relative;
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << content;
  }

  std::string Read(const std::string& relative) const {
    std::ifstream in(path_ / relative, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

 private:
  std::filesystem::path path_;
};
