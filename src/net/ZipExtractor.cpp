#include "net/ZipExtractor.h"

#include <fcntl.h>
#include <minizip/unzip.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "base/Log.h"
#include "base/PathBelow.h"
#include "core/ReplacingFile.h"
#include "net/ZipEntryInfo.h"

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
  uLong crc = 0;
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
    if (!IsReadableZipMethod(info.compression_method)) {
      LogPrintf("unzip: the entry %s is compressed with method %lu, which cannot be read; nothing is extracted\n",
                name, static_cast<unsigned long>(info.compression_method));
      return false;
    }
    Entry entry;
    entry.path = *path;
    const std::string text(name);
    entry.folder = !text.empty() && (text.back() == '/' || text.back() == '\\');
    entry.crc = info.crc;
    if ((info.version >> 8) == kMadeOnUnix && ((info.external_fa >> 16) & 0100)) entry.mode = 0755;
    entries.push_back(std::move(entry));
  }
  return status == UNZ_END_OF_LIST_OF_FILE;
}

// The current entry into the file `name` of the open folder `folder`.
bool ExtractFile(unzFile zip, int folder, const std::string& name, const Entry& entry) {
  ReplacingFile file(folder, name);
  bool written = file.Open() && unzOpenCurrentFile(zip) == UNZ_OK;
  std::vector<char> piece(kPieceSize);
  uLong crc = crc32(0, nullptr, 0);
  while (written) {
    const int read = unzReadCurrentFile(zip, piece.data(), static_cast<unsigned>(piece.size()));
    if (read <= 0) {
      written = read == 0;
      break;
    }
    crc = crc32(crc, reinterpret_cast<const Bytef*>(piece.data()), static_cast<uInt>(read));
    written = file.Write(piece.data(), static_cast<size_t>(read));
  }
  // Closing the entry checks its CRC once it was read to the end that the
  // central header gives; an entry whose size is left to the zip64 extra
  // field has none there, so the CRC is checked here as well.
  if (unzCloseCurrentFile(zip) != UNZ_OK || crc != entry.crc) written = false;
  return written && fchmod(fileno(file.File()), entry.mode) == 0 && file.Commit();
}

// The archive is read through a descriptor opened below the base folder;
// the library's own file functions do the rest on the stream made of it.
voidpf OpenDescriptor(voidpf, const void* descriptor, int) {
  const int fd = fcntl(*static_cast<const int*>(descriptor), F_DUPFD_CLOEXEC, 0);
  FILE* file = fd >= 0 ? fdopen(fd, "rb") : nullptr;
  if (!file && fd >= 0) close(fd);
  return file;
}

}  // namespace

bool UnzipToFolder(int base, std::string_view zip, std::string_view folder) {
  const std::string zipName(zip);
  const FileDescriptor zipFile = OpenFileBelow(base, zip, O_RDONLY);
  if (!zipFile.IsOpen()) {
    LogPrintf("unzip: %s cannot be opened: %s\n", zipName.c_str(), BelowFailureText(errno));
    return false;
  }
  zlib_filefunc64_def functions;
  fill_fopen64_filefunc(&functions);
  functions.zopen64_file = OpenDescriptor;
  const int zipFd = zipFile.Get();
  ZipArchive archive{unzOpen2_64(&zipFd, &functions)};
  if (!archive.file) {
    LogPrintf("unzip: %s is not a readable zip archive\n", zipName.c_str());
    return false;
  }
  std::vector<Entry> entries;
  if (!ListEntries(archive.file, entries)) return false;
  const FileDescriptor target = OpenFolderBelow(base, folder, true);
  if (!target.IsOpen()) {
    LogPrintf("unzip: the folder %s cannot be used: %s\n", std::string(folder).c_str(), BelowFailureText(errno));
    return false;
  }
  int status = unzGoToFirstFile(archive.file);
  for (const Entry& entry : entries) {
    if (status != UNZ_OK) return false;
    FileDescriptor place;
    std::string name;
    const bool placed = entry.folder || entry.path.empty()
                            ? (place = OpenFolderBelow(target.Get(), entry.path, true)).IsOpen()
                            : OpenParentBelow(target.Get(), entry.path, true, place, name);
    if (!placed) {
      LogPrintf("unzip: %s cannot be extracted from %s: %s\n", entry.path.c_str(), zipName.c_str(),
                BelowFailureText(errno));
      return false;
    }
    if (!name.empty() && !ExtractFile(archive.file, place.Get(), name, entry)) {
      LogPrintf("unzip: %s could not be extracted from %s\n", entry.path.c_str(), zipName.c_str());
      return false;
    }
    status = unzGoToNextFile(archive.file);
  }
  return true;
}

}  // namespace GCore
