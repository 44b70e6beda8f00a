#include "net/ZipExtractor.h"

#include <fcntl.h>
#include <minizip/unzip.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <vector>

#include "base/Log.h"

namespace GCore {
namespace {

constexpr size_t kNameLimit = 4096;
constexpr size_t kPieceSize = 65536;
// "Version made by" of archives made on Unix: their entries carry a mode.
constexpr unsigned kMadeOnUnix = 3;

struct ZipArchive {
  unzFile file;
  ~ZipArchive() {
    if (file) unzClose(file);
  }
};

struct Entry {
  std::string path;  // relative to the folder, '/'-separated
  bool folder = false;
  mode_t mode = 0644;
};

// The entry's name as a path inside the folder; none when it would leave it.
// Backslashes of archives made on Windows separate folders too.
std::optional<std::string> PathInside(std::string name) {
  std::replace(name.begin(), name.end(), '\\', '/');
  if (name.empty() || name.front() == '/' || (name.size() > 1 && name[1] == ':')) return std::nullopt;
  std::string path;
  size_t start = 0;
  while (start <= name.size()) {
    size_t slash = name.find('/', start);
    if (slash == std::string::npos) slash = name.size();
    const std::string part = name.substr(start, slash - start);
    start = slash + 1;
    if (part.empty() || part == ".") continue;
    if (part == "..") return std::nullopt;
    if (!path.empty()) path += '/';
    path += part;
  }
  return path;
}

// Reads every entry's name and kind; false when the archive cannot be read
// or an entry would leave the folder.
bool ListEntries(unzFile zip, std::vector<Entry>& entries) {
  int status = unzGoToFirstFile(zip);
  for (; status == UNZ_OK; status = unzGoToNextFile(zip)) {
    unz_file_info64 info;
    char name[kNameLimit];
    if (unzGetCurrentFileInfo64(zip, &info, name, sizeof(name), nullptr, 0, nullptr, 0) != UNZ_OK) return false;
    if (info.size_filename >= sizeof(name)) {
      LogPrintf("unzip: an entry's name is too long; nothing is extracted\n");
      return false;
    }
    const std::optional<std::string> path = PathInside(name);
    if (!path) {
      LogPrintf("unzip: the entry %s would leave the folder; nothing is extracted\n", name);
      return false;
    }
    Entry entry;
    entry.path = *path;
    const std::string text(name);
    entry.folder = !text.empty() && (text.back() == '/' || text.back() == '\\');
    if ((info.version >> 8) == kMadeOnUnix && ((info.external_fa >> 16) & 0100)) entry.mode = 0755;
    entries.push_back(std::move(entry));
  }
  return status == UNZ_END_OF_LIST_OF_FILE;
}

// The current entry into `target`, through a temporary file beside it.
bool ExtractFile(unzFile zip, const std::string& target, mode_t mode) {
  std::string temporary = target + ".XXXXXX";
  const int file = mkostemp(temporary.data(), O_CLOEXEC);
  if (file < 0) return false;
  bool written = unzOpenCurrentFile(zip) == UNZ_OK;
  std::vector<char> piece(kPieceSize);
  while (written) {
    const int read = unzReadCurrentFile(zip, piece.data(), static_cast<unsigned>(piece.size()));
    if (read <= 0) {
      written = read == 0;
      break;
    }
    written = write(file, piece.data(), static_cast<size_t>(read)) == read;
  }
  // Closing the entry checks its CRC once it was read to its end.
  if (unzCloseCurrentFile(zip) != UNZ_OK) written = false;
  if (written && (fchmod(file, mode) != 0 || fsync(file) != 0)) written = false;
  if (close(file) != 0) written = false;
  if (written && std::rename(temporary.c_str(), target.c_str()) == 0) return true;
  unlink(temporary.c_str());
  return false;
}

}  // namespace

bool UnzipToFolder(const std::string& zip, const std::string& folder) {
  ZipArchive archive{unzOpen64(zip.c_str())};
  if (!archive.file) {
    LogPrintf("unzip: %s is not a readable zip archive\n", zip.c_str());
    return false;
  }
  std::vector<Entry> entries;
  if (!ListEntries(archive.file, entries)) return false;
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  int status = unzGoToFirstFile(archive.file);
  for (const Entry& entry : entries) {
    if (status != UNZ_OK) return false;
    const std::filesystem::path target = std::filesystem::path(folder) / entry.path;
    if (entry.folder || entry.path.empty()) {
      std::filesystem::create_directories(target, error);
    } else {
      std::filesystem::create_directories(target.parent_path(), error);
      if (!ExtractFile(archive.file, target.string(), entry.mode)) {
        LogPrintf("unzip: %s could not be extracted from %s\n", entry.path.c_str(), zip.c_str());
        return false;
      }
    }
    status = unzGoToNextFile(archive.file);
  }
  return true;
}

}  // namespace GCore
