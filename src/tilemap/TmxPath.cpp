#include "tilemap/TmxPath.h"

namespace tmx {

std::string resolveFilePath(std::string path, const std::string& workingDirectory) {
  // Whatever stands before a "../" goes with it: map editors write relative
  // names as a run of "../" followed by the path down, and nothing else.
  int ups = 0;
  for (auto position = path.find("../"); position != std::string::npos; position = path.find("../")) {
    ++ups;
    path.erase(0, position + 3);
  }
  if (workingDirectory.empty()) return path;

  std::string directory = workingDirectory;
  for (int i = 0; i < ups; ++i) {
    const auto slash = directory.rfind('/');
    if (slash != std::string::npos) directory.erase(slash);
  }
  return directory + "/" + path;
}

std::string getFilePath(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

}  // namespace tmx
