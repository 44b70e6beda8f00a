-- Runs once the window and its drawing surface exist: builds the scene.
-- Entities placed on the stage take the whole design area (around their own
-- centre, so the layer is put at the stage's centre), so the scene is one such
-- layer; objects sit at their parent's centre by default and y grows upward.
local g = require("gcore.c")

local BACKGROUND, BALL, BUTTON = 0x51050001, 0x51050002, 0x51050003
local VK_LEFT, VK_RIGHT, VK_SPACE = 0x25, 0x27, 0x20
local layer = g.Entity()
g.Stage().addChild(layer)
layer.x, layer.y = 0, 0

local function quad(media, width, height, x, y)
  local q = g.Quad()
  q.media = media
  q.width, q.height = width, height
  q.x, q.y = x, y
  layer.addChild(q)
  return q
end

quad(BACKGROUND, 1024, 768, 0, 0)

-- Balls drifting around the screen, bouncing off its edges.
local balls = {}
for i = 1, 12 do
  local b = quad(BALL, 48, 48, math.random(-400, 400), math.random(-300, 300))
  b.color = math.random(0, 0xFFFFFF)
  balls[i] = { quad = b, dx = math.random(-180, 180), dy = math.random(-180, 180) }
end

-- A ball that follows the pointer.
local follower = quad(BALL, 80, 80, 0, 0)

-- A button: clicking it turns it green, hovering lights it up; the arrow keys
-- move it and space puts it back (keys go to the stage's entities: the layer).
local button = quad(BUTTON, 192, 72, 0, -260)
button.mouseEnabled = true
local clicks = 0
button.c_behaviour = {
  rollOver = function(self, target) target.alpha = 200 end,
  rollOut = function(self, target) target.alpha = 255 end,
  click = function(self, target)
    clicks = clicks + 1
    target.color = clicks % 2 == 1 and 0x40FF40 or 0xFFFFFF
    g.clog("demo: button clicked " .. clicks .. " times\n")
  end,
}
layer.c_keys = {
  keyDown = function(self, target, key)
    local code = key:byte()
    if code == VK_LEFT then button.x = button.x - 20
    elseif code == VK_RIGHT then button.x = button.x + 20
    elseif code == VK_SPACE then button.x = 0 end
  end,
}

local last = nil
g.SetMainloop(function(gameTime)
  if gameTime < 0 then
    g.clog("demo: closing\n")
    return
  end
  local dt = last and (gameTime - last) / 1000 or 0
  last = gameTime
  for _, b in ipairs(balls) do
    local q = b.quad
    q.x, q.y = q.x + b.dx * dt, q.y + b.dy * dt
    if math.abs(q.x) > 488 then b.dx = -b.dx end
    if math.abs(q.y) > 360 then b.dy = -b.dy end
  end
  local mx, my = g.MousePos()
  follower.x, follower.y = mx - g.winW() / 2, my - g.winH() / 2
end)
