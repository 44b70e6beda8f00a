-- Runs before the window exists: the window's name, the design size and
-- where the map and its tiles are. Resource ids 0x5105xxxx are the images
-- loader/img/xxxx.png and 0xC105xxxx the maps loader/img/xxxx.tmx: a map's
-- tile images must sit in its own folder, named by hexadecimal numbers.
local g = require("gcore.c")

g_dir = { [0x01050000] = "img" }
g_ext = { [0x50000000] = ".png", [0xC0000000] = ".tmx" }

g.SetWinName("quarvelin example: tilemap")
g.SetResourceSize(800, 600)
