-- Runs before the window exists: the window's name, the design size and
-- where the files are. Kind 8 ids (0x8...) are skeletal resources: 0x81050011
-- is loader/img/001/1.png, so its atlas is img/001/1.atlas and its skeleton
-- img/001/1.skel; the atlas's page "1.png" is that same image.
local g = require("gcore.c")

g_dir = { [0x01050000] = "img" }
g_ext = { [0x50000000] = ".png", [0x80000000] = ".png" }

g.SetWinName("quarvelin example: skeletons")
g.SetResourceSize(800, 600)
