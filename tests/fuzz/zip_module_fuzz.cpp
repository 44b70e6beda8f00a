// Zip archives from untrusted bytes through "zip.c": whatever the archive
// holds or claims, unzip returns a handle or nothing, list returns names,
// and read returns an entry or raises one of the module's own errors; no
// declared size is allocated past the limit.
// Built and run by tests/fuzz/CMakeLists.txt; seeds: tests/lua/zip_fixtures.py.
#include <cstddef>
#include <cstdint>

#include "fuzz/LuaDriver.h"
#include "net/ZipModule.h"

namespace {

const char* const kDriver = R"(
local zip, input = ...
ZIP_PATH = ZIP_PATH or os.tmpname()  -- one file per process, rewritten for each input
local path = ZIP_PATH
local file = assert(io.open(path, "wb"))
file:write(input)
file:close()
local archive = zip.unzip(path)
if not archive then return end
local names = archive:list() or {}
for i = 1, math.min(#names, 16) do
  local ok, result = pcall(archive.read, archive, names[i])
  assert(ok or result:find("^Can't "), result)
  assert(not ok or #result <= 256 * 1024 * 1024)
end
archive:close()
)";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static fuzzlua::Driver driver("zip.c", luaopen_zip_c, kDriver);
  driver.Run(data, size);
  return 0;
}
