-- Runs before the window exists: the window's name, the design size, where
-- the white image is (0x56000001: carets, selections and link underlines are
-- drawn with it), the font of slot 0 and the text styles.
local g = require("gcore.c")

g_dir = { [0x06000000] = "sys" }
g_ext = { [0x50000000] = ".png" }

g.SetWinName("quarvelin example: text")
g.SetResourceSize(800, 600)

-- Slot 0 has no font file (no load flag): the system's DejaVu Sans draws it.
g.SetFontName(0, "DejaVu Sans")

-- Styles, from 1: plain white; gold with a dark outline; sky blue for links.
g.addFntStyle(0xFFFFFF, 0xFFFFFF, 0x000000, 0, 0)
g.addFntStyle(0xFFC830, 0xFFC830, 0x302010, 0, 1)
g.addFntStyle(0x60B0FF, 0x60B0FF, 0x000000, 0, 0)
