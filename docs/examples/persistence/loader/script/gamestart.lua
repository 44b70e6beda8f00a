-- Saves a game state that holds a quest in the middle of a dialogue (a
-- suspended coroutine), a counter closure and a table with cycles; loads it
-- back and goes on where it stopped.
local g = require("gcore.c")
local eris = eris  -- a global, like Lua's own libraries

local function say(text) g.clog("persistence: " .. text .. "\n") end

-- Written by name, not copied: the globals and the C functions that the
-- quest's stack holds.
local perms = {[_ENV] = "_ENV", [coroutine.yield] = "yield"}
local names = {}
for value, name in pairs(perms) do names[name] = value end

local function newGame()
  local player = {name = "Ada", gold = 10}
  player.self = player
  local visits = 0
  local state = {
    player = player,
    visit = function() visits = visits + 1; return visits end,
    quest = coroutine.create(function(who)
      local answer = coroutine.yield("Will you help me, " .. who.name .. "?")
      if answer == "yes" then
        who.gold = who.gold + 5
        coroutine.yield("Thank you! Here are 5 gold.")
      end
      return "The quest is over."
    end),
  }
  say(select(2, coroutine.resume(state.quest, player)))
  state.visit()
  return state
end

-- Save to a file, only once the stream is complete.
local ok, stream = pcall(eris.persist, perms, newGame())
if not ok then
  say("cannot save: " .. stream)
  return
end
local path = os.tmpname()
local file = assert(io.open(path, "wb"))
file:write(stream)
file:close()
say(string.format("saved %d bytes", #stream))

-- Load it into a state of its own.
file = assert(io.open(path, "rb"))
local loaded = eris.unpersist(names, file:read("a"))
file:close()
os.remove(path)

say("visits so far: " .. loaded.visit())
say(select(2, coroutine.resume(loaded.quest, "yes")))
say(string.format("%s has %d gold; the cycle holds: %s", loaded.player.name, loaded.player.gold,
                  tostring(loaded.player.self == loaded.player)))
say(select(2, coroutine.resume(loaded.quest)))

-- The first frame: everything above has run.
g.SetMainloop(function(gameTime)
  if gameTime < 0 then return end
  say("ready")
  g.SetMainloop(nil)
end)
