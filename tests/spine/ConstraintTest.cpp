// IK, transform and path constraints against poses worked out by hand (the
// arithmetic beside each row), within 1e-4.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "spine/Bone.h"
#include "spine/IkConstraint.h"
#include "spine/PathConstraint.h"
#include "spine/SpineFixtures.h"
#include "spine/SpineUtil.h"
#include "spine/TransformConstraint.h"

namespace {

using namespace skel;

constexpr float kTolerance = 1e-4f;

using spinefix::Posed;

float WorldAngle(const GCore::Bone& bone) { return std::atan2(bone.c, bone.a) * GCore::kRadDeg; }

// Where the bone's tip lies, `length` along its world x axis.
void ExpectTip(const GCore::Bone& bone, float length, float x, float y) {
  EXPECT_NEAR(bone.a * length + bone.worldX, x, kTolerance);
  EXPECT_NEAR(bone.c * length + bone.worldY, y, kTolerance);
}

skel::Skeleton TwoBoneChain(float childX, float parentScaleY = 1) {
  skel::Skeleton model;
  model.bones = {{"root"},
                 {"parent", 0, 0, 0, 0, 1, parentScaleY, 0, 0, 10},
                 {"child", 1, 0, childX, 0, 1, 1, 0, 0, 10},
                 {"target", 0, 0, 10, 10}};
  model.ik = {{"ik", 0, {1, 2}, 3, 1, 1}};
  return model;
}

TEST(IkConstraint, OneBone) {
  struct Row {
    const char* what;
    float rotation, scaleX, targetX, targetY, mix, expected;
  };
  const Row rows[] = {
      {"straight up", 0, 1, 0, 10, 1, 90},
      {"half the way", 0, 1, 0, 10, 0.5f, 45},
      {"already aimed", 30, 1, 10 * std::cos(30 * GCore::kDegRad), 10 * std::sin(30 * GCore::kDegRad), 1, 30},
      // atan2 gives 90; a mirrored bone turns 180 more: 270, wrapped -90.
      {"mirrored bone", 0, -1, 0, 10, 1, -90},
      // atan2(-1, -10) = -174.29: the bone turns 15.71 on, not 344.29 back.
      {"across the half turn", 170, 1, -10, -1, 1, 185.71059f},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    skel::Skeleton model;
    model.bones = {{"root"}, {"arm", 0, row.rotation, 0, 0, row.scaleX, 1, 0, 0, 10},
                   {"target", 0, 0, row.targetX, row.targetY}};
    model.ik = {{"ik", 0, {1}, 2, row.mix, 1}};
    Posed posed(model);
    posed.Update();
    EXPECT_NEAR(posed.bone(1).arotation, row.expected, kTolerance);
  }
}

TEST(IkConstraint, OneBoneOnTheRootUsesTheSkeletonFrame) {
  // The target is posed before the root turns: it stays at (5, 10), straight
  // above the root placed at the skeleton's x.
  skel::Skeleton model;
  model.bones = {{"root", 0, 0, 0, 0, 1, 1, 0, 0, 10}, {"target", 0, 0, 0, 10}};
  model.ik = {{"ik", 0, {0}, 1, 1, 1}};
  Posed posed(model);
  posed.skeleton->x = 5;
  posed.Update();
  EXPECT_NEAR(posed.bone(0).arotation, 90, kTolerance);
  EXPECT_NEAR(posed.bone(0).worldX, 5, kTolerance);
  EXPECT_NEAR(WorldAngle(posed.bone(0)), 90, kTolerance);
}

TEST(IkConstraint, TwoBones) {
  struct Row {
    const char* what;
    int8_t bend;
    float mix, targetX, targetY, parentAngle, childAngle;
  };
  // Two bones of 10 reaching (10, 10): the law of cosines gives a right
  // angle at the elbow; bending one way the parent stays level, the other
  // way it points up.
  const Row rows[] = {
      {"bend positive", 1, 1, 10, 10, 0, 90},
      {"bend negative", -1, 1, 10, 10, 90, 0},
      {"half mixed", 1, 0.5f, 10, 10, 0, 45},
      {"out of reach", 1, 1, 30, 0, 0, 0},
      {"out of reach, aside", 1, 1, 0, 30, 90, 90},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    skel::Skeleton model = TwoBoneChain(10);
    model.ik[0].bend = row.bend;
    model.ik[0].mix = row.mix;
    model.bones[3].x = row.targetX;
    model.bones[3].y = row.targetY;
    Posed posed(model);
    posed.Update();
    EXPECT_NEAR(WorldAngle(posed.bone(1)), row.parentAngle, kTolerance);
    EXPECT_NEAR(WorldAngle(posed.bone(2)), row.childAngle, kTolerance);
    if (row.mix == 1 && row.targetX == 10) ExpectTip(posed.bone(2), 10, 10, 10);
  }
}

TEST(IkConstraint, TwoBonesUnderANonUniformParent) {
  // Parent scale (1, 2): the child's reach is an ellipse, solved the other
  // way; the tip still lands on a reachable target.
  skel::Skeleton model = TwoBoneChain(10, 2);
  model.bones[3].x = 12;
  model.bones[3].y = 8;
  Posed posed(model);
  posed.Update();
  const GCore::Bone& child = posed.bone(2);
  ExpectTip(child, 10, 12, 8);
  EXPECT_NEAR(posed.bone(1).worldX, 0, kTolerance);
}

TEST(IkConstraint, TwoBonesWithoutLengthAimTheParentAlone) {
  // The child sits on the parent's origin: no triangle to solve. The parent
  // turns to the target and carries the child along.
  skel::Skeleton model = TwoBoneChain(0);
  model.bones[3].x = 0;
  model.bones[3].y = 10;
  Posed posed(model);
  posed.Update();
  EXPECT_NEAR(WorldAngle(posed.bone(1)), 90, kTolerance);
  EXPECT_NEAR(WorldAngle(posed.bone(2)), 90, kTolerance);
  ExpectTip(posed.bone(2), 10, 0, 10);
}

TEST(IkConstraint, TwoBonesWithMixZeroOnlyPoseTheChild) {
  skel::Skeleton model = TwoBoneChain(10);
  model.ik[0].mix = 0;
  Posed posed(model);
  posed.Update();
  EXPECT_NEAR(WorldAngle(posed.bone(1)), 0, kTolerance);
  EXPECT_NEAR(posed.bone(2).worldX, 10, kTolerance);
  EXPECT_NEAR(WorldAngle(posed.bone(2)), 0, kTolerance);
}

// A bone at (10, 0) pulled toward a target at (0, 20) turned 90 with scale
// (2, 3): its axes are (0, 2) and (-3, 0).
skel::Skeleton TransformModel(const Transform& constraint, float targetShearY = 0) {
  skel::Skeleton model;
  model.bones = {{"root"}, {"bone", 0, 0, 10, 0}, {"target", 0, 90, 0, 20, 2, 3, 0, targetShearY}};
  model.transforms = {constraint};
  model.transforms[0].bones = {1};
  model.transforms[0].target = 2;
  return model;
}

TEST(TransformConstraint, EachMix) {
  struct Row {
    const char* what;
    Transform constraint;
    float shear;
    float a, b, c, d, x, y;
  };
  const float c100 = std::cos(100 * GCore::kDegRad), s100 = std::sin(100 * GCore::kDegRad);
  const float c110 = std::cos(110 * GCore::kDegRad), s110 = std::sin(110 * GCore::kDegRad);
  const Row rows[] = {
      {"rotate", {.rotateMix = 1}, 0, 0, -1, 1, 0, 10, 0},
      {"rotate with offset", {.offsetRotation = 10, .rotateMix = 1}, 0, c100, -s100, s100, c100, 10, 0},
      {"rotate half", {.rotateMix = 0.5f}, 0, 0.70710678f, -0.70710678f, 0.70710678f, 0.70710678f, 10, 0},
      // The target's point (5, 0) is (0, 20) + 5 * (0, 2) = (0, 30).
      {"translate", {.offsetX = 5, .translateMix = 1}, 0, 1, 0, 0, 1, 0, 30},
      {"translate half", {.offsetX = 5, .translateMix = 0.5f}, 0, 1, 0, 0, 1, 5, 15},
      // Axis lengths move to the target's 2 and 3, plus the offsets.
      {"scale", {.offsetScaleX = 0.5f, .scaleMix = 1}, 0, 2.5f, 0, 0, 3, 10, 0},
      {"scale half", {.scaleMix = 0.5f}, 0, 1.5f, 0, 0, 2, 10, 0},
      // The target's y axis leans 20 past square: the bone's y axis turns
      // from 90 to 110 degrees.
      {"shear", {.shearMix = 1}, 20, 1, c110, 0, s110, 10, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    Posed posed(TransformModel(row.constraint, row.shear));
    posed.Update();
    const GCore::Bone& bone = posed.bone(1);
    EXPECT_NEAR(bone.a, row.a, kTolerance);
    EXPECT_NEAR(bone.b, row.b, kTolerance);
    EXPECT_NEAR(bone.c, row.c, kTolerance);
    EXPECT_NEAR(bone.d, row.d, kTolerance);
    EXPECT_NEAR(bone.worldX, row.x, kTolerance);
    EXPECT_NEAR(bone.worldY, row.y, kTolerance);
    EXPECT_EQ(bone.appliedValid, 0);
  }
}

TEST(TransformConstraint, NoMixesLeaveTheBoneAlone) {
  Posed posed(TransformModel({}));
  posed.Update();
  EXPECT_EQ(posed.bone(1).a, 1);
  EXPECT_EQ(posed.bone(1).worldX, 10);
  EXPECT_EQ(posed.bone(1).appliedValid, 1);
}

// Two bones of length 10 on a straight path from (0, 0) to (30, 30); its
// control points sit on the line at thirds, so distance along it is linear.
skel::Skeleton PathModel(const Path& constraint, bool constantSpeed = false) {
  skel::Skeleton model;
  model.bones = {{"root"}, {"b1", 0, 0, 0, 0, 1, 1, 0, 0, 10}, {"b2", 0, 0, 0, 0, 1, 1, 0, 0, 10}};
  model.slots = {{"path", 0, {}, "line"}};
  Attachment line;
  line.key = "line";
  line.type = kPath;
  line.constantSpeed = constantSpeed;
  line.vertices.plain = {-10, -10, 0, 0, 10, 10, 20, 20, 30, 30, 40, 40};
  const float length = 30 * std::sqrt(2.0f);
  line.lengths = {length, length};
  model.defaultSkin.slots = {{0, {line}}};
  model.paths = {constraint};
  model.paths[0].bones = {1, 2};
  model.paths[0].target = 0;
  return model;
}

TEST(PathConstraint, PlacesBonesAlongThePath) {
  struct Row {
    const char* what;
    Path constraint;
    bool constantSpeed;
    float along1, along2;  // distance along the line from (0, 0)
    float scale;           // of each bone's x axis
  };
  const float diagonal = 30 * std::sqrt(2.0f);
  const Row rows[] = {
      {"fixed spacing, tangent", {.spacingMode = 1, .rotateMode = 0, .position = 5, .spacing = 10}, false, 5, 15, 1},
      {"length spacing, chain", {.spacingMode = 0, .rotateMode = 1, .position = 5}, false, 5, 15, 1},
      {"percent position and spacing",
       {.positionMode = 1, .spacingMode = 2, .position = 0.5f, .spacing = 0.25f},
       false,
       diagonal * 0.5f,
       diagonal * 0.75f,
       1},
      // Length spacing 10 + 5: the chain stretches each bone to 15 / 10.
      {"chain scale", {.spacingMode = 0, .rotateMode = 2, .position = 5, .spacing = 5}, false, 5, 20, 1.5f},
      {"constant speed", {.spacingMode = 1, .rotateMode = 0, .position = 5, .spacing = 10}, true, 5, 15, 1},
      // Before the start the first bone lies on the line's extension.
      {"before the start", {.spacingMode = 1, .rotateMode = 0, .position = -5, .spacing = 10}, false, -5, 5, 1},
      {"past the end", {.spacingMode = 1, .rotateMode = 0, .position = 40, .spacing = 10}, false, 40, 50, 1},
      {"past the end, constant speed",
       {.spacingMode = 1, .rotateMode = 0, .position = 40, .spacing = 10},
       true,
       40,
       50,
       1},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    Path constraint = row.constraint;
    constraint.rotateMix = constraint.translateMix = 1;
    Posed posed(PathModel(constraint, row.constantSpeed));
    posed.Update();
    const float step = std::sqrt(0.5f);
    for (int i : {1, 2}) {
      SCOPED_TRACE(i);
      const GCore::Bone& bone = posed.bone(i);
      const float along = i == 1 ? row.along1 : row.along2;
      EXPECT_NEAR(bone.worldX, along * step, kTolerance);
      EXPECT_NEAR(bone.worldY, along * step, kTolerance);
      EXPECT_NEAR(WorldAngle(bone), 45, kTolerance);
      EXPECT_NEAR(std::sqrt(bone.a * bone.a + bone.c * bone.c), row.scale, kTolerance);
      EXPECT_EQ(bone.appliedValid, 0);
    }
  }
}

TEST(PathConstraint, MixesBlendTowardThePath) {
  Path constraint{.spacingMode = 1, .position = 10, .spacing = 10, .rotateMix = 0.5f, .translateMix = 0.5f};
  Posed posed(PathModel(constraint));
  posed.Update();
  const float half = 10 * std::sqrt(0.5f) / 2;
  EXPECT_NEAR(posed.bone(1).worldX, half, kTolerance);
  EXPECT_NEAR(posed.bone(1).worldY, half, kTolerance);
  EXPECT_NEAR(WorldAngle(posed.bone(1)), 22.5f, kTolerance);
}

TEST(PathConstraint, NothingWithoutAPathAttachment) {
  Path constraint{.spacingMode = 1, .position = 10, .spacing = 10};
  skel::Skeleton model = PathModel(constraint);
  model.slots[0].attachment = std::nullopt;
  Posed posed(model);
  posed.Update();
  EXPECT_EQ(posed.bone(1).worldX, 0);
  EXPECT_EQ(posed.bone(1).a, 1);
  EXPECT_EQ(posed.bone(1).appliedValid, 1);
}

TEST(PathConstraint, PositionBuffersStartZeroed) {
  // A tangent chain reads one position pair past the points it computes.
  Path constraint{.spacingMode = 1, .rotateMode = 0, .position = 5, .spacing = 10};
  Posed posed(PathModel(constraint));
  posed.Update();
  const std::vector<float>& positions = posed.skeleton->pathConstraints[0]->positions;
  ASSERT_EQ(positions.size(), 8u);
  EXPECT_EQ(positions[6], 0);
  EXPECT_EQ(positions[7], 0);
}

}  // namespace
