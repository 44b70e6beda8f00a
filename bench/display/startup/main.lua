-- LÖVE's side of the start-up benchmark (StartupBench): an empty scene that
-- ends once its first frame has been shown. At the next update, where the
-- engine's script sees its first frame, it prints one line with the heap in
-- use and asks to quit. The heap is glibc's (mallinfo2: blocks in use, small
-- and mapped) plus LuaJIT's, which takes its memory from the system itself
-- where the engine's Lua allocates through malloc.
local ffi = require('ffi')
ffi.cdef [[
struct mallinfo2 { size_t arena, ordblks, smblks, hblks, hblkhd, usmblks, fsmblks, uordblks, fordblks, keepcost; };
struct mallinfo2 mallinfo2(void);
]]

local updates = 0

function love.update()
  updates = updates + 1
  if updates ~= 2 then return end
  local heap = ffi.C.mallinfo2()
  local bytes = tonumber(heap.uordblks) + tonumber(heap.hblkhd) + math.floor(collectgarbage('count') * 1024)
  io.write(string.format('first frame heap %d\n', bytes))
  io.stdout:flush()
  love.event.quit()
end
