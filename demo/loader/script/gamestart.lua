-- Runs once the window and its drawing surface exist: builds the scene.
-- Entities placed on the stage take the whole design area (around their own
-- centre, so the layer is put at the stage's centre), so the scene is one such
-- layer; objects sit at their parent's centre by default and y grows upward.
local g = require("gcore.c")

local BACKGROUND, BALL, BUTTON, WHITE = 0x51050001, 0x51050002, 0x51050003, 0x56000001
local SPARK, SPINNER = 0x51050004, 0x51050005
-- Glyph sheets of font slot 0: bits 16 to 23 are the size in pixels.
local FONT_24, FONT_48 = 0x60180000, 0x60300000
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

local background = quad(BACKGROUND, 1024, 768, 0, 0)

-- A strip of hills along the bottom, drawn from the tile map img/0001.tmx
-- (64 x 6 tiles of 32 pixels whose columns repeat every 32): it scrolls left
-- and jumps back by 32 tiles, which looks the same.
local HILLS = 0xC1050001
local hills = g.TiledMap()
layer.addChild(hills)
hills.mapId = HILLS
local hillsLeft = -512
hills.y = -384 + hills.getHeight() / 2

-- Balls drifting around the screen, bouncing off its edges.
local balls = {}
for i = 1, 12 do
  local b = quad(BALL, 48, 48, math.random(-400, 400), math.random(-300, 300))
  b.color = math.random(0, 0xFFFFFF)
  balls[i] = { quad = b, dx = math.random(-180, 180), dy = math.random(-180, 180) }
end

-- A ball that follows the pointer.
local follower = quad(BALL, 80, 80, 0, 0)

-- Text: a title, a label that counts the button's clicks, and a field to type in.
local function text(content, font, width, height, x, y)
  local t = g.TextQuad()
  t.font = font
  t.width, t.height = width, height
  t.x, t.y = x, y
  t.text = content
  layer.addChild(t)
  return t
end

local title = text("[02]quarvelin[/0] [03]demo", FONT_48, 800, 80, 0, 320)
title.fontStyleOn = 255
title.fontStyle = 2

local counter = text("Clicks: 0", FONT_24, 400, 40, 0, -200)

text("Click the field and type:", FONT_24, 400, 32, 0, -40).align = 4
local box = quad(WHITE, 404, 44, 0, -90)
box.color = 0x203040
local field = text("", FONT_24, 396, 40, 0, -90)
field.align = 4
field.readOnly = false
field.mouseEnabled = true

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
    counter.text = "Clicks: " .. clicks
    g.clog("demo: button clicked " .. clicks .. " times\n")
  end,
}
layer.c_keys = {
  keyDown = function(self, target, key)
    -- While the field is being edited, the arrow keys move its caret instead.
    if field.selectTo >= 0 then return end
    local code = key:byte()
    if code == VK_LEFT then button.x = button.x - 20
    elseif code == VK_RIGHT then button.x = button.x + 20
    elseif code == VK_SPACE then button.x = 0 end
  end,
}

-- A row of sprites: each groups a turning star (the four frames of img/0005.png
-- played as an image grid, 80 ms a frame) and a ball under it, and the row
-- waves by moving the sprites alone.
g.setImageGrid(SPINNER, 0, 80, 4, 1)
local row = {}
for i = 1, 7 do
  local sprite = g.Sprite()
  sprite.x, sprite.y = -360 + (i - 1) * 120, 230
  layer.addChild(sprite)
  local shadow = quad(BALL, 28, 28, 0, -18)
  shadow.color = 0x806040
  sprite.addChild(shadow)
  local star = quad(SPINNER, 48, 48, 0, 0)
  sprite.addChild(star)
  row[i] = sprite
end

-- A burst of sparks where the background is clicked: a short-lived emitter
-- that is taken away once its last particle is gone.
local bursts = {}
local function burst(x, y)
  local sparks = g.ParticleSystem()
  sparks.media = SPARK
  sparks.x, sparks.y = x, y
  sparks.width, sparks.height = 8, 8
  sparks.emissionRate, sparks.duration = 4000, 0.05
  sparks.speed, sparks.speedVar = 220, 80
  sparks.angle, sparks.angleVar = 180, 180
  sparks.gravityY = -400
  sparks.life, sparks.lifeVar = 0.9, 0.3
  sparks.startSize, sparks.startSizeVar, sparks.endSize = 14, 4, 2
  sparks.startColor, sparks.startGreenVar = 0x40E0FF, 40
  sparks.endColor, sparks.endAlpha = 0x2020FF, 0
  sparks.maxParticles = 60  -- starts the burst
  layer.addChild(sparks)
  bursts[#bursts + 1] = sparks
end
background.mouseEnabled = true
background.c_sparks = {
  click = function(self, target)
    local mx, my = g.MousePos()
    burst(mx - g.winW() / 2, my - g.winH() / 2)
  end,
}

-- A skeletal animation (img/001/1.skel over img/001/1.atlas): it sways, curls
-- every few seconds and then sways again (its default animation); a ball
-- rides the slot of its eye and changes colour at each end of the swing.
local TENTACLE = 0x81050011
g.SetDefaultAnim("sway")
local tentacle = g.SpineQuad()
tentacle.scaleMode = 3
tentacle.media = TENTACLE
tentacle.x, tentacle.y = 340, -40
layer.addChild(tentacle)
local rider = quad(BALL, 24, 24, 0, 0)
tentacle.addChild(rider)
rider.slot = "eye"  -- link first: linking clears the flag
rider.slotFlag = 1  -- drawn just after the eye
rider.x = 30
local ticks = 0
tentacle.setListener(function(self, kind, animation, event)
  if kind == 5 and event == "tick" then
    ticks = ticks + 1
    rider.color = ticks % 2 == 1 and 0x3080FF or 0xFFFFFF
  end
end)
local nextCurl = 5000

local last = nil
local typed = ""
local frames = 0
g.SetMainloop(function(gameTime)
  if gameTime < 0 then
    g.clog("demo: closing\n")
    return
  end
  frames = frames + 1
  if frames == 5 then g.clog("demo: ready\n") end
  local dt = last and (gameTime - last) / 1000 or 0
  last = gameTime
  hillsLeft = hillsLeft - 60 * dt
  if hillsLeft <= -512 - 1024 then hillsLeft = hillsLeft + 1024 end
  hills.x = hillsLeft + hills.getWidth() / 2
  for _, b in ipairs(balls) do
    local q = b.quad
    q.x, q.y = q.x + b.dx * dt, q.y + b.dy * dt
    if math.abs(q.x) > 488 then b.dx = -b.dx end
    if math.abs(q.y) > 360 then b.dy = -b.dy end
  end
  if gameTime >= nextCurl then
    tentacle.setAnimation("curl", false, 0)
    nextCurl = gameTime + 6000
  end
  local mx, my = g.MousePos()
  follower.x, follower.y = mx - g.winW() / 2, my - g.winH() / 2
  for i, sprite in ipairs(row) do
    sprite.y = 230 + 12 * math.sin(gameTime / 300 + i * 0.7)
  end
  for i = #bursts, 1, -1 do
    local sparks = bursts[i]
    if not sparks.emitting and not sparks.hasParticles then
      sparks.removeFromParent()
      table.remove(bursts, i)
    end
  end
  if field.text ~= typed then
    typed = field.text
    g.clog("demo: field " .. typed .. "\n")
  end
end)
