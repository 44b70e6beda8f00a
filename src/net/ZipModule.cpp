#include "net/ZipModule.h"

#include <minizip/unzip.h>
#include <minizip/zip.h>

#include <algorithm>
#include <string>

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
  // The size is the archive's word, not a fact: never allocate on it blindly.
  if (info.uncompressed_size > GCore::kLargestZipEntry) {
    return luaL_error(L, "Can't read %s: its size of %I bytes is over the limit of %I bytes", name,
                      static_cast<lua_Integer>(std::min<ZPOS64_T>(info.uncompressed_size, LUA_MAXINTEGER)),
                      static_cast<lua_Integer>(GCore::kLargestZipEntry));
  }
  const size_t size = static_cast<size_t>(info.uncompressed_size);
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
  // error, not a result.
  if (unzCloseCurrentFile(zip) != UNZ_OK) return luaL_error(L, "Can't read %s", name);
  lua_pushlstring(L, buffer, size);
  return 1;
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
  zip = unzOpen(path);
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
