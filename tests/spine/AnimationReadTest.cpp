// Animation records of the skeleton binary format: every timeline kind as
// read into frames and curves, and the refusal of keys that point outside
// the skeleton or their own arrays.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "spine/Animation.h"
#include "spine/BoneTimelines.h"
#include "spine/ConstraintTimelines.h"
#include "spine/DeformTimeline.h"
#include "spine/DrawOrderTimeline.h"
#include "spine/Event.h"
#include "spine/EventData.h"
#include "spine/EventTimeline.h"
#include "spine/MeshAttachment.h"
#include "spine/SlotTimelines.h"
#include "spine/SpineFixtures.h"

namespace {

using namespace skel;

class AnimationRead : public testing::Test {
 protected:
  spinefix::ReadResult Load(const skel::Skeleton& model, float scale = 1) {
    return spinefix::Read(Encode(model), atlas_.get(), scale);
  }
  spinefix::AtlasPtr atlas_ = spinefix::FixtureAtlas();
};

std::vector<float> Frames(const float* frames, int32_t count) {
  return std::vector<float>(frames, frames + count);
}

TEST_F(AnimationRead, AnAnimationWithoutTimelines) {
  const spinefix::ReadResult read = Load(spinefix::FullModel());
  ASSERT_TRUE(read.data) << read.error;
  const GCore::Animation& idle = *read.data->animations[1];
  EXPECT_STREQ(idle.name, "idle");
  EXPECT_EQ(idle.duration, 0);
  EXPECT_EQ(idle.timelinesCount, 0);
}

TEST_F(AnimationRead, EveryTimelineKindInFileOrder) {
  const spinefix::ReadResult read = Load(spinefix::FullModel());
  ASSERT_TRUE(read.data) << read.error;
  const GCore::Animation& walk = *read.data->animations[0];
  EXPECT_EQ(walk.duration, 1);
  const int32_t types[] = {4, 5, 0, 1, 2, 3, 9, 10, 11, 12, 13, 6, 6, 8, 7};
  const int32_t ids[] = {(4 << 24) + 1, (5 << 24) + 1, 3, (1 << 24) + 3, (2 << 24) + 3,
                         (3 << 24) + 3, 9 << 24, 10 << 24, 11 << 24, 12 << 24, 13 << 24,
                         (6 << 24) + 2, (6 << 24) + 3, 8 << 24, 7 << 24};
  ASSERT_EQ(walk.timelinesCount, 15);
  for (int i = 0; i < 15; ++i) {
    EXPECT_EQ(walk.timelines[i]->type, types[i]) << i;
    EXPECT_EQ(GCore::Timeline_getPropertyId(walk.timelines[i]), ids[i]) << i;
  }

  const auto& attachments = *static_cast<const GCore::AttachmentTimeline*>(walk.timelines[0]);
  EXPECT_EQ(attachments.slotIndex, 1);
  ASSERT_EQ(attachments.framesCount, 3);
  EXPECT_STREQ(attachments.attachmentNames[0], "head");
  EXPECT_EQ(attachments.attachmentNames[1], nullptr);
  EXPECT_EQ(Frames(attachments.frames, 3), (std::vector<float>{0, 0.5f, 1}));

  const auto& colours = *static_cast<const GCore::ColorTimeline*>(walk.timelines[1]);
  EXPECT_EQ(Frames(colours.frames, colours.framesCount),
            (std::vector<float>{0, 1, 0, 0, 1, 0.5f, 0, 1, 0, 128 / 255.0f, 1, 0, 0, 1, 0}));
  EXPECT_EQ(colours.curves[0], 1) << "stepped";
  EXPECT_EQ(colours.curves[19], 0) << "linear";

  const auto& rotate = *static_cast<const GCore::RotateTimeline*>(walk.timelines[2]);
  EXPECT_EQ(rotate.boneIndex, 3);
  EXPECT_EQ(Frames(rotate.frames, rotate.framesCount), (std::vector<float>{0, 0, 0.5f, 170, 1, -170}));
  EXPECT_EQ(rotate.curves[0], 2) << "Bezier";
  EXPECT_EQ(rotate.curves[19], 0) << "an unknown curve byte is linear";
  const auto& scale = *static_cast<const GCore::ScaleTimeline*>(walk.timelines[4]);
  EXPECT_EQ(Frames(scale.frames, scale.framesCount), (std::vector<float>{0, 1, 1, 1, 2, -1}));

  const auto& ik = *static_cast<const GCore::IkConstraintTimeline*>(walk.timelines[6]);
  EXPECT_EQ(Frames(ik.frames, ik.framesCount), (std::vector<float>{0, 1, 1, 1, 0, -1}));
  const auto& mix = *static_cast<const GCore::PathConstraintMixTimeline*>(walk.timelines[10]);
  EXPECT_EQ(Frames(mix.frames, mix.framesCount), (std::vector<float>{0, 1, 1, 1, 0, 0}));

  // Deform keys: end 0 is the setup vertices (zeros when weighted); a keyed
  // run lands from its start and the setup vertices are added to an
  // unweighted attachment.
  const auto& deform = *static_cast<const GCore::DeformTimeline*>(walk.timelines[11]);
  EXPECT_EQ(deform.slotIndex, 2);
  ASSERT_EQ(deform.frameVerticesCount, 8);
  const std::vector<float> setup = {-10, -5, 10, -5, 10, 5, -10, 5};
  EXPECT_EQ(Frames(deform.frameVertices[0], 8), setup);
  EXPECT_EQ(Frames(deform.frameVertices[1], 8), (std::vector<float>{-10, -5, 11, -3, 13, 5, -10, 5}));
  const auto& weighted = *static_cast<const GCore::DeformTimeline*>(walk.timelines[12]);
  ASSERT_EQ(weighted.frameVerticesCount, 8);
  EXPECT_EQ(Frames(weighted.frameVertices[0], 8), (std::vector<float>{0, 4, 4, 0, 0, 0, 0, 0}));
  EXPECT_EQ(Frames(weighted.frameVertices[1], 8), std::vector<float>(8, 0));

  const auto& order = *static_cast<const GCore::DrawOrderTimeline*>(walk.timelines[13]);
  ASSERT_EQ(order.slotsCount, 8);
  EXPECT_EQ(std::vector<int32_t>(order.drawOrders[0], order.drawOrders[0] + 8),
            (std::vector<int32_t>{2, 0, 1, 3, 4, 5, 6, 7}));
  EXPECT_EQ(std::vector<int32_t>(order.drawOrders[1], order.drawOrders[1] + 8),
            (std::vector<int32_t>{0, 1, 2, 3, 4, 5, 6, 7}));
  EXPECT_EQ(std::vector<int32_t>(order.drawOrders[2], order.drawOrders[2] + 8),
            (std::vector<int32_t>{1, 2, 4, 0, 3, 5, 6, 7}));

  const auto& events = *static_cast<const GCore::EventTimeline*>(walk.timelines[14]);
  ASSERT_EQ(events.framesCount, 3);
  EXPECT_EQ(events.events[0]->data, read.data->events[0]);
  EXPECT_EQ(events.events[0]->intValue, 7);
  EXPECT_EQ(events.events[0]->floatValue, 1.5f);
  EXPECT_STREQ(events.events[0]->stringValue, "own");
  EXPECT_EQ(events.events[1]->stringValue, nullptr);
  EXPECT_EQ(events.events[2]->intValue, -5);
  EXPECT_STREQ(events.events[2]->stringValue, "boom") << "the definition's text";
  EXPECT_EQ(events.frames[2], 0.7f);
}

TEST_F(AnimationRead, DrawOrderAndDeformKeysOfSmallSkeletons) {
  skel::Skeleton model;
  model.bones = {{"root"}};
  model.slots = {{"a"}, {"b"}, {"c"}};
  Attachment mesh;
  mesh.key = "m";
  mesh.type = kMesh;
  mesh.path = "arm";
  mesh.vertices.plain = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
  mesh.regionUVs.assign(10, 0);
  model.defaultSkin.slots = {{0, {mesh}}};
  Animation animation;
  animation.name = "a";
  animation.drawOrder = {{0, {{2, -2}}}, {1, {}}};
  animation.deforms = {{0, {{0, {{"m", {{0.25f, 2, {100, 200, 300}, {}}}}}}}}};
  model.animations = {animation};
  const spinefix::ReadResult two = Load(model, 2);
  ASSERT_TRUE(two.data) << two.error;
  const GCore::Animation& read = *two.data->animations[0];
  const auto& order = *static_cast<const GCore::DrawOrderTimeline*>(read.timelines[1]);
  EXPECT_EQ(std::vector<int32_t>(order.drawOrders[0], order.drawOrders[0] + 3),
            (std::vector<int32_t>{2, 0, 1}));
  EXPECT_EQ(std::vector<int32_t>(order.drawOrders[1], order.drawOrders[1] + 3),
            (std::vector<int32_t>{0, 1, 2}));
  const auto& deform = *static_cast<const GCore::DeformTimeline*>(read.timelines[0]);
  EXPECT_EQ(Frames(deform.frameVertices[0], 10),
            (std::vector<float>{2, 4, 206, 408, 610, 12, 14, 16, 18, 20}))
      << "keyed values and setup vertices both scaled";
  EXPECT_EQ(read.duration, 1);
}

TEST_F(AnimationRead, TranslateKeysScaleAndOthersDoNot) {
  const spinefix::ReadResult one = Load(spinefix::FullModel()), two = Load(spinefix::FullModel(), 2);
  ASSERT_TRUE(one.data && two.data);
  const auto frames = [](const spinefix::ReadResult& r, int t) {
    const auto* timeline = static_cast<const GCore::CurveTimeline*>(r.data->animations[0]->timelines[t]);
    return Frames(timeline->frames, timeline->framesCount);
  };
  EXPECT_EQ(frames(two, 3), (std::vector<float>{0, 0, 0, 1, 20, 40})) << "translate";
  EXPECT_EQ(frames(two, 4), frames(one, 4)) << "scale";
  EXPECT_EQ(frames(two, 5), frames(one, 5)) << "shear";
  EXPECT_EQ(frames(two, 2), frames(one, 2)) << "rotate";
  EXPECT_EQ(frames(two, 8), frames(one, 8)) << "position in percent mode";
}

struct Refusal {
  const char* what;
  std::function<void(Animation&)> change;
  const char* message;
};

TEST_F(AnimationRead, RefusesKeysOutsideTheSkeleton) {
  const Refusal refusals[] = {
      {"slot timeline type", [](Animation& a) { a.slots[0].timelines[0].type = 2; },
       "Invalid timeline type for a slot: head"},
      {"bone timeline type", [](Animation& a) { a.bones[0].timelines[1].type = 4; },
       "Invalid timeline type for a bone: upper"},
      {"path timeline type", [](Animation& a) { a.paths[0].timelines[1].type = 3; },
       "Invalid timeline type for a path constraint: path-pc"},
      {"slot index", [](Animation& a) { a.slots[0].slot = 8; }, "Invalid slot index in animation: walk"},
      {"bone index", [](Animation& a) { a.bones[0].bone = 10; }, "Invalid bone index in animation: walk"},
      {"IK index", [](Animation& a) { a.ik[0].index = 2; }, "Invalid IK constraint index in animation: walk"},
      {"transform index", [](Animation& a) { a.transforms[0].index = 1; },
       "Invalid transform constraint index in animation: walk"},
      {"path index", [](Animation& a) { a.paths[0].index = 1; }, "Invalid path constraint index in animation: walk"},
      {"event index", [](Animation& a) { a.events[1].event = 2; }, "Invalid event index in animation: walk"},
      {"skin index", [](Animation& a) { a.deforms[0].skin = 3; }, "Invalid skin index in animation: walk"},
      {"empty skin", [](Animation& a) { a.deforms[0].skin = 2; }, "Invalid skin index in animation: walk"},
      {"deform slot index", [](Animation& a) { a.deforms[0].slots[0].slot = 9; },
       "Invalid slot index in animation: walk"},
      {"deform attachment", [](Animation& a) { a.deforms[0].slots[0].attachments[0].name = "nope"; },
       "Attachment not found: nope"},
      {"deform of a region",
       [](Animation& a) {
         a.deforms[0].slots[0].slot = 1;
         a.deforms[0].slots[0].attachments[0].name = "head";
       },
       "Deform of an attachment without vertices: head"},
      {"deform past the end", [](Animation& a) { a.deforms[0].slots[0].attachments[0].keys[1].start = 6; },
       "Deform key past its attachment in animation: walk"},
      {"deform start beyond", [](Animation& a) { a.deforms[0].slots[0].attachments[0].keys[1].start = 0xFFFFFFFF; },
       "Deform key past its attachment in animation: walk"},
      {"draw-order slot", [](Animation& a) { a.drawOrder[0].offsets = {{8, 0}}; },
       "Invalid draw order in animation: walk"},
      {"draw-order duplicate", [](Animation& a) { a.drawOrder[0].offsets = {{2, -2}, {2, 1}}; },
       "Invalid draw order in animation: walk"},
      {"draw-order decreasing", [](Animation& a) { a.drawOrder[0].offsets = {{4, 0}, {2, 0}}; },
       "Invalid draw order in animation: walk"},
      {"draw-order offsets", [](Animation& a) { a.drawOrder[0].offsets.assign(9, {0, 0}); },
       "Invalid draw order in animation: walk"},
      {"draw-order past the end", [](Animation& a) { a.drawOrder[0].offsets = {{7, 1}}; },
       "Invalid draw order in animation: walk"},
      {"draw-order before the start", [](Animation& a) { a.drawOrder[0].offsets = {{0, -1}}; },
       "Invalid draw order in animation: walk"},
      {"draw-order collision", [](Animation& a) { a.drawOrder[0].offsets = {{0, 2}, {2, 0}}; },
       "Invalid draw order in animation: walk"},
      {"rotate without keys", [](Animation& a) { a.bones[0].timelines[0].keys.clear(); },
       "Timeline without keys in animation: walk"},
      {"attachment without keys", [](Animation& a) { a.slots[0].timelines[0].attachments.clear(); },
       "Timeline without keys in animation: walk"},
      {"colour without keys", [](Animation& a) { a.slots[0].timelines[1].colours.clear(); },
       "Timeline without keys in animation: walk"},
      {"IK without keys", [](Animation& a) { a.ik[0].keys.clear(); }, "Timeline without keys in animation: walk"},
      {"deform without keys", [](Animation& a) { a.deforms[0].slots[0].attachments[0].keys.clear(); },
       "Timeline without keys in animation: walk"},
  };
  for (const Refusal& refusal : refusals) {
    SCOPED_TRACE(refusal.what);
    skel::Skeleton model = spinefix::FullModel();
    refusal.change(model.animations[0]);
    const spinefix::ReadResult read = Load(model);
    EXPECT_FALSE(read.data);
    EXPECT_EQ(read.error, refusal.message);
  }
}

}  // namespace
