#include "spine/Skeleton.h"

#include "spine/Bone.h"
#include "spine/BoneData.h"
#include "spine/IkConstraint.h"
#include "spine/IkConstraintData.h"
#include "spine/PathAttachment.h"
#include "spine/PathConstraint.h"
#include "spine/PathConstraintData.h"
#include "spine/SkeletonData.h"
#include "spine/Skin.h"
#include "spine/Slot.h"
#include "spine/SlotData.h"
#include "spine/SpineUtil.h"
#include "spine/TransformConstraint.h"
#include "spine/TransformConstraintData.h"

namespace GCore {

namespace {

// Ancestors first, without recursion: a file can chain thousands of bones.
void SortBone(Skeleton* self, Bone* bone) {
  if (bone->sorted) return;
  std::vector<Bone*> chain;
  for (Bone* b = bone; b && !b->sorted; b = b->parent) chain.push_back(b);
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    (*it)->sorted = 1;
    self->updateCache.push_back({kUpdateBone, *it});
  }
}

// Clears `sorted` on the children and, below each sorted child, on its own
// children, so that they are sorted again after the constraint.
void SortReset(Bone** children, int32_t count) {
  std::vector<Bone*> pending(children, children + count);
  while (!pending.empty()) {
    Bone* bone = pending.back();
    pending.pop_back();
    if (!bone->sorted) continue;
    pending.insert(pending.end(), bone->children, bone->children + bone->childrenCount);
    bone->sorted = 0;
  }
}

bool InCache(const Skeleton* self, const void* object) {
  for (const UpdateCacheEntry& entry : self->updateCache) {
    if (entry.object == object) return true;
  }
  return false;
}

void SortIkConstraint(Skeleton* self, IkConstraint* constraint) {
  SortBone(self, constraint->target);
  if (constraint->bonesCount == 0) return;
  Bone* parent = constraint->bones[0];
  SortBone(self, parent);
  Bone* child = constraint->bones[constraint->bonesCount - 1];
  if (constraint->bonesCount > 1 && !InCache(self, child)) {
    self->updateCacheReset.push_back(child);
  }
  self->updateCache.push_back({kUpdateIkConstraint, constraint});
  SortReset(parent->children, parent->childrenCount);
  child->sorted = 1;
}

void SortConstrainedBones(Skeleton* self, Bone** bones, int32_t count, UpdateKind kind,
                          void* constraint) {
  for (int32_t i = 0; i < count; ++i) SortBone(self, bones[i]);
  self->updateCache.push_back({kind, constraint});
  for (int32_t i = 0; i < count; ++i) SortReset(bones[i]->children, bones[i]->childrenCount);
  for (int32_t i = 0; i < count; ++i) bones[i]->sorted = 1;
}

void SortTransformConstraint(Skeleton* self, TransformConstraint* constraint) {
  SortBone(self, constraint->target);
  SortConstrainedBones(self, constraint->bones, constraint->bonesCount,
                       kUpdateTransformConstraint, constraint);
}

void SortPathAttachment(Skeleton* self, const Attachment* attachment, Bone* slotBone) {
  if (!attachment || attachment->type != kAttachmentPath) return;
  const auto* path = static_cast<const PathAttachment*>(attachment);
  if (!path->bones) {
    SortBone(self, slotBone);
    return;
  }
  for (int32_t i = 0; i < path->bonesCount;) {
    int32_t n = path->bones[i++];
    for (n += i; i < n && i < path->bonesCount; ++i) SortBone(self, &self->bones[path->bones[i]]);
  }
}

void SortPathAttachmentsOfSkin(Skeleton* self, const Skin* skin, int32_t slotIndex,
                               Bone* slotBone) {
  if (!skin) return;
  for (const SkinEntry* entry = skin->entries; entry; entry = entry->next) {
    if (entry->slotIndex == slotIndex) SortPathAttachment(self, entry->attachment, slotBone);
  }
}

void SortPathConstraint(Skeleton* self, PathConstraint* constraint) {
  Slot* slot = constraint->target;
  const int32_t slotIndex = slot->data->index;
  Bone* slotBone = slot->bone;
  const SkeletonData* data = self->data;
  SortPathAttachmentsOfSkin(self, self->skin, slotIndex, slotBone);
  if (data->defaultSkin && data->defaultSkin != self->skin) {
    SortPathAttachmentsOfSkin(self, data->defaultSkin, slotIndex, slotBone);
  }
  for (int32_t i = 0; i < data->skinCount; ++i) {
    SortPathAttachmentsOfSkin(self, data->skins[i], slotIndex, slotBone);
  }
  SortPathAttachment(self, slot->attachment, slotBone);
  SortConstrainedBones(self, constraint->bones, constraint->bonesCount, kUpdatePathConstraint,
                       constraint);
}

}  // namespace

Skeleton* Skeleton_create(const SkeletonData* data) {
  Skeleton* self = new Skeleton{};
  self->data = data;

  self->boneCount = data->boneCount;
  self->bones = NewArray<Bone>(static_cast<size_t>(data->boneCount));
  std::vector<int32_t> childCounts(static_cast<size_t>(data->boneCount), 0);
  for (int32_t i = 0; i < data->boneCount; ++i) {
    const BoneData* boneData = data->bones[i];
    Bone* parent = boneData->parent ? &self->bones[boneData->parent->index] : nullptr;
    self->bones[i] = Bone_create(boneData, self, parent);
    if (parent) ++childCounts[static_cast<size_t>(boneData->parent->index)];
  }
  for (int32_t i = 0; i < data->boneCount; ++i) {
    self->bones[i].children = NewArray<Bone*>(static_cast<size_t>(childCounts[i]));
  }
  for (int32_t i = 0; i < data->boneCount; ++i) {
    Bone& bone = self->bones[i];
    if (bone.parent) bone.parent->children[bone.parent->childrenCount++] = &bone;
  }
  self->root = self->boneCount > 0 ? &self->bones[0] : nullptr;

  self->slotCount = data->slotCount;
  self->slots = NewArray<Slot>(static_cast<size_t>(data->slotCount));
  self->drawOrder = NewArray<Slot*>(static_cast<size_t>(data->slotCount));
  for (int32_t i = 0; i < data->slotCount; ++i) {
    Slot& slot = self->slots[i];
    slot.data = data->slots[i];
    slot.bone = &self->bones[slot.data->boneData->index];
    Slot_setToSetupPose(&slot);
    self->drawOrder[i] = &slot;
  }

  self->ikConstraintCount = data->ikConstraintCount;
  self->ikConstraints = NewArray<IkConstraint*>(static_cast<size_t>(data->ikConstraintCount));
  for (int32_t i = 0; i < data->ikConstraintCount; ++i) {
    self->ikConstraints[i] = IkConstraint_create(data->ikConstraints[i], self);
  }
  self->transformConstraintCount = data->transformConstraintCount;
  self->transformConstraints =
      NewArray<TransformConstraint*>(static_cast<size_t>(data->transformConstraintCount));
  for (int32_t i = 0; i < data->transformConstraintCount; ++i) {
    self->transformConstraints[i] = TransformConstraint_create(data->transformConstraints[i], self);
  }
  self->pathConstraintCount = data->pathConstraintCount;
  self->pathConstraints = NewArray<PathConstraint*>(static_cast<size_t>(data->pathConstraintCount));
  for (int32_t i = 0; i < data->pathConstraintCount; ++i) {
    self->pathConstraints[i] = PathConstraint_create(data->pathConstraints[i], self);
  }

  Skeleton_updateCache(self);
  return self;
}

void Skeleton_dispose(Skeleton* self) {
  if (!self) return;
  for (int32_t i = 0; i < self->boneCount; ++i) FreeArray(self->bones[i].children);
  FreeArray(self->bones);
  for (int32_t i = 0; i < self->slotCount; ++i) FreeArray(self->slots[i].deform);
  FreeArray(self->slots);
  for (int32_t i = 0; i < self->ikConstraintCount; ++i) IkConstraint_dispose(self->ikConstraints[i]);
  FreeArray(self->ikConstraints);
  for (int32_t i = 0; i < self->transformConstraintCount; ++i) {
    TransformConstraint_dispose(self->transformConstraints[i]);
  }
  FreeArray(self->transformConstraints);
  for (int32_t i = 0; i < self->pathConstraintCount; ++i) {
    PathConstraint_dispose(self->pathConstraints[i]);
  }
  FreeArray(self->pathConstraints);
  FreeArray(self->drawOrder);
  delete self;
}

void Skeleton_updateCache(Skeleton* self) {
  self->updateCache.clear();
  self->updateCache.reserve(static_cast<size_t>(self->boneCount + self->ikConstraintCount +
                                                self->transformConstraintCount +
                                                self->pathConstraintCount));
  self->updateCacheReset.clear();
  for (int32_t i = 0; i < self->boneCount; ++i) self->bones[i].sorted = 0;

  const int32_t constraintCount =
      self->ikConstraintCount + self->transformConstraintCount + self->pathConstraintCount;
  for (int32_t order = 0; order < constraintCount; ++order) {
    bool found = false;
    for (int32_t i = 0; !found && i < self->ikConstraintCount; ++i) {
      if (self->ikConstraints[i]->data->order != order) continue;
      SortIkConstraint(self, self->ikConstraints[i]);
      found = true;
    }
    for (int32_t i = 0; !found && i < self->transformConstraintCount; ++i) {
      if (self->transformConstraints[i]->data->order != order) continue;
      SortTransformConstraint(self, self->transformConstraints[i]);
      found = true;
    }
    for (int32_t i = 0; !found && i < self->pathConstraintCount; ++i) {
      if (self->pathConstraints[i]->data->order != order) continue;
      SortPathConstraint(self, self->pathConstraints[i]);
      found = true;
    }
  }
  for (int32_t i = 0; i < self->boneCount; ++i) SortBone(self, &self->bones[i]);
}

void Skeleton_updateWorldTransform(Skeleton* self) {
  for (Bone* bone : self->updateCacheReset) {
    bone->ax = bone->x;
    bone->ay = bone->y;
    bone->arotation = bone->rotation;
    bone->ascaleX = bone->scaleX;
    bone->ascaleY = bone->scaleY;
    bone->ashearX = bone->shearX;
    bone->ashearY = bone->shearY;
    bone->appliedValid = 1;
  }
  for (const UpdateCacheEntry& entry : self->updateCache) {
    switch (entry.kind) {
      case kUpdateBone:
        Bone_updateWorldTransform(static_cast<Bone*>(entry.object));
        break;
      case kUpdateIkConstraint:
        IkConstraint_apply(static_cast<IkConstraint*>(entry.object));
        break;
      case kUpdatePathConstraint:
        PathConstraint_apply(static_cast<PathConstraint*>(entry.object));
        break;
      case kUpdateTransformConstraint:
        TransformConstraint_apply(static_cast<TransformConstraint*>(entry.object));
        break;
    }
  }
}

void Skeleton_setBonesToSetupPose(Skeleton* self) {
  for (int32_t i = 0; i < self->boneCount; ++i) Bone_setToSetupPose(&self->bones[i]);
  for (int32_t i = 0; i < self->ikConstraintCount; ++i) {
    IkConstraint& constraint = *self->ikConstraints[i];
    constraint.bendDirection = constraint.data->bendDirection;
    constraint.mix = constraint.data->mix;
  }
  for (int32_t i = 0; i < self->transformConstraintCount; ++i) {
    TransformConstraint& constraint = *self->transformConstraints[i];
    const TransformConstraintData& data = *constraint.data;
    constraint.rotateMix = data.rotateMix;
    constraint.translateMix = data.translateMix;
    constraint.scaleMix = data.scaleMix;
    constraint.shearMix = data.shearMix;
  }
  for (int32_t i = 0; i < self->pathConstraintCount; ++i) {
    PathConstraint& constraint = *self->pathConstraints[i];
    const PathConstraintData& data = *constraint.data;
    constraint.position = data.position;
    constraint.spacing = data.spacing;
    constraint.rotateMix = data.rotateMix;
    constraint.translateMix = data.translateMix;
  }
}

void Skeleton_setSlotsToSetupPose(Skeleton* self) {
  for (int32_t i = 0; i < self->slotCount; ++i) self->drawOrder[i] = &self->slots[i];
  for (int32_t i = 0; i < self->slotCount; ++i) Slot_setToSetupPose(&self->slots[i]);
}

Bone* Skeleton_findBone(const Skeleton* self, const char* name) {
  for (int32_t i = 0; i < self->boneCount; ++i) {
    if (SameName(self->bones[i].data->name, name)) return &self->bones[i];
  }
  return nullptr;
}

Slot* Skeleton_findSlot(const Skeleton* self, const char* name) {
  for (int32_t i = 0; i < self->slotCount; ++i) {
    if (SameName(self->slots[i].data->name, name)) return &self->slots[i];
  }
  return nullptr;
}

Bone** Skeleton_bonesOf(Skeleton* self, BoneData* const* bones, int32_t count) {
  Bone** found = NewArray<Bone*>(static_cast<size_t>(count));
  for (int32_t i = 0; i < count; ++i) found[i] = &self->bones[bones[i]->index];
  return found;
}

Attachment* Skeleton_getAttachmentForSlotIndex(const Skeleton* self, int32_t slotIndex,
                                               const char* name) {
  if (slotIndex < 0) return nullptr;
  if (self->skin) {
    if (Attachment* attachment = Skin_getAttachment(self->skin, slotIndex, name)) return attachment;
  }
  return Skin_getAttachment(self->data->defaultSkin, slotIndex, name);
}

}  // namespace GCore
