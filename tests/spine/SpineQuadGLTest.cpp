// SpineQuads drawn by the GLES2 renderer on the surfaceless context and read
// back: regions and a mesh at their pixels, the game step moving them as the
// runtime poses the same skeleton, children linked to a slot, colours and
// blend modes. Pixels are checked well inside each shape, with the fixture's
// colour tolerance.
#include "game/GCoreApi.h"
#include "display/Quad.h"
#include "render/PngFixtures.h"
#include "render/ResourceGLFixture.h"
#include "spine/AnimationState.h"
#include "spine/AnimationStateData.h"
#include "spine/SkeletonData.h"
#include "spine/SpineFixtures.h"
#include "spinequad/SpineQuad.h"
#include "spine/SpineQuadModel.h"

namespace {

using GCore::Retained;
using GCore::SpineQuad;

const Rgba kBlack{0, 0, 0, 255};
const Rgba kRed{255, 0, 0, 255};
const Rgba kYellow{255, 255, 0, 255};
const Rgba kBlue{0, 0, 255, 255};
const Rgba kGreen{0, 255, 0, 255};
const Rgba kWhite{255, 255, 255, 255};

struct BoneFrame {
  float a, b, c, d, x, y;
  // Window pixel of a point in the bone's space.
  int PixelX(float lx, float ly) const { return static_cast<int>(a * lx + b * ly + x); }
  int PixelY(float lx, float ly) const { return static_cast<int>(c * lx + d * ly + y); }
};

// The arm as the runtime poses the model on its own: the skeleton at
// (100, 50), "walk" after `seconds`.
BoneFrame PredictedArm(float seconds) {
  spinefix::AtlasPtr atlas = spinefix::ParseAtlas(quadfix::AtlasText("page.png"));
  spinefix::ReadResult read = spinefix::Read(skel::Encode(quadfix::TwoBoneModel()), atlas.get());
  EXPECT_TRUE(read.data) << read.error;
  spinefix::SkeletonPtr skeleton(GCore::Skeleton_create(read.data.get()));
  spinefix::StateDataPtr mixes(GCore::AnimationStateData_create(read.data.get()));
  spinefix::StatePtr state(GCore::AnimationState_create(mixes.get()));
  skeleton->x = 100;
  skeleton->y = 50;
  GCore::AnimationState_setAnimation(
      state.get(), GCore::SkeletonData_findAnimation(read.data.get(), "walk"), true);
  GCore::AnimationState_update(state.get(), seconds);
  GCore::AnimationState_apply(state.get(), skeleton.get());
  GCore::Skeleton_updateWorldTransform(skeleton.get());
  const GCore::Bone& arm = skeleton->bones[1];
  return {arm.a, arm.b, arm.c, arm.d, arm.worldX, arm.worldY};
}

class SpineQuadOnScreen : public ResourceGLFixture {
 protected:
  void SetUp() override {
    ResourceGLFixture::SetUp();
    quadfix::WriteSkeleton(game.root, "game", quadfix::kSkeletonId, quadfix::TwoBoneModel());
    L = game.game->GetLuaManager()->GetProject(1)->state;
    GCore::RegisterScriptClasses(L);
    quad.Reset(GCore::NewDisplayObject<SpineQuad>(L));
    // Pivot point at the window's centre, the node as large as the data.
    quad->offsetMinX = quad->offsetMinY = -50;
    quad->offsetMaxX = quad->offsetMaxY = 50;
    quad->SetMedia(quadfix::kSkeletonId);
    ASSERT_NE(quad->GetSkeleton(), nullptr);
    ASSERT_EQ(quad->SetAnimation("walk", true, 0), 1000.0f);
  }
  void TearDown() override {
    quad.Reset();
    ResourceGLFixture::TearDown();
  }

  void DrawAfter(uint32_t stepMs) {
    game.game->lastStep = stepMs;
    Frame([&] { quad->Draw(); });
  }

  // A child quad of a green image, 10 x 10, centred at (15, 0) of its parent.
  GCore::Quad* AddGreenChild(const char* slot, bool afterAttachment) {
    const std::vector<uint8_t> green = {0, 255, 0, 255, 0, 255, 0, 255,
                                        0, 255, 0, 255, 0, 255, 0, 255};
    game.WriteImage("game", 0x42, testpng::EncodeRgba(2, 2, green));
    auto* child = GCore::NewDisplayObject<GCore::Quad>(L);
    child->offsetMinX = 10;
    child->offsetMaxX = 20;
    child->offsetMinY = -5;
    child->offsetMaxY = 5;
    child->SetMedia(TestGame::Id(0x42));
    quad->AddChild(child, 0);
    child->SetBoneName(slot);
    if (afterAttachment) child->slotLink |= 1;
    return child;
  }

  lua_State* L = nullptr;
  Retained<SpineQuad> quad;
};

TEST_F(SpineQuadOnScreen, RegionsAndMeshLandAtTheirPixels) {
  DrawAfter(0);
  EXPECT_TRUE(Near(At(100, 50), kYellow)) << "the additive green glow over the red body";
  EXPECT_TRUE(Near(At(92, 42), kRed)) << "the body outside the glow";
  EXPECT_TRUE(Near(At(108, 57), kRed));
  EXPECT_TRUE(Near(At(140, 50), kBlue)) << "the mesh on the arm";
  EXPECT_TRUE(Near(At(148, 58), kBlue));
  EXPECT_TRUE(Near(At(120, 50), kBlack)) << "between body and mesh";
  EXPECT_TRUE(Near(At(100, 65), kBlack)) << "above the body";
  EXPECT_TRUE(Near(At(155, 50), kBlack)) << "past the mesh";
}

TEST_F(SpineQuadOnScreen, TheGameStepMovesTheMeshAsTheRuntimePosesIt) {
  for (const uint32_t step : {250u, 250u, 200u}) {
    DrawAfter(step);
    const float seconds = quad->CurrentEntry()->trackTime;
    SCOPED_TRACE(seconds);
    const BoneFrame arm = PredictedArm(seconds);
    const GCore::Bone& posed = quad->GetPosedSkeleton()->bones[1];
    EXPECT_NEAR(posed.worldX, arm.x, 0.01f);
    EXPECT_NEAR(posed.worldY, arm.y, 0.01f);
    EXPECT_NEAR(posed.a, arm.a, 0.001f);
    EXPECT_NEAR(posed.c, arm.c, 0.001f);
    for (const auto& [lx, ly] : {std::pair{10.0f, 0.0f}, {17.0f, 7.0f}, {3.0f, -7.0f}}) {
      EXPECT_TRUE(Near(At(arm.PixelX(lx, ly), arm.PixelY(lx, ly)), kBlue)) << lx << ", " << ly;
    }
  }
  // Turned by 63 degrees after 0.7 s: the mesh has left the arm's resting
  // place.
  EXPECT_TRUE(Near(At(148, 50), kBlack));
}

TEST_F(SpineQuadOnScreen, ChildrenLinkedToASlotFollowItsBoneUnderOrOverTheAttachment) {
  GCore::Quad* under = AddGreenChild("tip", false);
  EXPECT_EQ(under->slotLink, 2);
  DrawAfter(500);
  const BoneFrame arm = PredictedArm(0.5f);
  const int x = arm.PixelX(15, 0), y = arm.PixelY(15, 0);
  EXPECT_TRUE(Near(At(x, y), kBlue)) << "drawn before the mesh, which covers it";

  // The slot's colour tints its children: green on the blue slot is black.
  under->slotLink = 3;
  DrawAfter(0);
  EXPECT_TRUE(Near(At(x, y), kBlack)) << "drawn after the mesh, in the slot's colour";
  GCore::Slot& tip = quad->GetPosedSkeleton()->slots[1];
  tip.r = tip.g = 1;
  under->slotLink = 2;
  DrawAfter(0);
  EXPECT_TRUE(Near(At(x, y), kWhite)) << "the mesh over the child";

  under->slotLink = 3;
  DrawAfter(0);
  EXPECT_TRUE(Near(At(x, y), kGreen)) << "the child over the mesh";
  EXPECT_TRUE(Near(At(x + 3, y - 3), kGreen)) << "in the bone's frame, turned with it";
  EXPECT_TRUE(Near(At(115, 50), kBlack)) << "not in the quad's own frame";

  under->SetBoneName("_root");
  EXPECT_EQ(under->slotLink, -1);
  under->offsetMinX = -5;
  under->offsetMaxX = 5;
  under->Invalidate(true);
  DrawAfter(0);
  EXPECT_TRUE(Near(At(100, 50), kGreen)) << "unlinked: after every slot, in the quad's frame";
  EXPECT_TRUE(Near(At(x, y), kWhite));
}

TEST_F(SpineQuadOnScreen, SlotAndNodeColoursMultiply) {
  GCore::Skeleton* skeleton = quad->GetPosedSkeleton();
  skeleton->slots[0].g = 0.5f;  // the body: red plus half green
  skeleton->slots[1].g = 0.5f;  // the tip: blue plus half green
  DrawAfter(0);
  EXPECT_TRUE(Near(At(92, 42), {255, 64, 0, 255})) << "a region takes its slot colour twice";
  EXPECT_TRUE(Near(At(140, 50), {0, 128, 255, 255})) << "a mesh takes it once";

  quad->localColor.r = 128;
  quad->localColor.b = 128;
  quad->Invalidate(false);
  DrawAfter(0);
  EXPECT_TRUE(Near(At(92, 42), {128, 64, 0, 255}));
  EXPECT_TRUE(Near(At(140, 50), {0, 128, 128, 255}));
  EXPECT_TRUE(Near(At(100, 50), {128, 255, 0, 255})) << "the additive glow on the darker body";
}

TEST_F(SpineQuadOnScreen, AHiddenQuadNeitherDrawsNorAdvances) {
  quad->visible = false;
  DrawAfter(400);
  EXPECT_TRUE(Near(At(140, 50), kBlack));
  EXPECT_NEAR(quad->CurrentEntry()->trackTime, 0, 1e-4);
  quad->visible = true;
  DrawAfter(400);
  EXPECT_NEAR(quad->CurrentEntry()->trackTime, 0.4f, 1e-4);
}

TEST_F(SpineQuadOnScreen, AScriptMayRemoveThePageImageOfAPlayingSkeleton) {
  DrawAfter(0);
  ASSERT_TRUE(Near(At(92, 42), kRed));
  // The page image has the skeleton's id (folder 000, file 1).
  ASSERT_EQ(luaL_dostring(L, "require('gcore.c').removeImage(0x81050001)"), LUA_OK)
      << lua_tostring(L, -1);
  DrawAfter(100);  // the playing quad must not reach the deleted texture

  quad.Reset(GCore::NewDisplayObject<SpineQuad>(L));
  quad->offsetMinX = quad->offsetMinY = -50;
  quad->offsetMaxX = quad->offsetMaxY = 50;
  quad->SetMedia(quadfix::kSkeletonId);
  ASSERT_NE(quad->GetSkeleton(), nullptr);
  ASSERT_EQ(quad->SetAnimation("walk", true, 0), 1000.0f);
  DrawAfter(0);
  EXPECT_TRUE(Near(At(92, 42), kRed)) << "a new load finds the page image again";
}

}  // namespace
