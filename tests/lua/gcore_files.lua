-- "gcore.c": files and folders, whole files in and out, compression and
-- packets. Every test works in a fresh folder under the system's temporary
-- folder.
local g = require "gcore.c"
local lfs = require "lfs.c"

local function folder()
  local path = os.tmpname()
  os.remove(path)
  g.MakeDir(path)
  assert(g.IsDirExist(path), path)
  return path
end

local function write(path, bytes)
  local f = assert(io.open(path, "wb"))
  f:write(bytes)
  f:close()
end

local function read(path)
  local f = io.open(path, "rb")
  if not f then return nil end
  local bytes = f:read("a")
  f:close()
  return bytes
end

local function entries(path)
  local names = {}
  local listing = io.popen('ls -A "' .. path .. '"')
  for name in listing:lines() do names[#names + 1] = name end
  listing:close()
  table.sort(names)
  return table.concat(names, " ")
end

-- The engine's os.execute does nothing: commands go through io.popen.
local function shell(command)
  local output = io.popen(command)
  output:read("a")
  output:close()
end

local function clean(path) shell('rm -rf "' .. path .. '"') end

test("folders and existence", function()
  local base = folder()
  assert(not g.IsFileExist(base .. "/a"))
  g.MakeDir(base .. "/a")
  g.MakeDir(base .. "/a")  -- already there: nothing happens
  assert(g.IsDirExist(base .. "/a") and g.IsFileExist(base .. "/a"))
  g.MakeDir(base .. "/x/y")  -- one level only
  assert(not g.IsDirExist(base .. "/x"))
  write(base .. "/f", "1")
  assert(g.IsFileExist(base .. "/f") and not g.IsDirExist(base .. "/f"))
  assert(not g.IsDirExist() and not g.IsFileExist())
  clean(base)
end)

test("WriteFile and LoadFile", function()
  local base = folder()
  g.WriteFile(base .. "/s", "a\0b")
  assert(g.LoadFile(base .. "/s") == "a\0b")
  g.WriteFile(base .. "/n", 12.5)
  assert(g.LoadFile(base .. "/n") == "12.5")
  g.WriteFile(base .. "/w", function(handle)
    g.WriteLine(handle, "one ")
    g.WriteLine(handle, 2)
    g.WriteLine(g.QID(1), "ignored: not the file being written")
    g.WriteLine(io.stdout, "ignored too")
  end)
  assert(g.LoadFile(base .. "/w") == "one 2")
  assert(g.LoadFile(base .. "/missing") == nil)
  -- A handle kept past its call writes nothing.
  local kept
  g.WriteFile(base .. "/k", function(handle) kept = handle end)
  g.WriteLine(kept, "late")
  assert(g.LoadFile(base .. "/k") == "")
  -- Nothing to write, or nowhere to write it: no file.
  g.WriteFile(base .. "/none")
  g.WriteFile(base .. "/table", {})
  assert(not g.IsFileExist(base .. "/none") and not g.IsFileExist(base .. "/table"))
  g.WriteFile(base .. "/no/such/folder", "x")
  assert(entries(base) == "k n s w", entries(base))
  clean(base)
end)

test("a file is replaced whole or not at all", function()
  local base = folder()
  g.WriteFile(base .. "/save", "old")
  local ok, err = pcall(g.WriteFile, base .. "/save", function(handle)
    g.WriteLine(handle, "half of the new")
    error("the writer failed")
  end)
  assert(not ok and err:find("the writer failed"))
  assert(g.LoadFile(base .. "/save") == "old")
  assert(entries(base) == "save", "no temporary file is left: " .. entries(base))
  -- WriteLine after the failed writer writes nowhere.
  g.WriteFile(base .. "/save", "new")
  assert(g.LoadFile(base .. "/save") == "new")
  clean(base)
end)

test("DoCopyFile, RemoveFile and DoMoveFile", function()
  local base = folder()
  write(base .. "/a", "alpha")
  assert(g.DoCopyFile(base .. "/a", base .. "/a"), "the same name copies nothing")
  assert(g.DoCopyFile(base .. "/a", base .. "/b") and read(base .. "/b") == "alpha")
  write(base .. "/c", "older and longer")
  assert(g.DoCopyFile(base .. "/a", base .. "/c") and read(base .. "/c") == "alpha")
  assert(not g.DoCopyFile(base .. "/missing", base .. "/c") and read(base .. "/c") == "alpha")
  assert(not g.DoCopyFile(base .. "/a", base .. "/no/such/d"))
  write(base .. "/e", "")
  assert(g.DoCopyFile(base .. "/e", base .. "/f") and read(base .. "/f") == "")

  -- A move onto an existing target replaces it.
  write(base .. "/target", "target")
  assert(g.DoMoveFile(base .. "/a", base .. "/target"))
  assert(read(base .. "/target") == "alpha" and read(base .. "/a") == nil)
  -- A failed move keeps the target.
  assert(not g.DoMoveFile(base .. "/missing", base .. "/target"))
  assert(read(base .. "/target") == "alpha")
  g.MakeDir(base .. "/dir")
  assert(not g.DoMoveFile(base .. "/target", base .. "/dir"))
  assert(read(base .. "/target") == "alpha")

  assert(g.RemoveFile(base .. "/b") and read(base .. "/b") == nil)
  assert(not g.RemoveFile(base .. "/b"), "no file: false")
  assert(not g.RemoveFile(base .. "/dir") and g.IsDirExist(base .. "/dir"), "folders are not files")
  assert(not g.DoMoveFile() and not g.DoCopyFile() and not g.RemoveFile())
  clean(base)
end)

test("CheckMD5 deletes a plain file that fails", function()
  local base = folder()
  -- The first 16 bytes are the digest of the rest.
  local body = "resource bytes"
  local digest = io.popen("printf '%s' '" .. body .. "' | md5sum"):read("l"):sub(1, 32)
  local prefix = digest:gsub("..", function(h) return string.char(tonumber(h, 16)) end)
  write(base .. "/good", prefix .. body)
  write(base .. "/bad", prefix .. body .. "!")
  write(base .. "/short", "tiny")
  assert(g.CheckMD5(base .. "/good") and read(base .. "/good"))
  assert(not g.CheckMD5(base .. "/bad") and not read(base .. "/bad"))
  assert(not g.CheckMD5(base .. "/short") and not read(base .. "/short"))
  assert(not g.CheckMD5(base .. "/missing"))
  clean(base)
end)

test("WriteFile replaces a link or a FIFO at its path, never writes through it", function()
  local base = folder()
  write(base .. "/target", "kept")
  shell('cd "' .. base .. '" && ln -s target link && mkfifo fifo')
  for _, name in ipairs {"link", "fifo"} do
    g.WriteFile(base .. "/" .. name, "saved")
    assert(lfs.symlinkattributes(base .. "/" .. name, "mode") == "file", name)
    assert(read(base .. "/" .. name) == "saved", name)
  end
  assert(read(base .. "/target") == "kept")
  clean(base)
end)

test("CheckMD5 leaves alone what is no plain file", function()
  local base = folder()
  write(base .. "/target", "some bytes that fail the check")
  -- A FIFO must not block the check, and a device must not be deleted (a
  -- device node can be made only by root; the null device's numbers).
  shell('cd "' .. base .. '" && ln -s target link && ln -s nowhere dangling && mkfifo fifo && ' ..
        '{ mknod null c 1 3 2>/dev/null || true; }')
  local kinds = {link = "link", dangling = "link", fifo = "named pipe", null = "char device"}
  for name, kind in pairs(kinds) do
    local path = base .. "/" .. name
    if lfs.symlinkattributes(path, "mode") then
      assert(not g.CheckMD5(path), name)
      assert(lfs.symlinkattributes(path, "mode") == kind, name .. " is still there")
    else
      assert(name == "null", name)
    end
  end
  assert(read(base .. "/target"), "a link's target stays too")
  clean(base)
end)

test("RemoveFolder", function()
  local base = folder()
  local function tree(path)
    g.MakeDir(path)
    g.MakeDir(path .. "/sub")
    write(path .. "/file", "1")
    write(path .. "/sub/deep", "2")
  end
  -- One argument: the folder goes too.
  tree(base .. "/p")
  g.RemoveFolder(base .. "/p")
  assert(not g.IsFileExist(base .. "/p"))
  -- A second argument keeps the folder, empty.
  tree(base .. "/q")
  g.RemoveFolder(base .. "/q/", true)
  assert(g.IsDirExist(base .. "/q") and entries(base .. "/q") == "")
  -- Entries beginning with '.' survive both, and so do the folders holding them.
  tree(base .. "/r")
  write(base .. "/r/.keep", "k")
  write(base .. "/r/sub/.hidden", "h")
  g.RemoveFolder(base .. "/r")
  assert(entries(base .. "/r") == ".keep sub" and entries(base .. "/r/sub") == ".hidden")
  -- Symbolic links are removed as links; what they point at stays.
  tree(base .. "/outside")
  tree(base .. "/s")
  shell('ln -s "' .. base .. '/outside" "' .. base .. '/s/link"')
  shell('ln -s "' .. base .. '/outside/file" "' .. base .. '/s/filelink"')
  g.RemoveFolder(base .. "/s")
  assert(not g.IsFileExist(base .. "/s"))
  assert(entries(base .. "/outside") == "file sub" and read(base .. "/outside/sub/deep") == "2")
  -- A folder named through a link is not followed either.
  shell('ln -s "' .. base .. '/outside" "' .. base .. '/alias"')
  g.RemoveFolder(base .. "/alias")
  assert(entries(base .. "/outside") == "file sub")
  -- Paths past 260 characters are refused.
  local long = base .. "/" .. string.rep("n", 260)
  g.RemoveFolder(long)
  g.RemoveFolder()
  g.RemoveFolder("")
  clean(base)
end)

test("zip and unzip", function()
  math.randomseed(1)
  for _, n in ipairs({0, 1, 2, 100, 4096, 70000}) do
    local bytes = {}
    for i = 1, n do bytes[i] = string.char(math.random(0, i % 7 == 0 and 255 or 3)) end
    local s = table.concat(bytes)
    local z = g.zip(s)
    assert(type(z) == "string" and g.unzip(z) == s, n)
  end
  -- Output is bounded by 50 times the input.
  local big = string.rep("a", 100000)
  assert(#g.zip(big) * 50 < #big and g.unzip(g.zip(big)) == nil)
  -- Damaged or cut-off input: no result.
  local z = g.zip("hello hello hello")
  assert(select("#", g.unzip(z:sub(1, #z - 3))) == 0)
  assert(select("#", g.unzip("not zlib at all")) == 0)
  assert(select("#", g.unzip("")) == 0)
  assert(select("#", g.zip({})) == 0 and select("#", g.unzip()) == 0)
end)

test("Pack", function()
  assert(g.Pack("ab", 0) == "\0\2ab")
  assert(g.Pack("ab", 1) == "\0\6ab\1\0\0\0")
  assert(g.Pack("", 0x01020304) == "\0\4\4\3\2\1")
  assert(g.Pack("ab", -5) == "\0\2ab", "a number not above 0 adds nothing")
  assert(g.Pack("ab", 2^32 + 1) == "\0\6ab\1\0\0\0", "truncated to 32 bits")
  assert(#g.Pack(string.rep("x", 65535), 0) == 65537)
  assert(g.Pack(string.rep("x", 65535), 1) == nil, "a payload over 65,535 bytes is refused")
  assert(select("#", g.Pack(string.rep("x", 70000), 0)) == 0)
end)

test("WritePath without a game object", function()
  assert(g.WritePath("save") == "/save")
  assert(g.GetPath(0x51050001) == nil and g.GetScriptPath() == nil)
end)
