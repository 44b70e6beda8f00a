// MessagePack from untrusted bytes through the "cmsgpack" module: a refusal
// is an error with the module's message, whatever decodes packs again into
// bytes that decode or are refused the same way, and stepping through the
// values one at a time always moves forward.
#include <cstddef>
#include <cstdint>

#include "fuzz/LuaDriver.h"
#include "modules/DataModules.h"

namespace {

const char* const kDriver = R"(
local cmsgpack, input = ...
local refusals = {
  ["Missing bytes in input."] = true,
  ["Bad data format in input."] = true,
  ["Nesting too deep in input."] = true,
}
local function refusal(err)
  -- Tables refuse NaN and nil keys with Lua's own messages.
  return refusals[err] or err == "table index is NaN" or err == "table index is nil"
end

local values = table.pack(pcall(cmsgpack.unpack, input))
if values[1] and values.n > 1 then
  -- Packing writes tables nested too deep as nil, so a deep table that was a
  -- key comes back as a nil key, which unpacking refuses.
  local again = cmsgpack.pack(table.unpack(values, 2, values.n))
  local ok, err = pcall(cmsgpack.unpack, again)
  assert(ok or refusal(err), err)
elseif not values[1] then
  assert(refusal(values[2]), values[2])
end

local offset, steps = 0, 0
while offset >= 0 and steps < 64 do
  local ok, nextOffset = pcall(cmsgpack.unpack_one, input, offset)
  if not ok then
    assert(refusal(nextOffset), nextOffset)
    break
  end
  assert(nextOffset == -1 or nextOffset > offset, "unpack_one did not move forward")
  offset, steps = nextOffset, steps + 1
end

local ok, err = pcall(cmsgpack.unpack_limit, input, 3, 1)
assert(ok or refusal(err) or #input < 1, err)
)";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static fuzzlua::Driver driver("cmsgpack", luaopen_cmsgpack, kDriver);
  driver.Run(data, size);
  return 0;
}
