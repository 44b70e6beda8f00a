-- "gcore.c": numbers, plane geometry and the engine's random generators.
local g = require "gcore.c"

local function near(a, b) return math.abs(a - b) <= 1e-4 * math.max(1, math.abs(b)) end

local function check(rows)
  for _, row in ipairs(rows) do
    local label, got, want = row[1], row[2], row[3]
    local ok = type(want) == "number" and near(got, want) or got == want
    assert(ok, string.format("%s: got %s, want %s", label, tostring(got), tostring(want)))
  end
end

test("powers of two, ranges and caps", function()
  check {
    {"GetPow2(0)", g.GetPow2(0), 1},
    {"GetPow2(1)", g.GetPow2(1), 1},
    {"GetPow2(5)", g.GetPow2(5), 8},
    {"GetPow2(-3)", g.GetPow2(-3), 0},
    {"GetPow2(2147483647)", g.GetPow2(2147483647), 2147483648},
    {"GetPow2(1e12) is capped", g.GetPow2(1e12), 2147483648},
    {"MapInRange(190, 180)", g.MapInRange(190, 180), -170},
    {"MapInRange(-190, 180)", g.MapInRange(-190, 180), 170},
    {"MapInRange(10, 180)", g.MapInRange(10, 180), 10},
    {"CapValue(5, 3, 1)", g.CapValue(5, 3, 1), 3},
    {"CapValue(0, 3, 1)", g.CapValue(0, 3, 1), 1},
    {"CapValue(2, 3, 1)", g.CapValue(2, 3, 1), 2},
    {"Movefloat close", g.Movefloat(1, 1.05, 0.5, 0.01), 1.05},
    {"Movefloat far", g.Movefloat(0, 10, 0.25, 0.01), 2.5},
  }
end)

test("plane geometry", function()
  check {
    {"Distance2D", g.Distance2D(0, 0, 3, 4), 5},
    {"Distance2DSquare", g.Distance2DSquare(1, 1, 4, 5), 25},
    {"Dist_Point2Seg above", g.Dist_Point2Seg(0, 1, -1, 0, 1, 0), 1},
    {"Dist_Point2Seg before a", g.Dist_Point2Seg(-4, 3, 0, 0, 1, 0), 5},
    {"Dist_Point2Seg beyond b", g.Dist_Point2Seg(4, 4, 0, 0, 1, 0), 5},
    {"Side_Point2Seg left", g.Side_Point2Seg(0, 1, 0, 0, 1, 0), -1},
    {"Side_Point2Seg right", g.Side_Point2Seg(0, -1, 0, 0, 1, 0), 1},
    {"Side_Point2Seg on", g.Side_Point2Seg(5, 0, 0, 0, 1, 0), 0},
    {"XY2Angle(0, 1)", g.XY2Angle(0, 1), -90},
    {"XY2Angle(1, 0)", g.XY2Angle(1, 0), 0.00015},
    {"DegToRad", g.DegToRad(180), 3.1415926},
    {"RadToDeg", g.RadToDeg(math.pi), 180},
  }
end)

test("HSV packs red in the low byte", function()
  check {
    {"red", g.HSV(0, 1, 1), 0x0000FF},
    {"grey", g.HSV(0.3, 0, 1), 0xFFFFFF},
    {"green", g.HSV(1 / 3, 1, 1), 0x00FF00},
    {"blue", g.HSV(2 / 3, 1, 1), 0xFF0000},
    {"h wraps", g.HSV(1 + 1 / 3, 1, 1), 0x00FF00},
    {"half value", g.HSV(0, 1, 0.5), 0x000080},
    {"a negative sector takes the last form", g.HSV(-0.5, 1, 1), 0xFF00FF},
  }
end)

test("GetAlignRect places a box at keypad positions", function()
  -- Rectangle (10, 20, 100, 50), box 20 x 10: cx 50, right 90, cy 40, bottom 60.
  local rows = {
    {0, 10, 60}, {1, 10, 60}, {2, 50, 60}, {3, 90, 60}, {4, 10, 40}, {5, 50, 40},
    {6, 90, 40}, {7, 10, 20}, {8, 50, 20}, {9, 90, 20}, {10, 10, 20}, {-1, 10, 20},
  }
  for _, row in ipairs(rows) do
    local r = {x = 10, y = 20, width = 100, height = 50}
    g.GetAlignRect(r, row[1], 20, 10)
    assert(r.x == row[2] and r.y == row[3] and r.width == 100 and r.height == 50,
           string.format("mode %d: (%s, %s)", row[1], r.x, r.y))
  end
  assert(select("#", g.GetAlignRect(io.stdout, 5, 1, 1)) == 0)
end)

test("AddLineVertex appends two triangles", function()
  local t = {"keep", "me"}
  local n = g.AddLineVertex(1, 0, 0, 10, 0, t)
  assert(n == 7 and #t == 14)
  local want = {0, -1, 0, 1, 10, -1, 0, 1, 10, -1, 10, 1}
  for i, v in ipairs(want) do assert(near(t[2 + i], v), i) end
  assert(select("#", g.AddLineVertex(1, 0, 0, 1, 1)) == 0, "no table, no result")
end)

test("the engine generator", function()
  g.RandSeed(7)
  local first = {}
  for i = 1, 5 do first[i] = g.Rand() end
  g.RandSeed(7)
  for i = 1, 5 do assert(g.Rand() == first[i]) end
  -- A reference of the generator: the quadratic-residue permutation.
  local P = 4294967291
  local function Q(x)
    if x >= P then return x end
    -- x * x in parts that fit a 64-bit integer.
    local r = ((x * (x >> 16)) % P * 65536 + x * (x & 0xFFFF)) % P
    return x <= P // 2 and r or P - r
  end
  local index = Q((Q(7) + 0x682F0161) & 0xFFFFFFFF)
  local offset = Q((Q(8) + 0x46790905) & 0xFFFFFFFF)
  for i = 1, 5 do
    local want = Q(((Q(index) + offset) & 0xFFFFFFFF) ~ 0x5BF03635)
    index = (index + 1) & 0xFFFFFFFF
    assert(first[i] == want, i)
  end
  -- Distinct values for a fixed offset, all unsigned 32-bit.
  local seen = {}
  for _ = 1, 1000 do
    local v = g.Rand()
    assert(v >= 0 and v <= 0xFFFFFFFF and not seen[v])
    seen[v] = true
  end
end)

test("RandS is one unsigned step", function()
  local function step(n) return (((n * 214013 + 2531011) & 0xFFFFFFFF) >> 16) & 0x7fff end
  for _, n in ipairs({0, 1, 12345, 0x7FFFFFFF, -1, -0x80000000, 2^40}) do
    local want = step(math.tointeger(n) & 0xFFFFFFFF)
    assert(g.RandS(n) == want, n)
  end
  assert(g.RandS(0) == 38)
end)
