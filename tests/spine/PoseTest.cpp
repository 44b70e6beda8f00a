// Posing a skeleton: world transforms of every inherit mode (expected values
// worked out by hand beside each row), the applied pose recovered from the
// world, the update cache's order, and the setup pose of slots.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "spine/Attachment.h"
#include "spine/Bone.h"
#include "spine/BoneData.h"
#include "spine/IkConstraint.h"
#include "spine/PathConstraint.h"
#include "spine/Skin.h"
#include "spine/Slot.h"
#include "spine/SlotData.h"
#include "spine/SpineFixtures.h"
#include "spine/SpineUtil.h"
#include "spine/TransformConstraint.h"

namespace {

using namespace skel;

constexpr float kTolerance = 1e-4f;

using spinefix::Posed;

void ExpectWorld(const GCore::Bone& bone, float a, float b, float c, float d, float x, float y) {
  EXPECT_NEAR(bone.a, a, kTolerance);
  EXPECT_NEAR(bone.b, b, kTolerance);
  EXPECT_NEAR(bone.c, c, kTolerance);
  EXPECT_NEAR(bone.d, d, kTolerance);
  EXPECT_NEAR(bone.worldX, x, kTolerance);
  EXPECT_NEAR(bone.worldY, y, kTolerance);
}

TEST(Pose, WorldTransformOfEveryInheritMode) {
  struct Row {
    const char* what;
    float parentScaleX, parentScaleY;
    uint32_t mode;
    float rotation;
    bool flipX;
    float a, b, c, d;
  };
  // The parent sits at (10, 0) turned 90 degrees. With scale (2, 1) its
  // world columns are (0, 2) and (-1, 0); the child at (5, 0) in it lands
  // at (10, 10) in every mode.
  const Row rows[] = {
      // Normal: the parent's matrix as it is.
      {"normal", 2, 1, 0, 0, false, 0, -1, 2, 0},
      // Only translation: the child's own rotation and scale, unturned.
      {"only translation", 2, 1, 1, 0, false, 1, 0, 0, 1},
      {"only translation, turned", 2, 1, 1, 90, false, 0, -1, 1, 0},
      // No rotation: s = |0 - (-2)| / 4 = 0.5, pb = 1, pd = 0, prx = 90;
      // rx = -90, ry = 0: a = 0 - 1 * -1, d = 2 * 1.
      {"no rotation or reflection", 2, 1, 2, 0, false, 1, 0, 0, 2},
      // No scale: the parent's x axis (0, 2) made unit, y axis 90 degrees on.
      {"no scale", 2, 1, 3, 0, false, 0, -1, 1, 0},
      {"no scale or reflection", 2, 1, 4, 0, false, 0, -1, 1, 0},
      // A reflected parent (scale y -1, determinant -2): no scale keeps the
      // reflection, no scale or reflection drops it.
      {"no scale, reflected parent", 2, -1, 3, 0, false, 0, 1, 1, 0},
      {"no scale or reflection, reflected parent", 2, -1, 4, 0, false, 0, -1, 1, 0},
      // Flipped skeleton: the root's x axis is negated, so is the parent's
      // y column; the child without reflection follows the flips.
      {"no scale or reflection, flipped", 2, 1, 4, 0, true, 0, 1, 1, 0},
      {"normal, flipped", 2, 1, 0, 0, true, 0, 1, 2, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    skel::Skeleton model;
    model.bones = {{"root"},
                   {"parent", 0, 90, 10, 0, row.parentScaleX, row.parentScaleY},
                   {"child", 1, row.rotation, 5, 0, 1, 1, 0, 0, 0, row.mode}};
    Posed posed(model);
    ASSERT_TRUE(posed.skeleton) << posed.error;
    posed.skeleton->flipX = row.flipX;
    GCore::Skeleton_updateWorldTransform(posed.skeleton.get());
    const float x = row.flipX ? -10.0f : 10.0f;
    ExpectWorld(posed.bone(2), row.a, row.b, row.c, row.d, x, 10);
  }
}

TEST(Pose, DegenerateParentGivesNoRotationItsBaseFromTheYAxis) {
  // Parent scale x 0: pa = pc = 0, so prx = 90 - atan2(pd, pb); turned 90,
  // (pb, pd) = (-1, 0) and prx = -90: the child's x axis is the world's.
  skel::Skeleton model;
  model.bones = {{"root"}, {"parent", 0, 90, 0, 0, 0, 1}, {"child", 1, 0, 0, 0, 1, 1, 0, 0, 0, 2}};
  Posed posed(model);
  GCore::Skeleton_updateWorldTransform(posed.skeleton.get());
  ExpectWorld(posed.bone(2), 1, 0, 0, 0, 0, 0);
}

TEST(Pose, RootTakesTheSkeletonPositionAndFlips) {
  skel::Skeleton model;
  model.bones = {{"root", 0, 90, 3, 4, 2, 1}};
  Posed posed(model);
  posed.skeleton->x = 100;
  posed.skeleton->y = 50;
  posed.skeleton->flipY = 1;
  GCore::Skeleton_updateWorldTransform(posed.skeleton.get());
  // Turned 90 with scale x 2: columns (0, 2) and (-1, 0), then y negated.
  ExpectWorld(posed.bone(0), 0, -1, -2, 0, 103, 46);
}

TEST(Pose, AppliedPoseIsRecoveredFromTheWorldTransform) {
  skel::Skeleton model;
  model.bones = {{"root", 0, 20, 1, 2, 1.5f, 0.5f}, {"child", 0, 35, 7, -3, 1.25f, 0.75f}};
  Posed posed(model);
  GCore::Skeleton_updateWorldTransform(posed.skeleton.get());
  GCore::Bone& child = posed.bone(1);
  child.ax = child.ay = child.arotation = child.ascaleX = child.ascaleY = child.ashearY = 0;
  GCore::Bone_updateAppliedTransform(&child);
  EXPECT_EQ(child.appliedValid, 1);
  EXPECT_NEAR(child.ax, 7, kTolerance);
  EXPECT_NEAR(child.ay, -3, kTolerance);
  EXPECT_NEAR(child.arotation, 35, kTolerance);
  EXPECT_NEAR(child.ascaleX, 1.25f, kTolerance);
  EXPECT_NEAR(child.ascaleY, 0.75f, kTolerance);
  EXPECT_NEAR(child.ashearY, 0, kTolerance);
}

TEST(Pose, ASkeletonWithoutBones) {
  skel::Skeleton model;
  Posed posed(model);
  ASSERT_TRUE(posed.skeleton);
  EXPECT_EQ(posed.skeleton->root, nullptr);
  EXPECT_TRUE(posed.skeleton->updateCache.empty());
  GCore::Skeleton_updateWorldTransform(posed.skeleton.get());
}

TEST(Pose, CreationLinksBonesSlotsAndConstraints) {
  Posed posed(spinefix::FullModel());
  GCore::Skeleton& s = *posed.skeleton;
  EXPECT_EQ(s.root, &s.bones[0]);
  ASSERT_EQ(s.bones[2].childrenCount, 2);
  EXPECT_EQ(s.bones[2].children[0], &s.bones[3]);
  EXPECT_EQ(s.bones[2].children[1], &s.bones[5]);
  EXPECT_EQ(s.bones[3].parent, &s.bones[2]);
  EXPECT_EQ(s.bones[3].rotation, 30) << "local pose from the data";
  EXPECT_EQ(s.r, 1);
  for (int i = 0; i < s.slotCount; ++i) EXPECT_EQ(s.drawOrder[i], &s.slots[i]);
  EXPECT_EQ(s.slots[2].bone, &s.bones[3]);
  EXPECT_STREQ(s.slots[2].attachment->name, "arm-mesh");
  EXPECT_EQ(s.slots[6].attachment, nullptr);
  EXPECT_FLOAT_EQ(s.slots[0].g, 128 / 255.0f);
  EXPECT_EQ(s.ikConstraints[0]->bones[1], &s.bones[4]);
  EXPECT_EQ(s.ikConstraints[0]->target, &s.bones[7]);
  EXPECT_EQ(s.ikConstraints[0]->bendDirection, -1);
  EXPECT_EQ(s.transformConstraints[0]->bones[0], &s.bones[6]);
  EXPECT_EQ(s.pathConstraints[0]->target, &s.slots[5]);
  EXPECT_EQ(GCore::Skeleton_findBone(&s, "lower"), &s.bones[4]);
  EXPECT_EQ(GCore::Skeleton_findBone(&s, "nope"), nullptr);
  EXPECT_EQ(GCore::Skeleton_findSlot(&s, "linked"), &s.slots[7]);
}

TEST(Pose, ConstraintsTakeTheirBonesByIndexNotByName) {
  skel::Skeleton model;
  model.bones = {{"root"}, {"twin", 0}, {"twin", 0}, {"target", 0}};
  model.ik = {{"ik", 0, {2}, 3}};
  model.transforms = {{"tc", 1, {2}, 1}};
  model.slots = {{"path", 0, {}, std::nullopt}, {"path", 0, {}, std::nullopt}};
  model.paths = {{"pc", 2, {2}, 1}};
  Posed posed(model);
  ASSERT_TRUE(posed.skeleton) << posed.error;
  GCore::Skeleton& s = *posed.skeleton;
  EXPECT_EQ(s.ikConstraints[0]->bones[0], &s.bones[2]);
  EXPECT_EQ(s.transformConstraints[0]->target, &s.bones[1]);
  EXPECT_EQ(s.transformConstraints[0]->bones[0], &s.bones[2]);
  EXPECT_EQ(s.pathConstraints[0]->bones[0], &s.bones[2]);
  EXPECT_EQ(s.pathConstraints[0]->target, &s.slots[1]);
}

TEST(Pose, UpdateCacheRunsConstraintsInOrderAfterTheBonesTheyNeed) {
  skel::Skeleton model;
  model.bones = {{"root"}, {"a", 0}, {"b", 1}, {"c", 2}, {"target", 0}, {"free", 0}, {"t", 0}};
  model.slots = {{"path", 0, {}, "curve"}};
  Attachment path;
  path.key = "curve";
  path.type = kPath;
  path.vertices.plain.assign(12, 0);
  model.defaultSkin.slots = {{0, {path}}};
  model.paths = {{"p", 0, {6}, 0}};
  model.ik = {{"ik", 1, {2, 3}, 4}};
  model.transforms = {{"tc", 2, {5}, 4}};
  Posed posed(model);
  GCore::Skeleton& s = *posed.skeleton;
  std::vector<std::string> order;
  for (const GCore::UpdateCacheEntry& entry : s.updateCache) {
    switch (entry.kind) {
      case GCore::kUpdateBone:
        order.push_back(static_cast<GCore::Bone*>(entry.object)->data->name);
        break;
      case GCore::kUpdateIkConstraint:
        order.push_back("IK");
        break;
      case GCore::kUpdatePathConstraint:
        order.push_back("path");
        break;
      case GCore::kUpdateTransformConstraint:
        order.push_back("transform");
        break;
    }
  }
  // The IK chain's child is posed by the constraint itself; the transform's
  // bone comes just before the transform.
  EXPECT_EQ(order, (std::vector<std::string>{"root", "t", "path", "target", "a", "b", "IK", "free",
                                             "transform"}));
  EXPECT_EQ(s.updateCacheReset, std::vector<GCore::Bone*>{&s.bones[3]})
      << "the IK child, not in the cache when the constraint was sorted";
}

TEST(Pose, SlotAttachmentsAndSkins) {
  Posed posed(spinefix::FullModel());
  GCore::Skeleton& s = *posed.skeleton;
  GCore::Slot& head = s.slots[1];
  GCore::Attachment* fromDefault = head.attachment;
  EXPECT_EQ(GCore::Skeleton_getAttachmentForSlotIndex(&s, -1, "head"), nullptr);

  // Setting the shown attachment again changes nothing.
  s.time = 2;
  head.deformCount = 3;
  GCore::Slot_setAttachment(&head, fromDefault);
  EXPECT_EQ(head.attachmentTime, 0);
  EXPECT_EQ(head.deformCount, 3);
  GCore::Slot_setAttachment(&head, nullptr);
  EXPECT_EQ(head.attachmentTime, 2);
  EXPECT_EQ(head.deformCount, 0);

  // The skeleton's skin is searched before the default skin.
  s.skin = GCore::SkeletonData_findSkin(posed.data.get(), "alt");
  GCore::Attachment* fromAlt = GCore::Skeleton_getAttachmentForSlotIndex(&s, 1, "head");
  EXPECT_NE(fromAlt, fromDefault);
  EXPECT_EQ(GCore::Skeleton_getAttachmentForSlotIndex(&s, 2, "arm-mesh"),
            GCore::Skin_getAttachment(posed.data->defaultSkin, 2, "arm-mesh"));
  s.time = 3;
  head.r = 0;
  GCore::Skeleton_setSlotsToSetupPose(&s);
  EXPECT_EQ(head.attachment, fromAlt);
  EXPECT_EQ(head.attachmentTime, 3);
  EXPECT_EQ(head.r, 1);

  // A setup name that no skin has leaves the slot empty and its time alone.
  auto* data = const_cast<GCore::SlotData*>(head.data);
  GCore::FreeText(data->attachmentName);
  data->attachmentName = GCore::CopyText("gone");
  s.time = 4;
  GCore::Slot_setToSetupPose(&head);
  EXPECT_EQ(head.attachment, nullptr);
  EXPECT_EQ(head.attachmentTime, 3);
}

}  // namespace
