-- Runs once the window exists: a per-frame function that counts frames.
local g = require("gcore.c")

-- Arguments are not checked: a key name where a code belongs reads as key 0,
-- which is never down (0x25 is the left arrow's virtual-key code).
g.clog(string.format("hello: KeyState('left') = %d, no error\n", g.KeyState("left")))

local frames = 0
g.SetMainloop(function(gameTime)
  if gameTime < 0 then
    -- The last call, when the window closes.
    g.clog("hello: closing after " .. frames .. " frames\n")
    return
  end
  frames = frames + 1
  if frames == 10 then
    g.clog(string.format("hello: ready, %d frames in %d ms of game time\n", frames, gameTime))
  end
end)
