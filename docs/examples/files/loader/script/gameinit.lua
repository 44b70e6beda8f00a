-- Runs before the window exists: the window's name.
local g = require("gcore.c")

g.SetWinName("quarvelin example: files")
