-- The "sproto.core" module: exact message bytes, zero-packing, schema bundles
-- (accepted and rejected), the binding's errors and its buffer cap.
local core = require "sproto.core"

local testlib = require "testlib"
local tohex, fromhex, raises = testlib.tohex, testlib.fromhex, testlib.raises

-- ---- Bundle builder ---------------------------------------------------------
-- A message from {tag=, inline=} and {tag=, data=} entries in ascending tag
-- order; a gap becomes one skip slot.
local function message(entries)
  local slots, parts, last = {}, {}, -1
  for _, e in ipairs(entries) do
    if e.tag > last + 1 then slots[#slots + 1] = 2 * (e.tag - last - 1) - 1 end
    if e.data then
      slots[#slots + 1] = 0
      parts[#parts + 1] = string.pack("<s4", e.data)
    else
      slots[#slots + 1] = (e.inline + 1) * 2
    end
    last = e.tag
  end
  local header = {string.pack("<I2", #slots)}
  for _, s in ipairs(slots) do header[#header + 1] = string.pack("<I2", s) end
  return table.concat(header) .. table.concat(parts)
end

local function array(records)
  local out = {}
  for _, r in ipairs(records) do out[#out + 1] = string.pack("<s4", r) end
  return table.concat(out)
end

local INTEGER, BOOLEAN, STRING = 0, 1, 2

-- f = {name, tag, builtin=, struct=, array=, key=}
local function field(f)
  local e = {{tag = 0, data = f[1]}}
  if f.builtin then e[#e + 1] = {tag = 1, inline = f.builtin} end
  if f.struct then e[#e + 1] = {tag = 2, inline = f.struct} end
  e[#e + 1] = {tag = 3, inline = f[2]}
  if f.array then e[#e + 1] = {tag = 4, inline = 1} end
  if f.key then e[#e + 1] = {tag = 5, inline = f.key} end
  return message(e)
end

local function stype(name, fields)
  local e = {{tag = 0, data = name}}
  if fields then e[2] = {tag = 1, data = array(fields)} end
  return message(e)
end

local function protocol(name, tag, request, response)
  local e = {{tag = 0, data = name}, {tag = 1, inline = tag}}
  if request then e[#e + 1] = {tag = 2, inline = request} end
  if response then e[#e + 1] = {tag = 3, inline = response} end
  return message(e)
end

local function bundle(types, protocols)
  local e = {{tag = 0, data = array(types)}}
  if protocols then e[2] = {tag = 1, data = array(protocols)} end
  return message(e)
end

local TYPES = {
  stype("Person", {field{"name", 0, builtin = STRING}, field{"id", 1, builtin = INTEGER},
                   field{"email", 2, builtin = STRING}, field{"phone", 3, struct = 1, array = true}}),
  stype("PhoneNumber", {field{"number", 0, builtin = STRING}, field{"type", 1, builtin = INTEGER}}),
  stype("AddressBook", {field{"person", 0, struct = 0, array = true, key = 1}}),
  stype("Data", {field{"numbers", 0, builtin = INTEGER, array = true},
                 field{"bools", 1, builtin = BOOLEAN, array = true},
                 field{"number", 2, builtin = INTEGER}, field{"bool", 3, builtin = BOOLEAN},
                 field{"str", 5, builtin = STRING}, field{"strs", 6, builtin = STRING, array = true}}),
  stype("Deep", {field{"child", 0, struct = 4}, field{"value", 1, builtin = INTEGER}}),
  stype("One", {field{"a", 0, builtin = INTEGER}}),
  stype("Sparse", {field{"a", 2, builtin = INTEGER}}),
  stype("Defaults", {field{"a", 0, builtin = INTEGER}, field{"b", 1, builtin = STRING, array = true},
                     field{"c", 2, struct = 1}}),
  stype("Empty", {}),
  stype("Nameless"),
}
local PROTOCOLS = {protocol("foobar", 1, 0, 2), protocol("noreq", 2, nil, 3), protocol("bare", 3)}

local sp = assert(core.newproto(bundle(TYPES, PROTOCOLS)))
local T = {}
for _, name in ipairs({"Person", "PhoneNumber", "AddressBook", "Data", "Deep", "One", "Sparse",
                       "Defaults", "Empty", "Nameless"}) do
  T[name] = assert(core.querytype(sp, name), name)
end

local function encodes(st, value, hex)
  local bytes = core.encode(st, value)
  assert(tohex(bytes) == hex:gsub("%s", ""), "encoded " .. tohex(bytes))
  local back, consumed = core.decode(st, bytes)
  assert(consumed == #bytes)
  return back
end

-- ---- Tests ------------------------------------------------------------------

test("module table", function()
  for _, name in ipairs({"newproto", "deleteproto", "dumpproto", "querytype", "decode", "protocol",
                         "loadproto", "saveproto", "default", "encode", "pack", "unpack"}) do
    assert(type(core[name]) == "function", name)
  end
  assert(core.querytype(sp, "Missing") == nil and select("#", core.querytype(sp, "Missing")) == 0)
end)

test("integer bytes: inline, 4-byte and 8-byte forms", function()
  encodes(T.Person, {}, "0000")
  assert(encodes(T.One, {a = 1}, "0100 0400").a == 1)
  assert(encodes(T.Sparse, {a = 1}, "0200 0300 0400").a == 1)
  assert(encodes(T.One, {a = 0}, "0100 0200").a == 0)
  assert(encodes(T.One, {a = 32766}, "0100 feff").a == 32766)
  assert(encodes(T.One, {a = 32767}, "0100 0000 04000000 ff7f0000").a == 32767)
  assert(encodes(T.One, {a = -1}, "0100 0000 04000000 ffffffff").a == -1)
  assert(encodes(T.One, {a = 0x7FFFFFFF}, "0100 0000 04000000 ffffff7f").a == 0x7FFFFFFF)
  assert(encodes(T.One, {a = 2 ^ 31 | 0}, "0100 0000 08000000 0000008000000000").a == 2 ^ 31)
  assert(encodes(T.One, {a = 1 << 32}, "0100 0000 08000000 0000000001000000").a == 1 << 32)
  assert(encodes(T.One, {a = math.mininteger}, "0100 0000 08000000 0000000000000080").a == math.mininteger)
  assert(encodes(T.One, {a = 2.0}, "0100 0600").a == 2)
  assert(encodes(T.One, {a = "10"}, "0100 1600").a == 10)
end)

test("arrays, booleans, strings and gaps", function()
  local d = encodes(T.Data, {numbers = {1, 2}}, "0100 0000 09000000 04 01000000 02000000")
  assert(#d.numbers == 2 and d.numbers[2] == 2)
  d = encodes(T.Data, {numbers = {1, 1 << 40}}, "0100 0000 11000000 08 0100000000000000 0000000000010000")
  assert(d.numbers[1] == 1 and d.numbers[2] == 1 << 40)
  d = encodes(T.Data, {numbers = {-1, 1 << 40, 7}},
              "0100 0000 19000000 08 ffffffffffffffff 0000000000010000 0700000000000000")
  assert(d.numbers[1] == -1 and d.numbers[3] == 7)
  -- An empty array is a zero-length data part (no size byte) and comes back empty.
  d = encodes(T.Data, {numbers = {}}, "0100 0000 00000000")
  assert(type(d.numbers) == "table" and next(d.numbers) == nil)
  d = encodes(T.Data, {bools = {true, false, true}}, "0200 0100 0000 03000000 010001")
  assert(d.bools[1] == true and d.bools[2] == false and d.bools[3] == true and d.numbers == nil)
  d = encodes(T.Data, {strs = {"ab", ""}}, "0200 0b00 0000 0a000000 02000000 6162 00000000")
  assert(d.strs[1] == "ab" and d.strs[2] == "")
  -- Tags 0..2 absent, 3 inline, 4 is not in the type, 5 a string: the data
  -- follows the four slots actually used, not the seven reserved.
  d = encodes(T.Data, {bool = true, str = "hi"}, "0400 0500 0400 0100 0000 02000000 6869")
  assert(d.bool == true and d.str == "hi")
  d = encodes(T.Data, {number = 5, bool = false}, "0300 0300 0c00 0200")
  assert(d.number == 5 and d.bool == false)
  -- Numbers are accepted as strings.
  assert(encodes(T.Person, {name = 12}, "0100 0000 02000000 3132").name == "12")
end)

test("nested structs and map-like arrays", function()
  local person = {name = "Alice", id = 10, phone = {{number = "123", type = 1}, {number = "456"}}}
  local back = core.decode(T.Person, core.encode(T.Person, person))
  assert(back.name == "Alice" and back.id == 10 and back.email == nil)
  assert(#back.phone == 2 and back.phone[1].number == "123" and back.phone[1].type == 1)
  assert(back.phone[2].number == "456" and back.phone[2].type == nil)

  local book = {person = {{name = "a", id = 10}, {name = "b", id = 20}}}
  local decoded = core.decode(T.AddressBook, core.encode(T.AddressBook, book))
  assert(decoded.person[10].name == "a" and decoded.person[20].name == "b" and decoded.person[1] == nil)
  -- Keys of a map-like array do not matter when encoding.
  local keyed = core.decode(T.AddressBook, core.encode(T.AddressBook, {person = {x = {name = "x", id = 3}}}))
  assert(keyed.person[3].name == "x")
  raises("Can't find main index (tag=1) in [person]", core.decode, T.AddressBook,
         core.encode(T.AddressBook, {person = {{name = "no id"}}}))
end)

test("decode: consumed length, unknown tags, table in place", function()
  local bytes = core.encode(T.One, {a = 40000})
  local t, n = core.decode(T.One, bytes .. "trailing")
  assert(t.a == 40000 and n == #bytes)
  -- Tag 0 inline 7, tag 3 (unknown to One) a data part: skipped, counted.
  local withUnknown = fromhex("0300 1000 0300 0000 03000000 616263")
  t, n = core.decode(T.One, withUnknown)
  assert(t.a == 7 and n == #withUnknown)
  local target = {keep = true}
  local r = core.decode(T.One, bytes, target)
  assert(r == target and target.keep and target.a == 40000)
end)

test("decode rejects malformed messages", function()
  local bad = {
    "", "01", "0100", "0100 00", "0100 0000 0400", "0100 0000 05000000 0102030405", -- truncated, odd int size
    "0200 0100 0000 03000000 0102",       -- data part shorter than its length
    "0200 0400 0200",                     -- inline value for an array field (Data.numbers)
    "0100 0000 02000000 0500",            -- integer array: size byte 5
    "0100 0000 06000000 04 0100000002",   -- integer array: length not a multiple of 4
    "0200 0500 0000 04000000 01000000",   -- boolean in a data part
    "0200 0b00 0000 06000000 05000000 6162",  -- string element longer than the part
  }
  for i, h in ipairs(bad) do
    local st = i <= 6 and T.One or T.Data
    raises("decode error", core.decode, st, fromhex(h))
  end
  -- A nested message that does not fill its data part fails.
  raises("decode error", core.decode, T.Deep, fromhex("0100 0000 03000000 000000"))
  raises("Need a sproto_type object", core.decode, nil, "")
  raises("Need a string or userdata", core.decode, T.One, {})
end)

test("encode errors name the field and index", function()
  raises(".a[0] is not an integer (Is a number)", core.encode, T.One, {a = 1.5})
  raises(".a[0] is not an integer (Is a string)", core.encode, T.One, {a = "x"})
  raises(".numbers[2] is not an integer (Is a string)", core.encode, T.Data, {numbers = {1, "x"}})
  raises(".bool[0] is not a boolean (Is a number)", core.encode, T.Data, {bool = 1})
  raises(".bools[1] is not a boolean (Is a string)", core.encode, T.Data, {bools = {"no"}})
  raises(".name[0] is not a string (Is a table)", core.encode, T.Person, {name = {}})
  raises(".child[0] is not a table (Is a number)", core.encode, T.Deep, {child = 5})
  raises(".*numbers(1) should be a table (Is a string)", core.encode, T.Data, {numbers = "x"})
  raises("Need a sproto_type object", core.encode, nil, {})
  raises("bad argument #2", core.encode, T.One, "x")
end)

test("a metamethod that re-enters encode leaves the outer encoding intact", function()
  local inner = string.rep("i", 5000)
  local message = setmetatable({}, {__index = function(_, key)
    if key == "name" then
      -- Grows the shared buffer while the outer call is using it.
      core.encode(T.Person, {name = inner})
      collectgarbage()
      return "outer"
    end
  end})
  assert(core.decode(T.Person, core.encode(T.Person, message)).name == "outer")
end)

test("nesting is bounded", function()
  local function chain(n)
    local t = {value = n}
    for i = n - 1, 1, -1 do t = {child = t, value = i} end
    return t
  end
  local ok = core.decode(T.Deep, core.encode(T.Deep, chain(60)))
  for _ = 1, 59 do ok = ok.child end
  assert(ok.value == 60)
  raises("The table is too deep", core.encode, T.Deep, chain(100))
  local cycle = {}
  cycle.child = cycle
  raises("The table is too deep", core.encode, T.Deep, cycle)
  -- A hand-made message nested 100 levels deep.
  local bytes = fromhex("0000")
  for _ = 1, 100 do bytes = string.pack("<I2I2s4", 1, 0, bytes) end
  raises("The table is too deep", core.decode, T.Deep, bytes)
end)

test("buffer growth and its 16 MiB cap", function()
  local big = string.rep("s", 3000)
  assert(core.decode(T.Person, core.encode(T.Person, {name = big})).name == big)
  -- Between half the cap and the cap: the buffer grows to the cap itself.
  local large = string.rep("l", 10 * 1024 * 1024)
  assert(#core.encode(T.Person, {name = large}) == #large + 2 + 2 + 4)
  raises("object is too large (>16777216)", core.encode, T.Person, {name = string.rep("x", 16 * 1024 * 1024)})
  raises("object is too large (>16777216)", core.pack, string.rep("p", 16 * 1024 * 1024))
  raises("object is too large (>16777216)", core.unpack, string.rep("\0", 2 * 1024 * 1024 + 1))
  -- The encoder still works after an error.
  assert(tohex(core.encode(T.One, {a = 1})) == "01000400")
end)

test("zero-packing bytes", function()
  local cases = {
    {string.rep("\0", 8), "00"},
    {"\1\2\3\4\5\6\7\8", "ff00 0102030405060708"},
    {string.rep("\1", 16), "ff01" .. string.rep("01", 16)},
    {"\1\0\2", "05 0102"},
    {"", ""},
    {"\0\0\0\0\0\0\0\1\0\0\0\0\0\0\0\0", "80 01 00"},
    -- A group of 7 joins an open run, a group of 6 too; a group of 5 closes it.
    {"\1\1\1\1\1\1\1\1" .. "\1\1\1\1\1\1\1\0" .. "\1\1\1\1\1\1\0\0" .. "\1\1\1\1\1\0\0\0",
     "ff02 0101010101010101 0101010101010100 0101010101010000 1f 0101010101"},
    -- A group of 7 without an open run is a bitmap group.
    {"\1\1\1\1\1\1\1\0", "7f 01010101010101"},
    -- A short dense tail: the run's raw bytes are padded with zeros.
    {string.rep("\1", 8) .. "\2\2\2\2\2\2\2", "ff01 0101010101010101 0202020202020200"},
  }
  for i, c in ipairs(cases) do
    local packed = core.pack(c[1])
    assert(tohex(packed) == c[2]:gsub("%s", ""), "case " .. i .. ": " .. tohex(packed))
    local padded = c[1] .. string.rep("\0", (8 - #c[1] % 8) % 8)
    assert(core.unpack(packed) == padded, "case " .. i .. " round trip")
  end
  -- A run holds at most 256 groups.
  local dense = string.rep("\9", 8 * 300)
  local packed = core.pack(dense)
  assert(tohex(packed:sub(1, 2)) == "ffff" and #packed == 2 + 256 * 8 + 2 + 44 * 8)
  assert(tohex(packed:sub(2 + 256 * 8 + 1, 2 + 256 * 8 + 2)) == "ff2b")
  assert(core.unpack(packed) == dense)
  -- Data larger than the starting buffer.
  local mixed = {}
  for i = 1, 20000 do mixed[i] = string.char((i * 7919) % 251 * (i % 3 == 0 and 0 or 1)) end
  mixed = table.concat(mixed)
  assert(core.unpack(core.pack(mixed)):sub(1, #mixed) == mixed)
  assert(core.pack(io.stdout, 0) == "")
  raises("Need a string or userdata", core.pack, {})
end)

test("zero-unpacking rejects short streams", function()
  for _, h in ipairs({"ff", "ff00 01020304050607", "03 01", "ff01 0102030405060708", "01"}) do
    raises("Invalid unpack stream", core.unpack, fromhex(h))
  end
  assert(core.unpack("") == "")
  assert(core.unpack("\0\0") == string.rep("\0", 16))
end)

test("protocol lookups", function()
  local tag, req, resp = core.protocol(sp, "foobar")
  assert(tag == 1 and req == T.Person and resp == T.AddressBook)
  local name
  name, req, resp = core.protocol(sp, 2)
  assert(name == "noreq" and req == nil and resp == T.Data)
  local r = table.pack(core.protocol(sp, 3))
  assert(r.n == 3 and r[1] == "bare" and r[2] == nil and r[3] == nil)
  assert(select("#", core.protocol(sp, "nothing")) == 0)
  assert(select("#", core.protocol(sp, 99)) == 0)
  assert(select("#", core.protocol(sp, -1)) == 0)
  raises("Should be number or string", core.protocol, sp, {})
  raises("Need a sproto_type object", core.protocol, nil, 1)
end)

test("global slots", function()
  raises("Invalid global slot index 128", core.saveproto, sp, 128)
  raises("Invalid global slot index -1", core.loadproto, -1)
  raises("nil sproto at index 5", core.loadproto, 5)
  core.saveproto(sp, 3)
  assert(core.loadproto(3) == sp)
  core.saveproto(sp)
  assert(core.loadproto() == sp)
  -- Deleting a schema empties the slots that hold it.
  local other = assert(core.newproto(bundle({stype("X", {})})))
  core.saveproto(other, 4)
  core.deleteproto(other)
  raises("nil sproto at index 4", core.loadproto, 4)
  assert(core.loadproto(3) == sp)
  raises("Need a sproto object", core.deleteproto, nil)
end)

test("default values", function()
  local d = core.default(T.Defaults)
  assert(d.a == 0 and type(d.b) == "table" and next(d.b) == nil)
  assert(type(d.c) == "table" and d.c.__type == "PhoneNumber")
  local p = core.default(T.Data)
  assert(p.number == 0 and p.bool == false and p.str == "" and next(p.numbers) == nil)
  assert(next(core.default(T.Empty)) == nil)
  -- A header larger than the 64-byte scratch buffer.
  local fields = {}
  for i = 1, 40 do fields[i] = field{"f" .. i, i * 2, builtin = INTEGER} end
  local wide = assert(core.newproto(bundle({stype("Wide", fields)})))
  local w = core.default(core.querytype(wide, "Wide"))
  assert(w.f1 == 0 and w.f40 == 0)
  core.deleteproto(wide)
  raises("Need a sproto_type object", core.default, nil)
end)

test("empty types and schemas", function()
  assert(tohex(core.encode(T.Empty, {x = 1})) == "0000")
  assert(tohex(core.encode(T.Nameless, {})) == "0000")
  local none = assert(core.newproto(fromhex("0000")))
  assert(core.querytype(none, "Person") == nil)
  core.deleteproto(none)
end)

test("protocols are found by tag whatever their order in the bundle", function()
  local types = {stype("A", {field{"x", 0, builtin = INTEGER}})}
  local s = assert(core.newproto(bundle(types, {protocol("late", 9, 0), protocol("early", 2, nil, 0)})))
  assert(core.protocol(s, 9) == "late" and core.protocol(s, 2) == "early")
  assert(core.protocol(s, "late") == 9)
  core.deleteproto(s)
end)

test("rejected bundles", function()
  local int = function(name, tag) return field{name, tag, builtin = INTEGER} end
  local function raw(entries) return message(entries) end
  local bad = {
    ["duplicate tags"] = bundle({stype("A", {int("x", 1), int("y", 1)})}),
    ["descending tags"] = bundle({stype("A", {int("x", 2), int("y", 1)})}),
    ["struct index out of range"] = bundle({stype("A", {field{"x", 0, struct = 1}})}),
    ["struct index far out of range"] = bundle({stype("A", {field{"x", 0, struct = 300}})}),
    ["request index out of range"] = bundle({stype("A", {})}, {protocol("p", 1, 1)}),
    ["response index out of range"] = bundle({stype("A", {})}, {protocol("p", 1, nil, 5)}),
    ["built-in type 3"] = bundle({stype("A", {field{"x", 0, builtin = 3}})}),
    ["built-in and struct"] = bundle({stype("A", {field{"x", 0, builtin = 0, struct = 0}})}),
    ["field without type"] = bundle({stype("A", {field{"x", 0}})}),
    ["field without tag"] = bundle({stype("A", {raw{{tag = 0, data = "x"}, {tag = 1, inline = 0}}})}),
    ["field without name"] = bundle({stype("A", {raw{{tag = 1, inline = 0}, {tag = 3, inline = 0}}})}),
    ["field name inline"] = bundle({stype("A", {raw{{tag = 0, inline = 1}, {tag = 1, inline = 0},
                                                    {tag = 3, inline = 0}}})}),
    ["field data slot for its tag"] = bundle({stype("A", {raw{{tag = 0, data = "x"}, {tag = 1, inline = 0},
                                                              {tag = 3, data = "\0\0\0\0"}}})}),
    ["field tag above 5"] = bundle({stype("A", {raw{{tag = 0, data = "x"}, {tag = 1, inline = 0},
                                                    {tag = 3, inline = 0}, {tag = 6, inline = 0}}})}),
    ["type name inline"] = bundle({raw{{tag = 0, inline = 1}}}),
    ["type with three slots"] = bundle({raw{{tag = 0, data = "A"}, {tag = 1, data = ""}, {tag = 2, data = ""}}}),
    ["type field array cut"] = bundle({raw{{tag = 0, data = "A"}, {tag = 1, data = "\5\0\0\0ab"}}}),
    ["protocol without tag"] = bundle({stype("A", {})}, {raw{{tag = 0, data = "p"}}}),
    ["protocol name inline"] = bundle({stype("A", {})}, {raw{{tag = 0, inline = 1}, {tag = 1, inline = 1}}}),
    ["protocol fifth slot"] = bundle({stype("A", {})}, {raw{{tag = 0, data = "p"}, {tag = 1, inline = 1},
                                                            {tag = 2, inline = 0}, {tag = 3, inline = 0},
                                                            {tag = 4, inline = 0}}}),
    ["group with three slots"] = raw{{tag = 0, data = ""}, {tag = 1, data = ""}, {tag = 2, data = ""}},
    ["group slot inline"] = raw{{tag = 0, inline = 0}},
    ["types array cut"] = raw{{tag = 0, data = "\9\0\0\0abc"}},
  }
  for what, b in pairs(bad) do
    assert(core.newproto(b) == nil, what)
  end
  raises("bad argument #1", core.newproto, nil)
end)

test("every prefix of a bundle is refused, and a changed byte gives nil or a whole schema", function()
  local b = bundle(TYPES, PROTOCOLS)
  -- A refusal is a nil result, never an error.
  for n = 0, #b - 1 do
    assert(core.newproto(b:sub(1, n)) == nil, "a prefix of " .. n .. " bytes was accepted")
  end
  local accepted, refused = 0, 0
  for i = 1, #b do
    for _, v in ipairs({0, 1, 0x7F, 0xFF}) do
      local s = core.newproto(b:sub(1, i - 1) .. string.char(v) .. b:sub(i + 1))
      if s == nil then
        refused = refused + 1
      else
        assert(type(s) == "userdata", "byte " .. i .. ": " .. type(s))
        accepted = accepted + 1
        -- Whatever the change kept of the schema, its parts hold together.
        for name in pairs(T) do
          local st = core.querytype(s, name)
          if st then assert(type(core.default(st)) == "table", name) end
        end
        for tag = 0, 4 do
          local name = core.protocol(s, tag)
          assert(name == nil or core.protocol(s, name) == tag, "protocol " .. tag)
        end
        core.deleteproto(s)
      end
    end
  end
  -- Changed names and values are accepted; changed counts and lengths are not.
  assert(accepted > 0 and refused > 0, accepted .. " accepted, " .. refused .. " refused")
end)

test("only live schemas and their types are taken", function()
  local g = require "gcore.c"
  local s = assert(core.newproto(bundle({stype("A", {field{"x", 0, builtin = INTEGER}})})))
  local st = core.querytype(s, "A")
  local foreign = {g.Sprite(), g.QID(0x41414141), io.stdout}
  local uses = {
    {"deleteproto", "Need a sproto object", function(v) core.deleteproto(v) end},
    {"dumpproto", "Need a sproto_type object", function(v) core.dumpproto(v) end},
    {"querytype", "Need a sproto object", function(v) core.querytype(v, "A") end},
    {"protocol", "Need a sproto_type object", function(v) core.protocol(v, 1) end},
    {"saveproto", "Need a sproto object", function(v) core.saveproto(v, 7) end},
    {"encode", "Need a sproto_type object", function(v) core.encode(v, {}) end},
    {"decode", "Need a sproto_type object", function(v) core.decode(v, "") end},
    {"default", "Need a sproto_type object", function(v) core.default(v) end},
  }
  local function refused(value, what)
    for _, use in ipairs(uses) do
      local ok, err = pcall(use[3], value)
      assert(not ok, use[1] .. " took " .. what)
      assert(err:find(use[2], 1, true) and err:find(use[1], 1, true), use[1] .. ": " .. err)
    end
  end
  for i, v in ipairs(foreign) do refused(v, "foreign value " .. i) end
  -- A type is no schema and a schema no type.
  raises("Need a sproto object", core.querytype, st, "A")
  raises("Need a sproto_type object", core.encode, s, {})
  core.saveproto(s, 7)
  core.saveproto(nil, 7)
  raises("nil sproto at index 7", core.loadproto, 7)
  core.deleteproto(s)
  -- Freed: the schema and its types, and a second delete.
  refused(s, "a freed schema")
  refused(st, "a type of a freed schema")
end)

test("deleteproto frees the schema and empties its slots", function()
  core.deleteproto(sp)
  raises("nil sproto at index 0", core.loadproto, 0)
  raises("nil sproto at index 3", core.loadproto, 3)
end)
