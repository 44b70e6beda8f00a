-- Real grammars written with lpeg: a JSON decoder checked against lua-cjson,
-- an arithmetic evaluator checked against Lua itself, a CSV splitter with
-- quoted fields and a small language whose parser recovers from errors and
-- reports them all in one pass.
local lpeg = require "lpeg"
local json = require "lpegjson"
local cjson = require "cjson.c"

local P, S, R, C, Cc, Cf, Cg, Cp, Cs, Ct, V, T, Rec =
  lpeg.P, lpeg.S, lpeg.R, lpeg.C, lpeg.Cc, lpeg.Cf, lpeg.Cg, lpeg.Cp, lpeg.Cs, lpeg.Ct, lpeg.V, lpeg.T, lpeg.Rec

local function deepEqual(a, b, path)
  path = path or "value"
  if type(a) ~= "table" or type(b) ~= "table" then
    assert(a == b and math.type(a) == math.type(b), path .. ": " .. tostring(a) .. " ~= " .. tostring(b))
    return
  end
  for k, v in pairs(a) do deepEqual(v, b[k], path .. "." .. tostring(k)) end
  for k in pairs(b) do assert(a[k] ~= nil, path .. "." .. tostring(k) .. " missing") end
end

-- Runs f with a larger backtrack limit, restoring the default whatever happens.
local function withMaxStack(n, f)
  lpeg.setmaxstack(n)
  local ok, err = pcall(f)
  lpeg.setmaxstack(400)
  assert(ok, err)
end

-- A deterministic source of numbers, independent of math.random.
local function generator(seed)
  local state = seed
  return function(n)
    state = (state * 1103515245 + 12345) % 2147483648
    return state % n
  end
end

-- ---- JSON ---------------------------------------------------------------------------

local function generatedDocument()
  local rnd = generator(27)
  local words = {"alpha", "b\"q", "tab\there", "\u{e9}t\u{e9}", "back\\slash", "", "line\nbreak", "\u{1F600}"}
  local function value(depth)
    local kind = rnd(depth > 3 and 5 or 7)
    if kind == 0 then return rnd(1000000) - 500000 end
    if kind == 1 then return (rnd(2000000) - 1000000) / 1024 end
    if kind == 2 then return words[rnd(#words) + 1] end
    if kind == 3 then return rnd(2) == 0 end
    if kind == 4 then return cjson.null end
    local t = {}
    if kind == 5 then
      for i = 1, rnd(6) do t[i] = value(depth + 1) end
    else
      for i = 1, rnd(6) do t["k" .. i .. words[rnd(#words) + 1]] = value(depth + 1) end
    end
    return t
  end
  local list = {}
  for i = 1, 200 do list[i] = value(0) end
  return cjson.encode(list)
end

test("the JSON grammar decodes documents as lua-cjson does", function()
  local docs = {
    '{"a":1,"b":[true,false,null],"c":{"d":"e"}}', "[]", "{}", "  [ ]  ", '"x"', "0", "-0", "-12.5e-3", "1E+2",
    "[1,2,3]", "[[[[1]]]]", '"\\"\\\\\\/\\b\\f\\n\\r\\t"', '"\\u00e9\\u4e2d\\ud83d\\ude00"', '"\\u0041\\u0000z"',
    "123456789012345678901234567890", "1e400", '{"dup":1,"dup":2}', "[null]", '{"n":null}',
    '\t\n {\r"k" : [ 1 , 2 ] }', '"h\195\169llo"', '""', '{"\\u0041":1}', "9007199254740993", "0.1",
    string.rep("[", 150) .. string.rep("]", 150), generatedDocument(),
  }
  withMaxStack(100000, function()
    for _, doc in ipairs(docs) do deepEqual(json.decode(doc, cjson.null), cjson.decode(doc), doc:sub(1, 40)) end
  end)
end)

test("the JSON grammar reports errors where lua-cjson does", function()
  local cases = {
    {"[1,]", "value expected"}, {"[1 2]", "comma or array end expected"}, {"[tru]", "value expected"},
    {'"abc', "string end expected"}, {'{"a" 1}', "colon expected"}, {'{"a":1,}', "object key expected"},
    {"[1] x", "end of document expected"}, {"", "value expected"}, {"  ", "value expected"},
    {"{1:2}", "object key expected"}, {"[1,2", "comma or array end expected"},
    {'"\\x"', "invalid escape"}, {'"a\\u12"', "invalid escape"}, {'"\\ud800"', "invalid escape"},
    {'"\\udc00\\ud800"', "invalid escape"}, {"-", "value expected"}, {"[--1]", "value expected"},
    {".5", "value expected"}, {"1e", "end of document expected"}, {'{"a":}', "value expected"},
    {"[1,2]]", "end of document expected"}, {"nul", "value expected"}, {"[1,,2]", "value expected"},
    {"{,}", "object key expected"}, {'{"a":1 "b":2}', "comma or object end expected"},
  }
  for _, c in ipairs(cases) do
    local value, what, pos = json.decode(c[1])
    local ok, err = pcall(cjson.decode, c[1])
    assert(value == nil and not ok, c[1])
    local expected = tonumber(err:match("at character (%d+)"))
    assert(pos == expected, c[1] .. ": position " .. tostring(pos) .. ", lua-cjson says " .. err)
    assert(what == c[2], c[1] .. ": " .. tostring(what))
  end
end)

-- ---- Arithmetic -------------------------------------------------------------------------

local calc = (function()
  local labels = {"operand expected", "closing parenthesis expected", "end expected"}
  local function expect(p, name)
    for i, n in ipairs(labels) do
      if n == name then return p + T(i) end
    end
  end
  local space = S" \t"^0
  local function token(p) return p * space end
  local digit = R"09"
  local number = token((digit^1 * (P"." * digit^1)^-1 * (S"eE" * S"+-"^-1 * digit^1)^-1) / tonumber)
  local apply = {
    ["+"] = function(a, b) return a + b end, ["-"] = function(a, b) return a - b end,
    ["*"] = function(a, b) return a * b end, ["/"] = function(a, b) return a / b end,
    ["^"] = function(a, b) return a ^ b end,
  }
  local function binary(a, op, b) return apply[op](a, b) end
  local function chain(operand, operators)
    return Cf(operand * Cg(token(C(operators)) * expect(operand, "operand expected"))^0, binary)
  end
  local grammar = P{"expr",
    expr = chain(V"term", S"+-"),
    term = chain(V"unary", S"*/"),
    unary = token(P"-") * expect(V"unary", "operand expected") / function(v) return -v end + V"power",
    power = Cf(V"atom" * Cg(token(C"^") * expect(V"unary", "operand expected"))^-1, binary),
    atom = number + token(P"(") * expect(V"expr", "operand expected")
                    * expect(token(P")"), "closing parenthesis expected"),
  }
  local full = space * expect(grammar, "operand expected") * expect(-P(1), "end expected")
  return function(text)
    local value, failure, rest = full:match(text)
    if value == nil then return nil, labels[failure], #text - #rest + 1 end
    return value
  end
end)()

test("an arithmetic evaluator agrees with Lua", function()
  local fixed = {
    "1 + 2 * 3", "(1+2)*3", "2*(3+4)*5", "-3 + 10 / 4", "2^3^2", "-2^2", "2^-2", "1 - 2 - 3", "8 / 4 / 2",
    "  7  ", "1.5e2 * 2", "1/0", "-(1/0)", "0/0", "9223372036854775807 + 1",
  }
  local rnd = generator(4)
  local function expr(depth)
    local k = rnd(depth > 4 and 2 or 6)
    if k == 0 then return tostring(rnd(100)) end
    if k == 1 then return rnd(50) .. "." .. rnd(100) end
    if k == 2 then return "- " .. expr(depth + 1) end
    if k == 3 then return "(" .. expr(depth + 1) .. ")" end
    local ops = {"+", "-", "*", "/", "^"}
    return expr(depth + 1) .. " " .. ops[rnd(#ops) + 1] .. " " .. expr(depth + 1)
  end
  for _ = 1, 300 do fixed[#fixed + 1] = expr(0) end
  for _, text in ipairs(fixed) do
    local mine = calc(text)
    local lua = load("return " .. text)()
    assert(tostring(mine) == tostring(lua), text .. ": " .. tostring(mine) .. " vs " .. tostring(lua))
  end
  local errors = {
    {"1 +", "operand expected", 4}, {"(1 + 2", "closing parenthesis expected", 7}, {"1 2", "end expected", 3},
    {"", "operand expected", 1}, {"2 * (3 + )", "operand expected", 10}, {"2 ^", "operand expected", 4},
  }
  for _, e in ipairs(errors) do
    local value, what, pos = calc(e[1])
    assert(value == nil and what == e[2] and pos == e[3], e[1] .. ": " .. tostring(what) .. " at " .. tostring(pos))
  end
end)

-- ---- CSV --------------------------------------------------------------------------------

local csv = (function()
  local labels = {"closing quote expected", "end expected"}
  local quoted = P'"' * Cs(((P(1) - '"') + P'""' / '"')^0) * (P'"' + T(1))
  local field = quoted + C((1 - S',"\r\n')^0)
  local record = Ct(field * ("," * field)^0)
  local newline = P"\r"^-1 * "\n"
  local file = Ct(record * (newline * #P(1) * record)^0) * newline^-1 * (-P(1) + T(2))
  return function(text)
    local rows, failure, rest = file:match(text)
    if not rows then return nil, labels[failure], #text - #rest + 1 end
    return rows
  end
end)()

test("a CSV splitter with quoted fields", function()
  local cases = {
    {"a,b,c\n1,2,3\n", {{"a", "b", "c"}, {"1", "2", "3"}}},
    {"a,b,c\r\n1,2,3", {{"a", "b", "c"}, {"1", "2", "3"}}},
    {'"x,y","he said ""hi""","multi\nline"\r\nz', {{"x,y", 'he said "hi"', "multi\nline"}, {"z"}}},
    {",,\n", {{"", "", ""}}}, {"", {{""}}}, {"\n\n", {{""}, {""}}}, {'""', {{""}}},
  }
  for _, c in ipairs(cases) do deepEqual(csv(c[1]), c[2], c[1]) end
  -- round trip of generated rows, every field quoted when it needs to be
  local rnd = generator(11)
  local alphabet = {"a", "b", ",", '"', "\n", " ", "\r\n", "x"}
  local rows = {}
  for r = 1, 50 do
    rows[r] = {}
    for f = 1, rnd(5) + 1 do
      local parts = {}
      for i = 1, rnd(6) do parts[i] = alphabet[rnd(#alphabet) + 1] end
      rows[r][f] = table.concat(parts)
    end
  end
  local lines = {}
  for r, row in ipairs(rows) do
    local fields = {}
    for f, v in ipairs(row) do fields[f] = v:find('[,"\r\n]') and '"' .. v:gsub('"', '""') .. '"' or v end
    lines[r] = table.concat(fields, ",")
  end
  deepEqual(csv(table.concat(lines, "\r\n") .. "\r\n"), rows, "round trip")
  local errors = {{'"unterminated', "closing quote expected", 14}, {'a"b', "end expected", 2}, {'"a"b', "end expected", 4}}
  for _, e in ipairs(errors) do
    local rows_, what, pos = csv(e[1])
    assert(rows_ == nil and what == e[2] and pos == e[3], e[1] .. ": " .. tostring(what) .. " at " .. tostring(pos))
  end
end)

-- ---- A language that recovers from errors -----------------------------------------------

local parse = (function()
  local labels = {"semicolon expected", "'=' expected", "expression expected", "'then' expected",
                  "'do' expected", "'end' expected", "')' expected", "statement expected"}
  local id = {}
  for i, name in ipairs(labels) do id[name] = i end
  local function expect(p, name) return p + T(id[name]) end
  local space = S" \t\r\n"^0
  local function token(p) return p * space end
  local idchar = R("az", "AZ", "09") + "_"
  local function keyword(w) return token(P(w) * -idchar) end
  local reserved = (P"if" + "then" + "while" + "do" + "end" + "print") * -idchar
  local name = token(-reserved * C((R("az", "AZ") + "_") * idchar^0))
  local number = token(R"09"^1 / tonumber)
  local semicolon = expect(token(P";"), "semicolon expected")
  local grammar = P{"program",
    program = space * Ct(V"stmts") * expect(-P(1), "statement expected"),
    stmts = (V"stmt" + -(keyword"end" + -P(1)) * T(id["statement expected"]))^0,
    stmt = V"ifstmt" + V"whilestmt" + V"printstmt" + V"assign",
    ifstmt = Ct(Cc"if" * keyword"if" * V"needexpr" * expect(keyword"then", "'then' expected")
                * Ct(V"stmts") * expect(keyword"end", "'end' expected")),
    whilestmt = Ct(Cc"while" * keyword"while" * V"needexpr" * expect(keyword"do", "'do' expected")
                   * Ct(V"stmts") * expect(keyword"end", "'end' expected")),
    printstmt = Ct(Cc"print" * keyword"print" * V"needexpr" * semicolon),
    assign = Ct(Cc"assign" * name * expect(token(P"="), "'=' expected") * V"needexpr" * semicolon),
    needexpr = expect(V"expr", "expression expected"),
    expr = Ct(Cc"expr" * V"term" * (token(C(S"+-")) * expect(V"term", "expression expected"))^0),
    term = number + name + token(P"(") * V"needexpr" * expect(token(P")"), "')' expected"),
  }
  -- Each error becomes a node where it was found; the parse goes on.
  local function report(label) return Ct(Cg(Cc(label), "error") * Cg(Cp(), "pos")) end
  local recovery = {
    ["expression expected"] = (1 - S";\n" - R("az", "AZ"))^0,
    ["statement expected"] = (1 - S";\n")^0 * P";"^-1 * space,
  }
  local parser = grammar
  for i, label in ipairs(labels) do parser = Rec(parser, report(label) * (recovery[label] or P(0)), i) end

  return function(source)
    local tree = lpeg.match(parser, source)
    local errors = {}
    local function collect(node)
      if type(node) ~= "table" then return end
      if node.error then
        local line, col = 1, node.pos
        for nl in source:sub(1, node.pos - 1):gmatch("()\n") do line, col = line + 1, node.pos - nl end
        errors[#errors + 1] = string.format("%d:%d %s", line, col, node.error)
      end
      for _, child in ipairs(node) do collect(child) end
    end
    collect(tree)
    return tree, errors
  end
end)()

test("a parser recovers from errors and reports them all in one pass", function()
  local tree, errors = parse("x = 1 + y;\nprint (x);\nwhile x do x = x - 1; end\n")
  assert(#errors == 0, table.concat(errors, "; "))
  deepEqual(tree, {{"assign", "x", {"expr", 1, "+", "y"}}, {"print", {"expr", {"expr", "x"}}},
                   {"while", {"expr", "x"}, {{"assign", "x", {"expr", "x", "-", 1}}}}})

  local source = table.concat({
    "x = 1;",
    "y 2;",
    "print x + ;",
    "if x then",
    "  z = (1 + 2;",
    "  @@ junk;",
    "end",
    "while y do print y end",
    "w = $$;",
    "print 5",
  }, "\n")
  tree, errors = parse(source)
  assert(tree, "the parse completes")
  deepEqual(errors, {
    "2:3 '=' expected",
    "3:11 expression expected",
    "5:13 ')' expected",
    "6:3 statement expected",
    "8:20 semicolon expected",
    "9:5 expression expected",
    "10:8 semicolon expected",
  })
  -- the statements around the errors are all there
  assert(#tree == 7, #tree)
  deepEqual(tree[1], {"assign", "x", {"expr", 1}})
  deepEqual(tree[2], {"assign", "y", {error = "'=' expected", pos = 10}, {"expr", 2}})
end)
