#include "spine/AnimationState.h"

#include <algorithm>
#include <cmath>

#include "spine/Animation.h"
#include "spine/AnimationStateData.h"
#include "spine/Bone.h"
#include "spine/BoneData.h"
#include "spine/BoneTimelines.h"
#include "spine/Event.h"
#include "spine/Skeleton.h"
#include "spine/SpineUtil.h"
#include "spine/Timeline.h"

namespace GCore {

namespace {

void Queue(AnimationState* self, int32_t type, TrackEntry* entry, Event* event = nullptr) {
  self->queue.objects.push_back({type, entry, event});
}

// Delivers the queue to the listener. An end report is followed by the
// dispose report and frees the entry. Reports queued by listeners meanwhile
// are delivered in the same pass. Returns true when `watched` was freed.
bool Drain(AnimationState* self, const TrackEntry* watched = nullptr) {
  EventQueue& queue = self->queue;
  if (queue.drainDisabled) return false;
  queue.drainDisabled = true;
  bool watchedFreed = false;
  for (size_t i = 0; i < queue.objects.size(); ++i) {
    const EventQueueItem item = queue.objects[i];  // listeners may grow the queue
    switch (item.type) {
      case kSpineEventEnd:
        if (self->listener) self->listener(self, kSpineEventEnd, item.entry, nullptr);
        if (self->listener) self->listener(self, kSpineEventDispose, item.entry, nullptr);
        watchedFreed = watchedFreed || item.entry == watched;
        delete item.entry;
        break;
      case kSpineEventEvent:
        if (self->listener) self->listener(self, kSpineEventEvent, item.entry, item.event);
        break;
      default:
        if (self->listener) self->listener(self, item.type, item.entry, nullptr);
        break;
    }
  }
  queue.objects.clear();
  queue.drainDisabled = false;
  return watchedFreed;
}

TrackEntry* ExpandToIndex(AnimationState* self, size_t index) {
  if (index < self->tracks.size()) return self->tracks[index];
  self->tracks.resize(index + 1, nullptr);
  return nullptr;
}

TrackEntry* MakeEntry(AnimationState* self, int32_t trackIndex, Animation* animation, bool loop,
                      const TrackEntry* last) {
  TrackEntry* entry = new TrackEntry{};
  entry->trackIndex = trackIndex;
  entry->animation = animation;
  entry->loop = loop ? 1 : 0;
  entry->animationEnd = animation->duration;
  entry->mixDuration =
      last ? AnimationStateData_getMix(self->data, last->animation, animation) : 0;
  return entry;
}

void SetCurrent(AnimationState* self, size_t index, TrackEntry* entry, bool interrupt) {
  TrackEntry* from = self->tracks[index];
  self->tracks[index] = entry;
  if (from) {
    if (interrupt) Queue(self, kSpineEventInterrupt, from);
    entry->mixingFrom = from;
    entry->mixTime = 0;
    from->timelinesRotation.clear();
    if (from->mixingFrom && from->mixDuration > 0) {
      entry->mixAlpha *= std::min(from->mixTime / from->mixDuration, 1.0f);
    }
  }
  Queue(self, kSpineEventStart, entry);
  self->animationsChanged = true;
}

void UpdateMixingFrom(AnimationState* self, TrackEntry* entry, float delta) {
  TrackEntry* from = entry->mixingFrom;
  if (!from) return;
  UpdateMixingFrom(self, from, delta);
  if (entry->mixTime >= entry->mixDuration && !from->mixingFrom && entry->mixTime > 0) {
    entry->mixingFrom = nullptr;
    Queue(self, kSpineEventEnd, from);
    self->animationsChanged = true;
    return;
  }
  from->animationLast = from->nextAnimationLast;
  from->trackLast = from->nextTrackLast;
  from->trackTime += delta * from->timeScale;
  entry->mixTime += delta * entry->timeScale;
}

float EntryTime(const TrackEntry* entry) {
  if (entry->loop) {
    const float duration = entry->animationEnd - entry->animationStart;
    if (duration == 0) return entry->animationStart;
    return std::fmod(entry->trackTime, duration) + entry->animationStart;
  }
  return std::min(entry->trackTime + entry->animationStart, entry->animationEnd);
}

bool IsFirst(const TrackEntry* entry, int32_t i) {
  return static_cast<size_t>(i) < entry->timelinesFirst.size() && entry->timelinesFirst[i];
}

void ApplyRotateTimeline(const Timeline* timeline, Skeleton* skeleton, float time, float alpha,
                         bool setupPose, float* cache, bool firstFrame) {
  if (firstFrame) cache[0] = 0;
  if (alpha == 1) {
    Timeline_apply(timeline, skeleton, 0, time, nullptr, 1, setupPose, false);
    return;
  }
  const auto* rotate = static_cast<const RotateTimeline*>(timeline);
  Bone& bone = skeleton->bones[rotate->boneIndex];
  const float setup = bone.data->rotation;
  const KeyPosition at = Animation_findKey(rotate, 2, time);
  if (at.where == KeyPosition::kBefore) {
    if (setupPose) bone.rotation = setup;
    return;
  }
  const float r2 = RotateTimeline_keyedRotation(rotate, setup, at);
  const float r1 = setupPose ? setup : bone.rotation;
  float diff = r2 - r1, total;
  if (diff == 0) {
    total = cache[0];
  } else {
    // Keeps turning the way the mix started, so that a bone crossing the
    // half turn does not snap back the other way.
    diff = WrapRotation(diff);
    float lastTotal = firstFrame ? 0 : cache[0];
    const float lastDiff = firstFrame ? diff : cache[1];
    const bool current = diff > 0;
    bool direction = lastTotal >= 0;
    if (Sign(lastDiff) != Sign(diff) && std::fabs(lastDiff) <= 90) {
      if (std::fabs(lastTotal) > 180) lastTotal += 360 * Sign(lastTotal);
      direction = current;
    }
    total = diff + lastTotal - std::fmod(lastTotal, 360.0f);
    if (direction != current) total += 360 * Sign(lastTotal);
    cache[0] = total;
  }
  cache[1] = diff;
  bone.rotation = WrapRotation(r1 + total * alpha);
}

// Queues the events an entry's pass fired, and its completion.
void QueueEvents(AnimationState* self, TrackEntry* entry, float animationTime) {
  const float start = entry->animationStart, end = entry->animationEnd;
  const float duration = end - start;
  const float wrapped = std::fmod(entry->trackLast, duration);
  const size_t count = self->events.size();
  size_t i = 0;
  // Events before the loop wrapped, then after it.
  for (; i < count; ++i) {
    Event* event = self->events[i];
    if (event->time < wrapped) break;
    if (event->time > end) continue;
    Queue(self, kSpineEventEvent, entry, event);
  }
  const bool complete = entry->loop
                            ? wrapped > std::fmod(entry->trackTime, duration)
                            : animationTime >= end && entry->animationLast < end;
  if (complete) Queue(self, kSpineEventComplete, entry);
  for (; i < count; ++i) {
    Event* event = self->events[i];
    if (event->time < start) continue;
    Queue(self, kSpineEventEvent, entry, event);
  }
}

void PrepareRotationCache(TrackEntry* entry, int32_t timelineCount, bool& firstFrame) {
  firstFrame = entry->timelinesRotation.empty();
  if (firstFrame) entry->timelinesRotation.assign(static_cast<size_t>(timelineCount) * 2, 0.0f);
}

float ApplyMixingFrom(AnimationState* self, TrackEntry* entry, Skeleton* skeleton) {
  TrackEntry* from = entry->mixingFrom;
  if (from->mixingFrom) ApplyMixingFrom(self, from, skeleton);
  const float mix =
      entry->mixDuration == 0 ? 1 : std::min(entry->mixTime / entry->mixDuration, 1.0f);
  std::vector<Event*>* events = mix < from->eventThreshold ? &self->events : nullptr;
  const bool attachments = mix < from->attachmentThreshold;
  const bool drawOrder = mix < from->drawOrderThreshold;
  const float animationLast = from->animationLast, animationTime = EntryTime(from);
  const float alpha = from->alpha * entry->mixAlpha * (1 - mix);

  const Animation& animation = *from->animation;
  bool firstFrame;
  PrepareRotationCache(from, animation.timelinesCount, firstFrame);
  for (int32_t i = 0; i < animation.timelinesCount; ++i) {
    const Timeline* timeline = animation.timelines[i];
    const bool setupPose = IsFirst(from, i);
    if (timeline->type == kTimelineRotate) {
      ApplyRotateTimeline(timeline, skeleton, animationTime, alpha, setupPose,
                          &from->timelinesRotation[static_cast<size_t>(i) * 2], firstFrame);
      continue;
    }
    if (!setupPose && ((timeline->type == kTimelineAttachment && !attachments) ||
                       (timeline->type == kTimelineDrawOrder && !drawOrder))) {
      continue;
    }
    Timeline_apply(timeline, skeleton, animationLast, animationTime, events, alpha, setupPose,
                   true);
  }

  if (entry->mixDuration > 0) QueueEvents(self, from, animationTime);
  self->events.clear();
  from->nextAnimationLast = animationTime;
  from->nextTrackLast = from->trackTime;
  return mix;
}

bool AddPropertyId(AnimationState* self, int32_t id) {
  if (std::find(self->propertyIds.begin(), self->propertyIds.end(), id) !=
      self->propertyIds.end()) {
    return false;
  }
  self->propertyIds.push_back(id);
  return true;
}

// Marks the timelines that are first to key their property. `all`: every
// timeline of the entry is, whatever keyed it before.
void MarkFirst(AnimationState* self, TrackEntry* entry, bool all) {
  const Animation& animation = *entry->animation;
  const size_t count = static_cast<size_t>(animation.timelinesCount);
  if (entry->timelinesFirst.size() != count) entry->timelinesFirst.assign(count, 0);
  for (size_t i = 0; i < count; ++i) {
    const bool added = AddPropertyId(self, Timeline_getPropertyId(animation.timelines[i]));
    entry->timelinesFirst[i] = all || added ? 1 : 0;
  }
}

void MarkChain(AnimationState* self, TrackEntry* newest, bool oldestAll) {
  std::vector<TrackEntry*> chain;
  for (TrackEntry* entry = newest; entry; entry = entry->mixingFrom) chain.push_back(entry);
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    MarkFirst(self, *it, oldestAll && it == chain.rbegin());
  }
}

void AnimationsChanged(AnimationState* self) {
  self->animationsChanged = false;
  self->propertyIds.clear();
  bool lowest = true;
  for (TrackEntry* entry : self->tracks) {
    if (!entry) continue;
    MarkChain(self, entry, lowest);
    lowest = false;
  }
}

}  // namespace

AnimationState* AnimationState_create(const AnimationStateData* data) {
  AnimationState* self = new AnimationState{};
  self->data = data;
  self->events.reserve(128);
  self->queue.objects.reserve(16);
  self->propertyIds.reserve(128);
  return self;
}

void AnimationState_dispose(AnimationState* self) {
  if (!self) return;
  for (TrackEntry* entry : self->tracks) {
    while (entry) {
      TrackEntry* from = entry->mixingFrom;
      delete entry;
      entry = from;
    }
  }
  delete self;
}

TrackEntry* AnimationState_setAnimation(AnimationState* self, Animation* animation, bool loop) {
  if (!animation) return nullptr;
  bool interrupt = true;
  TrackEntry* current = ExpandToIndex(self, 0);
  if (current && current->nextTrackLast == -1) {
    // Never applied: it is dropped rather than faded from.
    TrackEntry* from = current->mixingFrom;
    self->tracks[0] = from;
    Queue(self, kSpineEventInterrupt, current);
    Queue(self, kSpineEventEnd, current);
    current = from;
    interrupt = false;
  }
  TrackEntry* entry = MakeEntry(self, 0, animation, loop, current);
  SetCurrent(self, 0, entry, interrupt);
  // A listener may have ended the new entry already; it is gone then.
  return Drain(self, entry) ? nullptr : entry;
}

void AnimationState_clearTrack(AnimationState* self) {
  if (self->tracks.empty() || !self->tracks[0]) return;
  TrackEntry* current = self->tracks[0];
  Queue(self, kSpineEventEnd, current);
  for (TrackEntry* entry = current; TrackEntry* from = entry->mixingFrom; entry = from) {
    Queue(self, kSpineEventEnd, from);
    entry->mixingFrom = nullptr;
  }
  self->tracks[0] = nullptr;
  self->animationsChanged = true;
  Drain(self);
}

void AnimationState_update(AnimationState* self, float delta) {
  delta *= self->timeScale;
  for (TrackEntry*& current : self->tracks) {
    if (!current) continue;
    current->animationLast = current->nextAnimationLast;
    current->trackLast = current->nextTrackLast;
    const float currentDelta = delta * current->timeScale;
    if (current->trackLast >= current->trackEnd && !current->mixingFrom) {
      Queue(self, kSpineEventEnd, current);
      current = nullptr;
      self->animationsChanged = true;
      continue;
    }
    UpdateMixingFrom(self, current, delta);
    current->trackTime += currentDelta;
  }
  Drain(self);
}

void AnimationState_apply(AnimationState* self, Skeleton* skeleton) {
  if (self->animationsChanged) AnimationsChanged(self);
  for (size_t t = 0; t < self->tracks.size(); ++t) {
    TrackEntry* current = self->tracks[t];
    if (!current) continue;
    float mix = current->alpha;
    if (current->mixingFrom) {
      mix *= ApplyMixingFrom(self, current, skeleton);
    } else if (current->trackTime >= current->trackEnd) {
      mix = 0;
    }
    const float animationLast = current->animationLast, animationTime = EntryTime(current);
    const Animation& animation = *current->animation;
    if (mix == 1) {
      for (int32_t i = 0; i < animation.timelinesCount; ++i) {
        Timeline_apply(animation.timelines[i], skeleton, animationLast, animationTime,
                       &self->events, 1, true, false);
      }
    } else {
      bool firstFrame;
      PrepareRotationCache(current, animation.timelinesCount, firstFrame);
      for (int32_t i = 0; i < animation.timelinesCount; ++i) {
        const Timeline* timeline = animation.timelines[i];
        if (timeline->type == kTimelineRotate) {
          ApplyRotateTimeline(timeline, skeleton, animationTime, mix, IsFirst(current, i),
                              &current->timelinesRotation[static_cast<size_t>(i) * 2],
                              firstFrame);
        } else {
          Timeline_apply(timeline, skeleton, animationLast, animationTime, &self->events, mix,
                         IsFirst(current, i), false);
        }
      }
    }
    QueueEvents(self, current, animationTime);
    self->events.clear();
    current->nextAnimationLast = animationTime;
    current->nextTrackLast = current->trackTime;
  }
  Drain(self);
}

}  // namespace GCore
