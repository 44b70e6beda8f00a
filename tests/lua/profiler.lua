-- "profiler.c": count-hook samples folded per source and defining line.
local raises = require("testlib").raises
local profiler = require "profiler.c"

local function hot()
  local s = 0
  for i = 1, 3000 do
    s = s + i % 7
  end
  return s
end

local function cold() return 1 end

local function sum_counts(info)
  local n = 0
  for _, lines in pairs(info) do
    for _, count in pairs(lines) do n = n + count end
  end
  return n
end

test("info and stop before start raise", function()
  raises("thread profiler not begin", profiler.info)
  raises("thread profiler not begin", profiler.stop)
  local co = coroutine.create(function() end)
  raises("thread profiler not begin", profiler.info, co)
end)

test("a hot function is on top, counted under its first line", function()
  profiler.start(5000, 10)
  for _ = 1, 100 do hot() cold() end
  local info, total = profiler.info()
  profiler.stop()
  local source = debug.getinfo(hot, "S").short_src
  local best_line, best = nil, -1
  for line, count in pairs(info[source]) do
    if count > best then best_line, best = line, count end
  end
  assert(best_line == debug.getinfo(hot, "S").linedefined, "top line " .. tostring(best_line))
  assert(info[source][debug.getinfo(hot, "S").linedefined + 3] == nil, "a body line was counted")
  assert(sum_counts(info) == math.min(total, 5000) and total > 0)
  raises("thread profiler not begin", profiler.info)
  assert(debug.gethook() == nil, "stop clears the hook")
end)

test("the ring keeps the last samples; restart starts afresh", function()
  profiler.start(10, 1)
  for _ = 1, 10 do hot() end
  local info, total = profiler.info()
  assert(total > 10 and sum_counts(info) == 10, "total " .. total)
  profiler.start(1000, 1)
  local _, again = profiler.info()
  assert(again < 10, "a restart keeps the old count")
  profiler.stop()
  profiler.start()
  for _ = 1, 10 do hot() end
  local _, third = profiler.info()
  assert(third > 0)
  profiler.stop()
  raises("slot count out of range", profiler.start, 0)
  raises("period out of range", profiler.start, 10, 0)
end)

test("a coroutine is profiled on its own", function()
  local co = coroutine.create(function()
    for _ = 1, 5 do hot() coroutine.yield() end
  end)
  profiler.start(co, 10, 1)
  raises("thread profiler not begin", profiler.info)
  while coroutine.status(co) ~= "dead" do coroutine.resume(co) end
  local info, total = profiler.info(co)
  assert(total > 10 and sum_counts(info) == 10)
  profiler.stop(co)
  raises("thread profiler not begin", profiler.info, co)
end)

test("another hook set after start keeps the thread's hook after stop", function()
  local events = 0
  profiler.start(100, 1)
  debug.sethook(function() events = events + 1 end, "l")
  local _, before = profiler.info()
  hot()
  local _, after = profiler.info()
  assert(after == before, "the replaced profiler still samples")
  profiler.stop()
  assert(debug.gethook() ~= nil, "stop removed a hook that was not the profiler's")
  debug.sethook()
  assert(events > 0)
end)
