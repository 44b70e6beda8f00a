// The animation state: what its listener hears and when (start, interrupt,
// end, complete, dispose, keyed events), looping, replacing and clearing
// entries, cross-fades, and listeners that call back into the state.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "spine/Animation.h"
#include "spine/Bone.h"
#include "spine/Event.h"
#include "spine/EventData.h"
#include "spine/SpineFixtures.h"

namespace {

using namespace skel;

constexpr float kTolerance = 1e-4f;

Key K(float time, std::vector<float> values) { return Key{time, std::move(values), {}}; }

Animation Rotating(const char* name, float from, float to, float duration) {
  Animation a;
  a.name = name;
  a.bones = {{1, {{0, {K(0, {from}), K(duration, {to})}}}}};
  return a;
}

std::vector<std::string> g_log;
std::function<void(GCore::AnimationState*, int32_t, GCore::TrackEntry*)> g_reaction;

void Listen(GCore::AnimationState* state, int32_t type, GCore::TrackEntry* entry, GCore::Event* event) {
  static const char* const kinds[] = {"start", "interrupt", "end", "complete", "dispose", "event"};
  std::string line = std::string(kinds[type]) + " " + entry->animation->name;
  if (event) line += " " + std::string(event->data->name);
  g_log.push_back(line);
  if (g_reaction) g_reaction(state, type, entry);
}

class AnimationStateTest : public testing::Test {
 protected:
  AnimationStateTest() {
    skel::Skeleton model;
    model.bones = {{"root"}, {"bone"}};
    model.events = {{"e"}, {"b"}};
    Animation a = Rotating("a", 0, 90, 1);
    a.events = {{0.5f, 0}};
    Animation burst = Rotating("burst", 0, 0, 1);
    burst.events.assign(200, EventKey{0.1f, 1});
    model.animations = {a,
                        Rotating("still0", 0, 0, 1),
                        Rotating("still90", 90, 90, 1),
                        Rotating("zero", 45, 45, 0),
                        burst};
    spinefix::ReadResult read = spinefix::Read(Encode(model), atlas_.get());
    EXPECT_TRUE(read.data) << read.error;
    data_ = std::move(read.data);
    skeleton_.reset(GCore::Skeleton_create(data_.get()));
    mixes_.reset(GCore::AnimationStateData_create(data_.get()));
    state_.reset(GCore::AnimationState_create(mixes_.get()));
    state_->listener = Listen;
    g_log.clear();
    g_reaction = nullptr;
  }
  ~AnimationStateTest() override { g_reaction = nullptr; }

  GCore::Animation* Find(const char* name) { return GCore::SkeletonData_findAnimation(data_.get(), name); }
  GCore::TrackEntry* Set(const char* name, bool loop = false) {
    return GCore::AnimationState_setAnimation(state_.get(), Find(name), loop);
  }
  void Step(float delta) {
    GCore::AnimationState_update(state_.get(), delta);
    GCore::AnimationState_apply(state_.get(), skeleton_.get());
  }
  // The log since the last call.
  std::vector<std::string> Heard() { return std::exchange(g_log, {}); }
  float Rotation() { return skeleton_->bones[1].rotation; }

  spinefix::AtlasPtr atlas_ = spinefix::FixtureAtlas();
  spinefix::DataPtr data_;
  spinefix::SkeletonPtr skeleton_;
  spinefix::StateDataPtr mixes_;
  spinefix::StatePtr state_;
};

using Log = std::vector<std::string>;

TEST_F(AnimationStateTest, PlaysOnceCompletesOnceAndHolds) {
  GCore::TrackEntry* entry = Set("a");
  EXPECT_EQ(Heard(), Log{"start a"});
  Step(0.25f);
  EXPECT_EQ(Heard(), Log{});
  EXPECT_NEAR(Rotation(), 22.5f, kTolerance);
  Step(0.25f);
  EXPECT_EQ(Heard(), Log{"event a e"});
  Step(0.6f);
  EXPECT_EQ(Heard(), Log{"complete a"});
  EXPECT_NEAR(Rotation(), 90, kTolerance);
  Step(0.5f);
  Step(0.5f);
  EXPECT_EQ(Heard(), Log{}) << "complete only once";
  EXPECT_NEAR(entry->trackTime, 2.1f, kTolerance) << "track time goes on";
  EXPECT_NEAR(Rotation(), 90, kTolerance) << "the animation time stays at the end";
}

TEST_F(AnimationStateTest, LoopsCompleteEachTimeAround) {
  Set("a", true);
  Heard();
  std::vector<Log> heard;
  for (int i = 0; i < 4; ++i) {
    Step(0.6f);
    heard.push_back(Heard());
  }
  EXPECT_EQ(heard, (std::vector<Log>{{"event a e"}, {"complete a"}, {"event a e"}, {"complete a"}}));
  EXPECT_NEAR(Rotation(), 0.4f * 90, kTolerance);

  Set("zero", true);
  for (int i = 0; i < 4; ++i) Step(0.3f);
  for (const std::string& line : Heard()) EXPECT_NE(line, "complete zero");
}

TEST_F(AnimationStateTest, AReplacedEntryFadesOutOverTwoUpdates) {
  Set("a");
  Step(0.1f);
  Heard();
  GCore::TrackEntry* next = Set("still90");
  EXPECT_EQ(Heard(), (Log{"interrupt a", "start still90"}));
  ASSERT_TRUE(next->mixingFrom);
  Step(0.1f);
  EXPECT_EQ(Heard(), Log{}) << "still applied, at alpha 0, its events not queued";
  EXPECT_NEAR(Rotation(), 90, kTolerance);
  Step(0.1f);
  EXPECT_EQ(Heard(), (Log{"end a", "dispose a"}));
  EXPECT_EQ(next->mixingFrom, nullptr);
}

TEST_F(AnimationStateTest, AnEntryNeverAppliedIsDroppedNotFaded) {
  Set("a");
  GCore::TrackEntry* second = Set("still0");
  EXPECT_EQ(Heard(), (Log{"start a", "interrupt a", "end a", "dispose a", "start still0"}));
  EXPECT_EQ(second->mixingFrom, nullptr);

  Step(0.1f);
  Set("a");
  GCore::TrackEntry* third = Set("still90");
  EXPECT_EQ(Heard(), (Log{"interrupt still0", "start a", "interrupt a", "end a", "dispose a",
                          "start still90"}));
  EXPECT_EQ(third->mixingFrom, second) << "it fades from what was shown before";
}

TEST_F(AnimationStateTest, ClearingEndsTheWholeChain) {
  Set("a");
  Step(0.1f);
  Set("still0");
  Heard();
  GCore::AnimationState_clearTrack(state_.get());
  EXPECT_EQ(Heard(), (Log{"end still0", "dispose still0", "end a", "dispose a"}));
  EXPECT_EQ(state_->tracks[0], nullptr);
  Step(0.1f);
  GCore::AnimationState_clearTrack(state_.get());
  EXPECT_EQ(Heard(), Log{});
}

TEST_F(AnimationStateTest, CrossFadesOverTheMixDuration) {
  mixes_->defaultMix = 0.5f;
  Set("still0");
  Step(0.1f);
  GCore::TrackEntry* next = Set("still90");
  EXPECT_NEAR(next->mixDuration, 0.5f, kTolerance);
  Step(0.25f);
  EXPECT_NEAR(Rotation(), 45, kTolerance) << "halfway through the fade";
  Step(0.25f);
  EXPECT_NEAR(Rotation(), 90, kTolerance);
  Heard();
  Step(0.1f);
  EXPECT_EQ(Heard(), (Log{"end still0", "dispose still0"}));
}

TEST_F(AnimationStateTest, ListenersCallingBackAreHeardInTheSameDelivery) {
  g_reaction = [this](GCore::AnimationState*, int32_t type, GCore::TrackEntry* entry) {
    if (type == GCore::kSpineEventComplete && std::string(entry->animation->name) == "a") {
      EXPECT_TRUE(Set("still0"));
    }
  };
  Set("a");
  Step(1.5f);
  EXPECT_EQ(Heard(), (Log{"start a", "event a e", "complete a", "interrupt a", "start still0"}));
}

TEST_F(AnimationStateTest, AnEntryEndedByItsOwnListenerIsNotHandedBack) {
  g_reaction = [this](GCore::AnimationState*, int32_t type, GCore::TrackEntry* entry) {
    if (type == GCore::kSpineEventStart && std::string(entry->animation->name) == "a") Set("still0");
  };
  EXPECT_EQ(Set("a"), nullptr);
  EXPECT_EQ(Heard(), (Log{"start a", "interrupt a", "end a", "dispose a", "start still0"}));
  ASSERT_TRUE(state_->tracks[0]);
  EXPECT_STREQ(state_->tracks[0]->animation->name, "still0");
}

TEST_F(AnimationStateTest, EveryEventOfAPassIsHeard) {
  Set("burst");
  Heard();
  Step(0.2f);
  EXPECT_EQ(Heard(), Log(200, "event burst b"));
}

TEST_F(AnimationStateTest, EventsPastTheEndOfALoopAreNotQueued) {
  GCore::TrackEntry* entry = Set("a", true);
  entry->animationEnd = 0.4f;
  Heard();
  Step(0.3f);
  Step(0.2f);  // wrapped: the timeline fires the key at 0.5, past the end
  EXPECT_EQ(Heard(), Log{"complete a"});
}

TEST_F(AnimationStateTest, TimeScalesMultiply) {
  GCore::TrackEntry* entry = Set("a");
  state_->timeScale = 2;
  entry->timeScale = 0.5f;
  Step(0.3f);
  EXPECT_NEAR(entry->trackTime, 0.3f, kTolerance);
}

TEST_F(AnimationStateTest, DisposingTellsNobody) {
  mixes_->defaultMix = 1;
  Set("a");
  Step(0.1f);
  Set("still0");
  Heard();
  state_.reset();
  EXPECT_EQ(Heard(), Log{});
}

}  // namespace
