#pragma once
// Writes a file so that it is either replaced whole or left as it was: the
// bytes go to a temporary file beside it, which takes the file's place (an
// atomic rename) only when every byte has been written. A writer destroyed
// before Commit removes its temporary file and leaves the old file alone.
#include <cstdio>
#include <string>

namespace GCore {

class ReplacingFile {
 public:
  explicit ReplacingFile(std::string path);
  ReplacingFile(const ReplacingFile&) = delete;
  ReplacingFile& operator=(const ReplacingFile&) = delete;
  ~ReplacingFile();

  // Creates the temporary file; false when the folder cannot take it.
  bool Open();
  // The temporary file while open, else null.
  FILE* File() const { return file_; }
  bool Write(const void* bytes, size_t size);
  // Flushes and closes the temporary file and renames it over the path;
  // false (and the old file kept) when any write or the rename failed.
  bool Commit();

 private:
  void Discard();

  std::string path_;
  std::string temporary_;
  FILE* file_ = nullptr;
};

}  // namespace GCore
