// Curves and timelines: the frame search, curve sampling, and every timeline
// kind before its first key, at keys, between keys and past the end.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "spine/Animation.h"
#include "spine/Bone.h"
#include "spine/BoneTimelines.h"
#include "spine/ConstraintTimelines.h"
#include "spine/DeformTimeline.h"
#include "spine/DrawOrderTimeline.h"
#include "spine/Event.h"
#include "spine/EventTimeline.h"
#include "spine/IkConstraint.h"
#include "spine/MeshAttachment.h"
#include "spine/PathConstraint.h"
#include "spine/Slot.h"
#include "spine/SlotTimelines.h"
#include "spine/SpineFixtures.h"
#include "spine/SpineUtil.h"
#include "spine/TransformConstraint.h"

namespace {

using namespace skel;

constexpr float kTolerance = 1e-4f;

struct TimelineDisposer {
  void operator()(GCore::Timeline* t) const { GCore::Timeline_dispose(t); }
};
template <class T>
using Owned = std::unique_ptr<T, TimelineDisposer>;

TEST(Curves, BinarySearchFindsTheKeyAfterTheTime) {
  const float frames[] = {0, 9, 1, 9, 2, 9, 3, 9};
  struct Row {
    float time;
    int32_t offset;
  };
  // A time equal to a key selects the segment that starts there.
  for (const Row& row : {Row{0, 2}, Row{0.5f, 2}, Row{1, 4}, Row{1.5f, 4}, Row{2, 6}, Row{2.9f, 6}}) {
    EXPECT_EQ(GCore::Animation_binarySearch(frames, 8, row.time, 2), row.offset) << row.time;
  }
  const float two[] = {0, 1};
  EXPECT_EQ(GCore::Animation_binarySearch1(two, 2, 0.5f), 1);
}

TEST(Curves, BezierSamplesLieOnTheCurve) {
  Owned<GCore::RotateTimeline> t(GCore::Animation_createRotateTimeline(2));
  const float cx1 = 0.25f, cy1 = 0.1f, cx2 = 0.75f, cy2 = 0.9f;
  GCore::Animation_setCurve(t.get(), 0, cx1, cy1, cx2, cy2);
  EXPECT_EQ(t->curves[0], 2);
  for (int k = 1; k <= 9; ++k) {
    // B(s) = 3(1 - s)^2 s c1 + 3(1 - s) s^2 c2 + s^3.
    const float s = k / 10.0f, u = 1 - s;
    const float x = 3 * u * u * s * cx1 + 3 * u * s * s * cx2 + s * s * s;
    const float y = 3 * u * u * s * cy1 + 3 * u * s * s * cy2 + s * s * s;
    EXPECT_NEAR(t->curves[2 * k - 1], x, 1e-5f) << k;
    EXPECT_NEAR(t->curves[2 * k], y, 1e-5f) << k;
  }
  // Symmetric about the middle: halfway in time is halfway in value.
  EXPECT_NEAR(GCore::Animation_getCurvePercent(t.get(), 0, 0.5f), 0.5f, kTolerance);
  EXPECT_EQ(GCore::Animation_getCurvePercent(t.get(), 0, -1), 0);
  EXPECT_NEAR(GCore::Animation_getCurvePercent(t.get(), 0, 2), 1, kTolerance);
  EXPECT_LT(GCore::Animation_getCurvePercent(t.get(), 0, 0.2f), 0.2f) << "eases in";
  GCore::Animation_setStepped(t.get(), 0);
  EXPECT_EQ(GCore::Animation_getCurvePercent(t.get(), 0, 0.7f), 0);
  GCore::Animation_setLinear(t.get(), 0);
  EXPECT_EQ(GCore::Animation_getCurvePercent(t.get(), 0, 0.7f), 0.7f);
}

TEST(Curves, RotationWrap) {
  struct Row {
    float in, out;
  };
  // Huge angles lose whole turns first; what remains still wraps.
  const float turned = std::fmod(1e30f, 360.0f);
  for (const Row& row : {Row{0, 0}, Row{190, -170}, Row{-190, 170}, Row{540, -180}, Row{-720, 0},
                         Row{359, -1}, Row{1e30f, turned > 180 ? turned - 360 : turned}}) {
    EXPECT_NEAR(GCore::WrapRotation(row.in), row.out, kTolerance) << row.in;
  }
  EXPECT_TRUE(std::isnan(GCore::WrapRotation(std::numeric_limits<float>::quiet_NaN())));
  EXPECT_TRUE(std::isinf(GCore::WrapRotation(std::numeric_limits<float>::infinity())));
}

// A skeleton to apply timelines to: bone 1 with setup rotation 10, position
// (1, 2), scale (2, 3) and shear (4, 5); three slots on it, the first
// showing a 3-vertex mesh; one constraint of each kind.
class Timelines : public testing::Test {
 protected:
  Timelines() {
    skel::Skeleton model;
    model.bones = {{"root"}, {"bone", 0, 10, 1, 2, 2, 3, 4, 5, 10}, {"target", 0}};
    model.slots = {{"s0", 1, {255, 255, 255, 255}, "mesh"}, {"s1", 1, {}, std::nullopt}, {"s2", 1}};
    Attachment mesh;
    mesh.key = "mesh";
    mesh.type = kMesh;
    mesh.path = "arm";
    mesh.vertices.plain = {1, 2, 3, 4, 5, 6};
    mesh.regionUVs.assign(6, 0);
    mesh.triangles = {0, 1, 2};
    Attachment child;
    child.key = "child";
    child.type = kLinkedMesh;
    child.parent = "mesh";
    child.path = "arm";
    Attachment head;
    head.key = "head";
    model.defaultSkin.slots = {{0, {mesh, child, head}}};
    model.ik = {{"ik", 0, {1}, 2, 0.5f, -1}};
    model.transforms = {{"tc", 1, {1}, 2, 0, 0, 0, 0, 0, 0, 0.1f, 0.2f, 0.3f, 0.4f}};
    model.paths = {{"pc", 2, {1}, 0, 0, 0, 0, 0, 7, 8, 0.6f, 0.7f}};
    data_ = spinefix::Read(Encode(model), atlas_.get()).data;
    skeleton_.reset(GCore::Skeleton_create(data_.get()));
  }

  void Apply(const GCore::Timeline* t, float time, float alpha = 1, bool setupPose = true,
             bool mixingOut = false, float lastTime = -1) {
    GCore::Timeline_apply(t, skeleton_.get(), lastTime, time, &fired_, alpha, setupPose, mixingOut);
  }

  GCore::Bone& bone() { return skeleton_->bones[1]; }
  GCore::Slot& slot(int i) { return skeleton_->slots[i]; }

  spinefix::AtlasPtr atlas_ = spinefix::FixtureAtlas();
  spinefix::DataPtr data_;
  spinefix::SkeletonPtr skeleton_;
  std::vector<GCore::Event*> fired_;
};

TEST_F(Timelines, Rotate) {
  Owned<GCore::RotateTimeline> t(GCore::Animation_createRotateTimeline(3));
  t->boneIndex = 1;
  GCore::Animation_setFrame(t.get(), 0, 1, 0);
  GCore::Animation_setFrame(t.get(), 1, 2, 170);
  GCore::Animation_setFrame(t.get(), 2, 3, -170);
  GCore::Animation_setStepped(t.get(), 0);
  struct Row {
    float time, alpha;
    bool setupPose;
    float before, expected;
  };
  const Row rows[] = {
      {0.5f, 1, true, 99, 10},       // before the first key: the setup rotation
      {0.5f, 1, false, 99, 99},      // ... or nothing
      {1, 1, true, 99, 10},          // at a key
      {1.5f, 1, true, 99, 10},       // stepped: the earlier key holds
      {2, 1, true, 99, 180},         // 10 + 170
      {2.5f, 1, true, 99, 10 + 180}, // 170 to -170 through 180, not through 0
      {3, 1, true, 99, 10 - 170},    // at the last key
      {9, 0.5f, true, 99, 10 - 85},  // past the end, half mixed from setup
      {9, 0.5f, false, 0, -80},      // from the current 0: halfway to -160
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.time);
    bone().rotation = row.before;
    Apply(t.get(), row.time, row.alpha, row.setupPose);
    EXPECT_NEAR(std::cos(bone().rotation * GCore::kDegRad), std::cos(row.expected * GCore::kDegRad), kTolerance);
    EXPECT_NEAR(std::sin(bone().rotation * GCore::kDegRad), std::sin(row.expected * GCore::kDegRad), kTolerance);
  }
  EXPECT_EQ(GCore::Timeline_getPropertyId(t.get()), 1);

  // A key that is not a number leaves a rotation that is not one, safely.
  GCore::Animation_setFrame(t.get(), 2, 3, std::numeric_limits<float>::quiet_NaN());
  Apply(t.get(), 2.5f);
  EXPECT_TRUE(std::isnan(bone().rotation));
  GCore::Animation_setFrame(t.get(), 2, 3, 3e38f);
  Apply(t.get(), 2.5f);
  EXPECT_TRUE(std::isfinite(bone().rotation));
}

TEST_F(Timelines, TranslateShearAndScale) {
  Owned<GCore::TranslateTimeline> translate(GCore::Animation_createTranslateTimeline(2));
  Owned<GCore::ShearTimeline> shear(GCore::Animation_createShearTimeline(2));
  Owned<GCore::ScaleTimeline> scale(GCore::Animation_createScaleTimeline(2));
  for (GCore::TranslateTimeline* t : {translate.get(), shear.get(), scale.get()}) {
    t->boneIndex = 1;
    GCore::Animation_setFrame(t, 0, 0, 10, 20);
    GCore::Animation_setFrame(t, 1, 1, 30, -40);
  }
  Apply(translate.get(), 0.5f);  // setup (1, 2) plus the keyed (20, -10)
  EXPECT_NEAR(bone().x, 21, kTolerance);
  EXPECT_NEAR(bone().y, -8, kTolerance);
  Apply(translate.get(), 1, 0.5f, false);  // current (21, -8) halfway to (31, -38)
  EXPECT_NEAR(bone().x, 26, kTolerance);
  EXPECT_NEAR(bone().y, -23, kTolerance);
  Apply(translate.get(), -1);
  EXPECT_EQ(bone().x, 1);

  Apply(shear.get(), 1, 0.5f);  // setup (4, 5) plus half the keyed (30, -40)
  EXPECT_NEAR(bone().shearX, 19, kTolerance);
  EXPECT_NEAR(bone().shearY, -15, kTolerance);

  // Keyed scales multiply the setup scale (2, 3).
  Apply(scale.get(), 0.5f);
  EXPECT_NEAR(bone().scaleX, 40, kTolerance);
  EXPECT_NEAR(bone().scaleY, -30, kTolerance);
  // Half mixed from the setup (2, 3) toward (60, -120): mixing in, the base
  // takes the key's sign; mixing out, the key takes the base's.
  Apply(scale.get(), 1, 0.5f, true, false);
  EXPECT_NEAR(bone().scaleX, 31, kTolerance);
  EXPECT_NEAR(bone().scaleY, -61.5f, kTolerance);
  Apply(scale.get(), 1, 0.5f, true, true);
  EXPECT_NEAR(bone().scaleX, 31, kTolerance);
  EXPECT_NEAR(bone().scaleY, 61.5f, kTolerance);
  bone().scaleY = -1;
  Apply(scale.get(), 1, 0.5f, false, true);  // from the current -1 toward -120
  EXPECT_NEAR(bone().scaleY, -60.5f, kTolerance);
  Apply(scale.get(), -1);
  EXPECT_EQ(bone().scaleX, 2);
}

TEST_F(Timelines, Color) {
  Owned<GCore::ColorTimeline> t(GCore::Animation_createColorTimeline(2));
  t->slotIndex = 1;
  GCore::Animation_setFrame(t.get(), 0, 0, 1, 0, 0, 1);
  GCore::Animation_setFrame(t.get(), 1, 1, 0, 1, 0, 0);
  Apply(t.get(), 0.25f);
  EXPECT_NEAR(slot(1).r, 0.75f, kTolerance);
  EXPECT_NEAR(slot(1).g, 0.25f, kTolerance);
  EXPECT_NEAR(slot(1).a, 0.75f, kTolerance);
  // Mixed from the setup white halfway to (0, 1, 0, 0).
  Apply(t.get(), 5, 0.5f, true);
  EXPECT_NEAR(slot(1).r, 0.5f, kTolerance);
  EXPECT_NEAR(slot(1).g, 1, kTolerance);
  EXPECT_NEAR(slot(1).b, 0.5f, kTolerance);
  Apply(t.get(), 5, 0.5f, false);
  EXPECT_NEAR(slot(1).r, 0.25f, kTolerance);
  Apply(t.get(), -1);
  EXPECT_EQ(slot(1).r, 1);
}

TEST_F(Timelines, Attachment) {
  Owned<GCore::AttachmentTimeline> t(GCore::Animation_createAttachmentTimeline(3));
  t->slotIndex = 0;
  GCore::Animation_setAttachmentFrame(t.get(), 0, 1, "head");
  GCore::Animation_setAttachmentFrame(t.get(), 1, 2, nullptr);
  GCore::Animation_setAttachmentFrame(t.get(), 2, 3, "child");
  GCore::Attachment* mesh = slot(0).attachment;
  const auto shown = [&] { return slot(0).attachment ? std::string(slot(0).attachment->name) : "none"; };
  Apply(t.get(), 1.5f);
  EXPECT_EQ(shown(), "head");
  Apply(t.get(), 2);
  EXPECT_EQ(shown(), "none");
  Apply(t.get(), 7);
  EXPECT_EQ(shown(), "child");
  Apply(t.get(), 0.5f, 1, false);
  EXPECT_EQ(shown(), "child") << "before the first key without setup pose: nothing";
  Apply(t.get(), 0.5f);
  EXPECT_EQ(slot(0).attachment, mesh) << "before the first key: the setup attachment";
  Apply(t.get(), 1.5f, 1, true, true);
  EXPECT_EQ(slot(0).attachment, mesh) << "mixing out from setup: the setup attachment";
}

TEST_F(Timelines, Deform) {
  const GCore::Attachment* mesh = slot(0).attachment;
  Owned<GCore::DeformTimeline> t(GCore::Animation_createDeformTimeline(2, 6));
  t->slotIndex = 0;
  t->attachment = static_cast<const GCore::VertexAttachment*>(mesh);
  const float first[6] = {0, 0, 0, 0, 0, 0}, second[6] = {10, 20, 30, 40, 50, 60};
  GCore::Animation_setDeformFrame(t.get(), 0, 0, first);
  GCore::Animation_setDeformFrame(t.get(), 1, 1, second);
  GCore::Animation_setCurve(t.get(), 0, 0.25f, 0.1f, 0.75f, 0.9f);
  GCore::Slot& s = slot(0);

  // The first application changes the deform size, so it is not blended.
  Apply(t.get(), 0.5f, 0.3f);
  ASSERT_EQ(s.deformCount, 6);
  EXPECT_NEAR(s.deform[1], 10, kTolerance) << "halfway by the symmetric curve";
  // From the setup vertices, halfway to the last key.
  Apply(t.get(), 2, 0.5f, true);
  EXPECT_NEAR(s.deform[0], 5.5f, kTolerance);
  EXPECT_NEAR(s.deform[5], 33, kTolerance);
  Apply(t.get(), 2, 0.5f, false);
  EXPECT_NEAR(s.deform[0], 7.75f, kTolerance);
  Apply(t.get(), -1, 1, true);
  EXPECT_EQ(s.deformCount, 0);

  // A mesh that inherits deform from the keyed one is deformed too; any
  // other attachment is not.
  GCore::Slot_setAttachment(&s, GCore::Skeleton_getAttachmentForSlotIndex(skeleton_.get(), 0, "child"));
  Apply(t.get(), 2);
  EXPECT_EQ(s.deformCount, 6);
  GCore::Slot_setAttachment(&s, GCore::Skeleton_getAttachmentForSlotIndex(skeleton_.get(), 0, "head"));
  Apply(t.get(), 2);
  EXPECT_EQ(s.deformCount, 0);
}

TEST_F(Timelines, Events) {
  Owned<GCore::EventTimeline> t(GCore::Animation_createEventTimeline(4));
  const float times[] = {0, 0.5f, 0.5f, 1};
  for (int i = 0; i < 4; ++i) {
    GCore::Event* event = GCore::Event_create(nullptr, times[i]);
    event->intValue = i;
    GCore::Animation_setEventFrame(t.get(), i, event);
  }
  const auto fire = [&](float lastTime, float time) {
    fired_.clear();
    Apply(t.get(), time, 1, true, false, lastTime);
    std::vector<int> values;
    for (const GCore::Event* e : fired_) values.push_back(e->intValue);
    return values;
  };
  EXPECT_EQ(fire(-1, 0), (std::vector<int>{0})) << "the first pass includes the first key";
  EXPECT_EQ(fire(0, 0.5f), (std::vector<int>{1, 2})) << "not the key at lastTime; both at time";
  EXPECT_EQ(fire(0.5f, 0.9f), (std::vector<int>{}));
  EXPECT_EQ(fire(1, 2), (std::vector<int>{}));
  EXPECT_EQ(fire(0.75f, 0.25f), (std::vector<int>{3, 0})) << "looped: after lastTime, then from the start";
  // A last time beyond every key and beyond the loop's upper bound fires
  // from the start only.
  EXPECT_EQ(fire(3e9f, 0.5f), (std::vector<int>{0, 1, 2}));
  fired_.clear();
  GCore::Timeline_apply(t.get(), skeleton_.get(), -1, 1, nullptr, 1, true, false);
  EXPECT_TRUE(fired_.empty()) << "no list: no events";
}

TEST_F(Timelines, DrawOrder) {
  Owned<GCore::DrawOrderTimeline> t(GCore::Animation_createDrawOrderTimeline(2, 3));
  const int32_t reversed[] = {2, 1, 0};
  GCore::Animation_setDrawOrderFrame(t.get(), 0, 1, reversed);
  GCore::Animation_setDrawOrderFrame(t.get(), 1, 2, nullptr);
  GCore::Skeleton& s = *skeleton_;
  Apply(t.get(), 1.5f);
  EXPECT_EQ(s.drawOrder[0], &s.slots[2]);
  EXPECT_EQ(s.drawOrder[2], &s.slots[0]);
  Apply(t.get(), 0.5f, 1, false);
  EXPECT_EQ(s.drawOrder[0], &s.slots[2]) << "before the first key without setup pose: nothing";
  Apply(t.get(), 2.5f);
  EXPECT_EQ(s.drawOrder[0], &s.slots[0]) << "a key without an order is the setup order";
  Apply(t.get(), 1.5f);
  Apply(t.get(), 1.5f, 1, true, true);
  EXPECT_EQ(s.drawOrder[0], &s.slots[0]) << "mixing out from setup: the setup order";
}

TEST_F(Timelines, ConstraintMixes) {
  Owned<GCore::IkConstraintTimeline> ik(GCore::Animation_createIkConstraintTimeline(2));
  GCore::Animation_setFrame(ik.get(), 0, 0, 1, 1);
  GCore::Animation_setFrame(ik.get(), 1, 1, 0, -1);
  GCore::IkConstraint& constraint = *skeleton_->ikConstraints[0];
  Apply(ik.get(), 0.25f);
  EXPECT_NEAR(constraint.mix, 0.75f, kTolerance);
  EXPECT_EQ(constraint.bendDirection, 1) << "the earlier key's bend direction";
  Apply(ik.get(), 2, 0.5f, true);  // setup mix 0.5 halfway to 0
  EXPECT_NEAR(constraint.mix, 0.25f, kTolerance);
  EXPECT_EQ(constraint.bendDirection, -1);
  constraint.bendDirection = 1;
  Apply(ik.get(), 2, 0.5f, true, true);
  EXPECT_EQ(constraint.bendDirection, -1) << "mixing out from setup: the setup bend direction";
  constraint.bendDirection = 1;
  Apply(ik.get(), 2, 0.5f, false, true);
  EXPECT_EQ(constraint.bendDirection, 1) << "mixing out: left as it is";
  Apply(ik.get(), -1);
  EXPECT_EQ(constraint.mix, 0.5f);

  Owned<GCore::TransformConstraintTimeline> transform(
      GCore::Animation_createTransformConstraintTimeline(1));
  GCore::Animation_setFrame(transform.get(), 0, 0, 1, 1, 1, 1);
  Apply(transform.get(), 1, 0.5f);
  const GCore::TransformConstraint& tc = *skeleton_->transformConstraints[0];
  EXPECT_NEAR(tc.rotateMix, 0.55f, kTolerance);
  EXPECT_NEAR(tc.shearMix, 0.7f, kTolerance);

  Owned<GCore::PathConstraintPositionTimeline> position(
      GCore::Animation_createPathConstraintPositionTimeline(1));
  Owned<GCore::PathConstraintSpacingTimeline> spacing(
      GCore::Animation_createPathConstraintSpacingTimeline(1));
  Owned<GCore::PathConstraintMixTimeline> mix(GCore::Animation_createPathConstraintMixTimeline(1));
  GCore::Animation_setFrame(position.get(), 0, 0, 17);
  GCore::Animation_setFrame(spacing.get(), 0, 0, 18);
  GCore::Animation_setFrame(mix.get(), 0, 0, 0, 0);
  const GCore::PathConstraint& pc = *skeleton_->pathConstraints[0];
  Apply(position.get(), 1, 0.5f);
  Apply(spacing.get(), 1, 0.5f);
  Apply(mix.get(), 1, 0.5f);
  EXPECT_NEAR(pc.position, 12, kTolerance);
  EXPECT_NEAR(pc.spacing, 13, kTolerance);
  EXPECT_NEAR(pc.rotateMix, 0.3f, kTolerance);
  EXPECT_NEAR(pc.translateMix, 0.35f, kTolerance);
  EXPECT_EQ(GCore::Timeline_getPropertyId(spacing.get()), 12 << 24);
}

}  // namespace
