#include "core/ReplacingFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <utility>

namespace GCore {

ReplacingFile::ReplacingFile(std::string path) : path_(std::move(path)) {}

ReplacingFile::~ReplacingFile() { Discard(); }

bool ReplacingFile::Open() {
  Discard();
  static unsigned counter = 0;
  for (int attempt = 0; attempt < 100; ++attempt) {
    temporary_ = path_ + ".tmp" + std::to_string(getpid()) + "-" + std::to_string(++counter);
    // Created with the permissions a plain fopen would give the file.
    const int fd = open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      break;
    }
    file_ = fdopen(fd, "wb");
    if (file_) return true;
    close(fd);
    break;
  }
  if (!temporary_.empty()) unlink(temporary_.c_str());
  temporary_.clear();
  return false;
}

bool ReplacingFile::Write(const void* bytes, size_t size) {
  return file_ && (size == 0 || std::fwrite(bytes, size, 1, file_) == 1);
}

bool ReplacingFile::Commit() {
  if (!file_) return false;
  const bool written = !std::ferror(file_) && std::fflush(file_) == 0 && fsync(fileno(file_)) == 0;
  const bool closed = std::fclose(file_) == 0;
  file_ = nullptr;
  if (!written || !closed || std::rename(temporary_.c_str(), path_.c_str()) != 0) {
    Discard();
    return false;
  }
  temporary_.clear();
  return true;
}

void ReplacingFile::Discard() {
  if (file_) std::fclose(file_);
  file_ = nullptr;
  if (!temporary_.empty()) unlink(temporary_.c_str());
  temporary_.clear();
}

}  // namespace GCore
