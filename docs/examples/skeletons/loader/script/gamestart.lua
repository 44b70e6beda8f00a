-- A skeletal animation on the stage: it curls once, then falls back to its
-- default animation; its keyed events reach a listener; a quad rides a slot.
local g = require("gcore.c")
local function say(text) g.clog("skeletons: " .. text .. "\n") end

local TENTACLE = 0x81050011
local KIND_COMPLETE, KIND_EVENT = 3, 5

local layer = g.Entity()
g.Stage().addChild(layer)
layer.x, layer.y = 0, 0

-- Every SpineQuad starts this animation when it loads, and returns to it
-- when an animation that does not loop completes.
g.SetDefaultAnim("sway")

local tentacle = g.SpineQuad()
tentacle.scaleMode = 3          -- the node takes the skeleton's own size
tentacle.media = TENTACLE       -- loads the atlas and the skeleton
layer.addChild(tentacle)
tentacle.x, tentacle.y = 0, 0   -- its root bone at the layer's centre

local names = {}
for i = 0, tentacle.getAnimationCount() - 1 do names[#names + 1] = tentacle.getAnimationName(i) end
say(string.format("%d bones, %d slots, animations %s", tentacle.getBoneCount(),
                  tentacle.getSlotDataCount(), table.concat(names, " and ")))

-- A child linked to a slot is drawn in that slot's bone's frame: here a
-- small copy of the tentacle rides just after the eye, 40 units further
-- along the bone. Children are linked to slot 0 until told otherwise:
-- "_root" puts one in the quad's own frame.
local rider = g.SpineQuad()
rider.media = TENTACLE          -- the same files, loaded once for both
rider.width, rider.height = 80, 120  -- scaled to 40 % of its own size
tentacle.addChild(rider)
rider.slot = "eye"              -- link first: linking clears the flag
rider.slotFlag = 1              -- drawn just after the eye
rider.x = 40

-- The listener hears the quad's events while the quad is drawn: here the
-- keyed "tick" events (with their values) and the completion of the curl.
local ticks, curled = 0, false
tentacle.setListener(function(self, kind, animation, event, int, number, text)
  if kind == KIND_EVENT and event == "tick" then
    ticks = ticks + 1
    rider.color = ticks % 2 == 1 and 0x80C0FF or 0xFFFFFF
  elseif kind == KIND_COMPLETE and animation == "curl" then
    curled = true
  end
end)

-- Methods are called with a dot. setAnimation returns the length in ms.
say("curling for " .. tentacle.setAnimation("curl", false, 0) .. " ms")

-- The default animation takes over once the listener has heard the curl
-- complete.
g.SetMainloop(function(gameTime)
  if gameTime < 0 or not curled then return end
  say("the curl completed, now playing " .. tentacle.getCurrentAnimation())
  say("ready")
  g.SetMainloop(nil)
end)
