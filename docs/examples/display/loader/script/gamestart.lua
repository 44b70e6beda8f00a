-- A layer on the stage, quads inside it, a key track, components and events.
local g = require("gcore.c")

local BACKGROUND, BALL, BUTTON = 0x51050001, 0x51050002, 0x51050003

-- An entity placed on the stage takes the design size (800 x 600) around
-- its centre: one such layer holds the whole scene.
local layer = g.Entity()
g.Stage().addChild(layer)
layer.x, layer.y = 0, 0
g.clog(string.format("display: the layer is %d x %d\n", layer.width, layer.height))

-- A new object is 100 x 100 with its bottom-left corner at the parent's
-- centre (x, y = 50, 50): set x and y to place it; y grows upward.
local probe = g.Quad()
layer.addChild(probe)
g.clog(string.format("display: a new quad is %d x %d at x, y = %d, %d\n", probe.width, probe.height, probe.x, probe.y))
layer.removeChild(probe)

local function quad(name, media, width, height, x, y)
  local q = g.Quad()
  q.name, q.media = name, media
  q.width, q.height = width, height
  q.x, q.y = x, y
  layer.addChild(q)   -- methods are called with a dot
  return q
end

quad("background", BACKGROUND, 800, 600, 0, 0)

-- A ball that a key track moves from left to right and back, once.
local ball = quad("ball", BALL, 64, 64, -300, 100)
ball.addKeyTrack("x", 3, { 0, -300, 0, 1500, 300, 0, 3000, -300, 0 })

-- A button: mouseEnabled is off by default. Its component reacts to the
-- pointer; the events then bubble up to the layer's component.
local button = quad("button", BUTTON, 192, 72, 0, -200)
button.mouseEnabled = true
local clicks = 0
button.c_button = {
  rollOver = function(self, target) target.alpha = 200 end,
  rollOut = function(self, target) target.alpha = 255 end,
  click = function(self, target)
    clicks = clicks + 1
    target.color = clicks % 2 == 1 and 0x40FF40 or 0xFFFFFF
  end,
}

-- The layer hears the button's clicks (bubbling) and the keys (the stage's
-- entities get every key as a one-byte string holding its virtual-key code).
local VK_LEFT, VK_RIGHT = 0x25, 0x27
layer.c_layer = {
  click = function(self, target) g.clog("display: " .. target.name .. " clicked\n") end,
  keyDown = function(self, target, key)
    if key:byte() == VK_LEFT then button.x = button.x - 20 end
    if key:byte() == VK_RIGHT then button.x = button.x + 20 end
  end,
}

-- A matrix maps points: here, the button's corner into stage coordinates.
local frames = 0
g.SetMainloop(function(gameTime)
  if gameTime < 0 then return end
  frames = frames + 1
  if frames == 5 then
    local x, y = button.localToGlobal(-96, -36)
    g.clog(string.format("display: ready, the button's corner is at (%.0f, %.0f) on the stage\n", x, y))
  end
end)
