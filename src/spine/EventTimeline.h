#pragma once
// A timeline of keyed events (time; an owned Event per keyframe). Applying
// it appends to the fired-event list the events keyed in (lastTime, time];
// when the animation looped (lastTime > time) those after lastTime come
// first, then those from the first key up to time.
#include <cstdint>

#include "spine/Timeline.h"

namespace GCore {

struct EventTimeline : Timeline {
  int32_t framesCount = 0;  // keyframes
  float* frames = nullptr;
  Event** events = nullptr;
};

EventTimeline* Animation_createEventTimeline(int32_t keyframes);
// Takes over `event` as keyframe `frameIndex`, at the event's time.
void Animation_setEventFrame(EventTimeline* self, int32_t frameIndex, Event* event);

}  // namespace GCore
