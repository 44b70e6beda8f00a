#include "spine/ConstraintTimelines.h"

#include "spine/IkConstraint.h"
#include "spine/IkConstraintData.h"
#include "spine/PathConstraint.h"
#include "spine/PathConstraintData.h"
#include "spine/Skeleton.h"
#include "spine/TransformConstraint.h"
#include "spine/TransformConstraintData.h"

namespace GCore {

namespace {

// Blends `value` toward `keyed`: from the setup value when first to key it.
void Blend(float& value, float setup, float keyed, float alpha, bool setupPose) {
  if (setupPose) {
    value = setup + (keyed - setup) * alpha;
  } else {
    value += (keyed - value) * alpha;
  }
}

// Keyed bend directions come from a signed byte; anything else is clamped.
int32_t BendDirection(float keyed) {
  if (!(keyed > -128)) return -128;
  return keyed < 127 ? static_cast<int32_t>(keyed) : 127;
}

int32_t IkPropertyId(const Timeline* timeline) {
  return (kTimelineIkConstraint << 24) +
         static_cast<const IkConstraintTimeline*>(timeline)->ikConstraintIndex;
}

void ApplyIk(const Timeline* timeline, Skeleton* skeleton, float, float time,
             std::vector<Event*>*, float alpha, bool setupPose, bool mixingOut) {
  const auto* self = static_cast<const IkConstraintTimeline*>(timeline);
  IkConstraint& constraint = *skeleton->ikConstraints[self->ikConstraintIndex];
  const IkConstraintData& data = *constraint.data;
  const KeyPosition at = Animation_findKey(self, 3, time);
  if (at.where == KeyPosition::kBefore) {
    if (setupPose) {
      constraint.mix = data.mix;
      constraint.bendDirection = data.bendDirection;
    }
    return;
  }
  float v[2];
  Animation_keyedValues(self, 3, at, v);
  // The bend direction is never interpolated: the earlier key's holds.
  const int32_t keyedBend = BendDirection(
      at.where == KeyPosition::kAfter ? v[1] : self->frames[at.frame - 1]);
  Blend(constraint.mix, data.mix, v[0], alpha, setupPose);
  if (!mixingOut) {
    constraint.bendDirection = keyedBend;
  } else if (setupPose) {
    constraint.bendDirection = data.bendDirection;
  }
}

int32_t TransformPropertyId(const Timeline* timeline) {
  return (kTimelineTransformConstraint << 24) +
         static_cast<const TransformConstraintTimeline*>(timeline)->transformConstraintIndex;
}

void ApplyTransform(const Timeline* timeline, Skeleton* skeleton, float, float time,
                    std::vector<Event*>*, float alpha, bool setupPose, bool) {
  const auto* self = static_cast<const TransformConstraintTimeline*>(timeline);
  TransformConstraint& constraint =
      *skeleton->transformConstraints[self->transformConstraintIndex];
  const TransformConstraintData& data = *constraint.data;
  const KeyPosition at = Animation_findKey(self, 5, time);
  if (at.where == KeyPosition::kBefore) {
    if (setupPose) {
      constraint.rotateMix = data.rotateMix;
      constraint.translateMix = data.translateMix;
      constraint.scaleMix = data.scaleMix;
      constraint.shearMix = data.shearMix;
    }
    return;
  }
  float v[4];
  Animation_keyedValues(self, 5, at, v);
  Blend(constraint.rotateMix, data.rotateMix, v[0], alpha, setupPose);
  Blend(constraint.translateMix, data.translateMix, v[1], alpha, setupPose);
  Blend(constraint.scaleMix, data.scaleMix, v[2], alpha, setupPose);
  Blend(constraint.shearMix, data.shearMix, v[3], alpha, setupPose);
}

int32_t PathPropertyId(const Timeline* timeline) {
  const int32_t index =
      timeline->type == kTimelinePathConstraintMix
          ? static_cast<const PathConstraintMixTimeline*>(timeline)->pathConstraintIndex
          : static_cast<const PathConstraintPositionTimeline*>(timeline)->pathConstraintIndex;
  return (timeline->type << 24) + index;
}

void ApplyPathValue(const Timeline* timeline, Skeleton* skeleton, float, float time,
                    std::vector<Event*>*, float alpha, bool setupPose, bool) {
  const auto* self = static_cast<const PathConstraintPositionTimeline*>(timeline);
  PathConstraint& constraint = *skeleton->pathConstraints[self->pathConstraintIndex];
  const bool position = self->type == kTimelinePathConstraintPosition;
  float& value = position ? constraint.position : constraint.spacing;
  const float setup = position ? constraint.data->position : constraint.data->spacing;
  const KeyPosition at = Animation_findKey(self, 2, time);
  if (at.where == KeyPosition::kBefore) {
    if (setupPose) value = setup;
    return;
  }
  float v[1];
  Animation_keyedValues(self, 2, at, v);
  Blend(value, setup, v[0], alpha, setupPose);
}

void ApplyPathMix(const Timeline* timeline, Skeleton* skeleton, float, float time,
                  std::vector<Event*>*, float alpha, bool setupPose, bool) {
  const auto* self = static_cast<const PathConstraintMixTimeline*>(timeline);
  PathConstraint& constraint = *skeleton->pathConstraints[self->pathConstraintIndex];
  const PathConstraintData& data = *constraint.data;
  const KeyPosition at = Animation_findKey(self, 3, time);
  if (at.where == KeyPosition::kBefore) {
    if (setupPose) {
      constraint.rotateMix = data.rotateMix;
      constraint.translateMix = data.translateMix;
    }
    return;
  }
  float v[2];
  Animation_keyedValues(self, 3, at, v);
  Blend(constraint.rotateMix, data.rotateMix, v[0], alpha, setupPose);
  Blend(constraint.translateMix, data.translateMix, v[1], alpha, setupPose);
}

const TimelineOps kIkOps = {ApplyIk, IkPropertyId, Timeline_disposeCurved<IkConstraintTimeline>};
const TimelineOps kTransformOps = {ApplyTransform, TransformPropertyId,
                                   Timeline_disposeCurved<TransformConstraintTimeline>};
const TimelineOps kPathValueOps = {ApplyPathValue, PathPropertyId,
                                   Timeline_disposeCurved<PathConstraintPositionTimeline>};
const TimelineOps kPathMixOps = {ApplyPathMix, PathPropertyId,
                                 Timeline_disposeCurved<PathConstraintMixTimeline>};

}  // namespace

IkConstraintTimeline* Animation_createIkConstraintTimeline(int32_t keyframes) {
  return Timeline_createCurved<IkConstraintTimeline>(keyframes, kTimelineIkConstraint, &kIkOps);
}

TransformConstraintTimeline* Animation_createTransformConstraintTimeline(int32_t keyframes) {
  return Timeline_createCurved<TransformConstraintTimeline>(
      keyframes, kTimelineTransformConstraint, &kTransformOps);
}

PathConstraintPositionTimeline* Animation_createPathConstraintPositionTimeline(int32_t keyframes) {
  return Timeline_createCurved<PathConstraintPositionTimeline>(
      keyframes, kTimelinePathConstraintPosition, &kPathValueOps);
}

PathConstraintSpacingTimeline* Animation_createPathConstraintSpacingTimeline(int32_t keyframes) {
  return Timeline_createCurved<PathConstraintSpacingTimeline>(
      keyframes, kTimelinePathConstraintSpacing, &kPathValueOps);
}

PathConstraintMixTimeline* Animation_createPathConstraintMixTimeline(int32_t keyframes) {
  return Timeline_createCurved<PathConstraintMixTimeline>(keyframes, kTimelinePathConstraintMix,
                                                          &kPathMixOps);
}

}  // namespace GCore
