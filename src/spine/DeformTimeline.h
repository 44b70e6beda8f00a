#pragma once
// A timeline that keys the vertices of one vertex attachment shown by one
// slot: per keyframe an owned array of `frameVerticesCount` floats (offsets
// for a weighted attachment, absolute positions otherwise), or none for the
// setup vertices. It writes the slot's deform values.
#include <cstdint>

#include "spine/Timeline.h"

namespace GCore {

struct VertexAttachment;

struct DeformTimeline : CurveTimeline {  // framesCount counts keyframes
  int32_t frameVerticesCount = 0;
  float** frameVertices = nullptr;
  int32_t slotIndex = 0;
  const VertexAttachment* attachment = nullptr;
};

DeformTimeline* Animation_createDeformTimeline(int32_t keyframes, int32_t frameVerticesCount);
// Stores a copy of `frameVerticesCount` floats (or none) for keyframe `frameIndex`.
void Animation_setDeformFrame(DeformTimeline* self, int32_t frameIndex, float time,
                              const float* vertices);

}  // namespace GCore
