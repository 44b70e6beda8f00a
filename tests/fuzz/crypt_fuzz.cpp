// The decoders of "crypt.c" on untrusted bytes: hex, Base64 and DES texts,
// and the 64-bit values of the digest and the exchange. A refusal is an
// error with the module's message; what encodes must decode back the same.
#include <cstddef>
#include <cstdint>

#include "fuzz/LuaDriver.h"
#include "modules/DataModules.h"

namespace {

const char* const kDriver = R"(
local crypt, input = ...
local refusals = {
  ["Invalid hex text"] = true,
  ["Invalid base64 text"] = true,
  ["Invalid des crypt text"] = true,
}
local function refused(f, ...)
  local ok, err = pcall(f, ...)
  if ok then return err end
  assert(refusals[err] or err:match("^Invalid hex text size %d+$") or err:match("^Invalid des crypt text length %d+$"),
         err)
end

local key, text = input:sub(1, 8), input:sub(9)
refused(crypt.hexdecode, input)
refused(crypt.base64decode, input)
assert(crypt.hexdecode(crypt.hexencode(input)) == input, "hex round trip")
assert(crypt.base64decode(crypt.base64encode(input)) == input, "base64 round trip")
if #key == 8 then
  refused(crypt.desdecode, key, text)
  assert(crypt.desdecode(key, crypt.desencode(key, text)) == text, "des round trip")
  assert(#crypt.dhexchange(key) == 8)
  if #text >= 8 then
    local y = text:sub(1, 8)
    assert(#crypt.dhsecret(key, y) == 8)
    assert(#crypt.hmac64(key, y) == 8)
  end
end
)";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static fuzzlua::Driver driver("crypt.c", luaopen_crypt_c, kDriver);
  driver.Run(data, size);
  return 0;
}
