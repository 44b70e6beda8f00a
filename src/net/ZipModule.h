#pragma once
// The script module "zip.c": zip archives through minizip. `unzip(path)`
// opens an archive for reading (list, read, close), `zip(path)` creates one
// (write, close). A handle is a full userdata holding the library's handle;
// collecting it closes the archive. Entries are read whole into script
// strings, up to kLargestZipEntry bytes each. Any thread that owns the state.
#include <cstdint>

#include <lua.hpp>

namespace GCore {

constexpr uint64_t kLargestZipEntry = uint64_t{256} << 20;

}  // namespace GCore

extern "C" int luaopen_zip_c(lua_State* L);
