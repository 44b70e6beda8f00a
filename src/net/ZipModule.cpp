#include "net/ZipModule.h"

#include <minizip/unzip.h>
#include <minizip/zip.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "net/ZipEntryInfo.h"

namespace {

constexpr unsigned kPieceSize = 65536;
constexpr const char* kReadingType = "unzip";
constexpr const char* kWritingType = "zip";

// The handle of `type` at argument 1; a closed one raises the script error.
template <typename Handle>
Handle& OpenHandle(lua_State* L, const char* type) {
  auto* handle = static_cast<Handle*>(luaL_checkudata(L, 1, type));
  if (!*handle) luaL_error(L, "%s file %p is already closed", type, static_cast<void*>(handle));
  return *handle;
}

// Pushes a new closed handle with its type's metatable, made on first use,
// and returns it. The archive is opened into it afterwards, so that a memory
// error here leaves no library handle behind.
template <typename Handle>
Handle& PushHandle(lua_State* L, const char* type, const luaL_Reg* methods, lua_CFunction close) {
  auto* handle = static_cast<Handle*>(lua_newuserdata(L, sizeof(Handle)));
  *handle = nullptr;
  if (luaL_newmetatable(L, type)) {
    lua_pushcfunction(L, close);
    lua_setfield(L, -2, "__gc");
    lua_newtable(L);
    luaL_setfuncs(L, methods, 0);
    lua_setfield(L, -2, "__index");
  }
  lua_setmetatable(L, -2);
  return *handle;
}

// --- reading ---------------------------------------------------------------

int CloseReading(lua_State* L) {
  auto* handle = static_cast<unzFile*>(luaL_checkudata(L, 1, kReadingType));
  if (*handle) {
    unzCloseCurrentFile(*handle);
    unzClose(*handle);
    *handle = nullptr;
  }
  return 0;
}

int List(lua_State* L) {
  unzFile zip = OpenHandle<unzFile>(L, kReadingType);
  if (unzGoToFirstFile(zip) != UNZ_OK) return 0;
  lua_newtable(L);
  lua_Integer index = 0;
  std::string name;
  do {
    unz_file_info64 info;
    if (unzGetCurrentFileInfo64(zip, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK) break;
    name.assign(info.size_filename, '\0');
    if (unzGetCurrentFileInfo64(zip, &info, name.data(), static_cast<uLong>(name.size()), nullptr, 0, nullptr,
                                0) != UNZ_OK) {
      break;
    }
    lua_pushlstring(L, name.data(), name.size());
    lua_rawseti(L, -2, ++index);
  } while (unzGoToNextFile(zip) == UNZ_OK);
  return 1;
}

// Case-insensitive name comparison for unzLocateFile.
constexpr int kAnyCase = 2;

int Read(lua_State* L) {
  unzFile zip = OpenHandle<unzFile>(L, kReadingType);
  const char* name = luaL_checkstring(L, 2);
  if (unzLocateFile(zip, name, kAnyCase) != UNZ_OK) return luaL_error(L, "Can't find %s", name);
  unz_file_info64 info;
  if (unzGetCurrentFileInfo64(zip, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK) {
    return luaL_error(L, "Can't open %s", name);
  }
  if (!GCore::IsReadableZipMethod(info.compression_method)) {
    return luaL_error(L, "Can't read %s: its compression method %I is not supported (only stored and deflate are)",
                      name, static_cast<lua_Integer>(info.compression_method));
  }
  ZPOS64_T declared = 0;
  if (!GCore::CurrentZipEntrySize(zip, info, declared)) {
    return luaL_error(L, "Can't read %s: its zip64 header gives no size", name);
  }
  // The size is the archive's word, not a fact: never allocate on it blindly.
  if (declared > GCore::kLargestZipEntry) {
    return luaL_error(L, "Can't read %s: its size of %I bytes is over the limit of %I bytes", name,
                      static_cast<lua_Integer>(std::min<ZPOS64_T>(declared, LUA_MAXINTEGER)),
                      static_cast<lua_Integer>(GCore::kLargestZipEntry));
  }
  const size_t size = static_cast<size_t>(declared);
  auto* buffer = static_cast<char*>(lua_newuserdata(L, size));
  if (unzOpenCurrentFile(zip) != UNZ_OK) return luaL_error(L, "Can't open %s", name);
  for (size_t done = 0; done < size;) {
    const unsigned piece = static_cast<unsigned>(std::min<size_t>(kPieceSize, size - done));
    if (unzReadCurrentFile(zip, buffer + done, piece) != static_cast<int>(piece)) {
      unzCloseCurrentFile(zip);
      return luaL_error(L, "Can't read %s", name);
    }
    done += piece;
  }
  // Closing an entry read to its end checks its CRC: damaged content is an
  // error, not a result. The library knows the end only by the size of the
  // central header, so the CRC is checked here too for a zip64 size.
  if (unzCloseCurrentFile(zip) != UNZ_OK || crc32_z(0, reinterpret_cast<const Bytef*>(buffer), size) != info.crc) {
    return luaL_error(L, "Can't read %s", name);
  }
  lua_pushlstring(L, buffer, size);
  return 1;
}

// minizip never looks for the end record at the very start of a file, so an
// archive without entries, which is that record alone, does not open as it
// is. Shown behind one zero byte, as a self-extracting archive's data is, it
// does. These file functions show a file so.
struct PaddedFile {
  FILE* file;
  ZPOS64_T position;  // in the padded view
};

voidpf OpenPadded(voidpf, const void* name, int) {
  FILE* file = std::fopen(static_cast<const char*>(name), "rb");
  return file ? new PaddedFile{file, 0} : nullptr;
}

uLong ReadPadded(voidpf, voidpf stream, void* buffer, uLong size) {
  auto* padded = static_cast<PaddedFile*>(stream);
  auto* bytes = static_cast<unsigned char*>(buffer);
  uLong done = 0;
  if (padded->position == 0 && size > 0) {
    bytes[done++] = 0;
    padded->position = 1;
  }
  if (fseeko(padded->file, static_cast<off_t>(padded->position - 1), SEEK_SET) != 0) return done;
  const size_t read = std::fread(bytes + done, 1, size - done, padded->file);
  padded->position += read;
  return done + static_cast<uLong>(read);
}

uLong WriteNothing(voidpf, voidpf, const void*, uLong) { return 0; }

ZPOS64_T TellPadded(voidpf, voidpf stream) { return static_cast<PaddedFile*>(stream)->position; }

long SeekPadded(voidpf, voidpf stream, ZPOS64_T offset, int origin) {
  auto* padded = static_cast<PaddedFile*>(stream);
  switch (origin) {
    case ZLIB_FILEFUNC_SEEK_SET: padded->position = offset; return 0;
    case ZLIB_FILEFUNC_SEEK_CUR: padded->position += offset; return 0;
    case ZLIB_FILEFUNC_SEEK_END:
      if (fseeko(padded->file, 0, SEEK_END) != 0) return -1;
      padded->position = static_cast<ZPOS64_T>(ftello(padded->file)) + 1 + offset;
      return 0;
    default: return -1;
  }
}

int ClosePadded(voidpf, voidpf stream) {
  auto* padded = static_cast<PaddedFile*>(stream);
  const int status = std::fclose(padded->file);
  delete padded;
  return status;
}

int ErrorOfPadded(voidpf, voidpf stream) { return std::ferror(static_cast<PaddedFile*>(stream)->file); }

unzFile OpenArchive(const char* path) {
  if (unzFile zip = unzOpen(path)) return zip;
  zlib_filefunc64_def padded{OpenPadded, ReadPadded, WriteNothing, TellPadded, SeekPadded,
                             ClosePadded, ErrorOfPadded, nullptr};
  return unzOpen2_64(path, &padded);
}

const luaL_Reg kReadingMethods[] = {
    {"list", List},
    {"close", CloseReading},
    {"read", Read},
    {nullptr, nullptr},
};

int OpenReading(lua_State* L) {
  const char* path = luaL_checkstring(L, 1);
  unzFile& zip = PushHandle<unzFile>(L, kReadingType, kReadingMethods, CloseReading);
  zip = OpenArchive(path);
  return zip ? 1 : 0;
}

// --- writing ---------------------------------------------------------------

int CloseWriting(lua_State* L) {
  auto* handle = static_cast<zipFile*>(luaL_checkudata(L, 1, kWritingType));
  if (*handle) {
    zipClose(*handle, nullptr);
    *handle = nullptr;
  }
  return 0;
}

int Write(lua_State* L) {
  zipFile zip = OpenHandle<zipFile>(L, kWritingType);
  const char* name = luaL_checkstring(L, 2);
  size_t size = 0;
  const char* content = luaL_checklstring(L, 3, &size);
  const zip_fileinfo info{};
  const int zip64 = size >= 0xFFFFFFFFu ? 1 : 0;
  if (zipOpenNewFileInZip64(zip, name, &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED, Z_DEFAULT_COMPRESSION,
                            zip64) != ZIP_OK) {
    return luaL_error(L, "Can't open %s", name);
  }
  for (size_t done = 0; done < size;) {
    const unsigned piece = static_cast<unsigned>(std::min<size_t>(kPieceSize, size - done));
    if (zipWriteInFileInZip(zip, content + done, piece) != ZIP_OK) return luaL_error(L, "Can't write %s", name);
    done += piece;
  }
  if (zipCloseFileInZip(zip) != ZIP_OK) return luaL_error(L, "Can't close %s", name);
  return 0;
}

const luaL_Reg kWritingMethods[] = {
    {"close", CloseWriting},
    {"write", Write},
    {nullptr, nullptr},
};

int OpenWriting(lua_State* L) {
  const char* path = luaL_checkstring(L, 1);
  zipFile& zip = PushHandle<zipFile>(L, kWritingType, kWritingMethods, CloseWriting);
  zip = zipOpen(path, APPEND_STATUS_CREATE);
  return zip ? 1 : 0;
}

const luaL_Reg kZipFunctions[] = {
    {"unzip", OpenReading},
    {"zip", OpenWriting},
    {nullptr, nullptr},
};

}  // namespace

extern "C" int luaopen_zip_c(lua_State* L) {
  luaL_newlib(L, kZipFunctions);
  return 1;
}
