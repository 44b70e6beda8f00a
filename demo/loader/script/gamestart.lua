-- Runs once the window and its drawing surface exist.
local g = require("gcore.c")

local frames = 0
local lastReport = 0

g.SetMainloop(function(gameTime)
  if gameTime < 0 then
    g.clog("demo: closing after " .. frames .. " frames\n")
    return
  end
  frames = frames + 1
  if gameTime - lastReport >= 5000 then
    lastReport = gameTime
    g.clog(string.format("demo: %d frames, game time %.1f s\n", frames, gameTime / 1000))
  end
end)
