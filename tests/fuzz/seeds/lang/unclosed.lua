--[[3001
 c_a , c_b
c_c,
Text
]]
0x30010001--[[one]] 0x30010002--[[never closed
0x3001000