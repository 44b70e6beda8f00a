local g = require("gcore.c")

g.SetWinName("quarvelin example: git")
