--[[3001
c_x,
One

 
]]
0x30010004--[[four
lines]]
