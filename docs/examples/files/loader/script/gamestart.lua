-- Saves in the write folder, compressed data, and a path across a grid.
local g = require("gcore.c")
local map = require("map.c")

local function say(text) g.clog("files: " .. text .. "\n") end

-- A save: written whole (or not at all) into the project's write folder.
local save = g.WritePath("save.dat")
g.WriteFile(save, function(file)
  g.WriteLine(file, "level=3\n")
  g.WriteLine(file, "coins=120\n")
end)
say("the save holds: " .. g.LoadFile(save):gsub("\n", " "))

-- zip and unzip: the same bytes back.
local text = string.rep("the quick brown fox ", 50)
local packed = g.zip(text)
say(string.format("%d bytes zipped to %d, back the same: %s", #text, #packed, tostring(g.unzip(packed) == text)))

-- A grid with a wall down the middle, open at the bottom: "0" is a wall.
local rows = {
  "10101",
  "10101",
  "10101",
  "11101",
}
local cells = {}
for _, row in ipairs(rows) do
  for c in row:gmatch(".") do cells[#cells + 1] = c end
end
map.loadField(cells, 5, 4)
local steps = {}
for _, cell in ipairs(map.pathfind(0, 0, 2, 0)) do steps[#steps + 1] = cell[1] .. "," .. cell[2] end
say("around the wall: " .. table.concat(steps, " "))

g.SetMainloop(function(gameTime)
  if gameTime < 0 then return end
  say("ready")
  g.SetMainloop(nil)
end)
