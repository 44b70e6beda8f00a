#pragma once
// Plays animations on tracks of a posed skeleton: one current TrackEntry per
// track, faded in over the entry it replaced (its `mixingFrom` chain), with
// what happens reported to one listener. Reports are queued while the state
// works and delivered in queue order when an operation ends; a listener may
// call the state again, and what that queues is delivered by the delivery
// already under way. Each entry is reported disposed exactly once and freed
// right after; listeners must not keep it. Main thread only.
#include <cstdint>
#include <vector>

namespace GCore {

struct Animation;
struct AnimationState;
struct AnimationStateData;
struct Event;
struct Skeleton;

enum SpineEventType : int32_t {
  kSpineEventStart = 0,
  kSpineEventInterrupt = 1,
  kSpineEventEnd = 2,
  kSpineEventComplete = 3,
  kSpineEventDispose = 4,
  kSpineEventEvent = 5,
};

// Times in seconds.
struct TrackEntry {
  Animation* animation = nullptr;
  TrackEntry* mixingFrom = nullptr;  // the entry fading out under this one
  int32_t trackIndex = 0;
  int32_t loop = 0;
  // While this entry fades out, its events, attachment and draw-order keys
  // act only while the mix is below these.
  float eventThreshold = 0, attachmentThreshold = 0, drawOrderThreshold = 0;
  float animationStart = 0, animationEnd = 0;
  float animationLast = -1, nextAnimationLast = -1;
  float trackTime = 0, trackLast = -1;
  float nextTrackLast = -1;  // -1: never applied
  float trackEnd = 2147483648.0f;
  float timeScale = 1;
  float alpha = 1;
  float mixTime = 0, mixDuration = 0;
  float mixAlpha = 1;  // weight multiplier of the entry fading out under this one
  // Per timeline: 1 when this entry is the first to key its property.
  std::vector<int32_t> timelinesFirst;
  // Per timeline two floats (running total, last difference) of a rotation
  // mix; empty means reset on the next mixed apply.
  std::vector<float> timelinesRotation;
};

using AnimationStateListener = void (*)(AnimationState* state, int32_t type, TrackEntry* entry,
                                        Event* event);

struct EventQueueItem {
  int32_t type = kSpineEventStart;
  TrackEntry* entry = nullptr;
  Event* event = nullptr;  // for kSpineEventEvent only
};

struct EventQueue {
  std::vector<EventQueueItem> objects;
  bool drainDisabled = false;
};

struct AnimationState {
  const AnimationStateData* data = nullptr;
  std::vector<TrackEntry*> tracks;  // none = empty track
  AnimationStateListener listener = nullptr;
  float timeScale = 1;
  std::vector<Event*> events;  // fired by one entry's pass; grows as needed
  EventQueue queue;
  std::vector<int32_t> propertyIds;
  bool animationsChanged = false;
  void* rendererObject = nullptr;  // the engine's owner of the state; never read here
};

AnimationState* AnimationState_create(const AnimationStateData* data);
// Frees every entry without reporting anything.
void AnimationState_dispose(AnimationState* self);
// Plays `animation` on track 0, fading from what it showed.
TrackEntry* AnimationState_setAnimation(AnimationState* self, Animation* animation, bool loop);
void AnimationState_clearTrack(AnimationState* self);
void AnimationState_update(AnimationState* self, float delta);
void AnimationState_apply(AnimationState* self, Skeleton* skeleton);

}  // namespace GCore
