#pragma once
// Resource streams: every loader reads files through a FileStream. Its back end
// is chosen when it opens: FileStream_Default reads and writes plain files;
// FileStream_Git serves a file's bytes out of the objects of a local git
// repository (repository mode: the game object's root folder is empty and its
// repository path names the repository). The repository handle and its tree
// map are process-wide, built on the first repository read and kept for the
// rest of the run. Main thread only.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

// Open flags: the engine passes kStreamRead to read; bit value 2 means writing.
constexpr int kStreamRead = 33;
constexpr int kStreamWrite = 2;

class FileStreamImpl {
 public:
  virtual ~FileStreamImpl() = default;
  virtual bool Open(const char* path, int flags) = 0;
  virtual void Close() = 0;
  virtual int32_t Size() = 0;
  // True when at least one byte was delivered; callers read Size() bytes at once.
  virtual bool Read(void* buffer, size_t n) = 0;
  // 1 when the whole block was written, else 0.
  virtual int Write(const void* buffer, size_t n) = 0;
  // True when the MD5 of bytes 16 to the end equals bytes 0 to 15.
  virtual bool Verify() = 0;
};

class FileStream_Default : public FileStreamImpl {
 public:
  ~FileStream_Default() override;
  bool Open(const char* path, int flags) override;
  void Close() override;
  int32_t Size() override;
  bool Read(void* buffer, size_t n) override;
  int Write(const void* buffer, size_t n) override;
  bool Verify() override;

 private:
  FILE* file_ = nullptr;
};

// Serves a copy of one regular file (mode 100644) of the repository's tree.
class FileStream_Git : public FileStreamImpl {
 public:
  bool Open(const char* path, int flags) override;
  void Close() override;
  int32_t Size() override;
  bool Read(void* buffer, size_t n) override;
  int Write(const void* buffer, size_t n) override;
  bool Verify() override;

 private:
  bool ReadGitBlob(const char* path);

  std::vector<uint8_t> bytes_;
  size_t position_ = 0;
};

class FileStream {
 public:
  FileStream() = default;
  FileStream(const FileStream&) = delete;
  FileStream& operator=(const FileStream&) = delete;
  ~FileStream() { Close(); }

  bool Open(const char* path, int flags);
  bool Read(void* buffer, size_t n);
  void Close();
  // The open back end (Size, Write and Verify are called on it), or null.
  FileStreamImpl* Impl() const { return impl_.get(); }

 private:
  std::unique_ptr<FileStreamImpl> impl_;
};

// Reads the whole resource at `path` (through a stream) into `out`.
bool ReadWholeResource(const char* path, std::vector<char>& out);

// True when the MD5 of bytes 16 to the end equals bytes 0 to 15 (false when
// there are fewer than 16 bytes).
bool HasDigestPrefix(const uint8_t* bytes, size_t size);

// Opens the repository of repository mode and builds the tree map, unless that
// is already done. False when the references or the repository cannot be read;
// the next repository read then tries again.
bool OpenGitResources();
