#include "spine/EventTimeline.h"

#include "spine/Event.h"

namespace GCore {

namespace {

// Past every key a track can reach.
constexpr float kEndOfTime = 2147483648.0f;

int32_t EventPropertyId(const Timeline*) { return kTimelineEvent << 24; }

void Fire(const EventTimeline* self, float lastTime, float time,
          std::vector<Event*>& firedEvents) {
  const float* frames = self->frames;
  const int32_t count = self->framesCount;
  // Written so that a time that is not a number fires nothing.
  if (!(lastTime < frames[count - 1])) return;
  if (time < frames[0]) return;
  int32_t frame = 0;
  if (lastTime >= frames[0]) frame = Animation_binarySearch1(frames, count, lastTime);
  for (; frame < count && time >= frames[frame]; ++frame) {
    firedEvents.push_back(self->events[frame]);
  }
}

void ApplyEvent(const Timeline* timeline, Skeleton*, float lastTime, float time,
                std::vector<Event*>* firedEvents, float, bool, bool) {
  if (!firedEvents) return;
  const auto* self = static_cast<const EventTimeline*>(timeline);
  if (lastTime > time) {
    // Looped: the keys after lastTime first, then from the start.
    Fire(self, lastTime, kEndOfTime, *firedEvents);
    lastTime = -1;
  }
  Fire(self, lastTime, time, *firedEvents);
}

void DisposeEvent(Timeline* timeline) {
  auto* self = static_cast<EventTimeline*>(timeline);
  for (int32_t i = 0; i < self->framesCount; ++i) Event_dispose(self->events[i]);
  FreeArray(self->events);
  FreeArray(self->frames);
  delete self;
}

const TimelineOps kEventOps = {ApplyEvent, EventPropertyId, DisposeEvent};

}  // namespace

EventTimeline* Animation_createEventTimeline(int32_t keyframes) {
  EventTimeline* self = new EventTimeline{};
  self->type = kTimelineEvent;
  self->functions = &kEventOps;
  self->framesCount = keyframes > 0 ? keyframes : 0;
  self->frames = NewArray<float>(static_cast<size_t>(self->framesCount));
  self->events = NewArray<Event*>(static_cast<size_t>(self->framesCount));
  return self;
}

void Animation_setEventFrame(EventTimeline* self, int32_t frameIndex, Event* event) {
  self->frames[frameIndex] = event->time;
  Event_dispose(self->events[frameIndex]);
  self->events[frameIndex] = event;
}

}  // namespace GCore
