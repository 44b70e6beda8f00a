#pragma once
// Timelines that key constraint values: IK (time, mix, bend direction),
// transform (time, rotate, translate, scale and shear mixes), path position
// and spacing (time, value) and path mixes (time, rotate, translate).
#include <cstdint>

#include "spine/Timeline.h"

namespace GCore {

struct IkConstraintTimeline : CurveTimeline {
  int32_t ikConstraintIndex = 0;
};

struct TransformConstraintTimeline : CurveTimeline {
  int32_t transformConstraintIndex = 0;
};

// Path position and spacing share their layout.
struct PathConstraintPositionTimeline : CurveTimeline {
  int32_t pathConstraintIndex = 0;
};
using PathConstraintSpacingTimeline = PathConstraintPositionTimeline;

struct PathConstraintMixTimeline : CurveTimeline {
  int32_t pathConstraintIndex = 0;
};

IkConstraintTimeline* Animation_createIkConstraintTimeline(int32_t keyframes);
TransformConstraintTimeline* Animation_createTransformConstraintTimeline(int32_t keyframes);
PathConstraintPositionTimeline* Animation_createPathConstraintPositionTimeline(int32_t keyframes);
PathConstraintSpacingTimeline* Animation_createPathConstraintSpacingTimeline(int32_t keyframes);
PathConstraintMixTimeline* Animation_createPathConstraintMixTimeline(int32_t keyframes);

}  // namespace GCore
