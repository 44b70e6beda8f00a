#include "spine/TransformConstraint.h"

#include "spine/Bone.h"
#include "spine/BoneData.h"
#include "spine/Skeleton.h"
#include "spine/SpineUtil.h"
#include "spine/TransformConstraintData.h"

namespace GCore {

TransformConstraint* TransformConstraint_create(const TransformConstraintData* data,
                                                Skeleton* skeleton) {
  TransformConstraint* self = new TransformConstraint{};
  self->data = data;
  self->rotateMix = data->rotateMix;
  self->translateMix = data->translateMix;
  self->scaleMix = data->scaleMix;
  self->shearMix = data->shearMix;
  self->bonesCount = data->bonesCount;
  self->bones = Skeleton_bonesOf(skeleton, data->bones, data->bonesCount);
  self->target = &skeleton->bones[data->target->index];
  return self;
}

void TransformConstraint_dispose(TransformConstraint* self) {
  if (!self) return;
  FreeArray(self->bones);
  delete self;
}

void TransformConstraint_apply(TransformConstraint* self) {
  const TransformConstraintData& data = *self->data;
  const Bone& t = *self->target;
  const float ta = t.a, tb = t.b, tc = t.c, td = t.d;
  const float reflect = ta * td - tb * tc > 0 ? kDegRad : -kDegRad;
  const float offsetRotation = data.offsetRotation * reflect;
  const float offsetShearY = data.offsetShearY * reflect;
  for (int32_t i = 0; i < self->bonesCount; ++i) {
    Bone& bone = *self->bones[i];
    bool modified = false;

    if (self->rotateMix != 0) {
      const float a = bone.a, b = bone.b, c = bone.c, d = bone.d;
      float r = std::atan2(tc, ta) - std::atan2(c, a) + offsetRotation;
      r = WrapRadiansOnce(r) * self->rotateMix;
      const float cosine = std::cos(r), sine = std::sin(r);
      bone.a = cosine * a - sine * c;
      bone.b = cosine * b - sine * d;
      bone.c = sine * a + cosine * c;
      bone.d = sine * b + cosine * d;
      modified = true;
    }

    if (self->translateMix != 0) {
      const float x = ta * data.offsetX + tb * data.offsetY + t.worldX;
      const float y = tc * data.offsetX + td * data.offsetY + t.worldY;
      bone.worldX += (x - bone.worldX) * self->translateMix;
      bone.worldY += (y - bone.worldY) * self->translateMix;
      modified = true;
    }

    if (self->scaleMix > 0) {
      float s = std::sqrt(bone.a * bone.a + bone.c * bone.c);
      float ts = std::sqrt(ta * ta + tc * tc);
      if (s > 0.00001f) s = (s + (ts - s + data.offsetScaleX) * self->scaleMix) / s;
      bone.a *= s;
      bone.c *= s;
      s = std::sqrt(bone.b * bone.b + bone.d * bone.d);
      ts = std::sqrt(tb * tb + td * td);
      if (s > 0.00001f) s = (s + (ts - s + data.offsetScaleY) * self->scaleMix) / s;
      bone.b *= s;
      bone.d *= s;
      modified = true;
    }

    if (self->shearMix > 0) {
      const float b = bone.b, d = bone.d;
      const float by = std::atan2(d, b);
      float r = std::atan2(td, tb) - std::atan2(tc, ta) - (by - std::atan2(bone.c, bone.a));
      r = WrapRadiansOnce(r);
      const float s = std::sqrt(b * b + d * d);
      r = by + (r + offsetShearY) * self->shearMix;
      bone.b = std::cos(r) * s;
      bone.d = std::sin(r) * s;
      modified = true;
    }

    if (modified) bone.appliedValid = 0;
  }
}

}  // namespace GCore
