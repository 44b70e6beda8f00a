-- Runs before the window exists: the window's name and the design size.
local g = require("gcore.c")

g.SetWinName("quarvelin example: hello")
g.SetResourceSize(640, 480)
g.clog("hello: gameinit, design size " .. g.winW() .. " x " .. g.winH() .. "\n")
