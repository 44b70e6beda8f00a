#pragma once
// Timelines that key a slot: its colour (time, r, g, b, a) and the
// attachment it shows (time; an owned name per keyframe, none = nothing).
#include <cstdint>

#include "spine/Timeline.h"

namespace GCore {

struct ColorTimeline : CurveTimeline {
  int32_t slotIndex = 0;
};

struct AttachmentTimeline : Timeline {
  int32_t framesCount = 0;  // keyframes
  float* frames = nullptr;
  int32_t slotIndex = 0;
  const char** attachmentNames = nullptr;
};

ColorTimeline* Animation_createColorTimeline(int32_t keyframes);
AttachmentTimeline* Animation_createAttachmentTimeline(int32_t keyframes);
// Stores a copy of `name` (or none) for keyframe `frameIndex`.
void Animation_setAttachmentFrame(AttachmentTimeline* self, int32_t frameIndex, float time,
                                  const char* name);

}  // namespace GCore
