-- Runs before the window exists: the window's name, and where sounds are.
-- Sounds are resources of kind 9 (ids 0x9.......), a kind the engine gives no
-- meaning of its own, kept in the project's folder "sound" as .mp3 files:
-- id 0x90010001 is sound/0001.mp3.
local g = require("gcore.c")

g.SetWinName("quarvelin example: sound")
g_dir = {[0x10000] = "sound"}
g_ext = {[0x90000000] = ".mp3"}
