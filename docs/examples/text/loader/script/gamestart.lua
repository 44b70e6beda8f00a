-- Text objects: a styled title, a wrapped paragraph with a link, a
-- typewriter line, a field to type in and a label that reads it back.
local g = require("gcore.c")

-- Glyph sheets of font slot 0: 0x60 + the size in pixels (hex) + 0000.
local FONT_20, FONT_40 = 0x60140000, 0x60280000

local layer = g.Entity()
g.Stage().addChild(layer)
layer.x, layer.y = 0, 0

local function text(content, font, width, height, x, y)
  local t = g.TextQuad()
  t.font = font
  t.width, t.height = width, height
  t.x, t.y = x, y
  t.text = content
  layer.addChild(t)
  return t
end

-- The first style a text pushes is never popped, so a text that switches
-- styles starts with its plain one. Style 2 is outlined: with the shadow
-- switched on, the outline shows.
local title = text("[01][02]Text[/0] on [03]screen", FONT_40, 760, 60, 0, 250)
title.fontStyleOn = 255

-- A paragraph that wraps at its width (at any character, not only between
-- words), aligned to its top left, with a link.
local paragraph = text("[01]Lines break at the width when wrap is on. Markup picks "
  .. "[02]styles[/0], places a[tb=300]tab, and makes "
  .. "[a=03more]a link[/a] that calls back when clicked.", FONT_20, 600, 120, 0, 120)
paragraph.wrap = true
paragraph.align = 1
paragraph.mouseEnabled = true
paragraph.setCallback("click", function(link) g.clog("text: link " .. link .. " clicked\n") end)

-- Typed out at 20 characters a second, with a pause at the comma.
local typewriter = text("Typing along,[wt=800] then faster.", FONT_20, 600, 30, 0, 20)
typewriter.align = 4
typewriter.typeSpeed = 20

-- A field: editable, and so pointer-enabled; a dark box behind it.
local box = g.Quad()
box.media = 0x56000001
box.width, box.height = 404, 34
box.x, box.y = 0, -80
box.color = 0x302018
layer.addChild(box)
local field = text("", FONT_20, 396, 30, 0, -80)
field.align = 4
field.readOnly = false
field.mouseEnabled = true

local echo = text("Click the box and type.", FONT_20, 600, 30, 0, -140)
echo.align = 4

local shown = ""
local frames = 0
g.SetMainloop(function(gameTime)
  if gameTime < 0 then return end
  frames = frames + 1
  if field.text ~= shown then
    shown = field.text
    echo.text = "You typed: " .. shown
  end
  if frames == 5 then
    g.clog(string.format("text: ready, the paragraph has %d lines\n", paragraph.getLineOf(1000) + 1))
  end
end)
