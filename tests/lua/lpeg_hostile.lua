-- Hostile patterns and subjects: each gives a result or a Lua error, never a
-- crash or a hang. (Trees that no constructor makes, such as a sequence
-- 100,000 deep on its left side, are driven through every walk by
-- tests/modules/LpegWalkTest.cpp.)
local lpeg = require "lpeg"
local raises = require("testlib").raises
local P, S, C, Ct, Cmt, V = lpeg.P, lpeg.S, lpeg.C, lpeg.Ct, lpeg.Cmt, lpeg.V

local function withMaxStack(n, f, ...)
  lpeg.setmaxstack(n)
  local result = table.pack(pcall(f, ...))
  lpeg.setmaxstack(400)
  return table.unpack(result, 1, result.n)
end

test("a pattern of a million characters", function()
  local s = string.rep("ab", 500000)
  local p = P(s)
  assert(p:match(s) == #s + 1)
  assert(select(3, p:match(s:sub(1, -2) .. "x")) == "x")
  assert((P(s:sub(1, -2) .. "c") + p):match(s) == #s + 1)
  assert(C(p):match(s) == s)
  assert(P{"r", r = p * V"tail", tail = P"!"}:match(s .. "!") == #s + 2)
  assert(lpeg.match(P"ab"^500000 * -1, s) == #s + 1)
end)

test("chains built one join at a time stay flat", function()
  -- written left-deep: each step puts the whole pattern so far on the left
  local seq, alt = P"a", P"k1;"
  for i = 2, 3000 do
    seq = seq * "a"
    alt = alt + ("k" .. i .. ";")
  end
  assert(seq:match(string.rep("a", 3000)) == 3001)
  assert(alt:match("k3000;") == 7 and alt:match("k2999;") == 7 and alt:match("k1;") == 4)
  assert((seq * alt):match(string.rep("a", 3000) .. "k7;") == 3004)
  assert(P{"g", g = alt * seq}:match("k12;" .. string.rep("a", 3000)) == 3005)
  assert(C(seq):match(string.rep("a", 3000)) == string.rep("a", 3000))
end)

test("nesting beyond the walk limit is an error", function()
  local alternating = P"a"
  raises("pattern too complex", function()
    for _ = 1, 3000 do alternating = (alternating + "x") * "b" end
  end)
  local captures = P"a"
  raises("pattern too complex", function()
    for _ = 1, 3000 do captures = C(captures) end
  end)
  raises("pattern too complex", function() return P"a"^-100000 end)
  assert(lpeg.match(P"a"^-1000, string.rep("a", 2000)) == 1001)
end)

test("a pattern is refused as it is built past the depth a match allows", function()
  -- Every step copies the pattern so far one level deeper: unchecked, the
  -- loop would run all its steps, each copy longer than the last.
  local built = {}
  local ok, err = pcall(function()
    local p = P"a"
    for i = 1, 200000 do
      p = P"b" * p + P"c"
      built[i] = p
      if i > 2100 then error("built " .. i .. " levels deep") end
    end
  end)
  assert(not ok and err:find("pattern too complex", 1, true), tostring(err))
  local steps = #built
  assert(steps > 1900 and steps <= 2000, steps)
  -- A match takes what was built, but for the last level or two: generating
  -- code looks into a subtree while it stands in its parent.
  local p = built[steps - 2]
  assert(p:match(string.rep("b", steps - 2) .. "a") == steps)
  assert(p:match("c") == 2)
  -- The same for every builder that nests its operand.
  local builders = {
    {"capture", function(q) return C(q) end},
    {"not", function(q) return -q end},
    {"and", function(q) return #q end},
    {"loop", function(q) return (q * "x")^0 end},
    {"match-time", function(q) return Cmt(q, function(_, i) return i end) end},
    {"recovery", function(q) return lpeg.Rec(q, P"r", 1) end},
    {"grammar", function(q) return P{"s", s = q * "z"} end},
  }
  for _, builder in ipairs(builders) do
    local name, build = builder[1], builder[2]
    local q, n = P"a", 0
    ok, err = pcall(function()
      for i = 1, 10000 do
        q = build(q)
        n = i
      end
    end)
    assert(not ok and err:find("pattern too complex", 1, true), name .. ": " .. tostring(err))
    assert(n < 2000, name .. ": " .. n)
    ok, err = withMaxStack(100000, lpeg.match, q, "a")
    assert(ok, name .. ": the deepest one built matches: " .. tostring(err))
  end
end)

test("captures nested a million deep", function()
  local n = 1000000
  local subject = string.rep("a", n)
  local ok, err = withMaxStack(3000000, lpeg.match, P{"S", S = C("a" * V"S" + "")}, subject)
  assert(not ok and err:find("captures nested too deeply", 1, true), tostring(err))
  ok, err = withMaxStack(3000000, lpeg.match, P{"S", S = Ct("a" * V"S" + "")}, subject)
  assert(not ok and err:find("captures nested too deeply", 1, true), tostring(err))
  -- match-time captures are evaluated as they close, innermost first
  local count = 0
  local inner = P{"S", S = Cmt("a" * V"S" + "", function(_, i, ...)
    count = count + 1
    return i, select("#", ...)
  end)}
  local r
  ok, r = withMaxStack(3000000, lpeg.match, inner, subject)
  assert(ok and r == 1 and count == n + 1, tostring(r))
  -- values of match-time captures pile up on the Lua stack until it is full
  ok, err = pcall(lpeg.match, Ct(Cmt(1, function(_, i) return i, i end)^0), string.rep("x", 1100000))
  assert(not ok and (err:find("runtime captures", 1, true) or err:find("stack overflow", 1, true)), tostring(err))
end)

test("a subject of 100 MB", function()
  local s = string.rep("abcdefghij", 10000000)
  assert(lpeg.match(P(1)^0, s) == #s + 1)
  assert(lpeg.match(S"abcdefghij"^0 * -1, s) == #s + 1)
  local _, label, rest = lpeg.match((1 - P"needle")^0 * "needle", s)
  assert(label == 0 and rest == "")
  assert(lpeg.match(C(P(1)^0), s) == s)
  _, label, rest = lpeg.match("x", s)
  assert(label == 0 and rest == s)
  -- recursion one call per ten bytes runs into the backtrack limit
  raises("backtrack stack overflow", lpeg.match, P{"s", s = P"abcdefghij" * V"s" + -P(1)}, s)
end)
