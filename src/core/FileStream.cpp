#include "core/FileStream.h"

#include <sys/stat.h>

#include <climits>
#include <cstring>

#include "base/Log.h"
#include "core/GameIF.h"
#include "core/MD5.h"

namespace {

// fopen, refusing folders: a folder is never a resource, and Linux would
// otherwise open it for reading and fail only at the first read.
FILE* OpenPlainFile(const char* path, const char* mode) {
  FILE* file = std::fopen(path, mode);
  if (!file) return nullptr;
  struct stat info;
  if (fstat(fileno(file), &info) != 0 || S_ISDIR(info.st_mode)) {
    std::fclose(file);
    return nullptr;
  }
  return file;
}

bool IsRepositoryMode() { return GCore::g_game && GCore::g_game->IsRepositoryMode(); }

}  // namespace

bool HasDigestPrefix(const uint8_t* bytes, size_t size) {
  if (size < 16) return false;
  uint8_t digest[16];
  GCore::MD5Digest(bytes + 16, size - 16, digest);
  return std::memcmp(digest, bytes, 16) == 0;
}

bool FileStream::Open(const char* path, int flags) {
  Close();
  if (!path) return false;
  // In repository mode a plain file at the path still wins over the repository.
  bool plain = (flags & kStreamWrite) || !IsRepositoryMode();
  if (!plain) {
    if (FILE* probe = OpenPlainFile(path, "rb")) {
      std::fclose(probe);
      plain = true;
    }
  }
  if (plain) {
    impl_ = std::make_unique<FileStream_Default>();
  } else {
    impl_ = std::make_unique<FileStream_Git>();
  }
  if (impl_->Open(path, flags)) return true;
  Close();
  return false;
}

bool FileStream::Read(void* buffer, size_t n) { return impl_ && impl_->Read(buffer, n); }

void FileStream::Close() {
  if (!impl_) return;
  impl_->Close();
  impl_.reset();
}

FileStream_Default::~FileStream_Default() { Close(); }

bool FileStream_Default::Open(const char* path, int flags) {
  Close();
  file_ = OpenPlainFile(path, (flags & kStreamWrite) ? "wb" : "rb");
  return file_ != nullptr;
}

void FileStream_Default::Close() {
  if (file_) std::fclose(file_);
  file_ = nullptr;
}

int32_t FileStream_Default::Size() {
  if (!file_ || std::fseek(file_, 0, SEEK_END) != 0) return -1;
  const long size = std::ftell(file_);
  std::fseek(file_, 0, SEEK_SET);
  if (size > INT32_MAX) {
    GCore::LogPrintf("file of %ld bytes is too large for a resource stream\n", size);
    return -1;
  }
  return static_cast<int32_t>(size);
}

bool FileStream_Default::Read(void* buffer, size_t n) {
  return file_ && n > 0 && std::fread(buffer, 1, n, file_) > 0;
}

int FileStream_Default::Write(const void* buffer, size_t n) {
  if (!file_) return 0;
  if (n == 0) return 1;
  return std::fwrite(buffer, n, 1, file_) == 1 ? 1 : 0;
}

bool FileStream_Default::Verify() {
  const int32_t size = Size();
  if (size < 16) return false;
  std::vector<uint8_t> bytes(static_cast<size_t>(size));
  if (std::fread(bytes.data(), 1, bytes.size(), file_) != bytes.size()) return false;
  return HasDigestPrefix(bytes.data(), bytes.size());
}

bool ReadWholeResource(const char* path, std::vector<char>& out) {
  out.clear();
  FileStream stream;
  if (!stream.Open(path, kStreamRead)) return false;
  const int32_t size = stream.Impl()->Size();
  if (size < 0) return false;
  out.resize(static_cast<size_t>(size));
  if (size > 0 && !stream.Read(out.data(), out.size())) {
    out.clear();
    return false;
  }
  return true;
}
