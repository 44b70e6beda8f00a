#include "spine/DeformTimeline.h"

#include "spine/MeshAttachment.h"
#include "spine/Skeleton.h"
#include "spine/Slot.h"

namespace GCore {

namespace {

int32_t DeformPropertyId(const Timeline* timeline) {
  return (kTimelineDeform << 24) + static_cast<const DeformTimeline*>(timeline)->slotIndex;
}

// The slot shows the deformed attachment, or a mesh that inherits its deform.
bool Deforms(const DeformTimeline* self, const Attachment* shown) {
  if (!shown) return false;
  if (shown == self->attachment) return true;
  if (shown->type != kAttachmentMesh) return false;
  const auto* mesh = static_cast<const MeshAttachment*>(shown);
  return mesh->inheritDeform && mesh->parentMesh == self->attachment;
}

// Keyed vertices of keyframe k: none stands for the setup vertices of an
// unweighted attachment and for zero offsets of a weighted one.
float KeyedVertex(const DeformTimeline* self, int32_t k, int32_t i) {
  if (const float* vertices = self->frameVertices[k]) return vertices[i];
  return self->attachment->bones ? 0.0f : self->attachment->vertices[i];
}

void ApplyDeform(const Timeline* timeline, Skeleton* skeleton, float, float time,
                 std::vector<Event*>*, float alpha, bool setupPose, bool) {
  const auto* self = static_cast<const DeformTimeline*>(timeline);
  Slot& slot = skeleton->slots[self->slotIndex];
  if (!Deforms(self, slot.attachment)) return;
  const float* frames = self->frames;
  if (time < frames[0]) {
    if (setupPose) slot.deformCount = 0;
    return;
  }

  const int32_t n = self->frameVerticesCount;
  if (slot.deformCount < n && slot.deformCapacity < n) {
    FreeArray(slot.deform);
    slot.deform = NewArray<float>(static_cast<size_t>(n));
    slot.deformCapacity = n;
  }
  if (slot.deformCount != n) alpha = 1;
  slot.deformCount = n;
  float* vertices = slot.deform;

  const int32_t keyframes = self->framesCount;
  int32_t next = keyframes - 1;
  float percent = 0;
  const bool between = time < frames[next];
  if (between) {
    next = Animation_binarySearch1(frames, keyframes, time);
    const float frameTime = frames[next];
    percent = Animation_getCurvePercent(
        self, next - 1, 1 - (time - frameTime) / (frames[next - 1] - frameTime));
  }
  const bool weighted = self->attachment->bones != nullptr;
  const float* setup = self->attachment->vertices;
  for (int32_t i = 0; i < n; ++i) {
    float value = KeyedVertex(self, next, i);
    if (between) {
      const float previous = KeyedVertex(self, next - 1, i);
      value = previous + (value - previous) * percent;
    }
    if (alpha == 1) {
      vertices[i] = value;
    } else if (setupPose) {
      vertices[i] = weighted ? value * alpha : setup[i] + (value - setup[i]) * alpha;
    } else {
      vertices[i] += (value - vertices[i]) * alpha;
    }
  }
}

void DisposeDeform(Timeline* timeline) {
  auto* self = static_cast<DeformTimeline*>(timeline);
  for (int32_t i = 0; i < self->framesCount; ++i) FreeArray(self->frameVertices[i]);
  FreeArray(self->frameVertices);
  FreeArray(self->curves);
  FreeArray(self->frames);
  delete self;
}

const TimelineOps kDeformOps = {ApplyDeform, DeformPropertyId, DisposeDeform};

}  // namespace

DeformTimeline* Animation_createDeformTimeline(int32_t keyframes, int32_t frameVerticesCount) {
  DeformTimeline* self =
      Timeline_createCurved<DeformTimeline>(keyframes, kTimelineDeform, &kDeformOps);
  self->frameVerticesCount = frameVerticesCount > 0 ? frameVerticesCount : 0;
  self->frameVertices = NewArray<float*>(static_cast<size_t>(self->framesCount));
  return self;
}

void Animation_setDeformFrame(DeformTimeline* self, int32_t frameIndex, float time,
                              const float* vertices) {
  self->frames[frameIndex] = time;
  FreeArray(self->frameVertices[frameIndex]);
  if (!vertices) return;
  const size_t n = static_cast<size_t>(self->frameVerticesCount);
  self->frameVertices[frameIndex] = NewArray<float>(n);
  if (n) std::memcpy(self->frameVertices[frameIndex], vertices, n * sizeof(float));
}

}  // namespace GCore
