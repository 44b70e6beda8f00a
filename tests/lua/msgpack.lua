-- The "cmsgpack" module: the exact bytes of every type and size class,
-- round trips, offsets, and errors on malformed or hostile input.
local cmsgpack = require "cmsgpack"

local testlib = require "testlib"
local tohex, fromhex, raises = testlib.tohex, testlib.fromhex, testlib.raises

local function range(n)
  local t = {}
  for i = 1, n do t[i] = 0 end
  return t
end

local function map(n)
  local t = {}
  for i = 1, n do t["k" .. i] = 0 end
  return t
end

test("module fields", function()
  assert(cmsgpack._NAME == "cmsgpack")
  assert(cmsgpack._VERSION == "lua-cmsgpack 0.4.0")
  assert(cmsgpack._DESCRIPTION == "MessagePack C implementation for Lua")
  assert(type(cmsgpack._COPYRIGHT) == "string")
end)

test("bytes of scalars at every width boundary", function()
  local cases = {
    {nil, "c0"}, {false, "c2"}, {true, "c3"},
    {0, "00"}, {127, "7f"}, {128, "cc80"}, {255, "ccff"}, {256, "cd0100"}, {65535, "cdffff"},
    {65536, "ce00010000"}, {0xFFFFFFFF, "ceffffffff"}, {0x100000000, "cf0000000100000000"},
    {math.maxinteger, "cf7fffffffffffffff"},
    {-1, "ff"}, {-32, "e0"}, {-33, "d0df"}, {-128, "d080"}, {-129, "d1ff7f"}, {-32768, "d18000"},
    {-32769, "d2ffff7fff"}, {-2147483648, "d280000000"}, {-2147483649, "d3ffffffff7fffffff"},
    {math.mininteger, "d38000000000000000"},
    {1.5, "ca3fc00000"}, {0.1, "cb3fb999999999999a"}, {2.0, "02"}, {3.0, "03"}, {-0.0, "00"},
    {-200.0, "d1ff38"}, {1e10, "cf00000002540be400"}, {2.0 ^ 63, "ca5f000000"},
    {-2.0 ^ 63, "d38000000000000000"}, {math.huge, "ca7f800000"}, {-math.huge, "caff800000"},
    {1e300, "cb7e37e43c8800759c"},
    {print, "c0"}, {coroutine.create(function() end), "c0"}, {io.stdout, "c0"},
  }
  for i, c in ipairs(cases) do
    local got = tohex(cmsgpack.pack(c[1]))
    assert(got == c[2], "case " .. i .. " (" .. tostring(c[1]) .. "): " .. got)
  end
  local nan = cmsgpack.pack(0 / 0)
  assert(#nan == 9 and nan:byte(1) == 0xCB, "NaN takes the 64-bit form")
  assert(cmsgpack.unpack(nan) ~= cmsgpack.unpack(nan))
end)

test("bytes of strings at every length boundary", function()
  local cases = {{0, "a0"}, {31, "bf"}, {32, "d920"}, {255, "d9ff"}, {256, "da0100"},
                 {65535, "daffff"}, {65536, "db00010000"}}
  for _, c in ipairs(cases) do
    local s = string.rep("x", c[1])
    local packed = cmsgpack.pack(s)
    assert(tohex(packed:sub(1, #c[2] // 2)) == c[2], "length " .. c[1])
    assert(#packed == #c[2] // 2 + c[1])
    assert(cmsgpack.unpack(packed) == s)
  end
end)

test("bytes of arrays and maps at every count boundary", function()
  assert(tohex(cmsgpack.pack({})) == "90")
  assert(tohex(cmsgpack.pack({1, 2, 3})) == "93010203")
  assert(tohex(cmsgpack.pack({[1] = 1, [3] = 3})):sub(1, 2) == "82")
  assert(tohex(cmsgpack.pack({a = 1})) == "81a16101")
  local arrays = {{15, "9f"}, {16, "dc0010"}, {65535, "dcffff"}, {65536, "dd00010000"}}
  for _, c in ipairs(arrays) do
    local packed = cmsgpack.pack(range(c[1]))
    assert(tohex(packed:sub(1, #c[2] // 2)) == c[2], "array of " .. c[1])
    assert(#packed == #c[2] // 2 + c[1])
    assert(#cmsgpack.unpack(packed) == c[1])
  end
  local maps = {{15, "8f"}, {16, "de0010"}, {65536, "df00010000"}}
  for _, c in ipairs(maps) do
    local packed = cmsgpack.pack(map(c[1]))
    assert(tohex(packed:sub(1, #c[2] // 2)) == c[2], "map of " .. c[1])
    local back = cmsgpack.unpack(packed)
    assert(back.k1 == 0 and back["k" .. c[1]] == 0)
  end
  -- Keys 0, negative or fractional make a map.
  assert(tohex(cmsgpack.pack({[0] = 1})) == "810001")
  assert(tohex(cmsgpack.pack({[-1] = 1})) == "81ff01")
  assert(tohex(cmsgpack.pack({[1.5] = 1})) == "81ca3fc0000001")
end)

test("several arguments pack into one string", function()
  assert(tohex(cmsgpack.pack(1, "a", nil, true)) == "01a161c0c3")
  raises("MessagePack pack needs input.", cmsgpack.pack)
  local many = {}
  for i = 1, 200 do many[i] = i end
  local packed = cmsgpack.pack(table.unpack(many))
  assert(select("#", cmsgpack.unpack(packed)) == 200)
end)

test("nesting is cut at 16 levels, cycles included", function()
  local t = {}
  local inner = t
  for _ = 1, 16 do
    inner[1] = {}
    inner = inner[1]
  end
  -- 17 tables: the innermost is at level 16.
  assert(tohex(cmsgpack.pack(t)) == string.rep("91", 16) .. "c0")
  local cycle = {}
  cycle[1] = cycle
  assert(tohex(cmsgpack.pack(cycle)) == string.rep("91", 16) .. "c0")
  local selfmap = {}
  selfmap.me = selfmap
  assert(#cmsgpack.pack(selfmap) == 16 * 4 + 1)
end)

test("unpacked numbers: non-negative ones as floats, negative as integers", function()
  local one = cmsgpack.unpack(cmsgpack.pack(1))
  assert(one == 1 and math.type(one) == "float")
  local minus = cmsgpack.unpack(cmsgpack.pack(-1))
  assert(minus == -1 and math.type(minus) == "integer")
  assert(math.type(cmsgpack.unpack(fromhex("cf0000000100000000"))) == "float")
  assert(cmsgpack.unpack(fromhex("d3ffffffff7fffffff")) == -2147483649)
  assert(cmsgpack.unpack(fromhex("ca3fc00000")) == 1.5)
  assert(cmsgpack.unpack(fromhex("cb3fb999999999999a")) == 0.1)
end)

test("round trips of mixed values", function()
  local value = {
    name = "player\0one", level = 12, ratio = 0.25, big = 2 ^ 53, neg = -70000,
    flags = {true, false, true}, nested = {list = {"a", "b", {deep = "yes"}}, empty = {}},
    [10] = "ten", [-3] = "minus three",
  }
  local back = cmsgpack.unpack(cmsgpack.pack(value))
  assert(back.name == "player\0one" and back.level == 12 and back.ratio == 0.25)
  assert(back.big == 2 ^ 53 and back.neg == -70000)
  assert(#back.flags == 3 and back.flags[1] == true and back.flags[2] == false)
  assert(back.nested.list[3].deep == "yes" and next(back.nested.empty) == nil)
  assert(back[10] == "ten" and back[-3] == "minus three")
  local a, b, c = cmsgpack.unpack(cmsgpack.pack("x", 2, {3}))
  assert(a == "x" and b == 2 and c[1] == 3)
end)

test("unpack_one and unpack_limit walk through offsets", function()
  local s = cmsgpack.pack(1, "two", {3})
  local offset, v = cmsgpack.unpack_one(s)
  assert(offset == 1 and v == 1)
  offset, v = cmsgpack.unpack_one(s, offset)
  assert(offset == 5 and v == "two")
  offset, v = cmsgpack.unpack_one(s, offset)
  assert(offset == -1 and v[1] == 3)
  -- At the end of the string there is nothing more to read.
  assert(select("#", cmsgpack.unpack_one(s, #s)) == 1 and cmsgpack.unpack_one(s, #s) == -1)
  local r = table.pack(cmsgpack.unpack_limit(s, 2))
  assert(r.n == 3 and r[1] == 5 and r[2] == 1 and r[3] == "two")
  r = table.pack(cmsgpack.unpack_limit(s, 5, 1))
  assert(r.n == 3 and r[1] == -1 and r[2] == "two")
  -- A limit of 0 from offset 0 decodes everything, like unpack.
  r = table.pack(cmsgpack.unpack_limit(s, 0))
  assert(r.n == 3 and r[1] == 1 and r[3][1] == 3)
  -- Extra arguments are dropped, not returned.
  r = table.pack(cmsgpack.unpack_one(s, 0, "extra", "args"))
  assert(r.n == 2)
  raises("Start offset 8 greater than input length 7.", cmsgpack.unpack_one, s, #s + 1)
  raises("Invalid request to unpack with offset of -1 and limit of 1.", cmsgpack.unpack_one, s, -1)
  raises("Invalid request to unpack with offset of 0 and limit of -2.", cmsgpack.unpack_limit, s, -2)
end)

test("malformed input raises the fixed messages", function()
  local missing = {"dc00", "dc0001", "cd01", "cf00000000", "d9", "d905616263", "da0001", "db00000001",
                   "a3616263" .. "a2", "9301", "820101", "ca0000", "cb00000000000000",
                   "ddffffffff", "dbffffffff41", "dfffffffff"}
  for _, h in ipairs(missing) do raises("Missing bytes in input.", cmsgpack.unpack, fromhex(h)) end
  for _, code in ipairs({0xC1, 0xC4, 0xC5, 0xC6, 0xC7, 0xC8, 0xC9, 0xD4, 0xD5, 0xD6, 0xD7, 0xD8}) do
    raises("Bad data format in input.", cmsgpack.unpack, string.char(code))
    raises("Bad data format in input.", cmsgpack.unpack, "\x92\x01" .. string.char(code))
  end
  raises("table index is nil", cmsgpack.unpack, fromhex("81c001"))
  raises("table index is NaN", cmsgpack.unpack, fromhex("81cb7ff800000000000001"))
  raises("bad argument #1", cmsgpack.unpack, {})
  assert(select("#", cmsgpack.unpack("")) == 0)
end)

test("hostile depth and counts", function()
  -- 100,000 nested arrays must end in an error, not a stack overflow.
  raises("Nesting too deep in input.", cmsgpack.unpack, string.rep("\x91", 100000) .. "\xc0")
  raises("Nesting too deep in input.", cmsgpack.unpack, string.rep("\x81\xc3", 100000) .. "\xc0")
  -- Deep but bounded input still decodes.
  local v = cmsgpack.unpack(string.rep("\x91", 500) .. "\x07")
  for _ = 1, 500 do v = v[1] end
  assert(v == 7)
  -- More values than the Lua stack can return at once.
  raises("too many return values at once; use unpack_one or unpack_limit instead.",
         cmsgpack.unpack, string.rep("\xc0", 1100000))
end)
