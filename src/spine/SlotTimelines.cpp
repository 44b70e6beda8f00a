#include "spine/SlotTimelines.h"

#include "spine/Skeleton.h"
#include "spine/Slot.h"
#include "spine/SlotData.h"

namespace GCore {

namespace {

int32_t ColorPropertyId(const Timeline* timeline) {
  return (kTimelineColor << 24) + static_cast<const ColorTimeline*>(timeline)->slotIndex;
}

void ApplyColor(const Timeline* timeline, Skeleton* skeleton, float, float time,
                std::vector<Event*>*, float alpha, bool setupPose, bool) {
  const auto* self = static_cast<const ColorTimeline*>(timeline);
  Slot& slot = skeleton->slots[self->slotIndex];
  const SlotData& data = *slot.data;
  const KeyPosition at = Animation_findKey(self, 5, time);
  if (at.where == KeyPosition::kBefore) {
    if (setupPose) {
      slot.r = data.r;
      slot.g = data.g;
      slot.b = data.b;
      slot.a = data.a;
    }
    return;
  }
  float v[4];
  Animation_keyedValues(self, 5, at, v);
  if (alpha == 1) {
    slot.r = v[0];
    slot.g = v[1];
    slot.b = v[2];
    slot.a = v[3];
    return;
  }
  if (setupPose) {
    slot.r = data.r;
    slot.g = data.g;
    slot.b = data.b;
    slot.a = data.a;
  }
  slot.r += (v[0] - slot.r) * alpha;
  slot.g += (v[1] - slot.g) * alpha;
  slot.b += (v[2] - slot.b) * alpha;
  slot.a += (v[3] - slot.a) * alpha;
}

int32_t AttachmentPropertyId(const Timeline* timeline) {
  return (kTimelineAttachment << 24) + static_cast<const AttachmentTimeline*>(timeline)->slotIndex;
}

void ShowNamed(Skeleton* skeleton, int32_t slotIndex, const char* name) {
  Slot_setAttachment(&skeleton->slots[slotIndex],
                     name ? Skeleton_getAttachmentForSlotIndex(skeleton, slotIndex, name) : nullptr);
}

void ApplyAttachment(const Timeline* timeline, Skeleton* skeleton, float, float time,
                     std::vector<Event*>*, float, bool setupPose, bool mixingOut) {
  const auto* self = static_cast<const AttachmentTimeline*>(timeline);
  const int32_t slotIndex = self->slotIndex;
  const float* frames = self->frames;
  const bool before = time < frames[0];
  if (setupPose && (mixingOut || before)) {
    ShowNamed(skeleton, slotIndex, skeleton->slots[slotIndex].data->attachmentName);
    return;
  }
  if (before) return;
  const int32_t last = self->framesCount - 1;
  const int32_t frameIndex = !(time < frames[last])
                                 ? last
                                 : Animation_binarySearch1(frames, self->framesCount, time) - 1;
  ShowNamed(skeleton, slotIndex, self->attachmentNames[frameIndex]);
}

void DisposeAttachment(Timeline* timeline) {
  auto* self = static_cast<AttachmentTimeline*>(timeline);
  for (int32_t i = 0; i < self->framesCount; ++i) FreeText(self->attachmentNames[i]);
  FreeArray(self->attachmentNames);
  FreeArray(self->frames);
  delete self;
}

const TimelineOps kColorOps = {ApplyColor, ColorPropertyId, Timeline_disposeCurved<ColorTimeline>};
const TimelineOps kAttachmentOps = {ApplyAttachment, AttachmentPropertyId, DisposeAttachment};

}  // namespace

ColorTimeline* Animation_createColorTimeline(int32_t keyframes) {
  return Timeline_createCurved<ColorTimeline>(keyframes, kTimelineColor, &kColorOps);
}

AttachmentTimeline* Animation_createAttachmentTimeline(int32_t keyframes) {
  AttachmentTimeline* self = new AttachmentTimeline{};
  self->type = kTimelineAttachment;
  self->functions = &kAttachmentOps;
  self->framesCount = keyframes > 0 ? keyframes : 0;
  self->frames = NewArray<float>(static_cast<size_t>(self->framesCount));
  self->attachmentNames = NewArray<const char*>(static_cast<size_t>(self->framesCount));
  return self;
}

void Animation_setAttachmentFrame(AttachmentTimeline* self, int32_t frameIndex, float time,
                                  const char* name) {
  self->frames[frameIndex] = time;
  FreeText(self->attachmentNames[frameIndex]);
  self->attachmentNames[frameIndex] = CopyText(name);
}

}  // namespace GCore
