// SpineQuad's lookups of animations, slots, bones and keyed events.
#include <cstring>

#include "spine/Animation.h"
#include "spine/BoneData.h"
#include "spine/Event.h"
#include "spine/EventData.h"
#include "spine/EventTimeline.h"
#include "spine/SkeletonData.h"
#include "spinequad/SpineQuad.h"
#include "spine/SpineRecords.h"
#include "spine/SpineUtil.h"

namespace GCore {

namespace {

int PushTwoNils(lua_State* L) {
  lua_pushnil(L);
  lua_pushnil(L);
  return 2;
}

int PushPair(lua_State* L, float x, float y) {
  lua_pushnumber(L, x);
  lua_pushnumber(L, y);
  return 2;
}

}  // namespace

int32_t SpineQuad::FindAnimation(const char* name) const {
  const SkeletonData* data = GetSkeletonData();
  if (!data) return -1;
  for (int32_t i = 0; i < data->animationCount; ++i) {
    if (SameName(data->animations[i]->name, name)) return i;
  }
  return -1;
}

int32_t SpineQuad::FindSlot(const char* name) const {
  const Skeleton* skeleton = GetPosedSkeleton();
  if (!skeleton) return -1;
  for (int32_t i = 0; i < skeleton->slotCount; ++i) {
    const SlotData* data = skeleton->slots[i].data;
    if (data && SameName(data->name, name)) return i;
  }
  return -1;
}

int32_t SpineQuad::FindBone(const char* name) const {
  const Skeleton* skeleton = GetPosedSkeleton();
  if (!skeleton) return -1;
  for (int32_t i = 0; i < skeleton->boneCount; ++i) {
    const BoneData* data = skeleton->bones[i].data;
    if (data && SameName(data->name, name)) return i;
  }
  return -1;
}

int32_t SpineQuad::CountAnimationEvents(const char* animationName, const char* eventName) const {
  const int32_t index = FindAnimation(animationName);
  if (index < 0) return 0;
  const Animation& animation = *GetSkeletonData()->animations[index];
  if (animation.timelinesCount <= 0) return 0;
  const Timeline* last = animation.timelines[animation.timelinesCount - 1];
  if (!last || last->type != kTimelineEvent) return 0;
  const auto& events = *static_cast<const EventTimeline*>(last);
  if (!eventName) return events.framesCount;
  int32_t count = 0;
  for (int32_t i = 0; i < events.framesCount; ++i) {
    const Event* event = events.events[i];
    if (event && event->data && SameName(event->data->name, eventName)) ++count;
  }
  return count;
}

int SpineQuad::PushSlotInfo(lua_State* L, const char* slotName, const char* kind) const {
  const int32_t index = FindSlot(slotName);
  if (index < 0 || !kind) return PushTwoNils(L);
  const Slot& slot = GetPosedSkeleton()->slots[index];
  const Bone* bone = slot.bone;
  if (bone && std::strcmp(kind, "pos") == 0) return PushPair(L, bone->worldX, bone->worldY);
  if (bone && std::strcmp(kind, "lpos") == 0) return PushPair(L, bone->x, bone->y);
  if (std::strcmp(kind, "color") == 0) {
    for (float channel : {slot.r, slot.g, slot.b, slot.a}) lua_pushnumber(L, channel);
    return 4;
  }
  return PushTwoNils(L);
}

int SpineQuad::PushBoneInfo(lua_State* L, const char* boneName, const char* kind) const {
  const int32_t index = FindBone(boneName);
  if (index < 0 || !kind) return PushTwoNils(L);
  const Bone& bone = GetPosedSkeleton()->bones[index];
  if (std::strcmp(kind, "pos") == 0) return PushPair(L, bone.worldX, bone.worldY);
  if (std::strcmp(kind, "lpos") != 0) return PushTwoNils(L);
  // The root's own position is not part of it.
  float x = bone.x, y = bone.y;
  for (const Bone* up = bone.parent; up && up->parent; up = up->parent) {
    x += up->x;
    y += up->y;
  }
  return PushPair(L, x, y);
}

}  // namespace GCore
