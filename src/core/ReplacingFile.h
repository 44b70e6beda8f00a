#pragma once
// Writes a file so that it is either replaced whole or left as it was: the
// bytes go to a temporary file beside it, which takes the file's place (an
// atomic rename) only when every byte has been written. A writer destroyed
// before Commit removes its temporary file and leaves the old file alone.
// Neither the temporary file nor the file's own name is followed when it is
// a symbolic link: the rename replaces the link itself.
#include <cstdio>
#include <string>

#include "base/PathBelow.h"

namespace GCore {

class ReplacingFile {
 public:
  // The file at `path`, whose folder is reached as the path says.
  explicit ReplacingFile(const std::string& path);
  // The file `name` in the open folder `folder` (the descriptor is copied).
  ReplacingFile(int folder, std::string name);
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

  FileDescriptor folder_;
  std::string name_;
  std::string temporary_;
  FILE* file_ = nullptr;
};

}  // namespace GCore
