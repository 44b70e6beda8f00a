#pragma once
// The common parts of timelines. A timeline keys one property at keyframe
// times; `apply` writes the value for an animation time into a skeleton,
// blended by alpha. Keys are searched with a binary search over the frame
// array; curved timelines store per segment 19 floats: the curve type
// (0 linear, 1 stepped, 2 Bezier) and for a Bezier 9 sampled (x, y) points,
// so that evaluating one is a short walk. Timelines are immutable once read;
// apply writes only into the skeleton and the fired-event list.
#include <cstdint>
#include <vector>

#include "spine/SpineUtil.h"

namespace GCore {

struct Event;
struct Skeleton;

enum TimelineType : int32_t {
  kTimelineRotate = 0,
  kTimelineTranslate = 1,
  kTimelineScale = 2,
  kTimelineShear = 3,
  kTimelineAttachment = 4,
  kTimelineColor = 5,
  kTimelineDeform = 6,
  kTimelineEvent = 7,
  kTimelineDrawOrder = 8,
  kTimelineIkConstraint = 9,
  kTimelineTransformConstraint = 10,
  kTimelinePathConstraintPosition = 11,
  kTimelinePathConstraintSpacing = 12,
  kTimelinePathConstraintMix = 13,
};

struct Timeline;

// `setupPose`: blend from the setup value rather than the current one (this
// timeline is the first to key its property). `mixingOut`: the animation is
// being faded out. `firedEvents` is none when events are not wanted.
struct TimelineOps {
  void (*apply)(const Timeline* self, Skeleton* skeleton, float lastTime, float time,
                std::vector<Event*>* firedEvents, float alpha, bool setupPose, bool mixingOut);
  int32_t (*getPropertyId)(const Timeline* self);
  void (*dispose)(Timeline* self);
};

struct Timeline {
  int32_t type = kTimelineRotate;
  const TimelineOps* functions = nullptr;
};

void Timeline_apply(const Timeline* self, Skeleton* skeleton, float lastTime, float time,
                    std::vector<Event*>* firedEvents, float alpha, bool setupPose,
                    bool mixingOut);
int32_t Timeline_getPropertyId(const Timeline* self);
void Timeline_dispose(Timeline* self);

// Every kind but attachment, event and draw order. For the strided kinds
// `framesCount` counts floats (keyframes x entries); for deform, keyframes.
struct CurveTimeline : Timeline {
  float* curves = nullptr;  // (keyframes - 1) x 19
  int32_t framesCount = 0;
  float* frames = nullptr;
};

// Floats per keyframe of a strided kind (time first); 1 for the others.
int32_t Timeline_entries(int32_t type);

void Animation_initCurveTimeline(CurveTimeline* self, int32_t type, int32_t keyframes,
                                 const TimelineOps* ops);
void Animation_setLinear(CurveTimeline* self, int32_t frameIndex);
void Animation_setStepped(CurveTimeline* self, int32_t frameIndex);
void Animation_setCurve(CurveTimeline* self, int32_t frameIndex, float cx1, float cy1, float cx2,
                        float cy2);
float Animation_getCurvePercent(const CurveTimeline* self, int32_t frameIndex, float percent);

// Offset of the first keyframe whose time is greater than `target`; only
// for targets between the first and the last keyframe time.
int32_t Animation_binarySearch(const float* values, int32_t valuesLength, float target,
                               int32_t step);
int32_t Animation_binarySearch1(const float* values, int32_t valuesLength, float target);

// Where a time falls among the keys of a strided timeline. kBetween: between
// the keyframes at offsets frame - entries and frame, `percent` of the way by
// the segment's curve. kAfter: at or after the last keyframe, at `frame`.
struct KeyPosition {
  enum Where { kBefore, kAfter, kBetween } where = kBefore;
  int32_t frame = 0;
  float percent = 0;
};
KeyPosition Animation_findKey(const CurveTimeline* self, int32_t entries, float time);
// The keyed values (entries - 1 floats after the time) at a position that is
// not kBefore, interpolated linearly between keys.
void Animation_keyedValues(const CurveTimeline* self, int32_t entries, const KeyPosition& at,
                           float* values);

// Sets keyframe `frameIndex` of a strided timeline: its time and values.
void Animation_setFrame(CurveTimeline* self, int32_t frameIndex, float time, float v1,
                        float v2 = 0, float v3 = 0, float v4 = 0);

// A curved timeline of kind T with zeroed frames and linear curves.
template <class T>
T* Timeline_createCurved(int32_t keyframes, int32_t type, const TimelineOps* ops) {
  T* self = new T{};
  Animation_initCurveTimeline(self, type, keyframes, ops);
  return self;
}

// The dispose operation of a curved kind T that owns nothing more.
template <class T>
void Timeline_disposeCurved(Timeline* timeline) {
  auto* self = static_cast<T*>(timeline);
  FreeArray(self->curves);
  FreeArray(self->frames);
  delete self;
}

}  // namespace GCore
