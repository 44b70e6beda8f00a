-- "remotedebug": a debugger written in Lua (rdebug_client.lua, run in a
-- state of its own) drives host code and reports what it sees.
local raises = require("testlib").raises
local rd = require "remotedebug"

local host = assert(load([[
local M = {}
function M.add(a, b)
  local sum = a + b
  return sum
end
function M.run(state)
  local x = 10
  local y = M.add(x, 5)
  state.score = y
  local z = y * 2
  return z
end
local counter = 0
function M.bump()
  counter = counter + 1
  return counter
end
return M
]], "=host"))()

-- Runs `body` under the test debugger with the given commands; returns the
-- lines the debugger wrote.
local function debug_session(plan, body)
  RD_LOG = os.tmpname()
  RD_PLAN = plan
  rd.start("rdebug_client")
  local ok, err = pcall(body)
  rd.clear()
  local lines = {}
  for line in io.lines(RD_LOG) do lines[#lines + 1] = line end
  os.remove(RD_LOG)
  RD_LOG, RD_PLAN = nil, nil
  assert(ok, err)
  return lines
end

local function expect(lines, expected)
  local text = table.concat(lines, "\n")
  assert(text == table.concat(expected, "\n"), "debugger saw:\n" .. text)
end

test("the host side: status, errors without a debugger", function()
  assert(rd.status == "host")
  assert(rd.getlocal == nil, "the host has no debugger functions")
  raises("debugger has not set hook", rd.start, "testlib")
  rd.probe("nothing listens")
  raises("module 'no_such_debugger' not found", rd.start, "no_such_debugger")
end)

test("breakpoints, locals, step in, over and out, watches", function()
  local state = {score = 0}
  local lines = debug_session({
    "break 7", "continue",
    -- line 7, nothing assigned yet
    "locals", "info", "over",
    -- line 8
    "locals", "step",
    -- inside add, line 3
    "locals", "watch a", "out",
    -- back in run after the call
    "locals", "watch state.score", "detail state", "step",
    "watch state.score", "unbreak 7", "continue",
  }, function() assert(host.run(state) == 30) end)
  expect(lines, {
    "stop 7", "locals state=(L 1 1)", "info host 7 6 Lua",
    "stop 8", "locals state=(L 1 1) x=10",
    "stop 3", "locals a=10 b=5", "watch a 10",
    "stop 9", "locals state=(L 1 1) x=10 y=15", "watch state.score 0", "detail state (L 1 1)",
    "stop 10", "watch state.score 15",
  })
end)

test("upvalues, table fields and references that outlive a stop", function()
  GAME = {level = {name = "start", size = 3}, list = {10, 20}, add = host.add}
  local lines = debug_session({
    "break 15", "continue",
    "upvalues", "fields GAME.level", "keep GAME.level", "keep GAME.list", "props GAME.add", "continue",
    "show GAME.level", "show GAME.list", "continue",
  }, function()
    host.bump()
    GAME.level.name = "boss"
    GAME.list[2] = 99
    host.bump()
  end)
  expect(lines, {
    "stop 15", "upvalues counter=0", "fields GAME.level name=start size=3",
    "props GAME.add 2 5",
    "stop 15", "show GAME.level _G.GAME.level name=boss size=3", "show GAME.list _G.GAME.list 1=10 2=99",
  })
  GAME = nil
end)

test("probes, and a debugger error that leaves the game running", function()
  local line
  local lines = debug_session({"continue", "fail"}, function()
    line = debug.getinfo(1, "l").currentline + 1
    rd.probe("checkpoint")
    -- The debugger has gone; the game goes on, and probes do nothing.
    rd.probe("after")
    assert(host.bump() > 0)
  end)
  expect(lines, {"probe checkpoint " .. line})
end)

test("an error inside the hook closes the debugger; the game goes on", function()
  local lines = debug_session({"break 3", "continue", "sethook", "fail"}, function()
    assert(host.add(1, 2) == 3)
    assert(debug.gethook() == nil, "the failed hook stays set")
    rd.probe("gone")
    assert(host.add(2, 2) == 4)
  end)
  expect(lines, {"stop 3", "sethook sethook after the debugger has started"})
end)

test("many start and clear cycles", function()
  RD_LOG, RD_PLAN = os.tmpname(), {}
  for _ = 1, 200 do
    rd.start("rdebug_client")
    host.add(1, 1)
    rd.clear()
  end
  rd.clear()
  os.remove(RD_LOG)
  RD_LOG, RD_PLAN = nil, nil
end)

test("the profiler and the debugger share one hook: the last started owns it", function()
  local profiler = require "profiler.c"
  profiler.start(100, 1)
  local lines = debug_session({"break 3", "continue", "continue"}, function()
    local _, before = profiler.info()
    host.add(1, 2)
    host.add(1, 2)
    local _, after = profiler.info()
    assert(after == before, "the profiler samples under the debugger's hook")
    profiler.start(100, 1)
    host.add(1, 2)
    local _, samples = profiler.info()
    assert(samples > 0)
  end)
  profiler.stop()
  assert(debug.gethook() == nil)
  expect(lines, {"stop 3", "stop 3"})
end)

test("start and clear are refused while the debugger runs", function()
  local results = {}
  collectgarbage("stop")
  setmetatable({}, {__gc = function()
    results[#results + 1] = select(2, pcall(rd.clear))
    results[#results + 1] = select(2, pcall(rd.start, "rdebug_client"))
  end})
  debug_session({"continue", "churn"}, function()
    collectgarbage("restart")
    collectgarbage("setpause", 0)
    collectgarbage("setstepmul", 1000)
    rd.probe("churn")
  end)
  collectgarbage("setpause", 200)
  collectgarbage("setstepmul", 200)
  assert(#results == 2, "the finalizer did not run inside the probe")
  for _, err in ipairs(results) do assert(tostring(err):find("inside its hook or probe", 1, true), tostring(err)) end
end)

test("the inspection functions", function()
  API_T = {k = {}}
  API_K = {[{tag = true}] = 5}
  API_U = lsocket.bind("udp", "127.0.0.1", 0)
  local line
  local lines = debug_session({"continue", "api", "continue"}, function()
    line = debug.getinfo(1, "l").currentline + 1
    rd.probe("api")
  end)
  expect(lines, {
    "probe api " .. line,
    "api _G _G.API_T _G.API_T.k table nil true",
    "api (string mt) (string mt).__index [number:42]",
    "api userdata (_G.API_U mt) socket nil 0",
    "api (next _G.API_K nil) 5 (next _G.API_K nil) 5",
    "api true 0 0 0",
    "api false Need coroutine, Is table",
    "api false need table key",
  })
  API_U:close()
  API_T, API_K, API_U = nil, nil, nil
end)

test("a coroutine's own hook, set through a reference", function()
  -- Made before the debugger starts, so it has no hook of its own yet.
  API_CO = coroutine.create(assert(load("local a = 1\ncoroutine.yield(a)\nreturn a + 1", "=host")))
  local line
  local lines = debug_session({"continue", "cohook", "break 1", "break 3", "continue", "continue", "continue"},
                              function()
    line = debug.getinfo(1, "l").currentline + 1
    rd.probe("set")
    coroutine.resume(API_CO)
    coroutine.resume(API_CO)
  end)
  expect(lines, {"probe set " .. line, "stop 1", "stop 3"})
  API_CO = nil
end)
