#include "spine/SkeletonData.h"

#include "spine/Animation.h"
#include "spine/BoneData.h"
#include "spine/EventData.h"
#include "spine/IkConstraintData.h"
#include "spine/PathConstraintData.h"
#include "spine/Skin.h"
#include "spine/SlotData.h"
#include "spine/SpineUtil.h"
#include "spine/TransformConstraintData.h"

namespace GCore {

namespace {

template <class T>
void DisposeAll(T**& array, int32_t& count, void (*dispose)(T*)) {
  for (int32_t i = 0; i < count; ++i) dispose(array[i]);
  FreeArray(array);
  count = 0;
}

}  // namespace

SkeletonData* SkeletonData_create() { return new SkeletonData{}; }

void SkeletonData_dispose(SkeletonData* self) {
  if (!self) return;
  DisposeAll(self->bones, self->boneCount, BoneData_dispose);
  DisposeAll(self->slots, self->slotCount, SlotData_dispose);
  DisposeAll(self->skins, self->skinCount, Skin_dispose);  // none entries are skipped there
  DisposeAll(self->events, self->eventCount, EventData_dispose);
  DisposeAll(self->animations, self->animationCount, Animation_dispose);
  DisposeAll(self->ikConstraints, self->ikConstraintCount, IkConstraintData_dispose);
  DisposeAll(self->transformConstraints, self->transformConstraintCount,
             TransformConstraintData_dispose);
  DisposeAll(self->pathConstraints, self->pathConstraintCount, PathConstraintData_dispose);
  FreeText(self->hash);
  FreeText(self->version);
  delete self;
}

Skin* SkeletonData_findSkin(const SkeletonData* self, const char* name) {
  for (int32_t i = 0; i < self->skinCount; ++i) {
    if (self->skins[i] && SameName(self->skins[i]->name, name)) return self->skins[i];
  }
  return nullptr;
}

Animation* SkeletonData_findAnimation(const SkeletonData* self, const char* name) {
  for (int32_t i = 0; i < self->animationCount; ++i) {
    if (SameName(self->animations[i]->name, name)) return self->animations[i];
  }
  return nullptr;
}

}  // namespace GCore
