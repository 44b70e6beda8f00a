-- Every script member of the bound display classes: its default, what an
-- assignment leaves behind, and names that must not resolve. Loaded by
-- BindingMembersTest.cpp into a project state; check(class) returns the
-- failures as lines of text (empty when all hold).
local g = require "gcore.c"

local function isFunction(v) return type(v) == "function" end
local function isTable(v) return type(v) == "table" end
local function isIdentity(m)
  return type(m) == "userdata" and m.a == 1 and m.b == 0 and m.c == 0 and m.d == 1 and
         m.tx == 0 and m.ty == 0
end
-- A read-only member keeps what it read before the assignment.
local UNCHANGED = {}

local function matches(got, want, before)
  if want == UNCHANGED then return got == before end
  if type(want) == "function" then return want(got) end
  if type(want) == "number" and type(got) == "number" then return math.abs(got - want) < 1e-3 end
  return got == want
end

-- name, default, value assigned, value read back
local displayObject = {
  {"x", 50, 10, 10},
  {"y", 50, 20, 20},
  {"width", 100, 40, 40},
  {"height", 100, 60, 60},
  {"left", 0, -5, -5},
  {"bottom", 0, -6, -6},
  {"right", 100, 120, 120},
  {"top", 100, 130, 130},
  {"pivotX", 0.5, 0.25, 0.25},
  {"pivotY", 0.5, 0.75, 0.75},
  {"anchorLeft", 0.5, 0, 0},
  {"anchorRight", 0.5, 1, 1},
  {"anchorBottom", 0.5, 0.25, 0.25},
  {"anchorTop", 0.5, 0.75, 0.75},
  {"anchors", 0x32323232, 0x64000A32, 0x64000A32},
  {"rotation", 0, 30, 30},
  {"scaleX", 1, 2, 2},
  {"scaleY", 1, -3, -3},
  {"alpha", 255, 100, 100},
  {"color", 0xFFFFFF, 0x123456, 0x123456},
  {"visible", true, false, false},
  {"name", "", "hero", "hero"},
  {"type", "Object", "Thing", UNCHANGED},
  {"tag", 0, 7, 7},
  {"data", -1, 9, 9},
  {"depth", 0, 3, 3},
  {"media", 0, 5, 5},
  {"group", 0, 200, -56},
  {"blend", 0, 2, 2},
  {"sample", 1, 255, -1},
  {"tint", false, true, true},
  {"shader", 1, 4, 4},
  {"mask", 0, 300, 300},
  {"blockHits", false, true, true},
  {"mouseEnabled", false, true, true},
  {"scaleMode", 0, 3, 3},
  {"parent", nil, g.Entity(), nil},
  {"worldMatrix", isIdentity, 5, isIdentity},
  {"mouseX", 0, 5, UNCHANGED},
  {"mouseY", 0, 5, UNCHANGED},
  {"slot", "_root", "hand", "_root"},
  {"slotLink", 0, 5, UNCHANGED},
  {"slotFlag", 0, 1, 1},
  {"slotLinked", false, true, true},
  {"slotLow", 0, 0x1FF, 0xFF},
  {"slotHigh", 0, 3, 3},
  {"textByte0", 0, 260, 4},
  {"textByte1", 0, 2, 2},
  {"fontStyleOn", 0, 128, 128},
  {"fontStyle", 0, 1, 1},
}
local displayObjectMethods = {
  "globalToLocal", "localToGlobal", "updateTransform", "dispatchEvent",
  "getInverseWorldMatrix", "getInverseParentMatrix", "removeFromParent", "getIndex",
  "setIndex", "addKeyTrack", "clearKeyTrack", "getTrackDuration", "getTrackTime",
  "setTrackTime", "getWidth", "getHeight", "isDescendantOf", "setActionById",
  "setActionByName", "alwaysFalse", "hitTestPoint",
}

local container = {
  {"numChildren", 0, 5, UNCHANGED},
  {"clip", -1, 65, 65},
  {"clipSource", nil, g.DisplayObject(), nil},
}
local containerMethods = {
  "addChild", "addChildAt", "removeChild", "removeChildAt", "removeAllChildren",
  "getChildAt", "getChildByName", "getChildByTag", "getChildIndex", "setChildIndex",
  "swapChildren", "moveChildIndex", "anyChildContains",
}

local entity = {
  {"b", nil, "hero", nil},
  {"c", isTable, 5, isTable},
  {"d", isTable, 5, isTable},
}
local entityMethods = {"broadcast"}

local quad = {
  {"alignX", 127, 3, 3},
  {"alignY", 127, 254, -2},
}
local quadMethods = {"setGradient"}

-- The stage is placed by stretched anchors around a pivot at its corner.
local stageDefaults = {
  x = 0, y = 0, width = 0, height = 0, right = 0, top = 0, pivotX = 0, pivotY = 0,
  anchorLeft = 0, anchorRight = 1, anchorBottom = 0, anchorTop = 1, anchors = 0x64006400,
  mouseEnabled = true, type = "Entity",
}

local matrix = {
  {"a", 1, 2.5, 2.5},
  {"b", 0, 0.5, 0.5},
  {"c", 0, -0.5, -0.5},
  {"d", 1, 3, 3},
  {"tx", 0, 7, 7},
  {"ty", 0, -8, -8},
}
local matrixMethods = {
  "transformX", "transformY", "setTo", "identity", "invert", "translate", "rotate", "scale",
  "concat", "createBox", "setBox",
}

-- Names close to members, names of other classes' members, and names whose
-- KeyHash equals a member's (x, width, addChild, numChildren, alpha,
-- getChildAt, type, name, broadcast, a).
local strangers = {
  "X", "Width", "x ", " x", "widths", "addchild", "getchildat", "pivotx", "scal", "",
  "x\0", "width\0x", "_daTX5A", "4aaoDlM", "Oba1kFq", "ZfarDmw", "HgaKIvD", "keaQACQ",
  "ubaOnAX", "VjarVi3", "tca77zU", "6hagPo8", "b\0", "c\0", "d\0", "broadcast\0",
}
local notOnDisplayObject = {
  "numChildren", "clip", "addChild", "getChildAt", "b", "c", "d", "broadcast", "c_move", 1, "1",
  "a", "tx", "transformX",
}
local notOnContainer = {"b", "c", "d", "broadcast", "c_move", 1, "1", "a", "transformX"}
local notOnEntity = {"a", "tx", "transformX", "identity"}
local notOnMatrix = {"x", "width", "addChild", "type", "name", "visible", "b\0", "A", "aa"}

local function concat(...)
  local all = {}
  for _, list in ipairs({...}) do
    for _, item in ipairs(list) do all[#all + 1] = item end
  end
  return all
end

local function withMethods(members, methods)
  local all = concat(members)
  for _, name in ipairs(methods) do all[#all + 1] = {name, isFunction, 5, isFunction} end
  return all
end

local classes = {
  DisplayObject = {
    make = g.DisplayObject,
    members = withMethods(displayObject, displayObjectMethods),
    strangers = concat(strangers, notOnDisplayObject),
  },
  DisplayObjectContainer = {
    make = g.DisplayObjectContainer,
    members = withMethods(concat(displayObject, container), concat(displayObjectMethods, containerMethods)),
    strangers = concat(strangers, notOnContainer),
  },
  Entity = {
    make = g.Entity,
    members = withMethods(concat(displayObject, container, entity),
                          concat(displayObjectMethods, containerMethods, entityMethods)),
    defaults = {type = "Entity"},
    strangers = concat(strangers, notOnEntity),
  },
  Stage = {
    make = g.Stage,
    members = withMethods(concat(displayObject, container, entity),
                          concat(displayObjectMethods, containerMethods, entityMethods)),
    defaults = stageDefaults,
    strangers = concat(strangers, notOnEntity),
  },
  Quad = {
    make = g.Quad,
    members = withMethods(concat(displayObject, container, entity, quad),
                          concat(displayObjectMethods, containerMethods, entityMethods, quadMethods)),
    defaults = {type = "Quad"},
    strangers = concat(strangers, notOnEntity),
  },
  Matrix = {
    make = function() return g.Matrix(true) end,
    members = withMethods(matrix, matrixMethods),
    strangers = concat(strangers, notOnMatrix),
  },
}

local M = {}

-- The defaults are read first on one untouched object; then every member is
-- assigned and read back on a second object.
function M.check(className)
  local class = classes[className]
  local failures = {}
  local function fail(...) failures[#failures + 1] = string.format(...) end
  local fresh = class.make()
  for _, m in ipairs(class.members) do
    local name, default = m[1], m[2]
    if class.defaults and class.defaults[name] ~= nil then default = class.defaults[name] end
    local got = fresh[name]
    if not matches(got, default) then fail("%s.%s reads %s by default", className, name, tostring(got)) end
  end
  local object = class.make()
  for _, m in ipairs(class.members) do
    local name, value, want = m[1], m[3], m[4]
    local before = object[name]
    object[name] = value
    local got = object[name]
    if not matches(got, want, before) then
      fail("%s.%s = %s reads back %s", className, name, tostring(value), tostring(got))
    end
  end
  for _, name in ipairs(class.strangers) do
    local shown = string.format("%q", name)
    if object[name] ~= nil then fail("%s[%s] resolves", className, shown) end
    local ok, err = pcall(function() object[name] = 1 end)
    if not ok then fail("%s[%s] = 1 raises %s", className, shown, tostring(err)) end
    if object[name] ~= nil then fail("%s[%s] = 1 is kept", className, shown) end
  end
  return table.concat(failures, "\n")
end

return M
