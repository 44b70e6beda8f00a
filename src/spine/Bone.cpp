#include "spine/Bone.h"

#include "spine/BoneData.h"
#include "spine/Skeleton.h"
#include "spine/SpineUtil.h"

namespace GCore {

namespace {

struct Flips {
  bool x = false, y = false;
};

Flips SkeletonFlips(const Bone* bone) {
  if (!bone->skeleton) return {};
  return {bone->skeleton->flipX != 0, bone->skeleton->flipY != 0};
}

void FlipStep(Bone* self, Flips flips) {
  if (flips.x) {
    self->a = -self->a;
    self->b = -self->b;
  }
  if (flips.y) {
    self->c = -self->c;
    self->d = -self->d;
  }
}

}  // namespace

Bone Bone_create(const BoneData* data, Skeleton* skeleton, Bone* parent) {
  Bone bone{};
  bone.data = data;
  bone.skeleton = skeleton;
  bone.parent = parent;
  Bone_setToSetupPose(&bone);
  return bone;
}

void Bone_setToSetupPose(Bone* self) {
  const BoneData& data = *self->data;
  self->x = data.x;
  self->y = data.y;
  self->rotation = data.rotation;
  self->scaleX = data.scaleX;
  self->scaleY = data.scaleY;
  self->shearX = data.shearX;
  self->shearY = data.shearY;
}

void Bone_updateWorldTransform(Bone* self) {
  Bone_updateWorldTransformWith(self, self->x, self->y, self->rotation, self->scaleX,
                                self->scaleY, self->shearX, self->shearY);
}

void Bone_updateWorldTransformWith(Bone* self, float x, float y, float rotation, float scaleX,
                                   float scaleY, float shearX, float shearY) {
  self->ax = x;
  self->ay = y;
  self->arotation = rotation;
  self->ascaleX = scaleX;
  self->ascaleY = scaleY;
  self->ashearX = shearX;
  self->ashearY = shearY;
  self->appliedValid = 1;

  const Flips flips = SkeletonFlips(self);
  const Bone* parent = self->parent;
  if (!parent) {
    const float rx = rotation + shearX, ry = rotation + 90 + shearY;
    float la = CosDeg(rx) * scaleX, lb = CosDeg(ry) * scaleY;
    float lc = SinDeg(rx) * scaleX, ld = SinDeg(ry) * scaleY;
    if (flips.x) {
      x = -x;
      la = -la;
      lb = -lb;
    }
    if (flips.y) {
      y = -y;
      lc = -lc;
      ld = -ld;
    }
    self->a = la;
    self->b = lb;
    self->c = lc;
    self->d = ld;
    self->worldX = x + (self->skeleton ? self->skeleton->x : 0);
    self->worldY = y + (self->skeleton ? self->skeleton->y : 0);
    return;
  }

  float pa = parent->a, pb = parent->b, pc = parent->c, pd = parent->d;
  self->worldX = pa * x + pb * y + parent->worldX;
  self->worldY = pc * x + pd * y + parent->worldY;

  switch (self->data ? self->data->transformMode : kTransformNormal) {
    case kTransformOnlyTranslation: {
      const float rx = rotation + shearX, ry = rotation + 90 + shearY;
      self->a = CosDeg(rx) * scaleX;
      self->b = CosDeg(ry) * scaleY;
      self->c = SinDeg(rx) * scaleX;
      self->d = SinDeg(ry) * scaleY;
      FlipStep(self, flips);
      return;
    }
    case kTransformNoRotationOrReflection: {
      float s = pa * pa + pc * pc, prx;
      if (s > 0.0001f) {
        s = std::fabs(pa * pd - pb * pc) / s;
        pb = pc * s;
        pd = pa * s;
        prx = Atan2Deg(pc, pa);
      } else {
        pa = 0;
        pc = 0;
        prx = 90 - Atan2Deg(pd, pb);
      }
      const float rx = rotation + shearX - prx, ry = rotation + shearY - prx + 90;
      const float la = CosDeg(rx) * scaleX, lb = CosDeg(ry) * scaleY;
      const float lc = SinDeg(rx) * scaleX, ld = SinDeg(ry) * scaleY;
      self->a = pa * la - pb * lc;
      self->b = pa * lb - pb * ld;
      self->c = pc * la + pd * lc;
      self->d = pc * lb + pd * ld;
      FlipStep(self, flips);
      return;
    }
    case kTransformNoScale:
    case kTransformNoScaleOrReflection: {
      const float cosine = CosDeg(rotation), sine = SinDeg(rotation);
      float za = pa * cosine + pb * sine, zc = pc * cosine + pd * sine;
      float s = std::sqrt(za * za + zc * zc);
      if (s > 0.00001f) s = 1 / s;
      za *= s;
      zc *= s;
      s = std::sqrt(za * za + zc * zc);
      const float r = 1.5707963705062866f + std::atan2(zc, za);
      const float zb = std::cos(r) * s, zd = std::sin(r) * s;
      const float la = CosDeg(shearX) * scaleX, lb = CosDeg(90 + shearY) * scaleY;
      const float lc = SinDeg(shearX) * scaleX, ld = SinDeg(90 + shearY) * scaleY;
      self->a = za * la + zb * lc;
      self->b = za * lb + zb * ld;
      self->c = zc * la + zd * lc;
      self->d = zc * lb + zd * ld;
      const bool reflect = self->data->transformMode == kTransformNoScale
                               ? pa * pd - pb * pc < 0
                               : flips.x != flips.y;
      if (reflect) {
        self->b = -self->b;
        self->d = -self->d;
      }
      return;
    }
    default: {
      const float rx = rotation + shearX, ry = rotation + 90 + shearY;
      const float la = CosDeg(rx) * scaleX, lb = CosDeg(ry) * scaleY;
      const float lc = SinDeg(rx) * scaleX, ld = SinDeg(ry) * scaleY;
      self->a = pa * la + pb * lc;
      self->b = pa * lb + pb * ld;
      self->c = pc * la + pd * lc;
      self->d = pc * lb + pd * ld;
      return;
    }
  }
}

void Bone_updateAppliedTransform(Bone* self) {
  self->appliedValid = 1;
  const Bone* parent = self->parent;
  const float a = self->a, b = self->b, c = self->c, d = self->d;
  if (!parent) {
    self->ax = self->worldX;
    self->ay = self->worldY;
    self->arotation = Atan2Deg(c, a);
    self->ascaleX = std::sqrt(a * a + c * c);
    self->ascaleY = std::sqrt(b * b + d * d);
    self->ashearX = 0;
    self->ashearY = Atan2Deg(a * b + c * d, a * d - b * c);
    return;
  }
  const float pa = parent->a, pb = parent->b, pc = parent->c, pd = parent->d;
  const float pid = 1 / (pa * pd - pb * pc);
  const float dx = self->worldX - parent->worldX, dy = self->worldY - parent->worldY;
  self->ax = dx * pd * pid - dy * pb * pid;
  self->ay = dy * pa * pid - dx * pc * pid;
  const float ia = pid * pd, id = pid * pa, ib = pid * pb, ic = pid * pc;
  const float ra = ia * a - ib * c, rb = ia * b - ib * d;
  const float rc = id * c - ic * a, rd = id * d - ic * b;
  self->ashearX = 0;
  self->ascaleX = std::sqrt(ra * ra + rc * rc);
  if (self->ascaleX > 0.0001f) {
    const float det = ra * rd - rb * rc;
    self->ascaleY = det / self->ascaleX;
    self->ashearY = Atan2Deg(ra * rb + rc * rd, det);
    self->arotation = Atan2Deg(rc, ra);
  } else {
    self->ascaleX = 0;
    self->ascaleY = std::sqrt(rb * rb + rd * rd);
    self->ashearY = 0;
    self->arotation = 90 - Atan2Deg(rd, rb);
  }
}

BoneFrame Bone_parentFrame(const Bone* self) {
  if (const Bone* p = self->parent) return {p->a, p->b, p->c, p->d, p->worldX, p->worldY};
  const Skeleton* skeleton = self->skeleton;
  if (!skeleton) return {1, 0, 0, 1, 0, 0};
  return {skeleton->flipX ? -1.0f : 1.0f, 0, 0, skeleton->flipY ? -1.0f : 1.0f, skeleton->x,
          skeleton->y};
}

}  // namespace GCore
