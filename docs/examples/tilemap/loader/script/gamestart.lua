-- A room drawn from a TMX map: a walker that passes in front of and behind
-- the flowers, clicks that plant flowers, and the arrow keys that scroll.
local g = require("gcore.c")

local ROOM = 0xC1050001          -- img/0001.tmx
local WALKER = 0x51050014        -- img/0014.png, a stone tile
local GROUND, FLOWERS = 0, 2     -- layer numbers: the object group is layer 1
local FLOWER, WATER = 5, 3       -- tile ids (GIDs) of the map's tileset

local layer = g.Entity()
g.Stage().addChild(layer)
layer.x, layer.y = 0, 0

local map = g.TiledMap()
layer.addChild(map)
map.mapId = ROOM        -- loads the map and takes its size in pixels
map.x, map.y = 0, 0     -- its centre at the layer's centre
g.clog(string.format("tilemap: the room is %d x %d tiles, %d x %d pixels\n",
                     map.getCols(), map.getRows(), map.getWidth(), map.getHeight()))

-- Which tile is where: keys name a cell by layer, column and row (from the
-- top left).
local pond = map.cellKey(GROUND, 13, 4)
g.clog(string.format("tilemap: cell (13, 4) holds tile %d, drawn from image %08x\n",
                     map.getGid(pond), map.getTileImage(map.cellKey(GROUND, 0, 0))))
-- Points in the map's own coordinates (its centre is 0, 0; y up).
local x, y = map.cellCenter(pond)
local picked = map.pick(GROUND, x, y)
g.clog(string.format("tilemap: the centre of (13, 4) is (%.0f, %.0f); pick finds (%d, %d)\n",
                     x, y, map.keyCol(picked), map.keyRow(picked)))

-- A child of the map is drawn with the layer its slotLow names, after the
-- tiles of the row it stands on: it hides the rows above it and the rows
-- below hide it.
local walker = g.Quad()
walker.media = WALKER
walker.width, walker.height = 24, 48
-- Without it the walker would stand on layer 0, the ground: the ground tiles
-- of the row below it, drawn after it, would cover its feet.
g.clog(string.format("tilemap: a child stands on layer %d unless told; the walker on layer %d\n",
                     g.Quad().slotLow, FLOWERS))
walker.slotLow = FLOWERS
map.addChild(walker)

-- Clicks plant a flower in the cell under the pointer (none on water).
map.mouseEnabled = true
map.c_garden = {
  click = function(self, target)
    local mx, my = g.MousePos()
    local lx, ly = map.globalToLocal(mx, my)
    local key = map.pick(FLOWERS, lx, ly)
    if key == 4294967295 or map.keyCol(key) >= map.getCols() or map.keyRow(key) >= map.getRows() then return end
    local ground = map.cellKey(GROUND, map.keyCol(key), map.keyRow(key))
    if map.getGid(ground) ~= WATER then map.setGid(key, FLOWER) end
  end,
}

-- The arrow keys scroll the room.
local VK_LEFT, VK_UP, VK_RIGHT, VK_DOWN = 0x25, 0x26, 0x27, 0x28
layer.c_keys = {
  keyDown = function(self, target, key)
    local code = key:byte()
    if code == VK_LEFT then map.x = map.x + 32
    elseif code == VK_RIGHT then map.x = map.x - 32
    elseif code == VK_UP then map.y = map.y - 32
    elseif code == VK_DOWN then map.y = map.y + 32 end
  end,
}

-- The walker goes round the room's floor, one lap in eight seconds.
local frames = 0
g.SetMainloop(function(gameTime)
  if gameTime < 0 then return end
  local t = (gameTime % 8000) / 8000 * 2 * math.pi
  walker.x, walker.y = math.cos(t) * 240, math.sin(t) * 120
  frames = frames + 1
  if frames == 5 then g.clog("tilemap: ready\n") end
end)
