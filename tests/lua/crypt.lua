-- The "crypt.c" module: published vectors, padding and codec edge cases, and
-- the error messages scripts see.
local crypt = require "crypt.c"

local function hex(s) return crypt.hexencode(s) end
local function unhex(s) return crypt.hexdecode(s:lower()) end

local raises = require("testlib").raises

test("module table holds the 13 functions", function()
  local names = {"hashkey", "randomkey", "desencode", "desdecode", "hexencode", "hexdecode", "hmac64",
                 "dhexchange", "dhsecret", "base64encode", "base64decode", "sha1", "hmac_sha1"}
  local count = 0
  for _ in pairs(crypt) do count = count + 1 end
  assert(count == #names)
  for _, name in ipairs(names) do assert(type(crypt[name]) == "function", name) end
  assert(rawget(_G, "crypt.c") == nil)
end)

test("DES block vectors (FIPS 46-3 worked example, SP 800-17 tables)", function()
  local cases = {
    {"133457799BBCDFF1", "0123456789ABCDEF", "85E813540F0AB405"},
    {"0101010101010101", "0000000000000000", "8CA64DE9C1B123A7"},
    {"0101010101010101", "8000000000000000", "95F8A5E5DD31D900"},
    {"7CA110454A1A6E57", "01A1D6D039776742", "690F5B0D9A26939B"},
    {"0131D9619DC1376E", "5CD54CA83DEF57DA", "7A389D10354BD271"},
  }
  for _, c in ipairs(cases) do
    local key, plain, cipher = unhex(c[1]), unhex(c[2]), unhex(c[3])
    local out = crypt.desencode(key, plain)
    -- Eight bytes of text gain a whole block of padding; ECB leaves the
    -- first block the plain DES of the text.
    assert(#out == 16)
    assert(hex(out:sub(1, 8)) == c[3]:lower(), c[1] .. ": " .. hex(out:sub(1, 8)))
    assert(out:sub(9) == crypt.desencode(key, ""), "second block is the padding block alone")
    assert(crypt.desdecode(key, out) == plain)
  end
end)

test("DES padding and lengths", function()
  local key = "8bytekey"
  assert(#crypt.desencode(key, "") == 8)
  assert(crypt.desdecode(key, crypt.desencode(key, "")) == "")
  for n = 0, 40 do
    local text = string.rep("x", n)
    local out = crypt.desencode(key, text)
    assert(#out == (n + 8) - (n + 8) % 8, "length for " .. n)
    assert(crypt.desdecode(key, out) == text)
  end
  -- Above 256 bytes the result is built outside the stack buffer.
  local long = string.rep("0123456789", 100)
  assert(crypt.desdecode(key, crypt.desencode(key, long)) == long)
  -- Parity bits of the key are ignored.
  assert(crypt.desencode("\1\1\1\1\1\1\1\1", "abc") == crypt.desencode("\0\0\0\0\0\0\0\0", "abc"))
end)

test("DES errors", function()
  raises("Invalid key size 7, need 8 bytes", crypt.desencode, "1234567", "text")
  raises("Invalid key size 9, need 8 bytes", crypt.desdecode, "123456789", "12345678")
  raises("Invalid des crypt text length 0", crypt.desdecode, "8bytekey", "")
  raises("Invalid des crypt text length 12", crypt.desdecode, "8bytekey", string.rep("a", 12))
  -- Decrypting with another key leaves garbage in the padding block.
  local key = "8bytekey"
  local zeros = crypt.desencode(key, string.rep("\0", 8)):sub(1, 8)  -- block of eight zero bytes
  raises("Invalid des crypt text", crypt.desdecode, key, zeros)
  local bad = crypt.desencode(key, "1234567\1"):sub(1, 8)  -- last byte neither 0 nor 0x80
  raises("Invalid des crypt text", crypt.desdecode, key, bad)
  local good = crypt.desencode(key, "1234567\128"):sub(1, 8)  -- 0x80 ends the padding at once
  assert(crypt.desdecode(key, good) == "1234567")
  raises("bad argument #2", crypt.desencode, key, {})
end)

test("hashkey", function()
  assert(hex(crypt.hashkey("")) == "05150000a7c6674e")
  -- One byte 'a' (97): h1 = 5381 * 33 + 97; h2 = h2 ^ ((h2 << 5) + 97 + (h2 >> 2)).
  local h1 = (5381 * 33 + 97) & 0xFFFFFFFF
  local h2 = 1315423911
  h2 = (h2 ~ (((h2 << 5) & 0xFFFFFFFF) + 97 + (h2 >> 2))) & 0xFFFFFFFF
  assert(crypt.hashkey("a") == string.pack("<I4I4", h1, h2))
  assert(#crypt.hashkey(string.rep("\255", 1000)) == 8)
  raises("bad argument #1", crypt.hashkey, nil)
  assert(crypt.hashkey(12) == crypt.hashkey("12"), "numbers are read as their text")
end)

test("randomkey gives 8 bytes", function()
  local a, b = crypt.randomkey(), crypt.randomkey()
  assert(#a == 8 and #b == 8)
end)

test("hex", function()
  assert(crypt.hexencode("\0\1\127\128\255") == "00017f80ff")
  assert(crypt.hexdecode("ff") == "\255")
  assert(crypt.hexdecode("") == "")
  raises("Invalid hex text", crypt.hexdecode, "FF")
  raises("Invalid hex text", crypt.hexdecode, "0g")
  raises("Invalid hex text size 3", crypt.hexdecode, "abc")
  local all = {}
  for i = 0, 255 do all[#all + 1] = string.char(i) end
  all = table.concat(all)
  for _, s in ipairs({"", "a", all, all:rep(3)}) do
    assert(crypt.hexdecode(crypt.hexencode(s)) == s)
  end
end)

test("hmac64 and Diffie-Hellman", function()
  local x, y = "12345678", "abcdefgh"
  local h = crypt.hmac64(x, y)
  assert(#h == 8 and h ~= crypt.hmac64(y, x))
  raises("Invalid uint64 x", crypt.hmac64, "1234567", y)
  raises("Invalid uint64 y", crypt.hmac64, x, "123456789")

  local one = string.pack("<I8", 1)
  assert(crypt.dhexchange(one) == string.pack("<I8", 5))
  assert(crypt.dhexchange(string.pack("<I8", 2)) == string.pack("<I8", 25))
  for _ = 1, 20 do
    local a, b = crypt.randomkey(), crypt.randomkey()
    local sa = crypt.dhsecret(crypt.dhexchange(b), a)
    local sb = crypt.dhsecret(crypt.dhexchange(a), b)
    assert(sa == sb and #sa == 8)
  end
  -- p - 1 squared is 1 mod p; 2^64 - 1 reduces to 58 before the power.
  local pMinus1 = string.pack("<I8", -60)  -- 0xFFFFFFFFFFFFFFC4
  assert(crypt.dhsecret(pMinus1, string.pack("<I8", 2)) == one)
  assert(crypt.dhsecret(string.pack("<I8", -1), string.pack("<I8", 2)) == string.pack("<I8", 58 * 58))
  -- An exponent of zero is answered (x^0 = 1) instead of recursing forever.
  local zero = string.pack("<I8", 0)
  assert(crypt.dhexchange(zero) == one)
  assert(crypt.dhsecret(crypt.dhexchange(one), zero) == one)
  raises("Invalid dh uint64 key", crypt.dhexchange, "short")
  raises("Invalid uint64 x", crypt.dhsecret, "short", one)
  raises("Invalid uint64 y", crypt.dhsecret, one, "short")
end)

test("Base64 vectors of RFC 4648 section 10", function()
  local cases = {{"", ""}, {"f", "Zg=="}, {"fo", "Zm8="}, {"foo", "Zm9v"}, {"foob", "Zm9vYg=="},
                 {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"}}
  for _, c in ipairs(cases) do
    assert(crypt.base64encode(c[1]) == c[2], c[1])
    assert(crypt.base64decode(c[2]) == c[1], c[2])
  end
  local all = {}
  for i = 0, 255 do all[#all + 1] = string.char(i) end
  all = table.concat(all):rep(2)
  assert(crypt.base64decode(crypt.base64encode(all)) == all)
end)

test("Base64 decoding rules", function()
  assert(crypt.base64decode("QQ==") == "A")
  assert(crypt.base64decode("QU JD") == "ABC")
  assert(crypt.base64decode(" Q\nU\tJ D ") == "ABC")
  assert(crypt.base64decode("QQ==QUJD") == "AABC", "padded groups may be followed by more")
  for _, bad in ipairs({"QQ", "QQ  ", "QR==", "QUI=QUK=", "QUK=", "Q===", "=QUJ", "QU=J", "QUJDQ"}) do
    raises("Invalid base64 text", crypt.base64decode, bad)
  end
end)

test("SHA-1 vectors (FIPS 180)", function()
  assert(hex(crypt.sha1("abc")) == "a9993e364706816aba3e25717850c26c9cd0d89d")
  assert(hex(crypt.sha1("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq")) ==
         "84983e441c3bd26ebaae4aa1f95129e5e54670f1")
  assert(hex(crypt.sha1("")) == "da39a3ee5e6b4b0d3255bfef95601890afd80709")
  assert(hex(crypt.sha1(string.rep("a", 1000000))) == "34aa973cd4c4daa4f61eeb2bdbad27316534016f")
end)

test("HMAC-SHA1 cases of RFC 2202", function()
  local cases = {
    {string.rep("\11", 20), "Hi There", "b617318655057264e28bc0b6fb378c8ef146be00"},
    {"Jefe", "what do ya want for nothing?", "effcdf6ae5eb2fa2d27416d5f184df9c259a7c79"},
    {string.rep("\170", 20), string.rep("\221", 50), "125d7342b9ac11cd91a39af48aa17b4f63f175d3"},
    {unhex("0102030405060708090a0b0c0d0e0f10111213141516171819"), string.rep("\205", 50),
     "4c9007f4026250c6bc8414f9bf50c86c2d7235da"},
    {string.rep("\12", 20), "Test With Truncation", "4c1a03424b55e07fe7f27be1d58bb9324a9a5a04"},
    {string.rep("\170", 80), "Test Using Larger Than Block-Size Key - Hash Key First",
     "aa4ae5e15272d00e95705637ce8a3b55ed402112"},
    {string.rep("\170", 80), "Test Using Larger Than Block-Size Key and Larger Than One Block-Size Data",
     "e8e99d0f45237d786d6bbaa7965c7808bbff1a91"},
  }
  for i, c in ipairs(cases) do
    assert(hex(crypt.hmac_sha1(c[1], c[2])) == c[3], "case " .. i)
  end
  local key = string.rep("k", 65)
  assert(crypt.hmac_sha1(key, "text") == crypt.hmac_sha1(crypt.sha1(key), "text"))
  -- A key of exactly one block is used as it is.
  local block = string.rep("k", 64)
  assert(crypt.hmac_sha1(block, "text") ~= crypt.hmac_sha1(crypt.sha1(block), "text"))
end)
