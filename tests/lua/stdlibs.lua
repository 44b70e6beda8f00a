-- The libraries every project state opens.

test("standard libraries and extension modules are globals and loaded modules", function()
  for _, name in ipairs({"package", "coroutine", "table", "io", "os", "string", "math", "utf8", "debug",
                         "eris", "cmsgpack", "lpeg"}) do
    assert(type(_G[name]) == "table", name .. " is not a global table")
    assert(package.loaded[name] == _G[name], name .. " is not among the loaded modules")
  end
end)

test("the standard libraries' differences", function()
  assert(_VERSION == "Lua+Eris 5.3")
  assert(string.parse == string.format)
  assert(select("#", os.execute("exit 3")) == 0 and select("#", os.execute()) == 0)
end)

test("the math library holds exactly its names", function()
  local expected = {"abs", "acos", "asin", "atan", "ceil", "cos", "deg", "exp", "tointeger", "floor", "fmod", "ult",
                    "log", "max", "min", "modf", "rad", "sin", "sqrt", "tan", "type", "pi", "huge", "maxinteger",
                    "mininteger", "random", "randomseed", "rawset_randomseed", "rawget_randomseed"}
  local names = {}
  for name in pairs(math) do names[#names + 1] = name end
  table.sort(names)
  table.sort(expected)
  assert(table.concat(names, " ") == table.concat(expected, " "), table.concat(names, " "))
  assert(math.pi == 0x1.921fb54442d18p1 and math.maxinteger == 0x7FFFFFFFFFFFFFFF)
end)

test("log special-cases base 10 only", function()
  local x = 2 ^ 29
  -- log2 would give exactly 29; the quotient of logarithms does not.
  assert(math.log(x, 2) == math.log(x) / math.log(2) and math.log(x, 2) ~= 29)
  assert(math.log(1000, 10) == 3 and math.log(8) == math.log(8.0))
  assert(math.log(x, 3) == math.log(x) / math.log(3))
end)

test("dependency modules are preloaded, not globals", function()
  for _, name in ipairs({"lfs.c", "socket.core", "cjson.c"}) do
    assert(type(package.loaded[name]) == "table", name .. " is not preloaded")
    assert(rawget(_G, name) == nil, name .. " leaked into the globals")
  end
  assert(package.loaded["fuzzy.c"] == nil, "fuzzy.c stores nothing")
  assert(require("cjson.c").encode({1, 2}) == "[1,2]")
end)

test("the engine's searcher follows the four standard ones", function()
  assert(#package.searchers == 5)
end)

test("5.1 compatibility functions exist", function()
  assert(type(module) == "function" and type(package.seeall) == "function")
  assert(type(loadstring) == "function")
end)
