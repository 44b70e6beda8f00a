-- A JSON decoder (RFC 8259) written as an lpeg grammar with labelled
-- failures: every place where the input can go wrong throws a label, so a bad
-- document is reported with what was expected and where. Numbers decode as
-- floats and null as the value given to decode, as lua-cjson does. Shared by
-- the script tests and the benchmark.
local lpeg = require "lpeg"
local P, S, R, C, Cs, Ct, Cf, Cg, Cc, Cmt, Carg, V, T =
  lpeg.P, lpeg.S, lpeg.R, lpeg.C, lpeg.Cs, lpeg.Ct, lpeg.Cf, lpeg.Cg, lpeg.Cc, lpeg.Cmt, lpeg.Carg, lpeg.V, lpeg.T

local json = {}

json.labels = {"value expected", "comma or array end expected", "colon expected", "object key expected",
               "comma or object end expected", "end of document expected", "string end expected",
               "invalid escape"}
local label = {}
for i, name in ipairs(json.labels) do label[name] = i end

local function expect(p, name) return p + T(label[name]) end

local ws = S" \t\r\n"^0

local digit = R"09"
local number = (P"-"^-1 * (P"0" + R"19" * digit^0) * (P"." * digit^1)^-1 * (S"eE" * S"+-"^-1 * digit^1)^-1)
               / function(text) return tonumber(text) + 0.0 end

local hex = R("09", "af", "AF")
local unit = P"\\u" * ((hex * hex * hex * hex) / function(h) return tonumber(h, 16) end)
local pair = Cmt(unit * unit, function(_, _, high, low)
  if high >= 0xD800 and high <= 0xDBFF and low >= 0xDC00 and low <= 0xDFFF then
    return true, utf8.char(0x10000 + (high - 0xD800) * 0x400 + (low - 0xDC00))
  end
end)
local single = Cmt(unit, function(_, _, code)
  if code < 0xD800 or code > 0xDFFF then return true, utf8.char(code) end
end)
local simple = {['"'] = '"', ["\\"] = "\\", ["/"] = "/", b = "\b", f = "\f", n = "\n", r = "\r", t = "\t"}
-- Each capture spans its whole escape, which the string's substitution replaces.
local escape = (P"\\" * C(S'"\\/bfnrt')) / simple + pair + single + #P"\\" * T(label["invalid escape"])
local plain = (P(1) - S'"\\' - R"\0\31")^1
local str = P'"' * Cs((plain + escape)^0) * expect(P'"', "string end expected")

local member = Cg(str * ws * expect(P":", "colon expected") * ws * expect(V"value", "value expected"))

json.grammar = P{"document",
  document = ws * expect(V"value", "value expected") * ws * expect(-P(1), "end of document expected"),
  value = str + number + V"object" + V"array"
          + P"true" * Cc(true) + P"false" * Cc(false) + P"null" * Carg(1),
  array = P"[" * ws * (P"]" * Ct(P(0))
                       + Ct(V"item" * (P"," * ws * V"item")^0) * expect(P"]", "comma or array end expected")),
  item = expect(V"value", "value expected") * ws,
  object = P"{" * ws * (P"}" * Ct(P(0))
                        + Cf(Ct(P(0)) * V"member" * (P"," * ws * V"member")^0, rawset)
                          * expect(P"}", "comma or object end expected")),
  member = expect(member, "object key expected") * ws,
}

-- The value of `text`, or nil, the name of what was expected and the
-- 1-based position where it was not found.
function json.decode(text, null)
  local value, failure, rest = lpeg.match(json.grammar, text, 1, null)
  if value == nil and failure then
    return nil, json.labels[failure] or "no match", #text - #rest + 1
  end
  return value
end

return json
