-- "gcore.c": native libraries. QUARVELIN_NATIVE_LIB names the test library
-- (tests/lua/NativeCallLib.c).
local g = require "gcore.c"
local raises = require("testlib").raises

local path = assert(os.getenv("QUARVELIN_NATIVE_LIB"), "QUARVELIN_NATIVE_LIB is not set")

local function open()
  local handle = g.open_dll(path)
  assert(type(handle) == "userdata" and g.ToStr(handle) == nil, "a light userdata handle")
  return handle
end

test("functions of 0 to 8 integer arguments", function()
  local lib = open()
  assert(g.procaddress(lib, "answer", 0)() == 42)
  local want = 0
  for n = 1, 8 do
    local args = {}
    for i = 1, n do args[i] = i end
    want = want + n * 10 ^ (n - 1)
    assert(g.procaddress(lib, "weigh" .. n, 0)(table.unpack(args)) == math.tointeger(want), n)
  end
  -- Arguments are words: nil 0, booleans 0 or 1, floats their integer part.
  assert(g.procaddress(lib, "weigh4", 0)(nil, true, false, 7.9) == 7010)
  assert(g.procaddress(lib, "negate", 0)(-5) == 5)
  assert(g.procaddress(lib, "negate", 0)(math.mininteger + 1) == math.maxinteger)
  g.open_dll(lib)
end)

test("strings, pointers and each result kind", function()
  local lib = open()
  assert(g.procaddress(lib, "length", 0)("four") == 4)
  assert(g.procaddress(lib, "length", 0)(nil) == -1)
  assert(g.procaddress(lib, "greet", "")("you", 3) == "hello you x3")
  assert(g.procaddress(lib, "nothing", "")() == nil, "a null text is nil")
  assert(g.procaddress(lib, "lengths", 0)("a", "bb", nil, "ccc", "", "dddd", nil, "e") == 211)
  local same = g.procaddress(lib, "same", nil)
  assert(same(g.QID(1234)) == g.QID(1234), "light userdata in, light userdata out")
  assert(type(same(g.QID(1))) == "userdata")
  local isSet = g.procaddress(lib, "is_set", true)
  assert(isSet(3) == true and isSet(0) == false)
  g.open_dll(lib)
end)

test("unsupported arguments and results raise errors before the call", function()
  local lib = open()
  local weigh = g.procaddress(lib, "weigh1", 0)
  raises("unknown argument type", weigh, {})
  raises("unknown argument type", weigh, print)
  raises("unknown argument type", weigh, io.stdout)
  raises("too many arguments", g.procaddress(lib, "answer", 0), 1, 2, 3, 4, 5, 6, 7, 8, 9)
  raises("unknown return value type", g.procaddress(lib, "answer", {}))
  raises("unknown return value type", g.procaddress(lib, "answer", print))
  g.open_dll(lib)
end)

test("handles: missing libraries, missing functions, releases", function()
  assert(g.open_dll("no-such-library.so") == g.QID(0), "a failed load is a null handle")
  assert(g.open_dll() == g.QID(0) and g.open_dll("") == g.QID(0))
  local lib = open()
  raises("not found", g.procaddress(lib, "no_such_function", 0))
  -- Pointers open_dll did not give out are neither searched nor released.
  raises("not found", g.procaddress(g.QID(1), "answer", 0))
  raises("not found", g.procaddress(nil, "answer", 0))
  g.open_dll(g.QID(1))
  g.open_dll(io.stdout)
  -- Each open needs its release; after the last one the handle is stale.
  local again = open()
  assert(again == lib)
  g.open_dll(lib)
  assert(g.procaddress(lib, "answer", 0)() == 42, "still open once")
  g.open_dll(lib)
  raises("not found", g.procaddress(lib, "answer", 0))
  g.open_dll(lib)
end)
