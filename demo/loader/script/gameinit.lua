-- Runs before the window exists: resource folders, the window's name and the
-- game's design size.
local g = require("gcore.c")

g_dir = { [0x01050000] = "img" }
g_ext = { [0x50000000] = ".png" }

g.SetWinName("quarvelin demo")
g.SetResourceSize(1024, 768)
g.clog("demo: gameinit, design size " .. g.winW() .. " x " .. g.winH() .. "\n")
