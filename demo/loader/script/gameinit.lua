-- Runs before the window exists: name it and give the game its design size.
local g = require("gcore.c")

g.SetWinName("quarvelin demo")
g.SetResourceSize(1024, 768)
g.clog("demo: gameinit, design size " .. g.winW() .. " x " .. g.winH() .. "\n")
