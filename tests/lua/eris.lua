-- Module "eris": round trips compared value by value, the stream's own bytes
-- where they are fixed, the settings, the permanents and the errors.
local testlib = require "testlib"
local tohex, raises, same = testlib.tohex, testlib.raises, testlib.same
local persist, unpersist = eris.persist, eris.unpersist

local HEADER = "4552495308" .. "1bde8342cac0f3bf" .. "080408"

-- The permanents every round trip below uses: the globals table and the
-- C functions that appear on the stacks of suspended coroutines.
local out_perms = {[_ENV] = "_ENV", [coroutine.yield] = "yield", [pcall] = "pcall", [error] = "error"}
local in_perms = {}
for k, v in pairs(out_perms) do in_perms[v] = k end

local function roundtrip(value)
  return unpersist(in_perms, persist(out_perms, value))
end

local function with_setting(name, value, f, ...)
  local old = eris.settings(name)
  eris.settings(name, value)
  local results = table.pack(pcall(f, ...))
  eris.settings(name, old)
  assert(results[1], results[2])
  return table.unpack(results, 2, results.n)
end

test("the stream's bytes for nil and numbers", function()
  assert(tohex(persist(nil)) == HEADER .. "00000000")
  assert(tohex(persist(1)) == HEADER .. "03000000" .. "01" .. "0100000000000000")
  assert(tohex(persist(1.0)) == HEADER .. "03000000" .. "00" .. "000000000000f03f")
  assert(tohex(persist(true)) == HEADER .. "01000000" .. "01")
end)

test("references: a table holding itself, a string met twice", function()
  local t = {}
  t[1] = t
  -- tag 5, literal, key 1, value: reference #1 (tag 15), end, no metatable
  assert(tohex(persist(t)) == HEADER .. "05000000" .. "00" .. "03000000" .. "01" .. "0100000000000000"
                                      .. "0f000000" .. "00000000" .. "00000000")
  local s = persist({"abc", "abc"})
  local _, count = s:gsub("abc", "")
  assert(count == 1, "the string is written once")
end)

test("primitive values and tables round trip", function()
  local cases = {
    nil, true, false, 0, -1, math.maxinteger, math.mininteger, 1.5, -0.0, math.huge, -math.huge, 2^53,
    "", "text", "with\0zero\255bytes", string.rep("long", 10000),
    {}, {1, 2, 3}, {a = {b = {c = "deep"}}}, {[1.5] = "float key", [true] = false, [-7] = "negative"},
  }
  for i = 1, 20 do
    assert(same(cases[i], roundtrip(cases[i])), "case " .. i)
  end
  assert(math.type(roundtrip(1)) == "integer" and math.type(roundtrip(1.0)) == "float")
  local nan = roundtrip(0 / 0)
  assert(nan ~= nan)
end)

test("cycles, shared objects and metatables", function()
  local shared = {"shared"}
  local mt = {__index = function(_, k) return k .. "!" end}
  local t = setmetatable({a = shared, b = shared, list = {}}, mt)
  t.list.back = t
  t[t] = "table as key"
  t[shared] = shared
  local r = roundtrip(t)
  assert(same(t, r))
  assert(r.a == r.b and r.list.back == r and r.missing == "missing!")
end)

test("closures keep their shared upvalues", function()
  local count = 0
  local function inc() count = count + 1; return count end
  local function get() return count end
  local function make_counter(start)
    local n = start
    return function() n = n + 1; return n end
  end
  local c1, c2 = make_counter(10), make_counter(20)
  local r = roundtrip({inc = inc, get = get, c1 = c1, c2 = c2})
  assert(same({inc = inc, get = get, c1 = c1, c2 = c2}, r))
  assert(r.inc() == 1 and r.inc() == 2 and r.get() == 2, "a change through one closure is seen by the other")
  assert(count == 0, "the original is untouched")
  assert(r.c1() == 11 and r.c2() == 21 and r.c1() == 12)
  -- A recursive local function holds itself as its upvalue.
  local function fact(n) return n <= 1 and 1 or n * fact(n - 1) end
  assert(roundtrip(fact)(10) == 3628800)
end)

test("two closures sharing an upvalue write it once", function()
  local x = {}
  local function a() return x end
  local function b() return x end
  with_setting("debug", false, function()
    local one = persist({a})
    local both = persist({a, b})
    -- b adds only its own body: its prototype and its upvalue are references.
    local r = unpersist(both)
    assert(debug.upvalueid(r[1], 1) == debug.upvalueid(r[2], 1))
    assert(#both < 2 * #one)
  end)
end)

test("C closures of the standard libraries are permanents", function()
  local iter = ipairs({})
  local r = roundtrip({iter = iter, nxt = next})
  assert(r.iter == iter and r.nxt == next)
  -- A gmatch iterator keeps its position in a userdata that points into its
  -- subject string: it is refused rather than copied.
  raises("attempt to literally persist userdata", persist, string.gmatch("one two", "%a+"))
  local wrapped = coroutine.wrap(function(a) local b = coroutine.yield(a + 1); return a + b end)
  assert(wrapped(1) == 2)
  local w = roundtrip(wrapped)
  assert(w(10) == 11)
end)

test("coroutines round trip at every stage", function()
  local fresh = coroutine.create(function(a, b) local c = coroutine.yield(a + b); return c * 2 end)
  local suspended = coroutine.create(function(a)
    local acc = a
    for i = 1, 3 do acc = acc + coroutine.yield(acc, i) end
    return "done", acc
  end)
  coroutine.resume(suspended, 100)
  local dead = coroutine.create(function() return 1 end)
  coroutine.resume(dead)
  local failed = coroutine.create(function() error("boom") end)
  coroutine.resume(failed)
  local all = {fresh = fresh, suspended = suspended, dead = dead, failed = failed}
  local r = roundtrip(all)
  assert(same(all, r))
  assert(select(2, coroutine.resume(r.fresh, 2, 3)) == 5)
  assert(select(2, coroutine.resume(r.fresh, 4)) == 8)
  for _, co in ipairs({suspended, r.suspended}) do
    local results = {}
    for i = 1, 3 do results[#results + 1] = table.concat({tostring(select(2, coroutine.resume(co, i)))}, " ") end
    assert(table.concat(results, ",") == "101,103,done", table.concat(results, ","))
  end
  assert(coroutine.status(r.dead) == "dead" and coroutine.status(r.failed) == "dead")
end)

test("a coroutine suspended in a pcall inside a metamethod resumes as the original", function()
  local function body()
    local log = {}
    local proxy = setmetatable({}, {__index = function(_, key)
      local ok, value = pcall(function()
        local got = coroutine.yield("inside " .. key)
        if got == "fail" then error("refused", 0) end
        return got .. "!"
      end)
      log[#log + 1] = tostring(ok)
      return ok and value or "caught " .. value
    end})
    local first = proxy.alpha
    local second = proxy.beta
    return first, second, table.concat(log, ",")
  end
  local original = coroutine.create(body)
  assert(select(2, coroutine.resume(original)) == "inside alpha")
  local copy = roundtrip(original)
  local a = table.pack(coroutine.resume(original, "x"))
  local b = table.pack(coroutine.resume(copy, "x"))
  assert(same(a, b) and a[2] == "inside beta")
  a = table.pack(coroutine.resume(original, "fail"))
  b = table.pack(coroutine.resume(copy, "fail"))
  assert(same(a, b))
  assert(a[1] and a[2] == "x!" and a[3] == "caught refused" and a[4] == "true,false", tostring(a[2]))
end)

test("an open upvalue stays shared between a coroutine and closures outside it", function()
  local get, set
  local co = coroutine.create(function()
    local shared = 1
    get = function() return shared end
    set = function(v) shared = v end
    while true do shared = shared + coroutine.yield(shared) end
  end)
  coroutine.resume(co)
  -- Both orders in the stream: closures first, or the coroutine first.
  for _, graph in ipairs({{get, set, co}, {co, get, set}}) do
    local r = roundtrip(graph)
    local rget, rset, rco = r[1], r[2], r[3]
    if type(rget) == "thread" then rco, rget, rset = r[1], r[2], r[3] end
    rset(10)
    assert(select(2, coroutine.resume(rco, 5)) == 15)
    assert(rget() == 15)
    assert(get() == 1, "the original is untouched")
  end
end)

test("__persist decides how tables are written", function()
  raises("attempt to persist forbidden table", persist, setmetatable({}, {__persist = false}))
  assert(#persist(setmetatable({}, {__persist = true})) > 0)
  raises("__persist not nil, boolean, or function", persist, setmetatable({}, {__persist = 1}))
  raises("__persist did not return a function", persist, setmetatable({}, {__persist = function() return 1 end}))
  local special = setmetatable({value = 42}, {__persist = function(t)
    local v = t.value
    return function() return {restored = v} end
  end})
  assert(unpersist(persist(special)).restored == 42)
  local wrong = setmetatable({}, {__persist = function() return function() return "text" end end})
  raises("bad unpersist function (table expected, returned string)", unpersist, persist(wrong))
  -- A restore function that reaches its own table finds no object yet.
  local selfish = {}
  setmetatable(selfish, {__persist = function() return function() return selfish end end})
  raises("invalid reference #1", unpersist, persist(selfish))
end)

test("the metafield name is a setting", function()
  with_setting("spkey", "__save", function()
    raises("attempt to persist forbidden table", persist, setmetatable({}, {__save = false}))
    assert(#persist(setmetatable({}, {__persist = false})) > 0)
  end)
end)

test("permanents by name, looked up through __index", function()
  local perms = setmetatable({}, {__index = function(_, v) if v == print then return "print" end end})
  local s = persist(perms, {print})
  assert(unpersist({print = print}, s)[1] == print)
  raises("bad permanent value (no value)", unpersist, {}, s)
  raises("bad permanent value (function expected, got number)", unpersist, {print = 1}, s)
  raises("attempt to persist a light C function", persist, {print})
end)

test("what cannot be persisted", function()
  raises("cannot persist currently running thread", persist, (coroutine.running()))
  local co = coroutine.create(function() return eris.persist((coroutine.running())) end)
  local ok, err = coroutine.resume(co)
  assert(not ok and err:find("cannot persist currently running thread", 1, true))
  raises("attempt to literally persist userdata", persist, io.stdout)
  raises("bad argument #1 to 'eris.persist' (table expected, got number)", persist, 1, 2)
  raises("value expected", persist)
end)

test("settings: defaults, checks and nil restoring the default", function()
  assert(eris.settings("maxrec") == 10000 and eris.settings("spkey") == "__persist")
  assert(eris.settings("debug") == true and eris.settings("path") == false and eris.settings("spio") == false)
  for _, name in ipairs({"pat", "paths", "", "path\0", "PATH"}) do
    raises("no such setting", eris.settings, name)
  end
  raises("boolean expected, got number", eris.settings, "path", 1)
  raises("string expected, got boolean", eris.settings, "spkey", true)
  raises("number has no integer representation", eris.settings, "maxrec", 1.5)
  eris.settings("path", true)
  assert(eris.settings("path") == true)
  eris.settings("path", nil)
  assert(eris.settings("path") == false)
end)

test("maxrec bounds the nesting of typed records", function()
  with_setting("maxrec", 1, function()
    raises("object too complex", persist, {1})
    assert(#persist({}) > 0)
  end)
  with_setting("maxrec", 2, function() assert(#persist({1, "two", 3.0}) > 0) end)
  with_setting("maxrec", 0, function() raises("object too complex", persist, 1) end)
  local nested = persist({{{{}}}})
  with_setting("maxrec", 3, function() raises("object too complex", unpersist, nested) end)
end)

test("deep nesting: up to the default bound it works, beyond it fails cleanly", function()
  local function chain(depth)
    local root = {}
    local t = root
    for _ = 2, depth do t.next = {}; t = t.next end
    return root
  end
  -- Each level is a table record nested in the key/value level of its parent.
  local deep = chain(eris.settings("maxrec") - 1)
  assert(same(deep, unpersist(persist(deep))))
  raises("object too complex", persist, chain(eris.settings("maxrec") + 1))
  -- Lifting the bound leaves the C stack guard: an error, not a crash.
  local ok, err = with_setting("maxrec", -1, pcall, persist, chain(200000))
  assert(not ok and err:find("stack overflow", 1, true), err)
  -- The same for reading: a million tables, each the value of key 1 of the last.
  local depth = 1000000
  local level = "05000000" .. "00" .. "03000000" .. "01" .. "0100000000000000"
  local stream = testlib.fromhex(HEADER) .. testlib.fromhex(level):rep(depth) .. ("\0"):rep(8 * depth)
  ok, err = with_setting("maxrec", -1, pcall, unpersist, stream)
  assert(not ok and err:find("stack overflow", 1, true), err)
end)

test("paths name where an error happened", function()
  local t = {a = {io.stdout}}
  with_setting("path", true, function()
    local ok, err = pcall(persist, t)
    assert(not ok and err:sub(-#" (root.a[1])") == " (root.a[1])", err)
  end)
  local ok, err = pcall(persist, t)
  assert(not ok and not err:find("root", 1, true))
end)

test("without debug information functions still run", function()
  local function f(x) return x * 2 end
  local r = with_setting("debug", false, function() return unpersist(persist(f)) end)
  assert(r(21) == 42)
  assert(debug.getinfo(r, "S").source == "=?")
end)

test("spio hands the writer and the reader to the special functions", function()
  local seen = {}
  local t = setmetatable({}, {__persist = function(_, writer, data)
    seen.writer, seen.data = type(writer), type(data)
    -- Restored, this closure has a copy of `seen`: it reports through a global.
    return function(stream) spio_stream = type(stream); return {} end
  end})
  with_setting("spio", true, function() roundtrip(t) end)
  assert(seen.writer == "userdata" and seen.data == "userdata" and spio_stream == "userdata")
  spio_stream = nil
end)

test("prototypes and closures that disagree with themselves are refused", function()
  local up = 1
  local function f() return up end
  local line = debug.getinfo(f, "S").linedefined
  local s = persist(f)
  -- closure record: tag 6, script closure, one upvalue
  local at = s:find("\6\0\0\0\0\1", 1, true)
  assert(at and not s:find("\6\0\0\0\0\1", at + 1, true))
  raises("bad closure (1 upvalues expected, got 0)", unpersist, s:sub(1, at + 4) .. "\0" .. s:sub(at + 6))
  -- line information: one line per instruction, here three of them
  local lines = string.pack("<i4i4i4i4", 3, line, line, line)
  at = s:find(lines, 1, true)
  assert(at and not s:find(lines, at + 1, true))
  raises("bad line information count 2", unpersist, s:sub(1, at - 1) .. string.pack("<i4i4i4", 2, line, line)
                                                   .. s:sub(at + #lines))
end)

test("a thread changed by a __persist function while it is written is refused", function()
  local co
  local t = setmetatable({}, {__persist = function()
    coroutine.resume(co)
    collectgarbage()
    return function() return {} end
  end})
  co = coroutine.create(function(x)
    local a, b, c = x, x, x
    coroutine.yield()
    return a, b, c
  end)
  coroutine.resume(co, t)
  raises("thread changed while being persisted", persist, out_perms, co)
end)

test("header checks", function()
  local good = persist(7)
  assert(unpersist(good) == 7)
  -- A zero float size skips three bytes and reads it again.
  assert(unpersist(good:sub(1, 4) .. "\0abc" .. good:sub(5)) == 7)
  local cases = {
    {"XRIS" .. good:sub(5), "invalid data"},
    {good:sub(1, 4) .. "\4" .. good:sub(6), "incompatible floating point type"},
    {good:sub(1, 5) .. "\0" .. good:sub(7), "incompatible floating point representation"},
    {good:sub(1, 13) .. "\4" .. good:sub(15), "incompatible integer type"},
    {good:sub(1, 14) .. "\3" .. good:sub(16), "unsupported int type"},
    {good:sub(1, 10), "could not read data"},
    {good:sub(1, 18), "could not read data"},
  }
  for _, case in ipairs(cases) do raises(case[2], unpersist, case[1]) end
  raises("bad argument #1 to 'eris.unpersist' (string expected, got no value)", unpersist)
end)

test("a restored game state of 100,000 objects with cycles equals the original", function()
  local state = {players = {}, items = {}, world = {regions = {}}}
  local regions = state.world.regions
  for r = 1, 100 do regions[r] = {id = r, name = "region" .. r, neighbours = {}} end
  for r = 1, 100 do
    local region = regions[r]
    region.neighbours[1] = regions[r % 100 + 1]
    region.neighbours[2] = regions[(r + 49) % 100 + 1]
  end
  local objects = 201
  local i = 0
  while objects < 100000 do
    i = i + 1
    local region = regions[i % 100 + 1]
    local player = {id = i, name = "player" .. i, hp = i % 97 * 1.5, alive = i % 3 ~= 0, region = region,
                    pos = {x = i * 0.25, y = -i}, bag = {}}
    for j = 1, 3 do
      local item = {kind = "item" .. (i * j) % 50, owner = player, count = j}
      player.bag[j] = item
      state.items[#state.items + 1] = item
    end
    player.bag.first = player.bag[1]
    state.players[i] = player
    objects = objects + 6
  end
  state.players[1].friend = state.players[#state.players]
  state.players[#state.players].friend = state.players[1]
  local stream = persist(state)
  local restored = unpersist(stream)
  assert(same(state, restored))
  assert(restored.players[5].bag[2].owner == restored.players[5])
end)
