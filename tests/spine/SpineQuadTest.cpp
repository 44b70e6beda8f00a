// SpineQuads on a recording renderer: the animation state's events as the
// script callback sees them, the default animation, script callbacks that
// destroy, reload, copy into or advance quads while their state delivers
// events, resources unloaded under playing quads, copies and snapshots, and
// the loading faults.
#include <cmath>

#include "spine/Animation.h"
#include "spine/AnimationState.h"
#include "spine/AnimationStateData.h"
#include "spine/SkeletonData.h"
#include "spine/SpineQuadFixture.h"

namespace {

using GCore::SpineQuad;
using quadfix::kOtherSkeletonId;
using quadfix::kSkeletonId;

class SpineQuadEvents : public SpineQuadFixture {};

TEST_F(SpineQuadEvents, TheCallbackHearsStartKeyedEventsCompleteEndAndDisposeInOrder) {
  SpineQuad* q = MakeQuad("q");
  Run("Listen(q)");
  EXPECT_EQ(Eval("q.setAnimation('walk', false, 0)"), "1000.0");
  EXPECT_EQ(TakeEvents(), "q start walk");
  DrawAfter(q, 600);
  EXPECT_EQ(TakeEvents(), "q event walk step 7 1.5 left");
  DrawAfter(q, 300);
  EXPECT_EQ(TakeEvents(), "q event walk step 0 0.0 nil | q event walk land 0 0.0 nil");
  DrawAfter(q, 200);
  EXPECT_EQ(TakeEvents(), "q complete walk 0");
  DrawAfter(q, 200);
  EXPECT_EQ(TakeEvents(), "") << "a finished animation completes once";
  Run("q.setAnimation('jump', true, 0)");
  EXPECT_EQ(TakeEvents(), "q end walk | q dispose walk | q start jump");
  EXPECT_EQ(Eval("q.getCurrentAnimation()"), "jump");
}

TEST_F(SpineQuadEvents, TheCallbackGetsItsOwnQuad) {
  MakeQuad("q");
  Run("q.setListener(function(self) seen = (self == q) end)");
  Run("q.setAnimation('walk', true, 0)");
  EXPECT_EQ(Eval("seen"), "true");
}

TEST_F(SpineQuadEvents, AScriptsOwnAdvanceReportsNothing) {
  SpineQuad* q = MakeQuad("q");
  Run("Listen(q) q.setAnimation('walk', true, 0)");
  TakeEvents();
  Run("q.advance(1.2)");
  EXPECT_EQ(TakeEvents(), "");
  EXPECT_EQ(Eval("math.floor(q.getTrackTime())"), "1200");
  DrawAfter(q, 0);
  EXPECT_EQ(TakeEvents(), "");
}

TEST_F(SpineQuadEvents, ANonLoopingAnimationThatCompletesFallsBackToTheDefault) {
  Run("gcore.SetDefaultAnim('idle')");
  SpineQuad* q = MakeQuad("q");
  EXPECT_EQ(Eval("q.getCurrentAnimation()"), "idle") << "a load starts the default";
  Run("Listen(q) q.setAnimation('jump', false, 0)");
  TakeEvents();
  DrawAfter(q, 600);
  EXPECT_EQ(TakeEvents(), "q complete jump 0 | q end jump | q dispose jump | q start idle");
  EXPECT_EQ(Eval("q.getCurrentAnimation()"), "idle");

  struct Case {
    const char* name;
    const char* script;
    const char* after;  // the current animation once it completed
  };
  const Case cases[] = {
      {"a looping animation", "q.setAnimation('walk', true, 0)", "walk"},
      {"the default itself", "q.setAnimation('idle', false, 0)", "idle"},
      {"a callback that sets its own",
       "q.setAnimation('jump', false, 0) q.setListener(function(self, kind) "
       "if kind == 3 then self.setAnimation('walk', true, 0) end end)",
       "walk"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Run("Listen(q)");
    Run(c.script);
    TakeEvents();
    DrawAfter(q, 1100);
    EXPECT_EQ(Eval("q.getCurrentAnimation()"), c.after);
    EXPECT_EQ(TakeEvents().find("start idle"), std::string::npos);
  }
}

TEST_F(SpineQuadEvents, EventsReachTheQuadThatOwnsTheState) {
  SpineQuad* a = MakeQuad("a");
  MakeQuad("b");
  Run(R"lua(
    Listen(b, "b")
    a.setListener(function(self, kind, name, event)
      log[#log + 1] = "a " .. kind .. " " .. tostring(event)
      if kind == 5 then b.setAnimation("jump", true, 0) end
    end)
    a.setAnimation("walk", true, 0)
  )lua");
  EXPECT_EQ(TakeEvents(), "a 0 nil");
  DrawAfter(a, 800);
  EXPECT_EQ(TakeEvents(),
            "a 5 step | b start jump | a 5 step | b end jump | b dispose jump | b start jump");
}

TEST_F(SpineQuadEvents, TwoQuadsWhoseCallbacksAdvanceEachOther) {
  SpineQuad* a = MakeQuad("a");
  SpineQuad* b = MakeQuad("b");
  Run(R"lua(
    calls = { a = 0, b = 0 }
    a.setListener(function() calls.a = calls.a + 1; b.advance(0.6) end)
    b.setListener(function() calls.b = calls.b + 1; a.advance(0.6) end)
    a.setAnimation("walk", true, 0)
    b.setAnimation("walk", true, 0)
  )lua");
  for (int frame = 0; frame < 10; ++frame) {
    DrawAfter(a, 100);
    DrawAfter(b, 100);
  }
  EXPECT_GT(std::stoi(Eval("calls.a")), 2);
  EXPECT_GT(std::stoi(Eval("calls.b")), 2);
  EXPECT_GT(std::stod(Eval("b.getTrackTime()")), 1000.0) << "advanced by a's callbacks as well";
}

TEST_F(SpineQuadEvents, ACallbackThatAdvancesItsOwnQuadWhileItIsDrawn) {
  SpineQuad* q = MakeQuad("q");
  Run(R"lua(
    calls = 0
    q.setListener(function(self, kind)
      calls = calls + 1
      if calls < 20 then self.advance(0.3) end
    end)
    q.setAnimation("walk", true, 0)
  )lua");
  for (int frame = 0; frame < 5; ++frame) DrawAfter(q, 300);
  EXPECT_EQ(Eval("calls >= 20"), "true");
  EXPECT_GT(std::stod(Eval("q.getTrackTime()")), 1500.0);
}

// Scripts that a callback runs on its own quad while the quad's animation
// state is in the middle of an update, with what the quad shows afterwards.
TEST_F(SpineQuadEvents, ACallbackMayReloadCopyIntoOrDestroyItsOwnQuad) {
  skel::Skeleton other = quadfix::TwoBoneModel();
  other.animations.pop_back();
  quadfix::WriteSkeleton(root, "p", kOtherSkeletonId, other);
  struct Case {
    const char* name;
    const char* action;
    const char* animations;  // getAnimationCount afterwards, "gone" when destroyed
  };
  const Case cases[] = {
      {"reload by skeleton id", "self.skeletonId = 0x81050002", "2"},
      {"reload by media (the atlas only: the skeleton id stays)", "self.media = 0x81050002", "3"},
      {"a copy from another quad", "r.snapshotTo(self)", "2"},
      {"a snapshot of itself", "self.snapshotTo(self)", "3"},
      {"another animation", "self.setAnimation('idle', false, 0)", "3"},
      {"destroyed", "getmetatable(self).__gc(self)", "gone"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SpineQuad* q = MakeQuad("q");
    MakeQuad("r", kOtherSkeletonId);
    Run("r.setAnimation('walk', true, 0)");
    Run(std::string("q.setListener(function(self, kind) if kind == 5 then ") + c.action +
        " end end)");
    Run("q.setAnimation('walk', true, 0)");
    DrawAfter(q, 800);  // two keyed events in one update
    if (std::string(c.animations) == "gone") {
      EXPECT_EQ(Eval("(pcall(q.getAnimationCount))"), GCore::IfAlive(q) ? "true" : "false");
      continue;
    }
    ASSERT_TRUE(GCore::IfAlive(q));
    EXPECT_EQ(Eval("q.getAnimationCount()"), c.animations);
    for (int frame = 0; frame < 3; ++frame) DrawAfter(q, 400);
    const GCore::AnimationState* state = q->GetAnimationState();
    ASSERT_NE(state, nullptr);
    EXPECT_EQ(state->data->skeletonData, q->GetSkeletonData()) << "state and skeleton share data";
  }
}

TEST_F(SpineQuadEvents, EachQuadPlacesItsSlotChildrenWithItsOwnBoneMatrix) {
  SpineQuad* outer = MakeQuad("outer");
  SpineQuad* inner = MakeQuad("inner");
  Run(R"lua(
    outer.setAnimation("walk", true, 500)
    inner.setAnimation("walk", true, 0)
    outer.addChild(inner)
    inner.slot = "tip"
    inner.x, inner.y = 20, 0
    follower = gcore.Quad()
    follower.width, follower.height = 10, 10
    outer.addChild(follower)
    follower.slot = "tip"
    follower.x, follower.y = 0, 0
  )lua");
  ASSERT_EQ(inner->slotLink, 2);
  outer->UpdateWorldTransform();
  const GCore::Matrix* own = outer->worldMatrix.Get();
  const float ownX = own->tx;
  outer->Draw();
  GCore::DisplayObject* follower = outer->ChildAt(1);
  ASSERT_EQ(follower->slotLink, 2);
  const GCore::Bone& arm = outer->GetPosedSkeleton()->bones[1];
  EXPECT_NEAR(follower->worldMatrix->tx, arm.worldX, 0.01f)
      << "drawn after a skeleton linked to the same slot, still on the outer arm";
  EXPECT_NEAR(follower->worldMatrix->ty, arm.worldY, 0.01f);
  EXPECT_NEAR(follower->worldMatrix->a, arm.a, 0.001f);
  EXPECT_EQ(outer->worldMatrix.Get(), own) << "its own matrix is back after the slots";
  EXPECT_EQ(own->tx, ownX);
}

TEST_F(SpineQuadEvents, UnloadingTheResourceLeavesPlayingQuadsIntact) {
  Run("gcore.LoadSpAnim(0x81050001, 0x81050001)");
  SpineQuad* a = MakeQuad("a");
  SpineQuad* b = MakeQuad("b");
  EXPECT_EQ(a->GetSkeletonData(), b->GetSkeletonData()) << "one cached record";
  Run("a.setAnimation('walk', true, 0) b.setAnimation('jump', true, 0)");
  stage->AddChild(a, 0);
  stage->AddChild(b, 0);

  Run("gcore.UnloadResource(0x81050001, 0x81050001)");
  skel::Skeleton changed = quadfix::TwoBoneModel();
  changed.animations.push_back(changed.animations.front());
  changed.animations.back().name = "run";
  quadfix::WriteSkeleton(root, "p", kSkeletonId, changed);
  for (int frame = 0; frame < 4; ++frame) DrawAfter(stage, 300);
  EXPECT_EQ(Eval("a.getAnimationCount() .. b.getAnimationCount()"), "33");

  SpineQuad* c = MakeQuad("c");
  EXPECT_EQ(Eval("c.getAnimationCount()"), "4") << "a new load reads the files again";
  EXPECT_NE(c->GetSkeletonData(), a->GetSkeletonData());
  Run("a.skeletonId = 0x81050002 a.skeletonId = 0x81050001");
  EXPECT_EQ(Eval("a.getAnimationCount()"), "4") << "a reload takes the new record too";
  // The old record goes with the last quad that holds it (the leak check
  // of the sanitizer build sees it otherwise).
  stage->RemoveAllChildren();
  kept.clear();
  Run("a, b, c = nil, nil, nil collectgarbage()");
}

TEST_F(SpineQuadEvents, CopiesShareTheirSourcesDataWithAFreshState) {
  SpineQuad* source = MakeQuad("source");
  Run("source.setAnimation('walk', true, 300)");
  struct Case {
    const char* name;
    const char* files;  // what becomes of the files after the unload
  };
  for (const Case& c :
       {Case{"cached", nullptr}, Case{"files changed", "changed"}, Case{"files gone", "gone"}}) {
    SCOPED_TRACE(c.name);
    if (c.files) {
      Run("gcore.UnloadResource(0x81050001, 0x81050001)");
      if (std::string(c.files) == "gone") {
        std::filesystem::remove(root.Path("p/img/000/1.skel"));
      } else {
        skel::Skeleton changed = quadfix::TwoBoneModel();
        changed.animations.pop_back();
        quadfix::WriteSkeleton(root, "p", kSkeletonId, changed);
      }
    }
    SpineQuad* copy = Make<SpineQuad>("copy");
    copy->CopyFrom(source);
    ASSERT_NE(copy->GetSkeleton(), nullptr);
    EXPECT_EQ(copy->skeletonId, source->skeletonId);
    EXPECT_EQ(copy->GetAnimationState()->data->skeletonData, copy->GetSkeletonData());
    EXPECT_EQ(copy->GetPosedSkeleton()->data, copy->GetSkeletonData());
    DrawAfter(copy, 100);
  }
}

TEST_F(SpineQuadEvents, ASnapshotFreezesTheCurrentPose) {
  SpineQuad* source = MakeQuad("source");
  SpineQuad* target = Make<SpineQuad>("target");
  Run("source.setAnimation('walk', true, 250) source.snapshotTo(target)");
  EXPECT_EQ(Eval("target.getCurrentAnimation()"), "walk");
  EXPECT_EQ(Eval("target.speed"), "0");
  EXPECT_NEAR(target->GetPosedSkeleton()->bones[1].rotation,
              source->GetPosedSkeleton()->bones[1].rotation, 0.01f);
  const float frozen = target->GetPosedSkeleton()->bones[1].rotation;
  DrawAfter(target, 500);
  EXPECT_NEAR(target->GetPosedSkeleton()->bones[1].rotation, frozen, 0.01f);

  Run("source.addChild(gcore.Quad()) source.snapshotTo(source)");
  EXPECT_EQ(Eval("source.speed .. source.getCurrentAnimation()"), "0walk");
  ASSERT_NE(source->CurrentEntry(), nullptr);
  EXPECT_NEAR(source->CurrentEntry()->trackTime, 0.25f, 0.001f);
  EXPECT_EQ(source->NumChildren(), 1) << "no copy of itself into itself";
}

// A quad that only a script global holds, whose callback lets go of it and
// collects while the quad sets an animation or is drawn: the quad is held
// until it returns, then collected.
TEST_F(SpineQuadEvents, AQuadIsHeldWhileItsCallbackRuns) {
  struct Case {
    const char* name;
    int dropOn;        // the event kind whose callback drops the quad
    uint32_t drawnMs;  // a frame of the quad after this step, or none
  };
  for (const Case& c : {Case{"setting an animation", 0, 0}, Case{"drawn", 5, 600}}) {
    SCOPED_TRACE(c.name);
    Run(R"lua(
      dropped, inside = false, nil
      quad = gcore.SpineQuad()
      quad.media = 0x81050001
      weak = setmetatable({ quad }, { __mode = "v" })
      quad.setListener(function(self, kind)
        if kind ~= dropOn or dropped then return end
        dropped = true
        quad, self = nil, nil
        collectgarbage()
        collectgarbage()
        inside = tostring(weak[1])
      end)
    )lua");
    lua_getglobal(L, "quad");
    SpineQuad* quad = GCore::ToObject<SpineQuad>(L, -1);
    lua_pop(L, 1);
    ASSERT_NE(quad, nullptr);
    Run("dropOn = " + std::to_string(c.dropOn) + " quad.setAnimation('walk', true, 0)");
    if (c.drawnMs) DrawAfter(quad, c.drawnMs);
    EXPECT_EQ(Eval("dropped"), "true");
    EXPECT_EQ(Eval("inside:sub(1, 9)"), "SpineQuad");
    Run("collectgarbage() collectgarbage()");
    EXPECT_EQ(Eval("tostring(weak[1])"), "nil") << "let go afterwards";
  }
}

TEST_F(SpineQuadEvents, SetAnimationPosesAtItsStartTimeAndSpeedScalesTheStep) {
  SpineQuad* q = MakeQuad("q");
  EXPECT_EQ(Eval("q.setAnimation('walk', true, 500)"), "1000.0");
  EXPECT_NEAR(q->GetPosedSkeleton()->bones[1].rotation, 45, 0.01f);
  EXPECT_EQ(Eval("q.setAnimation('nothing', true, 0)"), "0.0");
  EXPECT_EQ(Eval("q.getCurrentAnimation()"), "walk") << "an unknown name changes nothing";

  q->speedPercent = 50;
  DrawAfter(q, 200);
  EXPECT_NEAR(q->CurrentEntry()->trackTime, 0.6f, 0.001f);
  q->speedPercent = 0;
  const float skeletonTime = q->GetPosedSkeleton()->time;
  DrawAfter(q, 200);
  EXPECT_NEAR(q->CurrentEntry()->trackTime, 0.6f, 0.001f);
  EXPECT_NEAR(q->GetPosedSkeleton()->time, skeletonTime + 0.2f, 0.001f)
      << "the skeleton's time runs";
}

TEST_F(SpineQuadEvents, DegenerateSkeletonsAndMatricesPoseWithoutInfinities) {
  struct Case {
    const char* name;
    skel::Skeleton model;
    float matrixD;  // the quad's own y scale
  };
  skel::Skeleton boneless;
  skel::Skeleton sizeless = quadfix::TwoBoneModel();
  sizeless.width = sizeless.height = 0;
  const Case cases[] = {{"no bones", boneless, 1},
                        {"data size 0", sizeless, 1},
                        {"flat matrix", quadfix::TwoBoneModel(), 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    quadfix::WriteSkeleton(root, "p", kOtherSkeletonId, c.model);
    Run("gcore.UnloadResource(0x81050002, 0x81050002)");
    SpineQuad* q = MakeQuad("q", kOtherSkeletonId);
    q->localMatrix.d = c.matrixD;
    q->Invalidate(true);
    Run("q.setAnimation('walk', true, 0)");
    DrawAfter(q, 100);
    const GCore::Skeleton* skeleton = q->GetPosedSkeleton();
    for (int32_t i = 0; i < skeleton->boneCount; ++i) {
      const GCore::Bone& bone = skeleton->bones[i];
      for (float value :
           {bone.a, bone.b, bone.c, bone.d, bone.worldX, bone.worldY, bone.rotation}) {
        EXPECT_TRUE(std::isfinite(value)) << "bone " << i;
      }
    }
  }
}

class SpineQuadLoading : public SpineQuadFixture {};

TEST_F(SpineQuadLoading, ResourcesThatCannotBeReadLeaveTheQuadAsItWas) {
  struct Case {
    const char* name;
    const char* gameInit;  // none: the fixture's
    const char* file;      // made a folder (or, with `empty`, an empty file)
    bool empty;
    bool skeletonSide;  // the skeleton id alone names something broken
  };
  const Case cases[] = {
      {"a path without an extension", "g_ext = {}", nullptr, false, true},
      {"a folder in place of the skeleton", nullptr, "p/img/000/2.skel", false, true},
      {"an empty skeleton", nullptr, "p/img/000/2.skel", true, true},
      {"an empty atlas", nullptr, "p/img/000/2.atlas", true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    quadfix::WriteSkeleton(root, "p", kOtherSkeletonId, quadfix::TwoBoneModel());
    MakeQuad("q");
    Run("q.setAnimation('walk', true, 0)");
    Run("gcore.UnloadResource(0x81050002, 0x81050002) gcore.UnloadResource(0x81050001, "
        "0x81050002)");
    if (c.gameInit) {
      // Kind 8 without an extension: the file of the id is "img/000/2".
      root.Write("p/img/000/2", "");
      Run(c.gameInit);
    } else {
      std::filesystem::remove(root.Path(c.file));
      if (c.empty) {
        root.Write(c.file, "");
      } else {
        std::filesystem::create_directories(root.Path(c.file));
      }
    }
    Run("r = gcore.SpineQuad() r.media = 0x81050002");
    EXPECT_EQ(Eval("r.getBoneCount()"), "0");
    EXPECT_EQ(resources->LoadSpine(GCore::OwnerPair{1, kOtherSkeletonId}, kOtherSkeletonId),
              nullptr);
    if (c.skeletonSide) {
      Run("q.skeletonId = 0x81050002");
      EXPECT_EQ(Eval("q.getCurrentAnimation()"), "walk") << "the earlier skeleton plays on";
    }
    Run(quadfix::kGameInit);
    std::filesystem::remove_all(root.Path(c.file ? c.file : "p/img/000/2"));
  }
}

TEST_F(SpineQuadLoading, TheHostReadsWholeFilesOnly) {
  const GCore::SpineHost& host = GCore::SpineHost_get();
  std::vector<char> bytes;
  root.Write("p/whole.txt", "twelve bytes");
  EXPECT_TRUE(host.readFile(root.Path("p/whole.txt").c_str(), bytes));
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "twelve bytes");
  root.Write("p/empty.txt", "");
  EXPECT_FALSE(host.readFile(root.Path("p/empty.txt").c_str(), bytes));
  EXPECT_FALSE(host.readFile(root.Path("p/missing.txt").c_str(), bytes));
  EXPECT_FALSE(host.readFile(root.Path("p").c_str(), bytes)) << "a folder";
  EXPECT_TRUE(bytes.empty());
}

TEST_F(SpineQuadLoading, TheHostRefusesAFileThatHoldsLessThanItsSize) {
  // A kernel attribute file reports a page-sized length and reads shorter.
  const char* attribute = "/sys/kernel/mm/transparent_hugepage/enabled";
  std::error_code error;
  if (std::filesystem::file_size(attribute, error) <= 64 || error) {
    GTEST_SKIP() << "no attribute file of the kind on this machine";
  }
  std::vector<char> bytes;
  EXPECT_FALSE(GCore::SpineHost_get().readFile(attribute, bytes));
  EXPECT_TRUE(bytes.empty());
}

TEST_F(SpineQuadLoading, TheDefaultAnimationNameKeeps127Characters) {
  Run("gcore.SetDefaultAnim(string.rep('x', 200))");
  EXPECT_EQ(GCore::DefaultAnimationName(), std::string(127, 'x'));
  Run("gcore.SetDefaultAnim()");
  EXPECT_EQ(GCore::DefaultAnimationName(), "");
}

}  // namespace
