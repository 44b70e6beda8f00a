-- Runs before the window exists: resource folders, fonts, text styles, the
-- window's name and the game's design size.
local g = require("gcore.c")

g_dir = { [0x01050000] = "img", [0x06000000] = "sys" }
g_ext = { [0x50000000] = ".png", [0x80000000] = ".png", [0xC0000000] = ".tmx" }

-- Font slot 0 has no font file of its own: the system's DejaVu Sans draws it.
g.SetFontName(0, "DejaVu Sans")
-- Text styles: 1 plain white, 2 gold with a dark outline, 3 light blue.
g.addFntStyle(0xFFFFFF, 0xFFFFFF, 0x000000, 0, 0)
g.addFntStyle(0xFFC830, 0xFFC830, 0x302010, 0, 1)
g.addFntStyle(0x90D0FF, 0x90D0FF, 0x000000, 0, 0)

g.SetWinName("quarvelin demo")
g.SetResourceSize(1024, 768)
g.clog("demo: gameinit, design size " .. g.winW() .. " x " .. g.winH() .. "\n")
