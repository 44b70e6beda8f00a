#include "spine/BoneTimelines.h"

#include "spine/Bone.h"
#include "spine/BoneData.h"
#include "spine/Skeleton.h"
#include "spine/SpineUtil.h"

namespace GCore {

namespace {

int32_t BonePropertyId(const Timeline* timeline) {
  const int32_t bone = timeline->type == kTimelineRotate
                           ? static_cast<const RotateTimeline*>(timeline)->boneIndex
                           : static_cast<const TranslateTimeline*>(timeline)->boneIndex;
  return (timeline->type << 24) + bone;
}

void ApplyRotate(const Timeline* timeline, Skeleton* skeleton, float, float time,
                 std::vector<Event*>*, float alpha, bool setupPose, bool) {
  const auto* self = static_cast<const RotateTimeline*>(timeline);
  Bone& bone = skeleton->bones[self->boneIndex];
  const float setup = bone.data->rotation;
  const KeyPosition at = Animation_findKey(self, 2, time);
  if (at.where == KeyPosition::kBefore) {
    if (setupPose) bone.rotation = setup;
    return;
  }
  if (at.where == KeyPosition::kAfter) {
    const float last = self->frames[at.frame + 1];
    if (setupPose) {
      bone.rotation = setup + last * alpha;
    } else {
      bone.rotation += WrapRotation(setup + last - bone.rotation) * alpha;
    }
    return;
  }
  const float previous = self->frames[at.frame - 1];
  const float r = previous + WrapRotation(self->frames[at.frame + 1] - previous) * at.percent;
  if (setupPose) {
    bone.rotation = setup + WrapRotation(r) * alpha;
  } else {
    bone.rotation += WrapRotation(setup + r - bone.rotation) * alpha;
  }
}

void ApplyTranslate(const Timeline* timeline, Skeleton* skeleton, float, float time,
                    std::vector<Event*>*, float alpha, bool setupPose, bool) {
  const auto* self = static_cast<const TranslateTimeline*>(timeline);
  Bone& bone = skeleton->bones[self->boneIndex];
  const BoneData& data = *bone.data;
  const KeyPosition at = Animation_findKey(self, 3, time);
  if (at.where == KeyPosition::kBefore) {
    if (setupPose) {
      bone.x = data.x;
      bone.y = data.y;
    }
    return;
  }
  float v[2];
  Animation_keyedValues(self, 3, at, v);
  if (setupPose) {
    bone.x = data.x + v[0] * alpha;
    bone.y = data.y + v[1] * alpha;
  } else {
    bone.x += (data.x + v[0] - bone.x) * alpha;
    bone.y += (data.y + v[1] - bone.y) * alpha;
  }
}

void ApplyShear(const Timeline* timeline, Skeleton* skeleton, float, float time,
                std::vector<Event*>*, float alpha, bool setupPose, bool) {
  const auto* self = static_cast<const ShearTimeline*>(timeline);
  Bone& bone = skeleton->bones[self->boneIndex];
  const BoneData& data = *bone.data;
  const KeyPosition at = Animation_findKey(self, 3, time);
  if (at.where == KeyPosition::kBefore) {
    if (setupPose) {
      bone.shearX = data.shearX;
      bone.shearY = data.shearY;
    }
    return;
  }
  float v[2];
  Animation_keyedValues(self, 3, at, v);
  if (setupPose) {
    bone.shearX = data.shearX + v[0] * alpha;
    bone.shearY = data.shearY + v[1] * alpha;
  } else {
    bone.shearX += (data.shearX + v[0] - bone.shearX) * alpha;
    bone.shearY += (data.shearY + v[1] - bone.shearY) * alpha;
  }
}

// A keyed scale blended toward a base: while mixing out the keyed value takes
// the base's sign, otherwise the base takes the keyed value's sign, so that
// only magnitudes blend.
float BlendScale(float keyed, float base, float alpha, bool mixingOut) {
  if (mixingOut) {
    keyed = std::fabs(keyed) * Sign(base);
  } else {
    base = std::fabs(base) * Sign(keyed);
  }
  return base + (keyed - base) * alpha;
}

void ApplyScale(const Timeline* timeline, Skeleton* skeleton, float, float time,
                std::vector<Event*>*, float alpha, bool setupPose, bool mixingOut) {
  const auto* self = static_cast<const ScaleTimeline*>(timeline);
  Bone& bone = skeleton->bones[self->boneIndex];
  const BoneData& data = *bone.data;
  const KeyPosition at = Animation_findKey(self, 3, time);
  if (at.where == KeyPosition::kBefore) {
    if (setupPose) {
      bone.scaleX = data.scaleX;
      bone.scaleY = data.scaleY;
    }
    return;
  }
  float v[2];
  Animation_keyedValues(self, 3, at, v);
  const float x = v[0] * data.scaleX, y = v[1] * data.scaleY;
  if (alpha == 1) {
    bone.scaleX = x;
    bone.scaleY = y;
    return;
  }
  const float baseX = setupPose ? data.scaleX : bone.scaleX;
  const float baseY = setupPose ? data.scaleY : bone.scaleY;
  bone.scaleX = BlendScale(x, baseX, alpha, mixingOut);
  bone.scaleY = BlendScale(y, baseY, alpha, mixingOut);
}

const TimelineOps kRotateOps = {ApplyRotate, BonePropertyId, Timeline_disposeCurved<RotateTimeline>};
const TimelineOps kTranslateOps = {ApplyTranslate, BonePropertyId, Timeline_disposeCurved<TranslateTimeline>};
const TimelineOps kScaleOps = {ApplyScale, BonePropertyId, Timeline_disposeCurved<ScaleTimeline>};
const TimelineOps kShearOps = {ApplyShear, BonePropertyId, Timeline_disposeCurved<ShearTimeline>};

}  // namespace

RotateTimeline* Animation_createRotateTimeline(int32_t keyframes) {
  return Timeline_createCurved<RotateTimeline>(keyframes, kTimelineRotate, &kRotateOps);
}

TranslateTimeline* Animation_createTranslateTimeline(int32_t keyframes) {
  return Timeline_createCurved<TranslateTimeline>(keyframes, kTimelineTranslate, &kTranslateOps);
}

ScaleTimeline* Animation_createScaleTimeline(int32_t keyframes) {
  return Timeline_createCurved<ScaleTimeline>(keyframes, kTimelineScale, &kScaleOps);
}

ShearTimeline* Animation_createShearTimeline(int32_t keyframes) {
  return Timeline_createCurved<ShearTimeline>(keyframes, kTimelineShear, &kShearOps);
}

float RotateTimeline_keyedRotation(const RotateTimeline* self, float setupRotation,
                                   const KeyPosition& at) {
  if (at.where == KeyPosition::kAfter) return setupRotation + self->frames[at.frame + 1];
  const float previous = self->frames[at.frame - 1];
  const float r = previous + WrapRotation(self->frames[at.frame + 1] - previous) * at.percent;
  return WrapRotation(r + setupRotation);
}

}  // namespace GCore
