#include "tilemap/TmxXmlFile.h"

#include <sys/stat.h>

namespace tmx {

pugi::xml_parse_result loadXmlFile(pugi::xml_document& document, const std::string& path) {
  struct stat info;
  if (::stat(path.c_str(), &info) != 0) {
    pugi::xml_parse_result missing;
    missing.status = pugi::status_file_not_found;
    return missing;
  }
  if (!S_ISREG(info.st_mode)) {
    pugi::xml_parse_result unreadable;
    unreadable.status = pugi::status_io_error;
    return unreadable;
  }
  return document.load_file(path.c_str());
}

}  // namespace tmx
