-- Parsing with lpeg: patterns, captures, a grammar and labelled errors.
local g = require("gcore.c")
local lpeg = require("lpeg")
local P, S, R, C, Cc, Cf, Cg, Cp, Ct, V, T, Rec =
  lpeg.P, lpeg.S, lpeg.R, lpeg.C, lpeg.Cc, lpeg.Cf, lpeg.Cg, lpeg.Cp, lpeg.Ct, lpeg.V, lpeg.T, lpeg.Rec

local function say(text) g.clog("grammars: " .. text .. "\n") end

-- Patterns combine with operators; captures turn what they match into values.
local space = S" \t"^0
local number = R"09"^1 / tonumber * space
local sum = Cf(number * ("+" * space * number)^0, function(a, b) return a + b end)
say("1 + 2 + 3 = " .. sum:match("1 + 2 + 3"))

-- A settings text into a table: one "name = value" per line.
local name = C(R("az", "AZ") * R("az", "AZ", "09")^0)
local value = C((1 - S"\r\n")^0)
local line = Cg(name * space * "=" * space * value)
local settings = Cf(Ct(P(0)) * (line * S"\r\n"^1)^0, rawset)
local t = settings:match("width = 640\ntitle = My game\n")
say("width = " .. t.width .. ", title = " .. t.title)

-- A grammar: lists of numbers and nested lists. T(1) throws the label 1
-- where an item is missing; match then returns nil, the label and the rest.
local list = P{"list",
  list = "[" * space * Ct((V"item" * ("," * space * (V"item" + T(1)))^0)^-1) * "]" * space,
  item = number + V"list",
}
local text = "[1, 2,, 3]"
local _, label, rest = list:match(text)
say(text .. ": label " .. label .. " at " .. (#text - #rest + 1))

-- Rec catches the label: the error becomes a value where it was found and
-- the parse goes on, so every missing item is reported in one pass.
local recovering = Rec(list, Ct(Cc"missing" * Cp()), 1)
local items = recovering:match("[1,, 2,, 3]")
local found = {}
for _, v in ipairs(items) do
  if type(v) == "table" then found[#found + 1] = v[2] end
end
say("missing items at " .. table.concat(found, " and "))

g.SetMainloop(function(gameTime)
  if gameTime < 0 then return end
  say("ready")
  g.SetMainloop(nil)
end)
