#include "spine/Timeline.h"

#include "spine/SpineUtil.h"

namespace GCore {

namespace {

constexpr int32_t kCurveFloats = 19;
constexpr float kCurveLinear = 0, kCurveStepped = 1, kCurveBezier = 2;

}  // namespace

void Timeline_apply(const Timeline* self, Skeleton* skeleton, float lastTime, float time,
                    std::vector<Event*>* firedEvents, float alpha, bool setupPose,
                    bool mixingOut) {
  self->functions->apply(self, skeleton, lastTime, time, firedEvents, alpha, setupPose, mixingOut);
}

int32_t Timeline_getPropertyId(const Timeline* self) { return self->functions->getPropertyId(self); }

void Timeline_dispose(Timeline* self) {
  if (self) self->functions->dispose(self);
}

int32_t Timeline_entries(int32_t type) {
  switch (type) {
    case kTimelineRotate:
    case kTimelinePathConstraintPosition:
    case kTimelinePathConstraintSpacing:
      return 2;
    case kTimelineTranslate:
    case kTimelineScale:
    case kTimelineShear:
    case kTimelineIkConstraint:
    case kTimelinePathConstraintMix:
      return 3;
    case kTimelineColor:
    case kTimelineTransformConstraint:
      return 5;
    default:
      return 1;
  }
}

void Animation_initCurveTimeline(CurveTimeline* self, int32_t type, int32_t keyframes,
                                 const TimelineOps* ops) {
  self->type = type;
  self->functions = ops;
  const size_t keys = keyframes > 0 ? static_cast<size_t>(keyframes) : 0;
  self->curves = NewArray<float>(keys > 1 ? (keys - 1) * kCurveFloats : 0);
  self->framesCount = static_cast<int32_t>(keys) * Timeline_entries(type);
  self->frames = NewArray<float>(static_cast<size_t>(self->framesCount));
}

void Animation_setLinear(CurveTimeline* self, int32_t frameIndex) {
  self->curves[frameIndex * kCurveFloats] = kCurveLinear;
}

void Animation_setStepped(CurveTimeline* self, int32_t frameIndex) {
  self->curves[frameIndex * kCurveFloats] = kCurveStepped;
}

void Animation_setCurve(CurveTimeline* self, int32_t frameIndex, float cx1, float cy1, float cx2,
                        float cy2) {
  const float tmpx = (-cx1 * 2 + cx2) * 0.03f, tmpy = (-cy1 * 2 + cy2) * 0.03f;
  const float dddfx = ((cx1 - cx2) * 3 + 1) * 0.006f, dddfy = ((cy1 - cy2) * 3 + 1) * 0.006f;
  float ddfx = tmpx * 2 + dddfx, ddfy = tmpy * 2 + dddfy;
  float dfx = cx1 * 0.3f + tmpx + dddfx * 0.16666667f;
  float dfy = cy1 * 0.3f + tmpy + dddfy * 0.16666667f;
  float x = dfx, y = dfy;
  float* curve = self->curves + frameIndex * kCurveFloats;
  curve[0] = kCurveBezier;
  for (int32_t i = 1; i < kCurveFloats; i += 2) {
    curve[i] = x;
    curve[i + 1] = y;
    dfx += ddfx;
    dfy += ddfy;
    ddfx += dddfx;
    ddfy += dddfy;
    x += dfx;
    y += dfy;
  }
}

float Animation_getCurvePercent(const CurveTimeline* self, int32_t frameIndex, float percent) {
  percent = percent < 0 ? 0 : percent > 1 ? 1 : percent;
  const float* curve = self->curves + frameIndex * kCurveFloats;
  if (curve[0] == kCurveLinear) return percent;
  if (curve[0] == kCurveStepped) return 0;
  float x = 0;
  for (int32_t i = 1; i < kCurveFloats; i += 2) {
    x = curve[i];
    if (x >= percent) {
      if (i == 1) return curve[i + 1] * percent / x;
      const float prevX = curve[i - 2], prevY = curve[i - 1];
      return prevY + (curve[i + 1] - prevY) * (percent - prevX) / (x - prevX);
    }
  }
  const float y = curve[kCurveFloats - 1];
  return y + (1 - y) * (percent - x) / (1 - x);
}

int32_t Animation_binarySearch(const float* values, int32_t valuesLength, float target,
                               int32_t step) {
  int32_t low = 0, high = valuesLength / step - 2;
  if (high <= 0) return step;
  int32_t current = high >> 1;
  while (true) {
    if (values[(current + 1) * step] <= target) {
      low = current + 1;
    } else {
      high = current;
    }
    if (low == high) return (low + 1) * step;
    current = (low + high) >> 1;
  }
}

int32_t Animation_binarySearch1(const float* values, int32_t valuesLength, float target) {
  return Animation_binarySearch(values, valuesLength, target, 1);
}

KeyPosition Animation_findKey(const CurveTimeline* self, int32_t entries, float time) {
  const float* frames = self->frames;
  if (time < frames[0]) return {};
  const int32_t last = self->framesCount - entries;
  // Also taken for a time that is not a number, which no search could place.
  if (!(time < frames[last])) return {KeyPosition::kAfter, last, 0};
  const int32_t frame = Animation_binarySearch(frames, self->framesCount, time, entries);
  const float frameTime = frames[frame];
  const float percent = Animation_getCurvePercent(
      self, frame / entries - 1, 1 - (time - frameTime) / (frames[frame - entries] - frameTime));
  return {KeyPosition::kBetween, frame, percent};
}

void Animation_keyedValues(const CurveTimeline* self, int32_t entries, const KeyPosition& at,
                           float* values) {
  const float* next = self->frames + at.frame + 1;
  if (at.where == KeyPosition::kAfter) {
    for (int32_t k = 0; k < entries - 1; ++k) values[k] = next[k];
    return;
  }
  const float* previous = next - entries;
  for (int32_t k = 0; k < entries - 1; ++k) {
    values[k] = previous[k] + (next[k] - previous[k]) * at.percent;
  }
}

void Animation_setFrame(CurveTimeline* self, int32_t frameIndex, float time, float v1, float v2,
                        float v3, float v4) {
  const int32_t entries = Timeline_entries(self->type);
  float* frame = self->frames + frameIndex * entries;
  const float values[4] = {v1, v2, v3, v4};
  frame[0] = time;
  for (int32_t k = 0; k < entries - 1; ++k) frame[k + 1] = values[k];
}

}  // namespace GCore
