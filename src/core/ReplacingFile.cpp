#include "core/ReplacingFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <utility>

namespace GCore {

ReplacingFile::ReplacingFile(const std::string& path) {
  const size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  folder_ = FileDescriptor(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  name_ = slash == std::string::npos ? path : path.substr(slash + 1);
}

ReplacingFile::ReplacingFile(int folder, std::string name)
    : folder_(fcntl(folder, F_DUPFD_CLOEXEC, 0)), name_(std::move(name)) {}

ReplacingFile::~ReplacingFile() { Discard(); }

bool ReplacingFile::Open() {
  Discard();
  if (!folder_.IsOpen() || name_.empty()) return false;
  // Created with the permissions a plain fopen would give the file.
  FileDescriptor fd = CreateTemporaryAt(folder_.Get(), name_ + ".tmp", temporary_);
  if (!fd.IsOpen()) {
    temporary_.clear();  // not ours: never removed
    return false;
  }
  file_ = fdopen(fd.Get(), "wb");
  if (file_) {
    fd.Release();
    return true;
  }
  Discard();
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
  if (!written || !closed || renameat(folder_.Get(), temporary_.c_str(), folder_.Get(), name_.c_str()) != 0) {
    Discard();
    return false;
  }
  temporary_.clear();
  return true;
}

void ReplacingFile::Discard() {
  if (file_) std::fclose(file_);
  file_ = nullptr;
  if (!temporary_.empty()) unlinkat(folder_.Get(), temporary_.c_str(), 0);
  temporary_.clear();
}

}  // namespace GCore
