-- Helpers shared by the script tests: hexadecimal views of byte strings and
-- checks of expected errors.
local testlib = {}

function testlib.tohex(s)
  return (s:gsub(".", function(c) return string.format("%02x", c:byte()) end))
end

-- Spaces in `h` are ignored, so byte groups can be written apart.
function testlib.fromhex(h)
  return (h:gsub("%s", ""):gsub("..", function(b) return string.char(tonumber(b, 16)) end))
end

-- Runs f expecting an error whose message contains `text` (plain match).
function testlib.raises(text, f, ...)
  local ok, err = pcall(f, ...)
  assert(not ok, "expected an error containing: " .. text)
  assert(tostring(err):find(text, 1, true), "unexpected error: " .. tostring(err))
end

-- Compares two value graphs value by value and raises an error naming the
-- path of the first difference. Beyond equal primitives (integer and float
-- subtypes kept apart) it checks the sharing: an object met twice in `a` must
-- be met as the same object in `b`, and no two objects of `a` may meet one of
-- `b`. Tables compare entry by entry (object keys are paired through the
-- objects already matched), metatables and user values included; an object
-- that is the very same on both sides (a permanent) is not entered; Lua
-- closures by their bytecode and upvalues (shared upvalues stay shared); C
-- closures by their upvalues; coroutines by status and, level by level, by
-- their function, current line and locals. Iterative, so that long chains
-- do not overflow the stack.
function testlib.same(a, b)
  local forward, backward = {}, {}
  local upvalues_forward, upvalues_backward = {}, {}
  -- Pairs met so far (objects only), by number: their two sides, the pair
  -- they were met in and the step from there. `pending` lists the numbers
  -- still to compare; `deferred` the tables whose object keys wait for a pairing.
  local xs, ys, parents, steps = {}, {}, {}, {}
  local pending, deferred = {}, {}

  local function path_of(item, step)
    local parts = {step}
    while item do
      table.insert(parts, 1, steps[item])
      item = parents[item]
    end
    return table.concat(parts)
  end
  local function fail(item, step, why) error(path_of(item, step or "") .. ": " .. why, 0) end
  local function is_object(v)
    local t = type(v)
    return t == "table" or t == "function" or t == "userdata" or t == "thread"
  end
  local function keytext(k)
    return type(k) == "string" and "." .. k or "[" .. tostring(k) .. "]"
  end

  -- Compares primitives at once; queues objects. An object that is the same
  -- on both sides (a permanent) is equal as it stands.
  local function check(x, y, parent, step)
    if is_object(x) and rawequal(x, y) then return end
    if is_object(x) and type(x) == type(y) then
      local n = #xs + 1
      xs[n], ys[n], parents[n], steps[n] = x, y, parent, step
      pending[#pending + 1] = n
      return
    end
    if type(x) ~= type(y) then fail(parent, step, type(x) .. " vs " .. type(y)) end
    if math.type(x) ~= math.type(y) or (x ~= y and (x == x or y == y)) then
      fail(parent, step, tostring(x) .. " vs " .. tostring(y))
    end
  end

  -- Pairs the object keys of two tables; false while some cannot be paired yet.
  local function pair_object_keys(item, xkeys, ykeys)
    local x, y = xs[item], ys[item]
    local unmatched = {}
    for _, k in ipairs(ykeys) do unmatched[k] = true end
    local left = {}
    for _, k in ipairs(xkeys) do
      local mapped = forward[k]
      if mapped ~= nil then
        if not unmatched[mapped] then fail(item, "[" .. tostring(k) .. "]", "key has no counterpart") end
        unmatched[mapped] = nil
        check(rawget(x, k), rawget(y, mapped), item, "[" .. tostring(k) .. "]")
      else
        left[#left + 1] = k
      end
    end
    if #left == 0 then return true end
    local rest = next(unmatched)
    if #left ~= 1 or next(unmatched, rest) ~= nil then return false end
    check(left[1], rest, item, "{key}")
    check(rawget(x, left[1]), rawget(y, rest), item, "[" .. tostring(left[1]) .. "]")
    return true
  end

  local function compare_table(item, x, y)
    local xkeys, ykeys, count = {}, {}, 0
    for k, v in next, x do
      count = count + 1
      if is_object(k) then
        xkeys[#xkeys + 1] = k
      else
        local w = rawget(y, k)
        if w == nil then fail(item, keytext(k), "missing") end
        check(v, w, item, keytext(k))
      end
    end
    for k in next, y do
      count = count - 1
      if is_object(k) then ykeys[#ykeys + 1] = k end
    end
    if count ~= 0 then fail(item, nil, "entry counts differ") end
    if #xkeys > 0 and not pair_object_keys(item, xkeys, ykeys) then deferred[#deferred + 1] = {item, xkeys, ykeys} end
  end

  local function compare_upvalues(item, x, y)
    for i = 1, math.huge do
      local nx, vx = debug.getupvalue(x, i)
      local ny, vy = debug.getupvalue(y, i)
      if nx == nil and ny == nil then break end
      if nx ~= ny then fail(item, nil, "upvalue " .. i .. " is " .. tostring(nx) .. " vs " .. tostring(ny)) end
      local ix, iy = debug.upvalueid(x, i), debug.upvalueid(y, i)
      if upvalues_forward[ix] == nil and upvalues_backward[iy] == nil then
        upvalues_forward[ix], upvalues_backward[iy] = iy, ix
        check(vx, vy, item, ".upvalue(" .. nx .. ")")
      elseif upvalues_forward[ix] ~= iy then
        fail(item, nil, "upvalue " .. nx .. " is shared differently")
      end
    end
  end

  local function compare_function(item, x, y)
    local what = debug.getinfo(x, "S").what
    if what ~= debug.getinfo(y, "S").what then fail(item, nil, "function kinds differ") end
    if what ~= "C" and string.dump(x) ~= string.dump(y) then fail(item, nil, "bytecode differs") end
    compare_upvalues(item, x, y)
  end

  local function compare_thread(item, x, y)
    if coroutine.status(x) ~= coroutine.status(y) then fail(item, nil, "status differs") end
    for level = 0, math.huge do
      local ix, iy = debug.getinfo(x, level, "Slf"), debug.getinfo(y, level, "Slf")
      if ix == nil and iy == nil then break end
      if ix == nil or iy == nil then fail(item, nil, "call depth differs") end
      if ix.currentline ~= iy.currentline or ix.source ~= iy.source then fail(item, nil, "level " .. level .. " differs") end
      check(ix.func, iy.func, item, ".level(" .. level .. ")")
      for i = 1, math.huge do
        local nx, vx = debug.getlocal(x, level, i)
        local ny, vy = debug.getlocal(y, level, i)
        if nx == nil and ny == nil then break end
        if nx ~= ny then fail(item, nil, "local " .. i .. " at level " .. level .. " differs") end
        check(vx, vy, item, ".level(" .. level .. ")." .. nx)
      end
    end
  end

  local function compare(item)
    local x, y = xs[item], ys[item]
    if forward[x] ~= nil or backward[y] ~= nil then
      if forward[x] ~= y then fail(item, nil, "shared differently") end
      return
    end
    forward[x], backward[y] = y, x
    local mx, my = debug.getmetatable(x), debug.getmetatable(y)
    if mx ~= nil or my ~= nil then check(mx, my, item, "@metatable") end
    local t = type(x)
    if t == "table" then
      compare_table(item, x, y)
    elseif t == "function" then
      compare_function(item, x, y)
    elseif t == "thread" then
      compare_thread(item, x, y)
    else
      check(debug.getuservalue(x), debug.getuservalue(y), item, "@uservalue")
    end
  end

  check(a, b, nil, "root")
  repeat
    while #pending > 0 do compare(table.remove(pending)) end
    local waiting = deferred
    deferred = {}
    for _, entry in ipairs(waiting) do
      if not pair_object_keys(entry[1], entry[2], entry[3]) then deferred[#deferred + 1] = entry end
    end
    if #pending == 0 and #deferred > 0 then fail(deferred[1][1], nil, "object keys cannot be paired") end
  until #pending == 0 and #deferred == 0
  return true
end

return testlib
