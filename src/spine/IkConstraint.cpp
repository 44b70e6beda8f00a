#include "spine/IkConstraint.h"

#include "spine/Bone.h"
#include "spine/BoneData.h"
#include "spine/IkConstraintData.h"
#include "spine/Skeleton.h"
#include "spine/SpineUtil.h"

namespace GCore {

namespace {

// Below this a bone has no length to bend with.
constexpr float kMinBoneLength = 0.0001f;

// A world point taken into the local space of `frame`.
void ToFrame(const BoneFrame& frame, float x, float y, float& lx, float& ly) {
  const float id = 1 / (frame.a * frame.d - frame.b * frame.c);
  x -= frame.worldX;
  y -= frame.worldY;
  lx = (x * frame.d - y * frame.b) * id;
  ly = (y * frame.a - x * frame.c) * id;
}

}  // namespace

IkConstraint* IkConstraint_create(const IkConstraintData* data, Skeleton* skeleton) {
  IkConstraint* self = new IkConstraint{};
  self->data = data;
  self->bendDirection = data->bendDirection;
  self->mix = data->mix;
  self->bonesCount = data->bonesCount;
  self->bones = Skeleton_bonesOf(skeleton, data->bones, data->bonesCount);
  self->target = &skeleton->bones[data->target->index];
  return self;
}

void IkConstraint_dispose(IkConstraint* self) {
  if (!self) return;
  FreeArray(self->bones);
  delete self;
}

void IkConstraint_apply(IkConstraint* self) {
  const Bone* target = self->target;
  if (self->bonesCount == 1) {
    IkConstraint_apply1(self->bones[0], target->worldX, target->worldY, self->mix);
  } else if (self->bonesCount == 2) {
    IkConstraint_apply2(self->bones[0], self->bones[1], target->worldX, target->worldY,
                        self->bendDirection, self->mix);
  }
}

void IkConstraint_apply1(Bone* bone, float targetX, float targetY, float alpha) {
  if (!bone->appliedValid) Bone_updateAppliedTransform(bone);
  float lx, ly;
  ToFrame(Bone_parentFrame(bone), targetX, targetY, lx, ly);
  lx -= bone->ax;
  ly -= bone->ay;
  float r = std::atan2(ly, lx) * kRadDeg - bone->ashearX - bone->arotation;
  if (bone->ascaleX < 0) r += 180;
  r = WrapDegreesOnce(r);
  Bone_updateWorldTransformWith(bone, bone->ax, bone->ay, bone->arotation + r * alpha,
                                bone->ascaleX, bone->ascaleY, bone->ashearX, bone->ashearY);
}

void IkConstraint_apply2(Bone* parent, Bone* child, float targetX, float targetY,
                         int32_t bendDirection, float alpha) {
  if (alpha == 0) {
    Bone_updateWorldTransform(child);
    return;
  }
  if (!parent->appliedValid) Bone_updateAppliedTransform(parent);
  if (!child->appliedValid) Bone_updateAppliedTransform(child);
  const float px = parent->ax, py = parent->ay;
  float psx = parent->ascaleX, psy = parent->ascaleY, csx = child->ascaleX;
  int32_t o1, o2, s2;
  if (psx < 0) {
    psx = -psx;
    o1 = 180;
    s2 = -1;
  } else {
    o1 = 0;
    s2 = 1;
  }
  if (psy < 0) {
    psy = -psy;
    s2 = -s2;
  }
  if (csx < 0) {
    csx = -csx;
    o2 = 180;
  } else {
    o2 = 0;
  }

  const float cx = child->ax;
  const float pa = parent->a, pb = parent->b, pc = parent->c, pd = parent->d;
  const bool uniform = std::fabs(psx - psy) <= 0.0001f;
  float cy, cwx, cwy;
  if (uniform) {
    cy = child->ay;
    cwx = pa * cx + pb * cy + parent->worldX;
    cwy = pc * cx + pd * cy + parent->worldY;
  } else {
    cy = 0;
    cwx = pa * cx + parent->worldX;
    cwy = pc * cx + parent->worldY;
  }

  const BoneFrame grand = Bone_parentFrame(parent);
  float tx, ty, dx, dy;
  ToFrame(grand, targetX, targetY, tx, ty);
  tx -= px;
  ty -= py;
  ToFrame(grand, cwx, cwy, dx, dy);
  dx -= px;
  dy -= py;
  const float l1 = std::sqrt(dx * dx + dy * dy);
  float l2 = child->data->length * csx;

  // A chain without length cannot bend: aim the parent alone and carry the
  // child along.
  if (l1 < kMinBoneLength || l2 < kMinBoneLength) {
    IkConstraint_apply1(parent, targetX, targetY, alpha);
    Bone_updateWorldTransformWith(child, cx, cy, child->arotation, child->ascaleX, child->ascaleY,
                                  child->ashearX, child->ashearY);
    return;
  }

  float a1, a2;
  if (uniform) {
    l2 *= psx;
    float cosine = (tx * tx + ty * ty - l1 * l1 - l2 * l2) / (2 * l1 * l2);
    if (cosine < -1) {
      cosine = -1;
    } else if (cosine > 1) {
      cosine = 1;
    }
    a2 = std::acos(cosine) * static_cast<float>(bendDirection);
    const float a = l1 + l2 * cosine, b = l2 * std::sin(a2);
    a1 = std::atan2(ty * a - tx * b, tx * a + ty * b);
  } else {
    const float a = psx * l2, b = psy * l2;
    const float aa = a * a, bb = b * b, ll = l1 * l1, dd = tx * tx + ty * ty;
    const float ta = std::atan2(ty, tx);
    float c0 = bb * ll + aa * dd - aa * bb;
    const float c1 = -2 * bb * l1, c2 = bb - aa;
    const float d = c1 * c1 - 4 * c2 * c0;
    bool solved = false;
    if (d >= 0) {
      float q = std::sqrt(d);
      if (c1 < 0) q = -q;
      q = -(c1 + q) / 2;
      const float r0 = q / c2, r1 = c0 / q;
      const float r = std::fabs(r0) < std::fabs(r1) ? r0 : r1;
      if (r * r <= dd) {
        const float y = std::sqrt(dd - r * r) * static_cast<float>(bendDirection);
        a1 = ta - std::atan2(y, r);
        a2 = std::atan2(y / psy, (r - l1) / psx);
        solved = true;
      }
    }
    if (!solved) {
      float minAngle = kPi, minX = l1 - a, minDist = minX * minX, minY = 0;
      float maxAngle = 0, maxX = l1 + a, maxDist = maxX * maxX, maxY = 0;
      c0 = -a * l1 / (aa - bb);
      if (c0 >= -1 && c0 <= 1) {
        c0 = std::acos(c0);
        const float x = a * std::cos(c0) + l1, y = b * std::sin(c0);
        const float dist = x * x + y * y;
        if (dist < minDist) {
          minAngle = c0;
          minDist = dist;
          minX = x;
          minY = y;
        }
        if (dist > maxDist) {
          maxAngle = c0;
          maxDist = dist;
          maxX = x;
          maxY = y;
        }
      }
      const float bend = static_cast<float>(bendDirection);
      if (dd <= (minDist + maxDist) / 2) {
        a1 = ta - std::atan2(minY * bend, minX);
        a2 = minAngle * bend;
      } else {
        a1 = ta - std::atan2(maxY * bend, maxX);
        a2 = maxAngle * bend;
      }
    }
  }

  const float os = std::atan2(cy, cx) * static_cast<float>(s2);
  float rotation = parent->arotation;
  a1 = WrapDegreesOnce((a1 - os) * kRadDeg + static_cast<float>(o1) - rotation);
  Bone_updateWorldTransformWith(parent, px, py, parent->rotation + a1 * alpha, parent->ascaleX,
                                parent->ascaleY, 0, 0);
  rotation = child->arotation;
  a2 = WrapDegreesOnce(((a2 + os) * kRadDeg - child->ashearX) * static_cast<float>(s2) +
                       static_cast<float>(o2) - rotation);
  Bone_updateWorldTransformWith(child, cx, cy, rotation + a2 * alpha, child->ascaleX,
                                child->ascaleY, child->ashearX, child->ashearY);
}

}  // namespace GCore
