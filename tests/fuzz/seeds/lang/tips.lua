--[[4001
]]
local t = {}
--tips=Moves the unit
t.move = function(unit) end
--tips=Jumps
t["jump"] = function() end
--tips=Runs
t['run']	= function() end
--tips=Never defined
