#include "spine/DrawOrderTimeline.h"

#include "spine/Skeleton.h"
#include "spine/Slot.h"

namespace GCore {

namespace {

int32_t DrawOrderPropertyId(const Timeline*) { return kTimelineDrawOrder << 24; }

void ShowOrder(Skeleton* skeleton, const int32_t* order, int32_t count) {
  for (int32_t i = 0; i < count; ++i) {
    skeleton->drawOrder[i] = &skeleton->slots[order ? order[i] : i];
  }
}

void ApplyDrawOrder(const Timeline* timeline, Skeleton* skeleton, float, float time,
                    std::vector<Event*>*, float, bool setupPose, bool mixingOut) {
  const auto* self = static_cast<const DrawOrderTimeline*>(timeline);
  const int32_t count = self->slotsCount < skeleton->slotCount ? self->slotsCount
                                                               : skeleton->slotCount;
  const float* frames = self->frames;
  const bool before = time < frames[0];
  if (setupPose && (mixingOut || before)) {
    ShowOrder(skeleton, nullptr, count);
    return;
  }
  if (before) return;
  const int32_t last = self->framesCount - 1;
  const int32_t frame = !(time < frames[last])
                            ? last
                            : Animation_binarySearch1(frames, self->framesCount, time) - 1;
  ShowOrder(skeleton, self->drawOrders[frame], count);
}

void DisposeDrawOrder(Timeline* timeline) {
  auto* self = static_cast<DrawOrderTimeline*>(timeline);
  for (int32_t i = 0; i < self->framesCount; ++i) FreeArray(self->drawOrders[i]);
  FreeArray(self->drawOrders);
  FreeArray(self->frames);
  delete self;
}

const TimelineOps kDrawOrderOps = {ApplyDrawOrder, DrawOrderPropertyId, DisposeDrawOrder};

}  // namespace

DrawOrderTimeline* Animation_createDrawOrderTimeline(int32_t keyframes, int32_t slotsCount) {
  DrawOrderTimeline* self = new DrawOrderTimeline{};
  self->type = kTimelineDrawOrder;
  self->functions = &kDrawOrderOps;
  self->framesCount = keyframes > 0 ? keyframes : 0;
  self->frames = NewArray<float>(static_cast<size_t>(self->framesCount));
  self->drawOrders = NewArray<int32_t*>(static_cast<size_t>(self->framesCount));
  self->slotsCount = slotsCount > 0 ? slotsCount : 0;
  return self;
}

void Animation_setDrawOrderFrame(DrawOrderTimeline* self, int32_t frameIndex, float time,
                                 const int32_t* drawOrder) {
  self->frames[frameIndex] = time;
  FreeArray(self->drawOrders[frameIndex]);
  if (!drawOrder) return;
  const size_t n = static_cast<size_t>(self->slotsCount);
  self->drawOrders[frameIndex] = NewArray<int32_t>(n);
  if (n) std::memcpy(self->drawOrders[frameIndex], drawOrder, n * sizeof(int32_t));
}

}  // namespace GCore
