-- Runs before the window exists: the window's name, the design size and
-- where the images are (resource ids 0x5105xxxx are loader/img/xxxx.png).
local g = require("gcore.c")

g_dir = { [0x01050000] = "img" }
g_ext = { [0x50000000] = ".png" }

g.SetWinName("quarvelin example: display")
g.SetResourceSize(800, 600)
