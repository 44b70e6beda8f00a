-- "zip.c": archives made by python's zipfile are listed and read exactly;
-- archives written here are read back by zipfile and pass `unzip -t`; lying
-- and damaged archives give errors. Every test works in a fresh folder.
local zip = require "zip.c"
local raises = require("testlib").raises

local function shell(command)
  local output = io.popen(command .. " 2>&1")
  local text = output:read("a")
  local ok, _, code = output:close()
  return text, ok and code == 0
end

-- Every file of the run lives under one folder, removed by the last test.
-- (A shell command forks the whole test process: few of them.)
local root = os.tmpname()
os.remove(root)
assert(require("lfs.c").mkdir(root))
local folders = 0
local function folder()
  folders = folders + 1
  local path = root .. "/" .. folders
  assert(require("lfs.c").mkdir(path))
  return path
end

local fixtures = folder()
assert(select(2, shell('/usr/bin/python3 zip_fixtures.py "' .. fixtures .. '"')))
local function fixture(name) return fixtures .. "/" .. name end

local function crc32(s)
  local crc = 0xFFFFFFFF
  for i = 1, #s do
    crc = crc ~ s:byte(i)
    for _ = 1, 8 do crc = (crc >> 1) ~ (0xEDB88320 & -(crc & 1)) end
  end
  return string.format("%08x", crc ~ 0xFFFFFFFF)
end

local B_BIN = {}
for i = 0, 255 do B_BIN[#B_BIN + 1] = string.char(i) end
B_BIN = string.rep(table.concat(B_BIN), 4)

test("stored and deflated archives list and read exactly", function()
  for _, name in ipairs {"stored.zip", "deflated.zip"} do
    local z = assert(zip.unzip(fixture(name)), name)
    assert(table.concat(z:list(), ",") == "a.txt,dir/b.bin,empty", name)
    assert(z:read("a.txt") == "hello, zip", name)
    assert(z:read("dir/b.bin") == B_BIN, name)
    assert(z:read("empty") == "", name)
    -- Names are found in any letter case.
    assert(z:read("A.TXT") == "hello, zip" and z:read("Dir/B.Bin") == B_BIN, name)
    raises("Can't find nothing", z.read, z, "nothing")
    z:close()
  end
end)

test("empty and many-entry archives", function()
  local z = assert(zip.unzip(fixture("empty.zip")))
  assert(select("#", z:list()) == 0)
  z:close()
  z = assert(zip.unzip(fixture("many.zip")))
  local names = z:list()
  assert(#names == 300)
  for i = 0, 299 do
    local name = string.format("e%03d", i)
    assert(names[i + 1] == name, name)
  end
  assert(z:read("e123") == "e123" and z:read("e299") == "e299")
  z:close()
end)

test("written archives read back here, in zipfile and in unzip -t", function()
  local base = folder()
  local path = base .. "/out.zip"
  local big = {}
  for i = 1, 30000 do big[i] = string.format("%d,", i * 7919 % 100003) end
  big = table.concat(big)
  local entries = {
    {"a.txt", "hello, zip"}, {"dir/b.bin", B_BIN}, {"empty", ""}, {"big.txt", big},
  }
  for round = 1, 2 do  -- the second round replaces the first archive
    local z = assert(zip.zip(path))
    for _, e in ipairs(entries) do z:write(e[1], e[2]) end
    if round == 1 then z:write("gone", "only in the first archive") end
    z:close()
  end
  local z = assert(zip.unzip(path))
  assert(table.concat(z:list(), ",") == "a.txt,dir/b.bin,empty,big.txt")
  for _, e in ipairs(entries) do assert(z:read(e[1]) == e[2], e[1]) end
  z:close()

  local listing, ok = shell('/usr/bin/python3 zip_fixtures.py --read "' .. path .. '"')
  assert(ok, listing)
  local expected = {}
  for _, e in ipairs(entries) do expected[#expected + 1] = e[1] .. " " .. #e[2] .. " " .. crc32(e[2]) end
  assert(listing == table.concat(expected, "\n") .. "\n", listing)
  local tested, passed = shell('unzip -t "' .. path .. '"')
  assert(passed and tested:find("No errors detected", 1, true), tested)
end)

test("lying, damaged and truncated archives give errors", function()
  local z = assert(zip.unzip(fixture("lying-huge.zip")))
  assert(z:list()[1] == "x")
  raises("Can't read x: its size of 4294967280 bytes is over the limit", z.read, z, "x")
  z:close()
  for _, name in ipairs {"lying-long.zip", "lying-short.zip", "damaged.zip"} do
    z = assert(zip.unzip(fixture(name)), name)
    raises("Can't read x", z.read, z, "x")
    -- The handle stays usable after the error.
    raises("Can't read x", z.read, z, "x")
    z:close()
  end
  assert(select("#", zip.unzip(fixture("truncated.zip"))) == 0)
  assert(select("#", zip.unzip(fixture("nothing-here.zip"))) == 0)
  assert(select("#", zip.zip(fixtures .. "/no/such/folder/out.zip")) == 0)
end)

test("entries of other compression methods are refused, not handed out compressed", function()
  for _, name in ipairs {"bzip2.zip", "lzma.zip"} do
    local z = assert(zip.unzip(fixture(name)), name)
    assert(table.concat(z:list(), ",") == "a.txt,dir/b.bin,empty", name)
    raises("Can't read a.txt: its compression method", z.read, z, "a.txt")
    raises("Can't read dir/b.bin: its compression method", z.read, z, "dir/b.bin")
    z:close()
  end
end)

test("archives with forced zip64 headers read exactly", function()
  local z = assert(zip.unzip(fixture("zip64.zip")))
  assert(table.concat(z:list(), ",") == "a.txt,dir/b.bin,empty")
  assert(z:read("a.txt") == "hello, zip")
  assert(z:read("dir/b.bin") == B_BIN)
  assert(z:read("empty") == "")
  z:close()
  z = assert(zip.unzip(fixture("zip64-damaged.zip")))
  raises("Can't read a.txt", z.read, z, "a.txt")
  assert(z:read("dir/b.bin") == B_BIN)
  z:close()
end)

test("closed handles, wrong arguments and foreign selves", function()
  local z = assert(zip.unzip(fixture("stored.zip")))
  z:close()
  z:close()
  raises("unzip file " .. tostring(z):match("0x%x+") .. " is already closed", z.read, z, "a.txt")
  raises("is already closed", z.list, z)
  local base = folder()
  local w = assert(zip.zip(base .. "/w.zip"))
  w:close()
  w:close()
  raises("zip file " .. tostring(w):match("0x%x+") .. " is already closed", w.write, w, "a", "b")

  z = assert(zip.unzip(fixture("stored.zip")))
  w = assert(zip.zip(base .. "/w.zip"))
  for _, bad in ipairs {"nil", "{}", "true", "print"} do
    local value = load("return " .. bad)()
    raises("bad argument", zip.unzip, value)
    raises("bad argument", zip.zip, value)
    raises("bad argument", z.read, z, value)
    raises("bad argument", w.write, w, value, "x")
    raises("bad argument", w.write, w, "x", value)
    -- The methods check their self.
    raises("bad argument", z.read, value, "a.txt")
    raises("bad argument", w.write, value, "a", "b")
  end
  -- A handle of one kind is no handle of the other.
  raises("bad argument", z.read, w, "a.txt")
  raises("bad argument", w.write, z, "a", "b")
  raises("bad argument", z.list, io.stdout)
  z:close()
  w:close()
end)

test("handles left open are closed by the collector", function()
  local base = folder()
  do
    local w = assert(zip.zip(base .. "/gc.zip"))
    w:write("kept", "by the collector")
  end
  collectgarbage()
  collectgarbage()
  local z = assert(zip.unzip(base .. "/gc.zip"))
  assert(z:read("kept") == "by the collector")
  z = nil
  collectgarbage()
end)

test("cleanup", function() shell('rm -rf "' .. root .. '"') end)
