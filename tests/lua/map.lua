-- "map.c": the walkability grid and the path searches on it.
local map = require "map.c"
local g = require "gcore.c"

-- A grid from rows of '0' (wall) and '1' (walkable).
local function field(rows)
  local cells = {}
  for _, row in ipairs(rows) do
    for c in row:gmatch(".") do cells[#cells + 1] = c end
  end
  assert(map.loadField(cells, #rows[1], #rows) == #rows)
end

local function text(path)
  local parts = {}
  for i, cell in ipairs(path) do parts[i] = cell[1] .. "," .. cell[2] end
  return table.concat(parts, " ")
end

test("the open 3 x 3 grid, both searches", function()
  field {"111", "111", "111"}
  local astar = map.pathfind(0, 0, 2, 2)
  assert(#astar == 4, text(astar))
  for i = 2, #astar do
    local a, b = astar[i - 1], astar[i]
    assert(math.abs(a[1] - b[1]) + math.abs(a[2] - b[2]) == 1, "four neighbours only")
  end
  assert(text(map.pathfind(0, 0, 2, 2, true)) == "1,1 2,2")
end)

test("searches by table", function()
  local rows = {
    -- grid, x0, y0, x1, y1, jump, expected path (empty: none)
    {{"111", "101", "111"}, 0, 0, 2, 0, false, "1,0 2,0"},
    {{"111", "101", "111"}, 0, 0, 2, 2, true, "1,0 2,1 2,2"},
    {{"101", "101", "101"}, 0, 0, 2, 2, false, ""},
    {{"101", "101", "101"}, 0, 0, 2, 2, true, ""},
    -- A walled goal: no path in either search.
    {{"111", "110"}, 0, 0, 2, 1, false, ""},
    {{"111", "110"}, 0, 0, 2, 1, true, ""},
    -- The start itself may be a wall.
    {{"011", "111"}, 0, 0, 2, 0, false, "1,0 2,0"},
    {{"011", "111"}, 0, 0, 2, 0, true, "1,0 2,0"},
    -- Two walls touching at a corner do not block a diagonal step.
    {{"10", "01"}, 0, 0, 1, 1, true, "1,1"},
    {{"10", "01"}, 0, 0, 1, 1, false, ""},
    -- The start is the goal: nothing to walk.
    {{"111"}, 1, 0, 1, 0, false, ""},
    {{"111"}, 1, 0, 1, 0, true, ""},
    -- Outside the grid.
    {{"111"}, -1, 0, 2, 0, false, ""},
    {{"111"}, 0, 0, 3, 0, true, ""},
    {{"111"}, 0, 0, 0, 1, false, ""},
    {{"111"}, 0, 0, 1e12, -1e12, true, ""},
    -- A number as the fifth argument chooses A*.
    {{"111", "111", "111"}, 0, 0, 2, 2, 1, nil},
    -- Cell values other than '0' are walkable.
    {{"1a9", "0x0"}, 0, 0, 2, 0, false, "1,0 2,0"},
  }
  for i, row in ipairs(rows) do
    field(row[1])
    local path = map.pathfind(row[2], row[3], row[4], row[5], row[6])
    if row[7] then
      assert(text(path) == row[7], string.format("row %d: %s", i, text(path)))
    else
      assert(#path == 4, string.format("row %d: A* takes 4 cells, got %s", i, text(path)))
    end
  end
end)

test("the jump search lists every cell between its jump points", function()
  field {"11111", "11111", "11111", "11111", "11111"}
  assert(text(map.pathfind(0, 0, 4, 4, true)) == "1,1 2,2 3,3 4,4")
  assert(text(map.pathfind(0, 2, 4, 2, true)) == "1,2 2,2 3,2 4,2")
end)

test("loadField refuses bad sizes and walls missing cells", function()
  field {"111", "111"}
  -- Refused: the grid stays as it was.
  for _, size in ipairs({{0, 2}, {3, 0}, {-1, 2}, {40000, 1}, {1, 1e12}}) do
    assert(map.loadField({}, size[1], size[2]) == size[2])
    assert(#map.pathfind(0, 0, 2, 1) == 3, "the old grid stays")
  end
  assert(select("#", map.loadField("cells", 2, 2)) == 1)
  assert(#map.pathfind(0, 0, 2, 1) == 3)
  -- Missing or unconvertible cells are walls; numbers read as their text.
  assert(map.loadField({1, nil, true, 1, 1, {}}, 3, 2) == 2)
  assert(text(map.pathfind(0, 0, 1, 1)) == "0,1 1,1")
  assert(#map.pathfind(0, 0, 2, 0) == 0, "(2, 0) holds true: a wall")
  -- The last argument comes back as it was passed.
  assert(map.loadField({1}, 1, 1, "extra") == "extra")
  assert(map.loadField() == nil)
end)

test("loadField refuses fields of more cells than a search may take", function()
  field {"111", "111"}
  -- Each size fits 16 bits but their product passes the bound: the old grid
  -- stays, and not one cell is read (nor its room allocated).
  local reads = 0
  local counted = setmetatable({}, {__index = function() reads = reads + 1 return "1" end})
  for _, size in ipairs({{2049, 2048}, {4097, 1024}, {32767, 32767}}) do
    reads = 0
    assert(map.loadField(counted, size[1], size[2]) == size[2])
    assert(reads == 0, string.format("%d x %d: %d cells read", size[1], size[2], reads))
    assert(#map.pathfind(0, 0, 2, 1) == 3, "the old grid stays")
  end
  -- The largest field allowed loads, all walls here.
  assert(map.loadField({}, 2048, 2048) == 2048)
  assert(#map.pathfind(0, 0, 2, 1) == 0)
  assert(#map.pathfind(0, 0, 2047, 2047, true) == 0)
end)

test("the gcore.c self-test entry returns nothing", function()
  assert(select("#", g.Pathfind()) == 0)
end)
