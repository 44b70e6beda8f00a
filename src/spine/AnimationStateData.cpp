#include "spine/AnimationStateData.h"

namespace GCore {

AnimationStateData* AnimationStateData_create(const SkeletonData* skeletonData) {
  AnimationStateData* self = new AnimationStateData{};
  self->skeletonData = skeletonData;
  return self;
}

void AnimationStateData_dispose(AnimationStateData* self) {
  if (!self) return;
  for (AnimationStateFromEntry* from = self->entries; from;) {
    for (AnimationStateToEntry* to = from->toEntries; to;) {
      AnimationStateToEntry* next = to->next;
      delete to;
      to = next;
    }
    AnimationStateFromEntry* next = from->next;
    delete from;
    from = next;
  }
  delete self;
}

float AnimationStateData_getMix(const AnimationStateData* self, const Animation* from,
                                const Animation* to) {
  for (const AnimationStateFromEntry* f = self->entries; f; f = f->next) {
    if (f->animation != from) continue;
    for (const AnimationStateToEntry* t = f->toEntries; t; t = t->next) {
      if (t->animation == to) return t->duration;
    }
  }
  return self->defaultMix;
}

}  // namespace GCore
