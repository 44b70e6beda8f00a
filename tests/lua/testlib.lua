-- Helpers shared by the script tests: hexadecimal views of byte strings and
-- checks of expected errors.
local testlib = {}

function testlib.tohex(s)
  return (s:gsub(".", function(c) return string.format("%02x", c:byte()) end))
end

-- Spaces in `h` are ignored, so byte groups can be written apart.
function testlib.fromhex(h)
  return (h:gsub("%s", ""):gsub("..", function(b) return string.char(tonumber(b, 16)) end))
end

-- Runs f expecting an error whose message contains `text` (plain match).
function testlib.raises(text, f, ...)
  local ok, err = pcall(f, ...)
  assert(not ok, "expected an error containing: " .. text)
  assert(tostring(err):find(text, 1, true), "unexpected error: " .. tostring(err))
end

return testlib
