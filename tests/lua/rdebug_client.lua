-- A small debugger for the "remotedebug" tests, run in the debugger state.
-- It reads its commands from the host's global RD_PLAN (a list of texts,
-- taken one by one at each stop) and writes what it sees, a line each, to
-- the file named by the host's global RD_LOG. It stops only in the chunk
-- named "=host". In a hook and in a probe alike, the host's frame at level 1
-- is the one that raised the event.
local rdebug = require "remotedebug"

local out = assert(io.open(rdebug.index(rdebug._G, "RD_LOG"), "w"))
local function emit(...)
  out:write(table.concat({...}, " "), "\n")
  out:flush()
end

local plan = rdebug.index(rdebug._G, "RD_PLAN")
local next_command = 1
local breakpoints = {}
local mode, depth, target = "run", 0, 0
local kept = {}

local function show(v)
  if rdebug.type(v) == "table" then return rdebug.detail(v) end
  return tostring(rdebug.value(v))
end

-- A path "a.b.c": a local of the stopped frame, else a global, then fields.
local function lookup(path)
  local first, rest = path:match("^([^.]+)(.*)$")
  local value
  local i = 1
  while true do
    local name, v = rdebug.getlocal(1, i)
    if not name then break end
    if name == first then value = v end
    i = i + 1
  end
  if value == nil then value = rdebug.index(rdebug._G, first) end
  for field in rest:gmatch("[^.]+") do
    value = rdebug.index(value, tonumber(field) or field)
  end
  return value
end

local commands = {}
function commands.locals()
  local i, parts = 1, {}
  while true do
    local name, v = rdebug.getlocal(1, i)
    if not name then break end
    if name:sub(1, 1) ~= "(" then parts[#parts + 1] = name .. "=" .. show(v) end
    i = i + 1
  end
  emit("locals", table.concat(parts, " "))
end
function commands.upvalues()
  local f, i, parts = rdebug.getfunc(1), 1, {}
  while true do
    local name, v = rdebug.getupvalue(f, i)
    if not name then break end
    parts[#parts + 1] = name .. "=" .. show(v)
    i = i + 1
  end
  emit("upvalues", table.concat(parts, " "))
end
local function fields(t)
  local k, parts = nil, {}
  while true do
    local key, v = rdebug.next(t, k)
    if key == nil then break end
    parts[#parts + 1] = tostring(key) .. "=" .. show(v)
    k = key
  end
  table.sort(parts)
  return table.concat(parts, " ")
end
function commands.fields(path) emit("fields", path, fields(lookup(path))) end
function commands.watch(path) emit("watch", path, show(lookup(path))) end
function commands.detail(path) emit("detail", path, rdebug.detail(lookup(path))) end
function commands.keep(path) kept[path] = lookup(path) end
-- A reference kept from an earlier stop is evaluated afresh.
function commands.show(path) emit("show", path, rdebug.detail(kept[path]), fields(kept[path])) end
function commands.props(path)
  local p = rdebug.props(lookup(path))
  emit("props", path, p.linedefined, p.lastlinedefined)
end
function commands.info()
  local info = rdebug.getinfo(1)
  emit("info", info.short_src, info.currentline, info.linedefined, info.what)
end
function commands.fail() error("debugger fails on purpose") end
function commands.sethook() emit("sethook", select(2, pcall(rdebug.sethook, function() end))) end
-- Reads host globals with fresh keys: each lookup makes a string in the host.
function commands.churn()
  for i = 1, 5000 do rdebug.index(rdebug._G, "churn" .. i) end
end
commands["break"] = function(line) breakpoints[tonumber(line)] = true end
function commands.unbreak(line) breakpoints[tonumber(line)] = nil end
function commands.off() rdebug.hookmask(nil) end

-- The inspection functions on fixed host globals: API_T = {k = {}},
-- API_K (a table keyed by a table), API_U (a userdata), API_CO (a coroutine).
function commands.api()
  local G = rdebug._G
  local t = rdebug.index(G, "API_T")
  emit("api", rdebug.detail(G), rdebug.detail(t), rdebug.detail(rdebug.index(t, "k")), rdebug.type(t),
       rdebug.type(rdebug.index(t, "n")), tostring(rdebug.value(t):match("^%[table: 0x%x+%]$") ~= nil))
  local smt = rdebug.getmetatable("text")
  emit("api", rdebug.detail(smt), rdebug.detail(rdebug.index(smt, "__index")), rdebug.detail(42))
  local u = rdebug.index(G, "API_U")
  local umt = rdebug.getmetatable(u)
  emit("api", rdebug.type(u), rdebug.detail(umt), rdebug.index(umt, "__type"), tostring(rdebug.getuservalue(u)),
       tostring(select("#", rdebug.getuservalue(t))))
  local key, value = rdebug.next(rdebug.index(G, "API_K"))
  emit("api", rdebug.detail(key), tostring(value), rdebug.detail(rdebug.index(key, "tag") and key),
       tostring(rdebug.index(rdebug.index(G, "API_K"), key)))
  local print_props = rdebug.props(rdebug.index(G, "print"))
  emit("api", tostring(print_props.pointer_address:match("^0x%x+$") ~= nil), tostring(select("#", rdebug.getlocal(1, 200))),
       tostring(select("#", rdebug.getinfo(200))), tostring(select("#", rdebug.getupvalue(rdebug.index(G, "print"), 1))))
  local ok, err = pcall(rdebug.hookmask, t, "l")
  emit("api", tostring(ok), err:match("Need coroutine.*$"))
  local ok2, err2 = pcall(rdebug.index, t)
  emit("api", tostring(ok2), err2:match("need table key$"))
end
-- Line events of the host coroutine API_CO.
function commands.cohook() rdebug.hookmask(rdebug.index(rdebug._G, "API_CO"), "l") end

local resumes = {continue = "run", step = "step", over = "over", out = "out"}

-- Runs commands until one resumes the host.
local function interact()
  while true do
    local text = rdebug.index(plan, next_command)
    if text == nil then mode = "run" return end
    next_command = next_command + 1
    local verb, argument = text:match("^(%S+)%s*(.*)$")
    if resumes[verb] then
      mode, target = resumes[verb], depth
      return
    end
    commands[verb](argument)
  end
end

local function in_host()
  local info = rdebug.getinfo(1)
  return info and info.source == "=host"
end

rdebug.sethook(function(event, line)
  if event == "call" then
    depth = depth + 1
  elseif event == "return" then
    depth = depth - 1
  elseif event == "line" then
    if not in_host() then return end
    local stop = breakpoints[line] or mode == "step" or (mode == "over" and depth <= target) or
                 (mode == "out" and depth < target)
    if stop then
      emit("stop", line)
      interact()
    end
  elseif event ~= "tail call" and event ~= "count" then
    emit("probe", event, line)
    interact()
  end
end)
rdebug.hookmask("crl")
interact()
