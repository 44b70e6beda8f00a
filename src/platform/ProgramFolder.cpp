#include "platform/ProgramFolder.h"

#include <unistd.h>

#include <climits>

namespace GCore {

std::string ProgramFolder() {
  char path[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", path, sizeof(path) - 1);
  if (length <= 0) return "";
  std::string folder(path, static_cast<size_t>(length));
  const size_t slash = folder.rfind('/');
  folder.resize(slash == std::string::npos ? 0 : slash);
  return folder;
}

}  // namespace GCore
