-- The native modules: each is required by name.
local g = require("gcore.c")
local crypt = require("crypt.c")
local cmsgpack = require("cmsgpack")

local function say(text) g.clog("modules: " .. text .. "\n") end

-- crypt.c works on byte strings: hexencode makes them readable.
say("sha1(abc) = " .. crypt.hexencode(crypt.sha1("abc")))
local key = crypt.hashkey("a secret")
say("des round trip: " .. crypt.desdecode(key, crypt.desencode(key, "meet at noon")))

-- Two peers agree on a secret without sending it.
local alice, bob = crypt.randomkey(), crypt.randomkey()
local aliceSecret = crypt.dhsecret(crypt.dhexchange(bob), alice)
local bobSecret = crypt.dhsecret(crypt.dhexchange(alice), bob)
say("shared secrets match: " .. tostring(aliceSecret == bobSecret))

-- cmsgpack: non-negative integers come back as floats.
local back = cmsgpack.unpack(cmsgpack.pack({ name = "ball", x = 3, tags = { "red", "round" } }))
say(string.format("msgpack round trip: %s at %s, %s and %s", back.name, back.x, back.tags[1], back.tags[2]))

-- "gcore.c" has a random generator of its own: a seed repeats its draws.
g.randomseed(42)
local first = { g.random(1, 6), g.random(1, 6), g.random(1, 6) }
g.randomseed(42)
local again = { g.random(1, 6), g.random(1, 6), g.random(1, 6) }
say("the same seed, the same draws: " .. tostring(table.concat(first, " ") == table.concat(again, " ")))

-- The first frame: everything above has run.
g.SetMainloop(function(gameTime)
  if gameTime < 0 then return end
  say("ready")
  g.SetMainloop(nil)
end)
