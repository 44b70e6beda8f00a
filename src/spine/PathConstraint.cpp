#include "spine/PathConstraint.h"

#include <algorithm>

#include "spine/Bone.h"
#include "spine/BoneData.h"
#include "spine/PathAttachment.h"
#include "spine/PathConstraintData.h"
#include "spine/Skeleton.h"
#include "spine/SlotData.h"
#include "spine/Slot.h"
#include "spine/SpineUtil.h"

namespace GCore {

namespace {

constexpr int32_t kBefore = -2, kAfter = -3, kNoCurve = -1;

// One cubic Bezier: start, two controls, end.
struct Curve {
  float x1 = 0, y1 = 0, cx1 = 0, cy1 = 0, cx2 = 0, cy2 = 0, x2 = 0, y2 = 0;
};

Curve CurveAt(const float* w) { return {w[0], w[1], w[2], w[3], w[4], w[5], w[6], w[7]}; }

void AddBeforePosition(float p, const float* temp, float* out, int32_t o) {
  const float x1 = temp[0], y1 = temp[1];
  const float r = std::atan2(temp[3] - y1, temp[2] - x1);
  out[o] = x1 + p * std::cos(r);
  out[o + 1] = y1 + p * std::sin(r);
  out[o + 2] = r;
}

void AddAfterPosition(float p, const float* temp, float* out, int32_t o) {
  const float x1 = temp[2], y1 = temp[3];
  const float r = std::atan2(y1 - temp[1], x1 - temp[0]);
  out[o] = x1 + p * std::cos(r);
  out[o + 1] = y1 + p * std::sin(r);
  out[o + 2] = r;
}

void AddCurvePosition(float p, const Curve& k, float* out, int32_t o, bool tangent) {
  if (p == 0 || std::isnan(p)) p = 0.0001f;
  const float tt = p * p, ttt = tt * p, u = 1 - p, uu = u * u, uuu = uu * u;
  const float ut = u * p, ut3 = ut * 3, uut3 = u * ut3, utt3 = ut3 * p;
  const float x = k.x1 * uuu + k.cx1 * uut3 + k.cx2 * utt3 + k.x2 * ttt;
  const float y = k.y1 * uuu + k.cy1 * uut3 + k.cy2 * utt3 + k.y2 * ttt;
  out[o] = x;
  out[o + 1] = y;
  if (tangent) {
    out[o + 2] = std::atan2(y - (k.y1 * uu + k.cy1 * ut * 2 + k.cy2 * tt),
                            x - (k.x1 * uu + k.cx1 * ut * 2 + k.cx2 * tt));
  }
}

// The first of `count` running lengths that reaches p (the last when none
// does), with p turned into the fraction of that piece.
int32_t FindPiece(const float* lengths, int32_t from, int32_t count, float& p) {
  int32_t i = from;
  while (i < count - 1 && !(p <= lengths[i])) ++i;
  if (i == 0) {
    p /= lengths[0];
  } else {
    const float previous = lengths[i - 1];
    p = (p - previous) / (lengths[i] - previous);
  }
  return i;
}

enum class Place { kBefore, kOn, kAfter };

// Where a position lies: before an open path, after it, or on the path (a
// closed one brings every position onto itself).
Place PlaceOnPath(float& p, float pathLength, bool closed) {
  if (closed) {
    p = std::fmod(p, pathLength);
    if (p < 0) p += pathLength;
    return Place::kOn;
  }
  if (p < 0) return Place::kBefore;
  return p > pathLength ? Place::kAfter : Place::kOn;
}

float* ComputeVariableSpeed(PathConstraint* self, const PathAttachment* path, int32_t spacesCount,
                            bool tangents, bool percentPosition, bool percentSpacing) {
  Slot* target = self->target;
  float* out = self->positions.data();
  float* spaces = self->spaces.data();
  const bool closed = path->closed;
  const int32_t verticesLength = path->worldVerticesLength;
  const int32_t curveCount = verticesLength / 6 - (closed ? 1 : 2);
  const float* lengths = path->lengths;
  const float pathLength = lengths[curveCount];
  float position = self->position;
  if (percentPosition) position *= pathLength;
  if (percentSpacing) {
    for (int32_t i = 0; i < spacesCount; ++i) spaces[i] *= pathLength;
  }
  self->world.resize(8);
  float* world = self->world.data();
  Curve curveAt;
  int32_t previousCurve = kNoCurve;
  for (int32_t i = 0, o = 0, curve = 0; i < spacesCount; ++i, o += 3) {
    const float space = spaces[i];
    position += space;
    float p = position;
    const Place place = PlaceOnPath(p, pathLength, closed);
    if (closed) curve = 0;
    if (place == Place::kBefore) {
      if (previousCurve != kBefore) {
        previousCurve = kBefore;
        VertexAttachment_computeWorldVertices(path, 2, 4, target, world, 0);
      }
      AddBeforePosition(p, world, out, o);
      continue;
    }
    if (place == Place::kAfter) {
      if (previousCurve != kAfter) {
        previousCurve = kAfter;
        VertexAttachment_computeWorldVertices(path, verticesLength - 6, 4, target, world, 0);
      }
      AddAfterPosition(p - pathLength, world, out, o);
      continue;
    }
    curve = FindPiece(lengths, curve, curveCount + 1, p);
    if (curve != previousCurve) {
      previousCurve = curve;
      if (closed && curve == curveCount) {
        VertexAttachment_computeWorldVertices(path, verticesLength - 4, 4, target, world, 0);
        VertexAttachment_computeWorldVertices(path, 0, 4, target, world, 4);
      } else {
        VertexAttachment_computeWorldVertices(path, curve * 6 + 2, 8, target, world, 0);
      }
      curveAt = CurveAt(world);
    }
    AddCurvePosition(p, curveAt, out, o, tangents || (i > 0 && space == 0));
  }
  return out;
}

// Running length of one curve by forward differencing: 4 steps for the
// whole path, 10 steps for the segments of the curve a bone lies on.
struct Differences {
  float dfx, dfy, ddfx, ddfy, dddfx, dddfy;
};

Differences Forward(const Curve& k, float tmpFactor, float dddFactor, float dFactor) {
  const float tmpx = (k.x1 - k.cx1 * 2 + k.cx2) * tmpFactor;
  const float tmpy = (k.y1 - k.cy1 * 2 + k.cy2) * tmpFactor;
  const float dddfx = ((k.cx1 - k.cx2) * 3 - k.x1 + k.x2) * dddFactor;
  const float dddfy = ((k.cy1 - k.cy2) * 3 - k.y1 + k.y2) * dddFactor;
  return {(k.cx1 - k.x1) * dFactor + tmpx + dddfx * 0.16666667f,
          (k.cy1 - k.y1) * dFactor + tmpy + dddfy * 0.16666667f,
          tmpx * 2 + dddfx,
          tmpy * 2 + dddfy,
          dddfx,
          dddfy};
}

float Length(const Differences& d) { return std::sqrt(d.dfx * d.dfx + d.dfy * d.dfy); }

void Step(Differences& d) {
  d.dfx += d.ddfx;
  d.dfy += d.ddfy;
  d.ddfx += d.dddfx;
  d.ddfy += d.dddfy;
}

float* ComputeConstantSpeed(PathConstraint* self, const PathAttachment* path, int32_t spacesCount,
                            bool tangents, bool percentPosition, bool percentSpacing) {
  Slot* target = self->target;
  float* out = self->positions.data();
  float* spaces = self->spaces.data();
  const bool closed = path->closed;
  int32_t verticesLength = path->worldVerticesLength;
  int32_t curveCount = verticesLength / 6;
  if (closed) {
    verticesLength += 2;
    self->world.resize(static_cast<size_t>(verticesLength));
    float* world = self->world.data();
    VertexAttachment_computeWorldVertices(path, 2, verticesLength - 4, target, world, 0);
    VertexAttachment_computeWorldVertices(path, 0, 2, target, world, verticesLength - 4);
    world[verticesLength - 2] = world[0];
    world[verticesLength - 1] = world[1];
  } else {
    --curveCount;
    verticesLength -= 4;
    self->world.resize(static_cast<size_t>(verticesLength));
    VertexAttachment_computeWorldVertices(path, 2, verticesLength, target, self->world.data(), 0);
  }
  const float* world = self->world.data();

  self->curves.resize(static_cast<size_t>(curveCount));
  float* curves = self->curves.data();
  float pathLength = 0;
  for (int32_t i = 0, w = 0; i < curveCount; ++i, w += 6) {
    Differences d = Forward(CurveAt(world + w), 0.1875f, 0.09375f, 0.75f);
    pathLength += Length(d);
    Step(d);
    pathLength += Length(d);
    d.dfx += d.ddfx;
    d.dfy += d.ddfy;
    pathLength += Length(d);
    d.dfx += d.ddfx + d.dddfx;
    d.dfy += d.ddfy + d.dddfy;
    pathLength += Length(d);
    curves[i] = pathLength;
  }

  float position = self->position;
  if (percentPosition) position *= pathLength;
  if (percentSpacing) {
    for (int32_t i = 0; i < spacesCount; ++i) spaces[i] *= pathLength;
  }
  float* segments = self->segments;
  float curveLength = 0;
  Curve curveAt;
  int32_t previousCurve = kNoCurve;
  for (int32_t i = 0, o = 0, curve = 0, segment = 0; i < spacesCount; ++i, o += 3) {
    const float space = spaces[i];
    position += space;
    float p = position;
    const Place place = PlaceOnPath(p, pathLength, closed);
    if (closed) curve = 0;
    if (place != Place::kOn) {
      if (place == Place::kBefore) {
        AddBeforePosition(p, world, out, o);
      } else {
        AddAfterPosition(p - pathLength, world + verticesLength - 4, out, o);
      }
      continue;
    }
    curve = FindPiece(curves, curve, curveCount, p);
    if (curve != previousCurve) {
      previousCurve = curve;
      curveAt = CurveAt(world + curve * 6);
      Differences d = Forward(curveAt, 0.03f, 0.006f, 0.3f);
      curveLength = Length(d);
      segments[0] = curveLength;
      for (int32_t k = 1; k < 8; ++k) {
        Step(d);
        curveLength += Length(d);
        segments[k] = curveLength;
      }
      d.dfx += d.ddfx;
      d.dfy += d.ddfy;
      curveLength += Length(d);
      segments[8] = curveLength;
      d.dfx += d.ddfx + d.dddfx;
      d.dfy += d.ddfy + d.dddfy;
      curveLength += Length(d);
      segments[9] = curveLength;
      segment = 0;
    }
    p *= curveLength;
    segment = FindPiece(segments, segment, 10, p);
    if (segment > 0) p += static_cast<float>(segment);
    AddCurvePosition(p * 0.1f, curveAt, out, o, tangents || (i > 0 && space == 0));
  }
  return out;
}

}  // namespace

PathConstraint* PathConstraint_create(const PathConstraintData* data, Skeleton* skeleton) {
  PathConstraint* self = new PathConstraint{};
  self->data = data;
  self->bonesCount = data->bonesCount;
  self->bones = Skeleton_bonesOf(skeleton, data->bones, data->bonesCount);
  self->target = &skeleton->slots[data->target->index];
  self->position = data->position;
  self->spacing = data->spacing;
  self->rotateMix = data->rotateMix;
  self->translateMix = data->translateMix;
  return self;
}

void PathConstraint_dispose(PathConstraint* self) {
  if (!self) return;
  FreeArray(self->bones);
  delete self;
}

float* PathConstraint_computeWorldPositions(PathConstraint* self, const PathAttachment* path,
                                            int32_t spacesCount, bool tangents,
                                            bool percentPosition, bool percentSpacing) {
  // Zeroed every time: the last bone of a tangent chain reads one pair past
  // the positions written.
  self->positions.assign(static_cast<size_t>(spacesCount) * 3 + 2, 0.0f);
  if (path->constantSpeed) {
    return ComputeConstantSpeed(self, path, spacesCount, tangents, percentPosition, percentSpacing);
  }
  return ComputeVariableSpeed(self, path, spacesCount, tangents, percentPosition, percentSpacing);
}

void PathConstraint_apply(PathConstraint* self) {
  const float rotateMix = self->rotateMix, translateMix = self->translateMix;
  const bool translate = translateMix > 0, rotate = rotateMix > 0;
  if (!translate && !rotate) return;
  const Attachment* attachment = self->target->attachment;
  if (!attachment || attachment->type != kAttachmentPath) return;
  const int32_t boneCount = self->bonesCount;
  if (boneCount == 0) return;
  const auto* path = static_cast<const PathAttachment*>(attachment);

  const PathConstraintData& data = *self->data;
  const bool lengthSpacing = data.spacingMode == kSpacingLength;
  const bool tangents = data.rotateMode == kRotateTangent;
  const bool scale = data.rotateMode == kRotateChainScale;
  const int32_t spacesCount = tangents ? boneCount : boneCount + 1;
  self->spaces.resize(static_cast<size_t>(spacesCount));
  float* spaces = self->spaces.data();
  spaces[0] = 0;
  const float spacing = self->spacing;
  if (scale || lengthSpacing) {
    if (scale) self->lengths.resize(static_cast<size_t>(boneCount));
    for (int32_t i = 0; i < spacesCount - 1; ++i) {
      const Bone* bone = self->bones[i];
      const float setupLength = bone->data->length;
      const float x = setupLength * bone->a, y = setupLength * bone->c;
      const float length = std::sqrt(x * x + y * y);
      if (scale) self->lengths[static_cast<size_t>(i)] = length;
      spaces[i + 1] = lengthSpacing ? std::max(0.0f, length + spacing) : spacing;
    }
  } else {
    for (int32_t i = 1; i < spacesCount; ++i) spaces[i] = spacing;
  }

  const float* positions = PathConstraint_computeWorldPositions(
      self, path, spacesCount, tangents, data.positionMode == kPositionPercent,
      data.spacingMode == kSpacingPercent);
  float offsetRotation = data.offsetRotation;
  bool tip;
  if (offsetRotation == 0) {
    tip = data.rotateMode == kRotateChain;
  } else {
    tip = false;
    const Bone* p = self->target->bone;
    offsetRotation *= p->a * p->d - p->b * p->c > 0 ? kDegRad : -kDegRad;
  }

  float boneX = positions[0], boneY = positions[1];
  for (int32_t i = 0, p = 3; i < boneCount; ++i, p += 3) {
    Bone* bone = self->bones[i];
    bone->worldX += (boneX - bone->worldX) * translateMix;
    bone->worldY += (boneY - bone->worldY) * translateMix;
    const float x = positions[p], y = positions[p + 1];
    const float dx = x - boneX, dy = y - boneY;
    if (scale) {
      const float length = self->lengths[static_cast<size_t>(i)];
      if (length != 0) {
        const float s = (std::sqrt(dx * dx + dy * dy) / length - 1) * rotateMix + 1;
        bone->a *= s;
        bone->c *= s;
      }
    }
    boneX = x;
    boneY = y;
    if (rotate) {
      const float a = bone->a, b = bone->b, c = bone->c, d = bone->d;
      float r;
      if (tangents) {
        r = positions[p - 1];
      } else if (spaces[i + 1] == 0) {
        r = positions[p + 2];
      } else {
        r = std::atan2(dy, dx);
      }
      r -= std::atan2(c, a);
      if (tip) {
        const float cosine = std::cos(r), sine = std::sin(r);
        const float length = bone->data->length;
        boneX += (length * (cosine * a - sine * c) - dx) * rotateMix;
        boneY += (length * (sine * a + cosine * c) - dy) * rotateMix;
      } else {
        r += offsetRotation;
      }
      r = WrapRadiansOnce(r) * rotateMix;
      const float cosine = std::cos(r), sine = std::sin(r);
      bone->a = cosine * a - sine * c;
      bone->b = cosine * b - sine * d;
      bone->c = sine * a + cosine * c;
      bone->d = sine * b + cosine * d;
    }
    bone->appliedValid = 0;
  }
}

}  // namespace GCore
