#pragma once
// The immutable description of one skeleton, shared by every Skeleton made
// from it: setup pose, skins, events, animations and constraints. It owns
// every record reachable from its arrays; its attachments point into the
// atlas it was read with, which must outlive it. The skin array may hold
// none entries (a named skin without attachments); lookups skip them.
#include <cstdint>

namespace GCore {

struct Animation;
struct BoneData;
struct EventData;
struct IkConstraintData;
struct PathConstraintData;
struct Skin;
struct SlotData;
struct TransformConstraintData;

struct SkeletonData {
  const char* version = nullptr;
  const char* hash = nullptr;
  float width = 0, height = 0;
  int32_t boneCount = 0;
  BoneData** bones = nullptr;  // parents before children
  int32_t slotCount = 0;
  SlotData** slots = nullptr;  // setup draw order
  int32_t skinCount = 0;
  Skin** skins = nullptr;  // the default skin first when there is one
  Skin* defaultSkin = nullptr;
  int32_t eventCount = 0;
  EventData** events = nullptr;
  int32_t animationCount = 0;
  Animation** animations = nullptr;
  int32_t ikConstraintCount = 0;
  IkConstraintData** ikConstraints = nullptr;
  int32_t transformConstraintCount = 0;
  TransformConstraintData** transformConstraints = nullptr;
  int32_t pathConstraintCount = 0;
  PathConstraintData** pathConstraints = nullptr;
};

SkeletonData* SkeletonData_create();
void SkeletonData_dispose(SkeletonData* self);
Skin* SkeletonData_findSkin(const SkeletonData* self, const char* name);
Animation* SkeletonData_findAnimation(const SkeletonData* self, const char* name);

}  // namespace GCore
