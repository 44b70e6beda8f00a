#pragma once
// Timelines that key a bone's local pose: rotation (time, angle in degrees),
// translation, scale and shear (time, x, y).
#include <cstdint>

#include "spine/Timeline.h"

namespace GCore {

struct RotateTimeline : CurveTimeline {
  int32_t boneIndex = 0;
};

// Translate, scale and shear share their layout.
struct TranslateTimeline : CurveTimeline {
  int32_t boneIndex = 0;
};
using ScaleTimeline = TranslateTimeline;
using ShearTimeline = TranslateTimeline;

RotateTimeline* Animation_createRotateTimeline(int32_t keyframes);
TranslateTimeline* Animation_createTranslateTimeline(int32_t keyframes);
ScaleTimeline* Animation_createScaleTimeline(int32_t keyframes);
ShearTimeline* Animation_createShearTimeline(int32_t keyframes);

// The rotation a rotate timeline keys at `time`, setup rotation included,
// for a time at or after its first keyframe; wrapped between keys.
float RotateTimeline_keyedRotation(const RotateTimeline* self, float setupRotation,
                                   const KeyPosition& at);

}  // namespace GCore
