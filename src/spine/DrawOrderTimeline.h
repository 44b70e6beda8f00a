#pragma once
// A timeline of draw orders (time; per keyframe an owned array of
// `slotsCount` setup slot indexes in drawing order, or none for the setup
// order). The reader guarantees each array is a permutation of the slots.
#include <cstdint>

#include "spine/Timeline.h"

namespace GCore {

struct DrawOrderTimeline : Timeline {
  int32_t framesCount = 0;  // keyframes
  float* frames = nullptr;
  int32_t** drawOrders = nullptr;
  int32_t slotsCount = 0;
};

DrawOrderTimeline* Animation_createDrawOrderTimeline(int32_t keyframes, int32_t slotsCount);
// Stores a copy of `slotsCount` indexes (or none) for keyframe `frameIndex`.
void Animation_setDrawOrderFrame(DrawOrderTimeline* self, int32_t frameIndex, float time,
                                 const int32_t* drawOrder);

}  // namespace GCore
