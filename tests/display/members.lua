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

-- The drawables of effects and grouping.
local sprite = {
  {"active", true, false, false},
  {"tagged", false, 0, true},
  {"linkedObject", nil, g.Matrix(), function(v) return getmetatable(v) == debug.getregistry().Matrix end},
  {"reserved", nil, 5, nil},
}
local spriteMethods = {"noop", "noopArgs"}

local particleSystem = {
  {"maxParticles", 0, -1, 65536},  -- 4294967295, capped
  {"duration", -1, 2.5, 2.5},
  {"emissionRate", 100, 12.9, 12},
  {"angle", 0, 45, 45},
  {"angleVar", 0, 10, 10},
  {"spareValue", 0, -3, -3},
  {"emitterMode", 0, 1, 1},
  {"life", 1, 2, 2},
  {"lifeVar", 0, 0.5, 0.5},
  {"startSize", 1, 8, 8},
  {"startSizeVar", 0, 2, 2},
  {"endSize", -1, 0, 0},
  {"endSizeRange", 0, 3, 3},
  {"startColor", 0xFFFFFFFF, 0x123456, 0x123456},
  {"startAlpha", 255, 300, 44},
  {"startRedVar", 0, 70000, 4464},
  {"startGreenVar", 0, -20, -20},
  {"startBlueVar", 0, 20, 20},
  {"startAlphaVar", 0, 40000, -25536},
  {"endColor", 0xFFFFFFFF, -1, 0xFFFFFFFF},
  {"endAlpha", 255, 0, 0},
  {"endRedVar", 0, 1, 1},
  {"endGreenVar", 0, 2, 2},
  {"endBlueVar", 0, 3, 3},
  {"endAlphaVar", 0, 4, 4},
  {"startSpin", 0, 90, 90},
  {"startSpinVar", 0, 5, 5},
  {"endSpin", 0, 180, 180},
  {"endSpinVar", 0, 6, 6},
  {"emitting", false, 1, true},
  {"hasParticles", false, 1, true},
  {"speed", 0, 7, 7},
  {"speedVar", 0, 8, 8},
  {"gravityX", 0, 9, 9},
  {"gravityY", 0, -9.5, -9.5},
  {"radialAccel", 0, 11, 11},
  {"radialAccelVar", 0, 12, 12},
  {"tangentialAccel", 0, 13, 13},
  {"tangentialAccelVar", 0, 14, 14},
  -- The radial mode's names for the values above.
  {"startRadius", 0, 21, 21},
  {"startRadiusVar", 0, 22, 22},
  {"endRadius", 0, 23, 23},
  {"endRadiusVar", 0, 24, 24},
  {"rotatePerSecond", 0, 25, 25},
  {"rotatePerSecondVar", 0, 26, 26},
}

local trail = {
  {"lifetime", 0, 500, 500},
  {"fadeStart", 0, 250, 250},
  {"userValue", 0, -1.5, -1.5},
}
local trailMethods = {"addSample"}

-- Without geometry a shape's primitive reads 0 and ignores writes.
local shape = {
  {"primitive", 0, 1, 0},
  {"designImage", 0, 0x81050042, 0x81050042},
  {"userX", 0, 1.5, 1.5},
  {"userY", 0, -2, -2},
}
local shapeMethods = {"setVertices", "getVertices"}

local layout = {
  {"contentLeft", 0, 1, 1},
  {"contentRight", 0, -2, -2},
  {"contentBottom", 0, 3, 3},
  {"contentTop", 0, -4, -4},
  {"spacing", 0, 5.5, 5.5},
  {"cellWidth", 100, 30, 30},
  {"cellHeight", 100, 40, 40},
  {"rowSpacing", 0, 6, 6},
  {"align", 1, 0x109, 9},
  {"layoutMode", 0, 0x102, 2},
  {"gridCount", 0, 0x1FFFF, -1},
  {"corner", 0, 0x23, 3},  -- sets the distribute and fitWidth bits
  {"distribute", false, false, false},
  {"fitWidth", false, false, false},
  {"fitHeight", false, true, true},
  {"columnMajor", false, true, true},
}

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
  Sprite = {
    make = g.Sprite,
    members = withMethods(concat(displayObject, container, sprite),
                          concat(displayObjectMethods, containerMethods, spriteMethods)),
    strangers = concat(strangers, notOnContainer),
  },
  ParticleSystem = {
    make = g.ParticleSystem,
    members = withMethods(concat(displayObject, container, entity, particleSystem),
                          concat(displayObjectMethods, containerMethods, entityMethods)),
    defaults = {type = "ParticleSystem"},
    strangers = concat(strangers, notOnEntity, {"addSample", "noop", "active", "startColour", "endSizeVar"}),
  },
  Trail = {
    make = g.Trail,
    members = withMethods(concat(displayObject, container, entity, trail),
                          concat(displayObjectMethods, containerMethods, entityMethods, trailMethods)),
    defaults = {type = "Trail"},
    strangers = concat(strangers, notOnEntity, {"maxParticles", "noop", "samples", "lifeTime"}),
  },
  Shape = {
    make = g.Shape,
    members = withMethods(concat(displayObject, container, entity, shape),
                          concat(displayObjectMethods, containerMethods, entityMethods, shapeMethods)),
    defaults = {type = "Shape"},
    strangers = concat(strangers, notOnEntity, {"setvertices", "primitives", "alignX", "spacing"}),
  },
  Layout = {
    make = g.Layout,
    members = withMethods(concat(displayObject, container, entity, layout),
                          concat(displayObjectMethods, containerMethods, entityMethods)),
    defaults = {type = "Layout"},
    strangers = concat(strangers, notOnEntity, {"Spacing", "setVertices", "userX", "corners"}),
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

-- The names of every member of the class, methods included.
function M.names(className)
  local names = {}
  for _, m in ipairs(classes[className].members) do names[#names + 1] = m[1] end
  return names
end

return M
