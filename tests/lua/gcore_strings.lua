-- "gcore.c": digits, strings, character sets, hashes, tags and ids.
local g = require "gcore.c"

-- Each row: a label, the function's results packed, and what they must be.
local function check(rows)
  for _, row in ipairs(rows) do
    local label, got, want = row[1], row[2], row[3]
    assert(got == want, string.format("%s: got %s, want %s", label, tostring(got), tostring(want)))
  end
end

test("hexadecimal and decimal digits", function()
  check {
    {"ff", g.ToHexUINT("ff"), 255},
    {"FF", g.ToHexUINT("FF"), 255},
    {"nine digits, count 8", g.ToHexUINT("123456789", 8), 0x12345678},
    {"nine digits, no count", g.ToHexUINT("123456789"), 0x12345678},
    {"count 0 reads 8", g.ToHexUINT("123456789", 0), 0x12345678},
    {"count 9 reads 8", g.ToHexUINT("123456789", 9), 0x12345678},
    {"count 2", g.ToHexUINT("abcd", 2), 0xab},
    {"stops at a non-digit", g.ToHexUINT("12g4"), 0x12},
    {"ffffffff", g.ToHexUINT("ffffffff"), 4294967295},
    {"no text", g.ToHexUINT(), 0},
    {"empty", g.ToHexUINT(""), 0},
    {"a number reads as its text", g.ToHexUINT(10), 16},
    {"12a", g.ToDecUINT("12a"), 12},
    {"wraps at 32 bits", g.ToDecUINT("4294967296"), 0},
    {"10 digits at most", g.ToDecUINT("12345678901"), 1234567890},
    {"count 3", g.ToDecUINT("98765", 3), 987},
    {"IsHex a", g.IsHex(("a"):byte()), true},
    {"IsHex G", g.IsHex(("G"):byte()), false},
    {"IsHex low 8 bits", g.IsHex(0x100 + ("F"):byte()), true},
  }
end)

test("ToHexString pads to a bounded width", function()
  check {
    {"255", g.ToHexString(255), "ff"},
    {"255, width 4", g.ToHexString(255, 4), "00ff"},
    {"width 0", g.ToHexString(255, 0), "ff"},
    {"negative value, 32 bits", g.ToHexString(-1), "ffffffff"},
    {"beyond 32 bits", g.ToHexString(0x1234567890), "34567890"},
    {"negative width pads on the right", g.ToHexString(255, -4), "ff  "},
    {"a huge width is bounded", #g.ToHexString(1, 100000), 256},
    {"a huge negative width is bounded", #g.ToHexString(1, -100000), 256},
    {"2^31 width is bounded", #g.ToHexString(1, 2^31), 256},
  }
end)

test("StrTrim and StrRFind", function()
  check {
    {"trim", g.StrTrim(" \t a b \n"), "a b"},
    {"carriage returns stay", g.StrTrim(" a\r\n"), "a\r"},
    {"all blank", g.StrTrim(" \t\n"), ""},
    {"no string, no result", select("#", g.StrTrim({})), 0},
    {"a/b/c", g.StrRFind("a/b/c", "/"), 4},
    {"abc", g.StrRFind("abc", "/"), -1},
    {"first byte only", g.StrRFind("a/b.c", "./"), 4},
    {"empty character", g.StrRFind("abc", ""), -1},
    {"no text", g.StrRFind(nil, "/"), -1},
    {"not a string", g.StrRFind("abc", {}), -1},
  }
end)

test("UTF8ToUTF32 reads the first sequence", function()
  check {
    {"ASCII", g.UTF8ToUTF32("A"), 65},
    {"two bytes", g.UTF8ToUTF32("\xC3\xA9"), 0xE9},
    {"three bytes", g.UTF8ToUTF32("\xE4\xB8\xAD"), 0x4E2D},
    {"four bytes", g.UTF8ToUTF32("\xF0\x9F\x98\x80"), 0x1F600},
    {"five-byte form", g.UTF8ToUTF32("\xF8\x88\x80\x80\x80"), 0x200000},
    {"six-byte form", g.UTF8ToUTF32("\xFC\x84\x80\x80\x80\x80"), 0x4000000},
    {"lone continuation byte", g.UTF8ToUTF32("\x80"), 0},
    {"0xFE", g.UTF8ToUTF32("\xFE"), 0},
    {"cut off", g.UTF8ToUTF32("\xE4\xB8"), 0},
    {"bad continuation", g.UTF8ToUTF32("\xE4\x41\xAD"), 0},
    {"empty", g.UTF8ToUTF32(""), 0},
    {"no text", g.UTF8ToUTF32(), 0},
  }
end)

test("GBK conversions, both ways and at any length", function()
  local zhong = "\xE4\xB8\xAD"  -- U+4E2D, 0xD6D0 in GBK
  check {
    {"to GBK", g.UtfToGbk(zhong), "\xD6\xD0"},
    {"from GBK", g.GBKToUTF("\xD6\xD0"), zhong},
    {"ASCII both ways", g.GBKToUTF(g.UtfToGbk("abc")), "abc"},
    {"not GBK becomes ?", g.GBKToUTF("a\xFFb"), "a?b"},
    {"not in GBK becomes ?", g.UtfToGbk("\xF0\x9F\x98\x80x"), "?x"},
    {"broken UTF-8 becomes ?", g.UtfToGbk("\xE4\xB8y"), "?y"},
    {"empty", g.GBKToUTF(""), ""},
    {"no text", g.GBKToUTF(), ""},
  }
  -- Past 256 characters the whole text is converted, not an older result.
  local long = string.rep("\xD6\xD0", 300)
  assert(g.GBKToUTF("x") == "x")
  assert(g.GBKToUTF(long) == string.rep(zhong, 300))
  -- UtfToGbk keeps its 500-byte result limit (with the terminator).
  assert(g.UtfToGbk(string.rep("a", 499)) == string.rep("a", 499))
  assert(g.UtfToGbk(string.rep("a", 500)) == nil)
end)

test("hash, tags and ids", function()
  -- KeyHash: h * 131 + byte (bytes signed), 31 bits.
  local function keyhash(s)
    local h = 0
    for i = 1, #s do
      local b = s:byte(i)
      if b > 127 then b = b - 256 end
      h = (h * 131 + b) & 0xFFFFFFFF
    end
    return h & 0x7FFFFFFF
  end
  check {
    {"hash x", g.hash("x"), keyhash("x")},
    {"hash of a long name", g.hash("mouseEnabled"), keyhash("mouseEnabled")},
    {"hash of high bytes", g.hash("\xE4\xB8\xAD"), keyhash("\xE4\xB8\xAD")},
    {"hash of nothing", g.hash(), 0},
    {"MakeTags 0", g.MakeTags(0), 1},
    {"MakeTags 31", g.MakeTags(31), -2147483648},
    {"MakeTags 32", g.MakeTags(32), 1},
    {"MakeTags -1", g.MakeTags(-1), -2147483648},
    {"MakeTags -32", g.MakeTags(-32), 1},
    {"ContainTag", g.ContainTag(g.MakeTags(5) | 1, 5), true},
    {"ContainTag off", g.ContainTag(1, 5), false},
    {"ContainTag -1", g.ContainTag(0x80000000, -1), true},
    {"ContainTag of a negative mask", g.ContainTag(-1, 31), true},
    {"luaDirID c_", g.luaDirID("c_hero"), 0x1030000},
    {"luaDirID p_", g.luaDirID("p_x"), 0x1040000},
    {"luaDirID other", g.luaDirID("hero"), 0},
    {"luaDirID nothing", g.luaDirID(), 0},
    {"ToStr of a value", g.ToStr(1), "nil"},
    {"ToStr of nil", g.ToStr(), "nil"},
    {"ToStr of userdata", g.ToStr(io.stdout), nil},
    {"ToStr of light userdata", g.ToStr(g.QID(5)), nil},
    {"QID is light userdata", type(g.QID(5)), "userdata"},
    {"QID is its number", g.QID(5), g.QID(5 + 2^32)},
  }
end)
