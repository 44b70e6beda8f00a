-- "snapshot.c": every object reachable from the registry, with the
-- references that reach it. Result keys are light userdata; texts name
-- parents by the address tostring shows.
local snapshot = require "snapshot.c"

local function address(object) return tostring(object):match("0x%x+") end

-- The snapshot indexed by address text.
local function by_address(result)
  local found = {}
  for k, v in pairs(result) do found[address(k)] = v end
  return found
end

local function has_line(text, line)
  return ("\n" .. text):find("\n" .. line .. "\n", 1, true) ~= nil
end

test("two snapshots around a leak show the leaked objects and their paths", function()
  local cache = {}
  leak_holder = cache
  local before = by_address(snapshot())
  local leaked = {payload = {}}
  cache.entry = leaked
  local after = by_address(snapshot())
  local new = {}
  for a, text in pairs(after) do
    if not before[a] then new[a] = text end
  end
  local text = new[address(leaked)]
  assert(text, "the leaked table is not new")
  assert(text:sub(1, 6) == "table\n" and has_line(text, address(cache) .. " : entry"), text)
  assert(has_line(new[address(leaked.payload)], address(leaked) .. " : payload"))
  assert(has_line(after[address(cache)], address(_G) .. " : leak_holder"))
  leak_holder = nil
end)

test("every reference to an object is listed; the registry is the root", function()
  local shared = {}
  local a, b = {x = shared}, {[shared] = true, [2.5] = shared}
  local result = by_address(snapshot())
  local text = result[address(shared)]
  assert(has_line(text, address(a) .. " : x"))
  assert(has_line(text, address(b) .. " : [key]") or has_line(text, address(b) .. " : [2.5]"))
  assert(has_line(result[address(debug.getregistry())], "0x0 : [registry]"))
  local keyed = {[true] = {}, [7] = {}}
  result = by_address(snapshot())
  assert(has_line(result[address(keyed[true])], address(keyed) .. " : [true]"))
  assert(has_line(result[address(keyed[7])], address(keyed) .. " : [7]"))
  assert(a and b)
end)

test("weak keys and weak values are not walked", function()
  local key, value = {}, {}
  local weak_k = setmetatable({[key] = value}, {__mode = "k"})
  local weak_v = setmetatable({[key] = value}, {__mode = "v"})
  local result = by_address(snapshot())
  assert(has_line(result[address(value)], address(weak_k) .. " : [table:" .. address(key) .. "]"))
  assert(not result[address(value)]:find(address(weak_v), 1, true))
  assert(has_line(result[address(key)], address(weak_v) .. " : [key]"))
  assert(not result[address(key)]:find(address(weak_k), 1, true))
  assert(has_line(result[address(weak_k)], "table") and
         result[address(getmetatable(weak_k))]:find(address(weak_k) .. " : [metatable]", 1, true))
end)

test("functions: sources, upvalues, C functions", function()
  local upvalue = {}
  local function f() return upvalue end
  local holder = {f = f, light = string.len, closure = coroutine.wrap(function() end)}
  local result = by_address(snapshot())
  local info = debug.getinfo(f, "S")
  local text = result[address(f)]
  assert(text:sub(1, #info.short_src + 1) == info.short_src .. ":" and
         text:find(":" .. info.linedefined .. "\n", 1, true), text)
  assert(has_line(result[address(upvalue)], address(f) .. " : upvalue"))
  assert(result[address(string.len)] == nil, "a light C function is reported")
  local wrapped = result[address(holder.closure)]
  assert(wrapped:sub(1, 10) == "cfunction\n", wrapped)
end)

test("threads: the running thread starts at the caller; others list their stacks", function()
  local marker = {}
  local co = coroutine.create(function(x)
    local inside = {}
    coroutine.yield(inside)
    return x
  end)
  local _, inside = coroutine.resume(co, marker)
  local result = by_address(snapshot())
  local running = result[address(coroutine.running())]
  local here = debug.getinfo(1, "S").short_src
  assert(running:sub(1, #here) == here, running)
  local text = result[address(co)]
  assert(text:find("inside : ", 1, true) or has_line(result[address(inside)], address(co) .. " : [2]") or
         result[address(inside)]:find(address(co), 1, true), text)
  assert(result[address(marker)]:find(address(co) .. " : x : ", 1, true), result[address(marker)])
end)

test("userdata: metatable and user value", function()
  local lsocket = require "lsocket"
  local s = assert(lsocket.bind("udp", "127.0.0.1", 0))
  local result = by_address(snapshot())
  local text = result[address(s)]
  assert(text and text:sub(1, 9) == "userdata\n", tostring(text))
  assert(result[address(getmetatable(s))]:find(address(s) .. " : [metatable]", 1, true))
  s:close()
end)

test("long chains and big tables are walked; the collector runs again after", function()
  local list
  for i = 1, 50000 do list = {next = list, i = i} end
  local big = {}
  for i = 1, 1000000 do big[i] = i end
  for i = 1, 200000 do big[i] = {} end
  local result = snapshot()
  local count = 0
  for _ in pairs(result) do count = count + 1 end
  assert(count > 250000, "objects: " .. count)
  local found = by_address(result)
  assert(has_line(found[address(list)], "table"))
  assert(collectgarbage("isrunning"))
end)
