// Script members of GCore::SpineQuad: the properties skeletonId and speed
// and its methods; every other key goes on to the members of entities.
// Methods answer as for an empty object (0, -1, nil or nothing) while no
// skeleton is loaded.
#include "base/Log.h"
#include "core/Matrix.h"
#include "display/MemberBinding.h"
#include "spine/Animation.h"
#include "spine/AnimationState.h"
#include "spine/BoneData.h"
#include "spine/EventData.h"
#include "spine/SkeletonData.h"
#include "spinequad/SpineQuad.h"
#include "spine/SpineRecords.h"

namespace GCore {

namespace {

SpineQuad& Self(lua_State* L) { return CurrentSelf<SpineQuad>(L); }

// A name argument: the string (numbers as their text), else null.
const char* NameArg(lua_State* L, int index) {
  return lua_type(L, index) == LUA_TSTRING || lua_type(L, index) == LUA_TNUMBER
             ? lua_tostring(L, index)
             : nullptr;
}

// The name at `index` of a list of `count`, or nil.
template <class NameOf>
int PushNameAt(lua_State* L, int32_t count, NameOf nameOf) {
  const int64_t index = TruncatedNumber(L, 1);
  const char* name = index >= 0 && index < count ? nameOf(static_cast<int32_t>(index)) : nullptr;
  if (name) {
    lua_pushstring(L, name);
  } else {
    lua_pushnil(L);
  }
  return 1;
}

int PushCount(lua_State* L, int32_t count) {
  lua_pushinteger(L, count);
  return 1;
}

int Advance(lua_State* L) {
  Self(L).Advance(FloatValue(L, 1));
  return 0;
}

int SetAnimation(lua_State* L) {
  SpineQuad& self = Self(L);
  lua_pushnumber(L, self.SetAnimation(NameArg(L, 1), lua_toboolean(L, 2), FloatValue(L, 3)));
  return 1;
}

int GetTrackTime(lua_State* L) {
  const TrackEntry* entry = Self(L).CurrentEntry();
  lua_pushnumber(L, entry ? entry->trackTime * 1000.0f : 0.0f);
  return 1;
}

int SetListener(lua_State* L) {
  Self(L).SetListener(L, 1);
  return 0;
}

int GetAnimationCount(lua_State* L) {
  const SkeletonData* data = Self(L).GetSkeletonData();
  return PushCount(L, data ? data->animationCount : 0);
}

int GetAnimationName(lua_State* L) {
  const SkeletonData* data = Self(L).GetSkeletonData();
  return PushNameAt(L, data ? data->animationCount : 0,
                    [data](int32_t i) { return data->animations[i]->name; });
}

int FindAnimation(lua_State* L) { return PushCount(L, Self(L).FindAnimation(NameArg(L, 1))); }

int GetEventCount(lua_State* L) {
  const SkeletonData* data = Self(L).GetSkeletonData();
  return PushCount(L, data ? data->eventCount : 0);
}

int GetEventName(lua_State* L) {
  const SkeletonData* data = Self(L).GetSkeletonData();
  return PushNameAt(L, data ? data->eventCount : 0,
                    [data](int32_t i) { return data->events[i]->name; });
}

int GetCurrentAnimation(lua_State* L) {
  const TrackEntry* entry = Self(L).CurrentEntry();
  if (entry && entry->animation && entry->animation->name) {
    lua_pushstring(L, entry->animation->name);
  } else {
    lua_pushnil(L);
  }
  return 1;
}

int GetWidth(lua_State* L) {
  const SkeletonData* data = Self(L).GetSkeletonData();
  lua_pushnumber(L, data ? data->width : 0.0f);
  return 1;
}

int GetHeight(lua_State* L) {
  const SkeletonData* data = Self(L).GetSkeletonData();
  lua_pushnumber(L, data ? data->height : 0.0f);
  return 1;
}

int GetSlotDataCount(lua_State* L) {
  const SkeletonData* data = Self(L).GetSkeletonData();
  return PushCount(L, data ? data->slotCount : 0);
}

int FindSlot(lua_State* L) { return PushCount(L, Self(L).FindSlot(NameArg(L, 1))); }

int GetSlotName(lua_State* L) {
  const Skeleton* skeleton = Self(L).GetPosedSkeleton();
  return PushNameAt(L, skeleton ? skeleton->slotCount : 0, [skeleton](int32_t i) {
    return skeleton->slots[i].data ? skeleton->slots[i].data->name : nullptr;
  });
}

// getSlotMatrix(index, matrix): the slot bone's transform, local y turned over.
int GetSlotMatrix(lua_State* L) {
  const Skeleton* skeleton = Self(L).GetPosedSkeleton();
  const int64_t index = TruncatedNumber(L, 1);
  Matrix* matrix = ToObject<Matrix>(L, 2);
  if (!matrix) {
    LogPrintf("getSlotMatrix: argument 2 is not a Matrix\n");
    return 0;
  }
  if (!skeleton || index < 0 || index >= skeleton->slotCount) return 0;
  const Bone* bone = skeleton->slots[index].bone;
  if (bone) matrix->SetValues(bone->a, bone->c, -bone->b, -bone->d, bone->worldX, bone->worldY);
  return 0;
}

int GetSlotInfo(lua_State* L) { return Self(L).PushSlotInfo(L, NameArg(L, 1), NameArg(L, 2)); }

int GetBoneCount(lua_State* L) {
  const Skeleton* skeleton = Self(L).GetPosedSkeleton();
  return PushCount(L, skeleton ? skeleton->boneCount : 0);
}

int FindBone(lua_State* L) { return PushCount(L, Self(L).FindBone(NameArg(L, 1))); }

int GetBoneName(lua_State* L) {
  const Skeleton* skeleton = Self(L).GetPosedSkeleton();
  return PushNameAt(L, skeleton ? skeleton->boneCount : 0, [skeleton](int32_t i) {
    return skeleton->bones[i].data ? skeleton->bones[i].data->name : nullptr;
  });
}

int GetBoneInfo(lua_State* L) { return Self(L).PushBoneInfo(L, NameArg(L, 1), NameArg(L, 2)); }

int CountEvents(lua_State* L) {
  return PushCount(L, Self(L).CountAnimationEvents(NameArg(L, 1), NameArg(L, 2)));
}

int SnapshotTo(lua_State* L) {
  SpineQuad& self = Self(L);
  SpineQuad* target = ToObject<SpineQuad>(L, 1);
  if (!target) {
    LogPrintf("snapshotTo: argument 1 is not a SpineQuad\n");
    return 0;
  }
  self.SnapshotTo(*target);
  return 0;
}

const Member<SpineQuad> kMembers[] = {
    {"skeletonId", [](lua_State* L, SpineQuad& q) { lua_pushinteger(L, q.skeletonId); },
     [](lua_State* L, SpineQuad& q) { q.SetSkeletonId(UnsignedValue(L, 3)); }, nullptr},
    {"speed", [](lua_State* L, SpineQuad& q) { lua_pushinteger(L, q.speedPercent); },
     [](lua_State* L, SpineQuad& q) { q.speedPercent = static_cast<int16_t>(UnsignedValue(L, 3)); },
     nullptr},
    {"advance", nullptr, nullptr, Advance},
    {"setAnimation", nullptr, nullptr, SetAnimation},
    {"getTrackTime", nullptr, nullptr, GetTrackTime},
    {"setListener", nullptr, nullptr, SetListener},
    {"getAnimationCount", nullptr, nullptr, GetAnimationCount},
    {"getAnimationName", nullptr, nullptr, GetAnimationName},
    {"findAnimation", nullptr, nullptr, FindAnimation},
    {"getEventCount", nullptr, nullptr, GetEventCount},
    {"getEventName", nullptr, nullptr, GetEventName},
    {"getCurrentAnimation", nullptr, nullptr, GetCurrentAnimation},
    {"getWidth", nullptr, nullptr, GetWidth},
    {"getHeight", nullptr, nullptr, GetHeight},
    {"getSlotDataCount", nullptr, nullptr, GetSlotDataCount},
    {"findSlot", nullptr, nullptr, FindSlot},
    {"getSlotName", nullptr, nullptr, GetSlotName},
    {"getSlotMatrix", nullptr, nullptr, GetSlotMatrix},
    {"getSlotInfo", nullptr, nullptr, GetSlotInfo},
    {"getBoneCount", nullptr, nullptr, GetBoneCount},
    {"findBone", nullptr, nullptr, FindBone},
    {"getBoneName", nullptr, nullptr, GetBoneName},
    {"getBoneInfo", nullptr, nullptr, GetBoneInfo},
    {"countEvents", nullptr, nullptr, CountEvents},
    {"snapshotTo", nullptr, nullptr, SnapshotTo},
};

const MemberTable<SpineQuad>& Members() {
  static const MemberTable<SpineQuad> table(kMembers);
  return table;
}

}  // namespace

void RegisterSpineQuadClass(lua_State* L) {
  RegisterDisplayClass<SpineQuad>(L, EntitySubclassIndex<SpineQuad, Members>,
                                 EntitySubclassNewIndex<SpineQuad, Members>);
}

int NewSpineQuadScript(lua_State* L) { return ConstructDisplayObject<SpineQuad>(L); }

}  // namespace GCore
