-- The libraries every project state opens.

test("standard libraries are globals and loaded modules", function()
  for _, name in ipairs({"package", "coroutine", "table", "io", "os", "string", "math", "utf8", "debug"}) do
    assert(type(_G[name]) == "table", name .. " is not a global table")
    assert(package.loaded[name] == _G[name], name .. " is not among the loaded modules")
  end
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
