#pragma once
// Zip archives made by the tests with minizip's writer: named entries,
// stored or deflated, optionally marked executable as Unix archivers do.
#include <minizip/zip.h>
#include <zlib.h>

#include <string>
#include <vector>

namespace nettest {

struct ZipEntry {
  std::string name;
  std::string data;
  bool executable = false;
};

// Stored entries keep their bytes as they are in the file (a test can spoil them).
inline bool MakeZip(const std::string& path, const std::vector<ZipEntry>& entries, bool stored = false) {
  zipFile zip = zipOpen64(path.c_str(), APPEND_STATUS_CREATE);
  if (!zip) return false;
  bool ok = true;
  for (const ZipEntry& entry : entries) {
    zip_fileinfo info{};
    info.external_fa = static_cast<uLong>(entry.executable ? 0100755 : 0100644) << 16;
    const uLong madeOnUnix = (3 << 8) | 20;
    ok = ok && zipOpenNewFileInZip4_64(zip, entry.name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr,
                                       stored ? 0 : Z_DEFLATED, stored ? 0 : Z_DEFAULT_COMPRESSION, 0, -MAX_WBITS,
                                       DEF_MEM_LEVEL, Z_DEFAULT_STRATEGY, nullptr, 0, madeOnUnix, 0, 0) == ZIP_OK;
    ok = ok && zipWriteInFileInZip(zip, entry.data.data(), static_cast<unsigned>(entry.data.size())) == ZIP_OK;
    ok = ok && zipCloseFileInZip(zip) == ZIP_OK;
  }
  return zipClose(zip, nullptr) == ZIP_OK && ok;
}

}  // namespace nettest
