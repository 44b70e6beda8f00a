--[[3001
c_other,
Hello

 
 Hi
]]
local t = {}
t.bye = 0x30010005--[[Bye]]
t.two = 0x30010006--[[two
lines]]
t.bad = 0x3001000g--[[not hex]]
