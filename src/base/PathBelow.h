#pragma once
// Files and folders named by a path below a folder that must not be left:
// every component below the folder is opened from its parent's descriptor
// without following a symbolic link, and ".." is refused, so neither a
// planted link nor a name can lead outside. The folder's own path is the
// caller's and is taken as it stands. Only regular files are opened or
// removed as files: a FIFO, a device or a socket is refused without blocking.
// Failures leave errno set (ELOOP for a link on the way) and print nothing;
// the caller knows what the path was for. Any thread.
#include <sys/types.h>

#include <string>
#include <string_view>

namespace GCore {

// An open file descriptor, closed when its owner ends.
class FileDescriptor {
 public:
  FileDescriptor() = default;
  explicit FileDescriptor(int fd) : fd_(fd) {}
  FileDescriptor(FileDescriptor&& other) noexcept : fd_(other.Release()) {}
  FileDescriptor& operator=(FileDescriptor&& other) noexcept;
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  ~FileDescriptor();

  int Get() const { return fd_; }
  bool IsOpen() const { return fd_ >= 0; }
  int Release();

 private:
  int fd_ = -1;
};

// The folder `relative` below the open folder `base` ("" or "." is the
// folder itself, opened anew). With `create`, missing folders are made.
FileDescriptor OpenFolderBelow(int base, std::string_view relative, bool create);

// The folder holding the last component of `relative`, opened as above, and
// that component's name. False when `relative` names no file (empty, or
// ending in "." or "..").
bool OpenParentBelow(int base, std::string_view relative, bool create, FileDescriptor& parent, std::string& name);

// The regular file `name` in the open folder `folder` (AT_FDCWD and a path
// for a path of the caller's), with open's `flags` and `mode`; a link in
// the last component is not followed and anything but a regular file is
// refused (EINVAL). The descriptor is in blocking mode.
FileDescriptor OpenRegularAt(int folder, const char* name, int flags, mode_t mode = 0666);

// OpenParentBelow and OpenRegularAt in one.
FileDescriptor OpenFileBelow(int base, std::string_view relative, int flags, mode_t mode = 0666);

// Removes the regular file `relative` below `base`, never a link's target,
// a folder or a special file. False, with errno, when nothing was removed.
bool RemoveFileBelow(int base, std::string_view relative);

// Creates a file of a fresh name beginning with `prefix` in `folder`, for
// writing, and stores the name; the file did not exist before.
FileDescriptor CreateTemporaryAt(int folder, const std::string& prefix, std::string& name, mode_t mode = 0666);

// Reads the open file from its start to its end; false on a read error or
// past `limit` bytes.
bool ReadWholeDescriptor(int fd, std::string& bytes, size_t limit);

// The same from byte `start` of the file to its end (nothing when the file
// is shorter).
bool ReadDescriptorFrom(int fd, off_t start, std::string& bytes, size_t limit);

// Why a path below a folder was refused, for messages.
const char* BelowFailureText(int error);

}  // namespace GCore
