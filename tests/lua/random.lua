-- The xorshift128+ functions of "gcore.c" and of the math library, checked
-- against a reference written here from the generator's definition. Both
-- sets run every case; each has a state of its own.
local raises = require("testlib").raises
local generators = {{"gcore.c", require "gcore.c"}, {"math", math}}

-- Reference: the state as S0, S1 (64-bit integers; >> is a logical shift).
local function reference(seed)
  local w0, w1 = seed & 0xFFFFFFFF, (seed >> 32) & 0xFFFFFFFF
  local s0 = (w0 << 32) | w1
  local s1 = ((~w0 & 0xFFFFFFFF) << 32) | (~w1 & 0xFFFFFFFF)
  local function next()
    local x, y = s0, s1
    s0 = y
    x = x ~ (x << 23)
    s1 = x ~ y ~ (x >> 18) ~ (y >> 5)
    return s1 + y
  end
  for _ = 1, 16 do next() end
  return next, function() return s0 & 0xFFFFFFFF, s0 >> 32, s1 & 0xFFFFFFFF, s1 >> 32 end
end

-- The remainder of a draw taken as an unsigned 64-bit number.
local function umod(r, m)
  if r >= 0 then return r % m end
  local rest = ((r >> 1) // m * 2) * m
  local v = r - rest
  while math.ult(m - 1, v) do v = v - m end
  return v
end

-- Fresh states first: the later cases reseed.
for _, generator in ipairs(generators) do
  local name, g = generator[1], generator[2]
  test(name .. ": a fresh state draws the seed-0 sequence", function()
    local next = reference(0)
    for _ = 1, 20 do assert(g.random(0) == next()) end
  end)
end

for _, generator in ipairs(generators) do
  local name, g = generator[1], generator[2]
  test(name .. ": randomseed reproduces a sequence; integral floats are seeds, others are not", function()
    g.randomseed(12345)
    local first = {g.random(0), g.random(0), g.random(0)}
    g.randomseed(12345.0)
    for i = 1, 3 do assert(g.random(0) == first[i]) end
    local next = reference(12345)
    for i = 1, 3 do assert(first[i] == next()) end
    raises("number has no integer representation", g.randomseed, 0.5)
    raises("bad argument #1", g.randomseed)
  end)

  test(name .. ": floats come from the low 53 bits", function()
    g.randomseed(7)
    local next = reference(7)
    for _ = 1, 10 do
      local f = g.random()
      assert(f >= 0 and f < 1)
      assert(f == (next() & ((1 << 53) - 1)) * 2.0 ^ -53)
    end
  end)

  test(name .. ": intervals", function()
    g.randomseed(99)
    local next = reference(99)
    for _ = 1, 50 do
      local v = g.random(6)
      assert(v >= 1 and v <= 6 and v == 1 + umod(next(), 6))
    end
    assert(g.random(3, 3) == 3)
    next()
    -- The whole integer range: low + R, never a redraw.
    assert(g.random(math.mininteger, math.maxinteger) == math.mininteger + next())
    -- Ranges from 0x10C6F7A0B5ED up mask and redraw instead of taking a remainder.
    local big = 0x10C6F7A0B5ED
    local v = g.random(0, big)
    assert(v >= 0 and v <= big)
    raises("interval is empty", g.random, -1)
    raises("interval is empty", g.random, 2, 1)
    raises("wrong number of arguments", g.random, 1, 2, 3)
  end)

  test(name .. ": the state words, read, saved and restored, repeat the sequence", function()
    g.randomseed(42)
    local words = {g.rawget_randomseed()}
    local _, expected = reference(42)
    local a, b, c, d = expected()
    assert(words[1] == a and words[2] == b and words[3] == c and words[4] == d)
    local after = {g.random(0), g.random(0)}
    g.rawset_randomseed(table.unpack(words))
    assert(g.random(0) == after[1] and g.random(0) == after[2])
  end)
end

test("the two generators are independent", function()
  local g = require "gcore.c"
  for _, pair in ipairs({{g, math}, {math, g}}) do
    local one, other = pair[1], pair[2]
    one.randomseed(5)
    local expected = {one.random(0), one.random(0)}
    one.randomseed(5)
    other.randomseed(1)
    other.random()
    other.rawset_randomseed(1, 2, 3, 4)
    other.random(10)
    assert(one.random(0) == expected[1] and one.random(0) == expected[2])
  end
end)
