// The C library's path functions, defined by the program so that the calls
// the git library makes with a dashed path reach the file under the root
// folder (see GitPathHook.h). Each definition forwards to the next definition
// in the lookup order (the C library's, or a sanitizer's in front of it).
#undef _FORTIFY_SOURCE
#include "net/GitPathHook.h"

#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <link.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

namespace GCore {

namespace {

// Trivially destructible, so that a git command still running while the
// process exits never meets a destroyed root.
std::mutex g_rootMutex;
char g_root[kGitHookPathSize];
bool g_rootTooLong = false;  // then no mapped path fits

struct CodeRange {
  uintptr_t begin;
  uintptr_t end;
};

// The executable segments of the loaded git library.
const std::vector<CodeRange>& GitLibraryCode() {
  static const std::vector<CodeRange>* ranges = [] {
    auto* found = new std::vector<CodeRange>;
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void* data) {
          if (!info->dlpi_name || !std::strstr(info->dlpi_name, "/libgit2.so")) return 0;
          for (int i = 0; i < info->dlpi_phnum; ++i) {
            const ElfW(Phdr)& segment = info->dlpi_phdr[i];
            if (segment.p_type != PT_LOAD || !(segment.p_flags & PF_X)) continue;
            const uintptr_t begin = info->dlpi_addr + segment.p_vaddr;
            static_cast<std::vector<CodeRange>*>(data)->push_back({begin, begin + segment.p_memsz});
          }
          return 1;
        },
        found);
    return found;
  }();
  return *ranges;
}

bool CalledFromGitLibrary(const void* returnAddress) {
  const auto address = reinterpret_cast<uintptr_t>(returnAddress);
  for (const CodeRange& range : GitLibraryCode()) {
    if (address >= range.begin && address < range.end) return true;
  }
  return false;
}

}  // namespace

// A path as the C library is to see it: mapped when it is a dashed path of the
// git library's own call, otherwise the caller's.
class HookedPath {
 public:
  HookedPath(const char* path, const void* caller) : path_(path) {
    if (path && path[0] == '-' && CalledFromGitLibrary(caller)) {
      tooLong_ = !ComposeGitHookPath(path, buffer_);
      path_ = buffer_;
    }
  }
  HookedPath(const HookedPath&) = delete;
  HookedPath& operator=(const HookedPath&) = delete;
  const char* get() const { return path_; }
  // The mapped path did not fit: the call fails with ENAMETOOLONG.
  bool tooLong() const { return tooLong_; }

 private:
  const char* path_;
  bool tooLong_ = false;
  char buffer_[kGitHookPathSize];
};

void SetGitRootFolder(const std::string& rootFolder) {
  std::lock_guard lock(g_rootMutex);
  g_rootTooLong = rootFolder.size() >= sizeof g_root;
  const size_t length = g_rootTooLong ? 0 : rootFolder.size();
  std::memcpy(g_root, rootFolder.data(), length);
  g_root[length] = '\0';
}

bool ComposeGitHookPath(const char* dashedPath, char (&out)[kGitHookPathSize]) {
  std::lock_guard lock(g_rootMutex);
  const int length = std::snprintf(out, sizeof out, "%s/acg%s", g_root, dashedPath + 1);
  if (g_rootTooLong || length < 0 || static_cast<size_t>(length) >= sizeof out) {
    out[0] = '\0';
    return false;
  }
  return true;
}

}  // namespace GCore

using GCore::HookedPath;

namespace {

template <typename Function>
Function Next(Function, const char* name) {
  return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

// The next definition of the function this macro stands in.
#define NEXT_DEFINITION(name) static const auto next = Next(&::name, #name)

// The caller's return address: taken in each definition itself, never in a
// helper that could be inlined elsewhere.
#define CALLER __builtin_return_address(0)

template <typename Result>
Result TooLong(Result failure) {
  errno = ENAMETOOLONG;
  return failure;
}

}  // namespace

extern "C" {

char* realpath(const char* __restrict path, char* __restrict resolved) __THROW {
  NEXT_DEFINITION(realpath);
  const HookedPath hooked(path, CALLER);
  return hooked.tooLong() ? TooLong<char*>(nullptr) : next(hooked.get(), resolved);
}

int stat(const char* __restrict path, struct stat* __restrict buffer) __THROW {
  NEXT_DEFINITION(stat);
  const HookedPath hooked(path, CALLER);
  return hooked.tooLong() ? TooLong(-1) : next(hooked.get(), buffer);
}

int lstat(const char* __restrict path, struct stat* __restrict buffer) __THROW {
  NEXT_DEFINITION(lstat);
  const HookedPath hooked(path, CALLER);
  return hooked.tooLong() ? TooLong(-1) : next(hooked.get(), buffer);
}

int open(const char* path, int flags, ...) {
  NEXT_DEFINITION(open);
  mode_t mode = 0;
  if ((flags & O_CREAT) || (flags & O_TMPFILE) == O_TMPFILE) {
    va_list arguments;
    va_start(arguments, flags);
    mode = static_cast<mode_t>(va_arg(arguments, int));
    va_end(arguments);
  }
  const HookedPath hooked(path, CALLER);
  return hooked.tooLong() ? TooLong(-1) : next(hooked.get(), flags, mode);
}

int access(const char* path, int how) __THROW {
  NEXT_DEFINITION(access);
  const HookedPath hooked(path, CALLER);
  return hooked.tooLong() ? TooLong(-1) : next(hooked.get(), how);
}

DIR* opendir(const char* path) {
  NEXT_DEFINITION(opendir);
  const HookedPath hooked(path, CALLER);
  return hooked.tooLong() ? TooLong<DIR*>(nullptr) : next(hooked.get());
}

ssize_t readlink(const char* __restrict path, char* __restrict buffer, size_t size) __THROW {
  NEXT_DEFINITION(readlink);
  const HookedPath hooked(path, CALLER);
  return hooked.tooLong() ? TooLong<ssize_t>(-1) : next(hooked.get(), buffer, size);
}

int mkdir(const char* path, mode_t mode) __THROW {
  NEXT_DEFINITION(mkdir);
  const HookedPath hooked(path, CALLER);
  return hooked.tooLong() ? TooLong(-1) : next(hooked.get(), mode);
}

int rmdir(const char* path) __THROW {
  NEXT_DEFINITION(rmdir);
  const HookedPath hooked(path, CALLER);
  return hooked.tooLong() ? TooLong(-1) : next(hooked.get());
}

int unlink(const char* path) __THROW {
  NEXT_DEFINITION(unlink);
  const HookedPath hooked(path, CALLER);
  return hooked.tooLong() ? TooLong(-1) : next(hooked.get());
}

int chmod(const char* path, mode_t mode) __THROW {
  NEXT_DEFINITION(chmod);
  const HookedPath hooked(path, CALLER);
  return hooked.tooLong() ? TooLong(-1) : next(hooked.get(), mode);
}

int utimes(const char* path, const struct timeval times[2]) __THROW {
  NEXT_DEFINITION(utimes);
  const HookedPath hooked(path, CALLER);
  return hooked.tooLong() ? TooLong(-1) : next(hooked.get(), times);
}

int rename(const char* from, const char* to) __THROW {
  NEXT_DEFINITION(rename);
  const void* caller = CALLER;
  const HookedPath hookedFrom(from, caller);
  const HookedPath hookedTo(to, caller);
  if (hookedFrom.tooLong() || hookedTo.tooLong()) return TooLong(-1);
  return next(hookedFrom.get(), hookedTo.get());
}

int link(const char* from, const char* to) __THROW {
  NEXT_DEFINITION(link);
  const void* caller = CALLER;
  const HookedPath hookedFrom(from, caller);
  const HookedPath hookedTo(to, caller);
  if (hookedFrom.tooLong() || hookedTo.tooLong()) return TooLong(-1);
  return next(hookedFrom.get(), hookedTo.get());
}

// The target is the link's content, not a path the call resolves.
int symlink(const char* target, const char* path) __THROW {
  NEXT_DEFINITION(symlink);
  const HookedPath hooked(path, CALLER);
  return hooked.tooLong() ? TooLong(-1) : next(target, hooked.get());
}

}  // extern "C"
