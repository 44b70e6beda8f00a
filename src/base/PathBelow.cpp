#include "base/PathBelow.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <random>
#include <vector>

namespace GCore {
namespace {

// The components of a relative path; "" and "." dropped. False for "..":
// refused rather than resolved, since the parent may not be the one meant.
bool SplitBelow(std::string_view relative, std::vector<std::string>& parts) {
  while (!relative.empty()) {
    const size_t slash = relative.find('/');
    const std::string_view part = relative.substr(0, slash);
    relative.remove_prefix(slash == std::string_view::npos ? relative.size() : slash + 1);
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      errno = EPERM;
      return false;
    }
    parts.emplace_back(part);
  }
  return true;
}

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

FileDescriptor OpenFolderIn(int folder, const char* name, bool create) {
  FileDescriptor child(openat(folder, name, kFolderFlags));
  if (!child.IsOpen() && errno == ENOENT && create) {
    if (mkdirat(folder, name, 0777) != 0 && errno != EEXIST) return child;
    child = FileDescriptor(openat(folder, name, kFolderFlags));
  }
  // Linux says ENOTDIR for a link opened as a folder without following it;
  // a link is told apart from a file on the way.
  struct stat info;
  if (!child.IsOpen() && errno == ENOTDIR && fstatat(folder, name, &info, AT_SYMLINK_NOFOLLOW) == 0 &&
      S_ISLNK(info.st_mode)) {
    errno = ELOOP;
  }
  return child;
}

}  // namespace

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) close(fd_);
    fd_ = other.Release();
  }
  return *this;
}

FileDescriptor::~FileDescriptor() {
  if (fd_ >= 0) close(fd_);
}

int FileDescriptor::Release() {
  const int fd = fd_;
  fd_ = -1;
  return fd;
}

FileDescriptor OpenFolderBelow(int base, std::string_view relative, bool create) {
  std::vector<std::string> parts;
  if (!SplitBelow(relative, parts)) return FileDescriptor();
  FileDescriptor folder(openat(base, ".", kFolderFlags));
  for (const std::string& part : parts) {
    if (!folder.IsOpen()) break;
    folder = OpenFolderIn(folder.Get(), part.c_str(), create);
  }
  return folder;
}

bool OpenParentBelow(int base, std::string_view relative, bool create, FileDescriptor& parent, std::string& name) {
  const size_t slash = relative.rfind('/');
  const std::string_view last = slash == std::string_view::npos ? relative : relative.substr(slash + 1);
  if (last.empty() || last == "." || last == "..") {
    errno = EISDIR;
    return false;
  }
  parent = OpenFolderBelow(base, relative.substr(0, slash == std::string_view::npos ? 0 : slash), create);
  name = last;
  return parent.IsOpen();
}

FileDescriptor OpenRegularAt(int folder, const char* name, int flags, mode_t mode) {
  // Not blocking, so that a FIFO or a device answers the open at once; no
  // truncation before the file is known to be a regular one.
  const bool truncate = (flags & O_TRUNC) != 0;
  FileDescriptor file(
      openat(folder, name, (flags & ~O_TRUNC) | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, mode));
  if (!file.IsOpen()) return file;
  struct stat info;
  if (fstat(file.Get(), &info) != 0) return FileDescriptor();
  if (!S_ISREG(info.st_mode)) {
    errno = EINVAL;
    return FileDescriptor();
  }
  if ((truncate && ftruncate(file.Get(), 0) != 0) || fcntl(file.Get(), F_SETFL, flags & ~O_TRUNC) != 0) {
    return FileDescriptor();
  }
  return file;
}

FileDescriptor OpenFileBelow(int base, std::string_view relative, int flags, mode_t mode) {
  FileDescriptor parent;
  std::string name;
  if (!OpenParentBelow(base, relative, false, parent, name)) return FileDescriptor();
  return OpenRegularAt(parent.Get(), name.c_str(), flags, mode);
}

bool RemoveFileBelow(int base, std::string_view relative) {
  FileDescriptor parent;
  std::string name;
  if (!OpenParentBelow(base, relative, false, parent, name)) return false;
  struct stat info;
  if (fstatat(parent.Get(), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) return false;
  if (!S_ISREG(info.st_mode)) {
    errno = EINVAL;
    return false;
  }
  return unlinkat(parent.Get(), name.c_str(), 0) == 0;
}

FileDescriptor CreateTemporaryAt(int folder, const std::string& prefix, std::string& name, mode_t mode) {
  static thread_local std::minstd_rand numbers(std::random_device{}());
  for (int attempt = 0; attempt < 100; ++attempt) {
    name = prefix + "." + std::to_string(getpid()) + "-" + std::to_string(numbers());
    FileDescriptor file(openat(folder, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode));
    if (file.IsOpen() || errno != EEXIST) return file;
  }
  return FileDescriptor();
}

bool ReadWholeDescriptor(int fd, std::string& bytes, size_t limit) { return ReadDescriptorFrom(fd, 0, bytes, limit); }

bool ReadDescriptorFrom(int fd, off_t start, std::string& bytes, size_t limit) {
  bytes.clear();
  char piece[65536];
  for (;;) {
    const ssize_t read = pread(fd, piece, sizeof(piece), start + static_cast<off_t>(bytes.size()));
    if (read < 0 && errno == EINTR) continue;
    if (read < 0 || bytes.size() + static_cast<size_t>(read) > limit) return false;
    if (read == 0) return true;
    bytes.append(piece, static_cast<size_t>(read));
  }
}

const char* BelowFailureText(int error) {
  switch (error) {
    case ELOOP: return "a symbolic link is in the way";
    case EINVAL: return "it is no regular file";
    case EPERM: return "\"..\" would leave the folder";
    case ENOTDIR: return "a file stands where a folder is needed";
    default: return std::strerror(error);
  }
}

}  // namespace GCore
