// Script members of GCore::DisplayObject, the end of every class's member
// chain: a key that names none of them reads as nil and assigning it is
// ignored.
#include <algorithm>
#include <cmath>

#include "base/Log.h"
#include "core/Matrix.h"
#include "display/DisplayObjectContainer.h"
#include "display/MemberBinding.h"

namespace GCore {

namespace {

using DO = DisplayObject;

constexpr float kPlacementTolerance = 1e-5f;
constexpr float kScaleTolerance = 0.001f;

void StorePlacement(lua_State* L, DO& o, float DO::*field) {
  o.*field = FloatValue(L, 3);
  o.Invalidate(true);
}

void StorePivot(lua_State* L, DO& o, float DO::*field) {
  const float value = FloatValue(L, 3);
  if (std::fabs(value - o.*field) < kPlacementTolerance) return;
  o.*field = value;
  o.Invalidate(true);
}

// Length of a column of the local matrix, negative when it is mirrored.
float ScaleOf(float p, float q, bool flip) {
  const float length = std::sqrt(p * p + q * q);
  return flip ? -length : length;
}

// Scales one column of the local matrix to the signed length `value`; a
// length near 0 would lose the column's direction for good, so it is refused.
void SetScale(DO& o, float value, float& p, float& q, bool& flip) {
  if (!(std::fabs(value) >= kScaleTolerance)) return;
  const float current = ScaleOf(p, q, flip);
  if (!(std::fabs(current - value) >= kScaleTolerance)) return;
  const float k = value / current;
  p *= k;
  q *= k;
  flip = value < 0;
  o.Invalidate(true);
}

void StoreTextByte(lua_State* L, DO& o, int byte) { o.textStyle[byte] = ByteValue(L, 3); }

int32_t LowByte(int32_t word) { return word & 0xFF; }

// Methods.

DO& Self(lua_State* L) { return CurrentSelf<DO>(L); }

Matrix& MatrixArg(lua_State* L, int index) {
  Matrix* matrix = ToObject<Matrix>(L, index);
  if (!matrix) luaL_argerror(L, index, "Matrix expected");
  return *matrix;
}

int GlobalToLocal(lua_State* L) {
  const Point p = Self(L).GlobalToLocal(FloatValue(L, 1), FloatValue(L, 2));
  lua_pushnumber(L, p.x);
  lua_pushnumber(L, p.y);
  return 2;
}

int LocalToGlobal(lua_State* L) {
  const Matrix& world = *Self(L).worldMatrix.Get();
  const float x = FloatValue(L, 1);
  const float y = FloatValue(L, 2);
  lua_pushnumber(L, world.TransformX(x, y));
  lua_pushnumber(L, world.TransformY(x, y));
  return 2;
}

int UpdateTransform(lua_State* L) {
  Self(L).UpdateWorldTransform();
  return 0;
}

int DispatchEventMethod(lua_State* L) {
  DO& self = Self(L);
  const int argType = lua_type(L, 2);
  const char* arg = argType == LUA_TSTRING || argType == LUA_TNUMBER ? lua_tostring(L, 2) : nullptr;
  DispatchEvent(&self, lua_tostring(L, 1), arg);
  return 0;
}

int GetInverseWorldMatrix(lua_State* L) {
  const Matrix& world = *Self(L).worldMatrix.Get();
  Matrix& out = MatrixArg(L, 1);
  StoreAffine(Inverted(AffineOf(&world)), &out);
  out.flipX = world.flipX;
  out.flipY = world.flipY;
  return 0;
}

int GetInverseParentMatrix(lua_State* L) {
  DO& self = Self(L);
  self.GetInverseWorldMatrix(MatrixArg(L, 1));
  return 0;
}

int RemoveFromParent(lua_State* L) {
  DO& self = Self(L);
  if (self.parent) self.parent->RemoveChild(&self);
  return 0;
}

int GetIndex(lua_State* L) {
  DO& self = Self(L);
  lua_pushinteger(L, self.parent ? self.parent->GetChildIndex(&self) : 0);
  return 1;
}

int SetIndex(lua_State* L) {
  DO& self = Self(L);
  if (self.parent) self.parent->SetChildIndex(self.parent->GetChildIndex(&self), IntValue(L, 1));
  return 0;
}

int AddKeyTrack(lua_State* L) {
  Self(L).AddKeyTrack(L);
  return 0;
}

int ClearKeyTrack(lua_State* L) {
  Self(L).ClearKeyTrack(lua_tostring(L, 1));
  return 0;
}

int GetTrackDuration(lua_State* L) {
  const KeyTrack* track = Self(L).FindKeyTrack(lua_tostring(L, 1));
  lua_pushinteger(L, track ? track->duration : 0);
  return 1;
}

int GetTrackTime(lua_State* L) {
  const KeyTrack* track = Self(L).FindKeyTrack(lua_tostring(L, 1));
  lua_pushinteger(L, track ? track->elapsed : 0);
  return 1;
}

int SetTrackTime(lua_State* L) {
  Self(L).SetKeyTrackTime(lua_tostring(L, 1), UnsignedValue(L, 2));
  return 0;
}

int GetWidth(lua_State* L) {
  lua_pushnumber(L, Self(L).GetWidth());
  return 1;
}

int GetHeight(lua_State* L) {
  lua_pushnumber(L, Self(L).GetHeight());
  return 1;
}

int IsDescendantOf(lua_State* L) {
  DO& self = Self(L);
  lua_pushboolean(L, self.IsDescendantOf(DisplayObjectArg(L, 1, "isDescendantOf")));
  return 1;
}

int SetActionById(lua_State* L) {
  Self(L).SetActionById(IntValue(L, 1));
  return 0;
}

int SetActionByName(lua_State* L) {
  Self(L).SetActionByName(lua_tostring(L, 1));
  return 0;
}

int AlwaysFalse(lua_State* L) {
  lua_pushboolean(L, 0);
  return 1;
}

int HitTestPoint(lua_State* L) {
  lua_pushboolean(L, Self(L).BoundsContain(FloatValue(L, 1), FloatValue(L, 2)));
  return 1;
}

using M = Member<DO>;

const M kMembers[] = {
    {"x", [](lua_State* L, DO& o) { lua_pushnumber(L, o.PivotPointX()); },
     [](lua_State* L, DO& o) { o.SetX(FloatValue(L, 3)); }, nullptr},
    {"y", [](lua_State* L, DO& o) { lua_pushnumber(L, o.PivotPointY()); },
     [](lua_State* L, DO& o) { o.SetY(FloatValue(L, 3)); }, nullptr},
    {"width", [](lua_State* L, DO& o) { lua_pushnumber(L, o.offsetMaxX - o.offsetMinX); },
     [](lua_State* L, DO& o) { o.SetWidth(FloatValue(L, 3)); }, nullptr},
    {"height", [](lua_State* L, DO& o) { lua_pushnumber(L, o.offsetMaxY - o.offsetMinY); },
     [](lua_State* L, DO& o) { o.SetHeight(FloatValue(L, 3)); }, nullptr},
    {"left", [](lua_State* L, DO& o) { lua_pushnumber(L, o.offsetMinX); },
     [](lua_State* L, DO& o) { StorePlacement(L, o, &DO::offsetMinX); }, nullptr},
    {"bottom", [](lua_State* L, DO& o) { lua_pushnumber(L, o.offsetMinY); },
     [](lua_State* L, DO& o) { StorePlacement(L, o, &DO::offsetMinY); }, nullptr},
    {"right", [](lua_State* L, DO& o) { lua_pushnumber(L, o.offsetMaxX); },
     [](lua_State* L, DO& o) { StorePlacement(L, o, &DO::offsetMaxX); }, nullptr},
    {"top", [](lua_State* L, DO& o) { lua_pushnumber(L, o.offsetMaxY); },
     [](lua_State* L, DO& o) { StorePlacement(L, o, &DO::offsetMaxY); }, nullptr},
    {"pivotX", [](lua_State* L, DO& o) { lua_pushnumber(L, o.pivotX); },
     [](lua_State* L, DO& o) { StorePivot(L, o, &DO::pivotX); }, nullptr},
    {"pivotY", [](lua_State* L, DO& o) { lua_pushnumber(L, o.pivotY); },
     [](lua_State* L, DO& o) { StorePivot(L, o, &DO::pivotY); }, nullptr},
    {"anchorLeft", [](lua_State* L, DO& o) { lua_pushnumber(L, o.anchorMinX); },
     [](lua_State* L, DO& o) { StorePlacement(L, o, &DO::anchorMinX); }, nullptr},
    {"anchorRight", [](lua_State* L, DO& o) { lua_pushnumber(L, o.anchorMaxX); },
     [](lua_State* L, DO& o) { StorePlacement(L, o, &DO::anchorMaxX); }, nullptr},
    {"anchorBottom", [](lua_State* L, DO& o) { lua_pushnumber(L, o.anchorMinY); },
     [](lua_State* L, DO& o) { StorePlacement(L, o, &DO::anchorMinY); }, nullptr},
    {"anchorTop", [](lua_State* L, DO& o) { lua_pushnumber(L, o.anchorMaxY); },
     [](lua_State* L, DO& o) { StorePlacement(L, o, &DO::anchorMaxY); }, nullptr},
    {"anchors", [](lua_State* L, DO& o) { lua_pushinteger(L, o.GetAnchorsPacked()); },
     [](lua_State* L, DO& o) { o.SetAnchorsPacked(UnsignedValue(L, 3)); }, nullptr},
    {"rotation", [](lua_State* L, DO& o) { lua_pushnumber(L, o.localMatrix.GetRotation()); },
     [](lua_State* L, DO& o) {
       if (o.localMatrix.SetRotation(FloatValue(L, 3))) o.Invalidate(true);
     },
     nullptr},
    {"scaleX",
     [](lua_State* L, DO& o) {
       const Matrix& m = o.localMatrix;
       lua_pushnumber(L, ScaleOf(m.a, m.b, m.flipX));
     },
     [](lua_State* L, DO& o) {
       Matrix& m = o.localMatrix;
       SetScale(o, FloatValue(L, 3), m.a, m.b, m.flipX);
     },
     nullptr},
    {"scaleY",
     [](lua_State* L, DO& o) {
       const Matrix& m = o.localMatrix;
       lua_pushnumber(L, ScaleOf(m.c, m.d, m.flipY));
     },
     [](lua_State* L, DO& o) {
       Matrix& m = o.localMatrix;
       SetScale(o, FloatValue(L, 3), m.c, m.d, m.flipY);
     },
     nullptr},
    {"alpha", [](lua_State* L, DO& o) { lua_pushinteger(L, o.localColor.a); },
     [](lua_State* L, DO& o) {
       // Clamped before the truncation, so that huge values give 255.
       const double value = lua_tonumberx(L, 3, nullptr);
       const int32_t alpha = value >= 255 ? 255 : value > 0 ? static_cast<int32_t>(value) : 0;
       if (alpha == o.localColor.a) return;
       o.localColor.a = alpha;
       o.Invalidate(false);
     },
     nullptr},
    {"color",
     [](lua_State* L, DO& o) {
       const ColorTransform& c = o.localColor;
       lua_pushinteger(L, c.r + c.g * 256 + c.b * 65536);
     },
     [](lua_State* L, DO& o) {
       const uint32_t rgb = UnsignedValue(L, 3);
       o.localColor.r = static_cast<int32_t>(rgb & 0xFF);
       o.localColor.g = static_cast<int32_t>(rgb >> 8 & 0xFF);
       o.localColor.b = static_cast<int32_t>(rgb >> 16 & 0xFF);
       o.Invalidate(false);
     },
     nullptr},
    {"visible", [](lua_State* L, DO& o) { lua_pushboolean(L, o.visible); },
     [](lua_State* L, DO& o) {
       const bool visible = lua_toboolean(L, 3) != 0;
       if (visible == o.visible) return;
       o.visible = visible;
       o.Invalidate(true);
     },
     nullptr},
    {"name", [](lua_State* L, DO& o) { lua_pushlstring(L, o.name.data(), o.name.size()); },
     [](lua_State* L, DO& o) {
       // A value without a string form (nil, a boolean, a table) clears the name.
       size_t length = 0;
       const char* text = lua_isstring(L, 3) ? lua_tolstring(L, 3, &length) : nullptr;
       o.name.assign(text ? text : "", length);
     },
     nullptr},
    {"type", [](lua_State* L, DO& o) { lua_pushstring(L, o.GetClassName()); }, nullptr, nullptr},
    {"tag", [](lua_State* L, DO& o) { lua_pushinteger(L, o.tag); },
     [](lua_State* L, DO& o) { o.tag = IntValue(L, 3); }, nullptr},
    {"data", [](lua_State* L, DO& o) { lua_pushinteger(L, o.data); },
     [](lua_State* L, DO& o) { o.data = IntValue(L, 3); }, nullptr},
    {"depth", [](lua_State* L, DO& o) { lua_pushinteger(L, o.depth); },
     [](lua_State* L, DO& o) {
       const int32_t depth = IntValue(L, 3);
       if (depth == o.depth) return;
       o.depth = depth;
       if (o.parent) o.parent->SortChildren();
     },
     nullptr},
    {"media", [](lua_State* L, DO& o) { lua_pushinteger(L, o.mediaId); },
     [](lua_State* L, DO& o) { o.SetMedia(UnsignedValue(L, 3)); }, nullptr},
    {"group", [](lua_State* L, DO& o) { lua_pushinteger(L, o.group); },
     [](lua_State* L, DO& o) { o.group = static_cast<int8_t>(ByteValue(L, 3)); }, nullptr},
    {"blend", [](lua_State* L, DO& o) { lua_pushinteger(L, static_cast<int8_t>(o.blendMode)); },
     [](lua_State* L, DO& o) { o.blendMode = ByteValue(L, 3); }, nullptr},
    {"sample",
     [](lua_State* L, DO& o) { lua_pushinteger(L, static_cast<int8_t>(o.textureFilter)); },
     [](lua_State* L, DO& o) { o.textureFilter = ByteValue(L, 3); }, nullptr},
    {"tint", [](lua_State* L, DO& o) { lua_pushboolean(L, o.tintMode != 0); },
     [](lua_State* L, DO& o) { o.tintMode = lua_toboolean(L, 3) ? 1 : 0; }, nullptr},
    {"shader", [](lua_State* L, DO& o) { lua_pushinteger(L, o.shaderId); },
     [](lua_State* L, DO& o) { o.shaderId = UnsignedValue(L, 3); }, nullptr},
    {"mask", [](lua_State* L, DO& o) { lua_pushinteger(L, o.mask); },
     [](lua_State* L, DO& o) { o.mask = IntValue(L, 3); }, nullptr},
    {"blockHits", [](lua_State* L, DO& o) { lua_pushboolean(L, o.blocksHits); },
     [](lua_State* L, DO& o) { o.blocksHits = lua_toboolean(L, 3) != 0; }, nullptr},
    {"mouseEnabled", [](lua_State* L, DO& o) { lua_pushboolean(L, o.mouseEnabled); },
     [](lua_State* L, DO& o) { o.mouseEnabled = lua_toboolean(L, 3) != 0; }, nullptr},
    {"scaleMode", [](lua_State* L, DO& o) { lua_pushinteger(L, static_cast<int8_t>(o.scaleMode)); },
     [](lua_State* L, DO& o) { o.scaleMode = ByteValue(L, 3); }, nullptr},
    {"parent", [](lua_State* L, DO& o) { PushObjectOrNil(L, o.parent); }, nullptr, nullptr},
    // Scripts may write into the matrix they are handed.
    {"worldMatrix",
     [](lua_State* L, DO& o) {
       o.MarkDrawChanged();
       PushObjectOrNil(L, o.worldMatrix.ScriptObject(L));
     },
     nullptr, nullptr},
    {"mouseX", [](lua_State* L, DO& o) { lua_pushnumber(L, o.GetWorldMouseX()); }, nullptr, nullptr},
    {"mouseY", [](lua_State* L, DO& o) { lua_pushnumber(L, o.GetWorldMouseY()); }, nullptr, nullptr},
    {"slot", [](lua_State* L, DO& o) { lua_pushstring(L, o.GetBoneName()); },
     [](lua_State* L, DO& o) { o.SetBoneName(lua_tostring(L, 3)); }, nullptr},
    {"slotLink", [](lua_State* L, DO& o) { lua_pushinteger(L, o.slotLink); }, nullptr, nullptr},
    {"slotFlag", [](lua_State* L, DO& o) { lua_pushinteger(L, o.slotLink & 1); },
     [](lua_State* L, DO& o) { o.slotLink = (o.slotLink & ~1) | (FlagValue(L, 3) ? 1 : 0); },
     nullptr},
    {"slotLinked", [](lua_State* L, DO& o) { lua_pushboolean(L, o.slotLink == 1); },
     [](lua_State* L, DO& o) { o.slotLink = lua_toboolean(L, 3) ? 1 : -1; }, nullptr},
    {"slotLow", [](lua_State* L, DO& o) { lua_pushinteger(L, LowByte(o.slotLink)); },
     [](lua_State* L, DO& o) { o.slotLink = (o.slotLink & ~0xFF) | ByteValue(L, 3); }, nullptr},
    {"slotHigh", [](lua_State* L, DO& o) { lua_pushinteger(L, o.slotLink >> 8); },
     [](lua_State* L, DO& o) {
       const uint32_t word = UnsignedValue(L, 3) << 8 | static_cast<uint32_t>(LowByte(o.slotLink));
       o.slotLink = static_cast<int32_t>(word);
     },
     nullptr},
    {"textByte0", [](lua_State* L, DO& o) { lua_pushinteger(L, o.textStyle[0]); },
     [](lua_State* L, DO& o) { StoreTextByte(L, o, 0); }, nullptr},
    {"textByte1", [](lua_State* L, DO& o) { lua_pushinteger(L, o.textStyle[1]); },
     [](lua_State* L, DO& o) { StoreTextByte(L, o, 1); }, nullptr},
    {"fontStyleOn", [](lua_State* L, DO& o) { lua_pushinteger(L, o.textStyle[2]); },
     [](lua_State* L, DO& o) { StoreTextByte(L, o, 2); }, nullptr},
    {"fontStyle", [](lua_State* L, DO& o) { lua_pushinteger(L, o.textStyle[3]); },
     [](lua_State* L, DO& o) { StoreTextByte(L, o, 3); }, nullptr},
    {"globalToLocal", nullptr, nullptr, GlobalToLocal},
    {"localToGlobal", nullptr, nullptr, LocalToGlobal},
    {"updateTransform", nullptr, nullptr, UpdateTransform},
    {"dispatchEvent", nullptr, nullptr, DispatchEventMethod},
    {"getInverseWorldMatrix", nullptr, nullptr, GetInverseWorldMatrix},
    {"getInverseParentMatrix", nullptr, nullptr, GetInverseParentMatrix},
    {"removeFromParent", nullptr, nullptr, RemoveFromParent},
    {"getIndex", nullptr, nullptr, GetIndex},
    {"setIndex", nullptr, nullptr, SetIndex},
    {"addKeyTrack", nullptr, nullptr, AddKeyTrack},
    {"clearKeyTrack", nullptr, nullptr, ClearKeyTrack},
    {"getTrackDuration", nullptr, nullptr, GetTrackDuration},
    {"getTrackTime", nullptr, nullptr, GetTrackTime},
    {"setTrackTime", nullptr, nullptr, SetTrackTime},
    {"getWidth", nullptr, nullptr, GetWidth},
    {"getHeight", nullptr, nullptr, GetHeight},
    {"isDescendantOf", nullptr, nullptr, IsDescendantOf},
    {"setActionById", nullptr, nullptr, SetActionById},
    {"setActionByName", nullptr, nullptr, SetActionByName},
    {"alwaysFalse", nullptr, nullptr, AlwaysFalse},
    {"hitTestPoint", nullptr, nullptr, HitTestPoint},
};

const MemberChain<DO>& Chain() {
  static const MemberChain<DO> chain =
      MemberChain<DO>().Add(DisplayObjectMembers(), MemberChain<DO>::Use::kOwn);
  return chain;
}

int DisplayObjectIndex(lua_State* L) {
  DO* self = ToObject<DO>(L, 1);
  return self ? std::max(Chain().Index(L, *self), 0) : 0;
}

int DisplayObjectNewIndex(lua_State* L) {
  if (DO* self = ToObject<DO>(L, 1)) Chain().NewIndex(L, *self);
  return 0;
}

}  // namespace

const MemberTable<DisplayObject>& DisplayObjectMembers() {
  static const MemberTable<DisplayObject> table(kMembers);
  return table;
}

DisplayObject* DisplayObjectArg(lua_State* L, int index, const char* method) {
  if (lua_isnoneornil(L, index)) return nullptr;
  DisplayObject* object = ToObject<DisplayObject>(L, index);
  if (!object) LogPrintf("%s: argument %d is not a display object\n", method, index);
  return object;
}

int IndexDisplayObjectMembers(lua_State* L, DisplayObject* self) {
  return DisplayObjectMembers().Index(L, *self);
}

bool NewIndexDisplayObjectMembers(lua_State* L, DisplayObject* self) {
  return DisplayObjectMembers().NewIndex(L, *self);
}

void RegisterDisplayObjectClass(lua_State* L) {
  RegisterDisplayClass<DisplayObject>(L, DisplayObjectIndex, DisplayObjectNewIndex);
}

int NewDisplayObjectScript(lua_State* L) { return ConstructDisplayObject<DisplayObject>(L); }

}  // namespace GCore
