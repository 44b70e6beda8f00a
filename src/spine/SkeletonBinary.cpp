// The skeleton binary reader: the reader object, the file header, bones,
// slots, constraints, linked meshes, events and the animation list. Skins
// and attachments are in SkeletonBinary_skins.cpp, animation records in
// SkeletonBinary_animation.cpp.
#include "spine/SkeletonBinary.h"

#include <string>

#include "spine/Animation.h"
#include "spine/AtlasAttachmentLoader.h"
#include "spine/BoneData.h"
#include "spine/EventData.h"
#include "spine/IkConstraintData.h"
#include "spine/MeshAttachment.h"
#include "spine/PathConstraintData.h"
#include "spine/SkeletonBinaryReader.h"
#include "spine/Skin.h"
#include "spine/SlotData.h"
#include "spine/SpineHost.h"
#include "spine/SpineUtil.h"
#include "spine/TransformConstraintData.h"

namespace GCore {

namespace {

constexpr size_t kMaxErrorLength = 255;

struct DataDisposer {
  void operator()(SkeletonData* data) const { SkeletonData_dispose(data); }
};

// Smallest encodings of the records, for checking counts before allocating.
constexpr uint32_t kMinBoneBytes = 34;
constexpr uint32_t kMinSlotBytes = 8;
constexpr uint32_t kMinIkBytes = 10;
constexpr uint32_t kMinTransformBytes = 44;
constexpr uint32_t kMinPathBytes = 27;
constexpr uint32_t kMinEventBytes = 7;
constexpr uint32_t kMinAnimationBytes = 9;

template <class T>
T** NewRecords(uint32_t count, int32_t& countField) {
  countField = static_cast<int32_t>(count);
  return NewArray<T*>(count);
}

bool ReadHeader(SkeletonReadContext& c) {
  SkeletonData& data = *c.data;
  data.hash = CopyText(TextOrNone(c.in.ReadText()));
  data.version = CopyText(TextOrNone(c.in.ReadText()));
  data.width = c.in.ReadFloat();
  data.height = c.in.ReadFloat();
  c.nonessential = c.in.ReadBoolean();
  if (c.nonessential) {
    c.in.Skip(4);
    c.in.ReadString();  // the images path, for the editor only
  }
  return !c.in.failed() || c.Truncated();
}

bool ReadBones(SkeletonReadContext& c) {
  SkeletonData& data = *c.data;
  uint32_t count;
  if (!c.ReadCount(count, kMinBoneBytes)) return false;
  data.bones = NewRecords<BoneData>(count, data.boneCount);
  for (uint32_t i = 0; i < count; ++i) {
    const std::optional<std::string> name = c.in.ReadString();
    BoneData* parent = nullptr;
    if (i > 0) {
      const uint32_t parentIndex = c.in.ReadVarint();
      if (parentIndex >= i) return c.Fail("Invalid parent bone for bone: ", TextOrNone(name));
      parent = data.bones[parentIndex];
    }
    BoneData* bone = data.bones[i] = BoneData_create(static_cast<int32_t>(i), TextOrNone(name), parent);
    bone->rotation = c.in.ReadFloat();
    bone->x = c.Scaled(c.in.ReadFloat());
    bone->y = c.Scaled(c.in.ReadFloat());
    bone->scaleX = c.in.ReadFloat();
    bone->scaleY = c.in.ReadFloat();
    bone->shearX = c.in.ReadFloat();
    bone->shearY = c.in.ReadFloat();
    bone->length = c.Scaled(c.in.ReadFloat());
    const uint32_t mode = c.in.ReadVarint();
    bone->transformMode =
        mode <= kTransformNoScaleOrReflection ? static_cast<int32_t>(mode) : kTransformNormal;
    if (c.nonessential) c.in.Skip(4);
    if (c.in.failed()) return c.Truncated();
  }
  return true;
}

bool ReadSlots(SkeletonReadContext& c) {
  SkeletonData& data = *c.data;
  uint32_t count;
  if (!c.ReadCount(count, kMinSlotBytes)) return false;
  data.slots = NewRecords<SlotData>(count, data.slotCount);
  for (uint32_t i = 0; i < count; ++i) {
    const std::optional<std::string> name = c.in.ReadString();
    const uint32_t boneIndex = c.in.ReadVarint();
    if (boneIndex >= static_cast<uint32_t>(data.boneCount)) {
      return c.Fail("Invalid bone for slot: ", TextOrNone(name));
    }
    SlotData* slot = data.slots[i] =
        SlotData_create(static_cast<int32_t>(i), TextOrNone(name), data.bones[boneIndex]);
    slot->r = c.in.ReadByte() / 255.0f;
    slot->g = c.in.ReadByte() / 255.0f;
    slot->b = c.in.ReadByte() / 255.0f;
    slot->a = c.in.ReadByte() / 255.0f;
    slot->attachmentName = CopyText(TextOrNone(c.in.ReadString()));
    slot->blendMode = static_cast<int32_t>(c.in.ReadVarint());
    if (c.in.failed()) return c.Truncated();
  }
  return true;
}

// A bone list of a constraint: a count, then that many bone indexes.
bool ReadConstraintBones(SkeletonReadContext& c, const char* kind, const char* name,
                         int32_t& count, BoneData**& bones) {
  uint32_t n;
  if (!c.ReadCount(n, 1)) return false;
  count = static_cast<int32_t>(n);
  bones = NewArray<BoneData*>(n);
  for (uint32_t i = 0; i < n; ++i) {
    const uint32_t index = c.in.ReadVarint();
    if (index >= static_cast<uint32_t>(c.data->boneCount)) {
      return c.Fail((std::string("Invalid bone for ") + kind + ": ").c_str(), name);
    }
    bones[i] = c.data->bones[index];
  }
  return true;
}

bool ReadTargetBone(SkeletonReadContext& c, const char* kind, const char* name, BoneData*& target) {
  const uint32_t index = c.in.ReadVarint();
  if (index >= static_cast<uint32_t>(c.data->boneCount)) {
    return c.Fail((std::string("Invalid target bone for ") + kind + ": ").c_str(), name);
  }
  target = c.data->bones[index];
  return true;
}

bool ReadIkConstraints(SkeletonReadContext& c) {
  SkeletonData& data = *c.data;
  uint32_t count;
  if (!c.ReadCount(count, kMinIkBytes)) return false;
  data.ikConstraints = NewRecords<IkConstraintData>(count, data.ikConstraintCount);
  for (uint32_t i = 0; i < count; ++i) {
    const std::optional<std::string> name = c.in.ReadString();
    IkConstraintData* ik = data.ikConstraints[i] = IkConstraintData_create(TextOrNone(name));
    ik->order = static_cast<int32_t>(c.in.ReadVarint());
    if (!ReadConstraintBones(c, "IK constraint", ik->name, ik->bonesCount, ik->bones)) return false;
    if (ik->bonesCount != 1 && ik->bonesCount != 2) {
      return c.Fail("IK constraint needs 1 or 2 bones: ", ik->name);
    }
    if (!ReadTargetBone(c, "IK constraint", ik->name, ik->target)) return false;
    ik->mix = c.in.ReadFloat();
    ik->bendDirection = c.in.ReadSignedByte();
    if (c.in.failed()) return c.Truncated();
  }
  return true;
}

bool ReadTransformConstraints(SkeletonReadContext& c) {
  SkeletonData& data = *c.data;
  uint32_t count;
  if (!c.ReadCount(count, kMinTransformBytes)) return false;
  data.transformConstraints =
      NewRecords<TransformConstraintData>(count, data.transformConstraintCount);
  for (uint32_t i = 0; i < count; ++i) {
    const std::optional<std::string> name = c.in.ReadString();
    TransformConstraintData* t = data.transformConstraints[i] =
        TransformConstraintData_create(TextOrNone(name));
    t->order = static_cast<int32_t>(c.in.ReadVarint());
    if (!ReadConstraintBones(c, "transform constraint", t->name, t->bonesCount, t->bones) ||
        !ReadTargetBone(c, "transform constraint", t->name, t->target)) {
      return false;
    }
    t->offsetRotation = c.in.ReadFloat();
    t->offsetX = c.Scaled(c.in.ReadFloat());
    t->offsetY = c.Scaled(c.in.ReadFloat());
    t->offsetScaleX = c.in.ReadFloat();
    t->offsetScaleY = c.in.ReadFloat();
    t->offsetShearY = c.in.ReadFloat();
    t->rotateMix = c.in.ReadFloat();
    t->translateMix = c.in.ReadFloat();
    t->scaleMix = c.in.ReadFloat();
    t->shearMix = c.in.ReadFloat();
    if (c.in.failed()) return c.Truncated();
  }
  return true;
}

bool ReadPathConstraints(SkeletonReadContext& c) {
  SkeletonData& data = *c.data;
  uint32_t count;
  if (!c.ReadCount(count, kMinPathBytes)) return false;
  data.pathConstraints = NewRecords<PathConstraintData>(count, data.pathConstraintCount);
  for (uint32_t i = 0; i < count; ++i) {
    const std::optional<std::string> name = c.in.ReadString();
    PathConstraintData* p = data.pathConstraints[i] = PathConstraintData_create(TextOrNone(name));
    p->order = static_cast<int32_t>(c.in.ReadVarint());
    if (!ReadConstraintBones(c, "path constraint", p->name, p->bonesCount, p->bones)) return false;
    const uint32_t slotIndex = c.in.ReadVarint();
    if (slotIndex >= static_cast<uint32_t>(data.slotCount)) {
      return c.Fail("Invalid target slot for path constraint: ", p->name);
    }
    p->target = data.slots[slotIndex];
    p->positionMode = static_cast<int32_t>(c.in.ReadVarint());
    p->spacingMode = static_cast<int32_t>(c.in.ReadVarint());
    p->rotateMode = static_cast<int32_t>(c.in.ReadVarint());
    p->offsetRotation = c.in.ReadFloat();
    p->position = c.in.ReadFloat();
    if (p->positionMode == kPositionFixed) p->position = c.Scaled(p->position);
    p->spacing = c.in.ReadFloat();
    if (p->spacingMode == kSpacingLength || p->spacingMode == kSpacingFixed) {
      p->spacing = c.Scaled(p->spacing);
    }
    p->rotateMix = c.in.ReadFloat();
    p->translateMix = c.in.ReadFloat();
    if (c.in.failed()) return c.Truncated();
  }
  return true;
}

// Linked meshes take their geometry, shared, from a parent mesh that may
// have come later in the file.
bool ResolveLinkedMeshes(SkeletonReadContext& c) {
  for (const LinkedMeshRecord& record : c.reader->linkedMeshes) {
    const Skin* skin =
        record.skin ? SkeletonData_findSkin(c.data, record.skin->c_str()) : c.data->defaultSkin;
    if (!skin) return c.Fail("Skin not found: ", record.skin ? record.skin->c_str() : "default");
    Attachment* parent = Skin_getAttachment(skin, record.slotIndex, record.parent.c_str());
    if (!parent || parent->type != kAttachmentMesh) {
      return c.Fail("Parent mesh not found: ", record.parent.c_str());
    }
    auto* parentMesh = static_cast<MeshAttachment*>(parent);
    MeshAttachment* mesh = record.mesh;
    if (!c.Expand(static_cast<uint64_t>(parentMesh->worldVerticesLength))) return false;
    mesh->parentMesh = parentMesh;
    mesh->bonesCount = parentMesh->bonesCount;
    mesh->bones = parentMesh->bones;
    mesh->verticesCount = parentMesh->verticesCount;
    mesh->vertices = parentMesh->vertices;
    mesh->worldVerticesLength = parentMesh->worldVerticesLength;
    mesh->regionUVs = parentMesh->regionUVs;
    mesh->trianglesCount = parentMesh->trianglesCount;
    mesh->triangles = parentMesh->triangles;
    mesh->hullLength = parentMesh->hullLength;
    mesh->edgesCount = parentMesh->edgesCount;
    mesh->edges = parentMesh->edges;
    mesh->width = parentMesh->width;
    mesh->height = parentMesh->height;
    MeshAttachment_updateUVs(mesh);
    AttachmentLoader_configureAttachment(c.reader->attachmentLoader, mesh);
  }
  return true;
}

bool ReadEvents(SkeletonReadContext& c) {
  SkeletonData& data = *c.data;
  uint32_t count;
  if (!c.ReadCount(count, kMinEventBytes)) return false;
  data.events = NewRecords<EventData>(count, data.eventCount);
  for (uint32_t i = 0; i < count; ++i) {
    const std::optional<std::string> name = c.in.ReadString();
    EventData* event = data.events[i] = EventData_create(TextOrNone(name));
    event->intValue = c.in.ReadSignedVarint();
    event->floatValue = c.in.ReadFloat();
    event->stringValue = CopyText(TextOrNone(c.in.ReadString()));
    if (c.in.failed()) return c.Truncated();
  }
  return true;
}

bool ReadAnimations(SkeletonReadContext& c) {
  SkeletonData& data = *c.data;
  uint32_t count;
  if (!c.ReadCount(count, kMinAnimationBytes)) return false;
  data.animations = NewRecords<Animation>(count, data.animationCount);
  for (uint32_t i = 0; i < count; ++i) {
    const std::optional<std::string> name = c.in.ReadString();
    data.animations[i] = ReadAnimation(c, TextOrNone(name));
    if (!data.animations[i]) return false;
  }
  return true;
}

}  // namespace

bool SkeletonReadContext::Fail(const char* message, const char* detail) {
  if (in.failed()) return Truncated();
  SkeletonBinary_setError(reader, message, detail);
  return false;
}

bool SkeletonReadContext::Truncated() {
  SkeletonBinary_setError(reader, "Skeleton file ends early", nullptr);
  return false;
}

bool SkeletonReadContext::ReadCount(uint32_t& count, uint32_t bytesEach) {
  count = in.ReadVarint();
  return in.Fits(count, bytesEach) || Truncated();
}

bool SkeletonReadContext::Expand(uint64_t values) {
  expanded += values;
  if (expanded <= kMaxExpandedValues) return true;
  return Fail("Skeleton data expands beyond the reader's limit", nullptr);
}

SkeletonBinary* SkeletonBinary_create(const Atlas* atlas) {
  SkeletonBinary* self = new SkeletonBinary{};
  self->attachmentLoader = AtlasAttachmentLoader_create(atlas);
  return self;
}

void SkeletonBinary_dispose(SkeletonBinary* self) {
  if (!self) return;
  if (self->ownsLoader) AttachmentLoader_dispose(self->attachmentLoader);
  FreeText(self->error);
  delete self;
}

void SkeletonBinary_setError(SkeletonBinary* self, const char* message, const char* detail) {
  std::string text = message ? message : "";
  if (detail) text += detail;
  if (text.size() > kMaxErrorLength) text.resize(kMaxErrorLength);
  FreeText(self->error);
  self->error = CopyText(text.c_str());
}

SkeletonData* SkeletonBinary_readSkeletonDataFile(SkeletonBinary* self, const char* path) {
  std::vector<char> bytes;
  if (!path || !SpineHost_get().readFile(path, bytes) || bytes.empty()) {
    SkeletonBinary_setError(self, "Unable to read skeleton file: ", path);
    return nullptr;
  }
  return SkeletonBinary_readSkeletonData(self, reinterpret_cast<const unsigned char*>(bytes.data()),
                                         bytes.size());
}

SkeletonData* SkeletonBinary_readSkeletonData(SkeletonBinary* self, const unsigned char* binary,
                                              size_t length) {
  FreeText(self->error);
  self->linkedMeshes.clear();
  std::unique_ptr<SkeletonData, DataDisposer> data(SkeletonData_create());
  SkeletonReadContext context{self, BinaryInput(binary, binary ? length : 0), data.get()};
  const bool read = ReadHeader(context) && ReadBones(context) &&
                    ReadSlots(context) && ReadIkConstraints(context) &&
                    ReadTransformConstraints(context) && ReadPathConstraints(context) &&
                    ReadSkins(context) && ResolveLinkedMeshes(context) && ReadEvents(context) &&
                    ReadAnimations(context);
  // The records point into the data, which is gone after a failure.
  self->linkedMeshes.clear();
  return read ? data.release() : nullptr;
}

}  // namespace GCore
