// Key tracks: interpolation by key kind, the colour blend, restarts, the
// script's assignment that cancels a track, and script errors in targets.
#include "DisplayFixture.h"
#include "display/Entity.h"

namespace {

using GCore::DisplayObject;

class KeyTrackTest : public DisplayFixture {
 protected:
  // Runs `arguments` (a Lua expression list) and hands its values to addKeyTrack.
  void AddTrack(DisplayObject* object, const std::string& arguments) {
    ASSERT_EQ(luaL_dostring(L, ("return " + arguments).c_str()), LUA_OK) << lua_tostring(L, -1);
    object->AddKeyTrack(L);
    lua_settop(L, 0);
  }
};

using Values = std::vector<std::string>;

TEST_F(KeyTrackTest, InterpolationByKeyKind) {
  const struct {
    const char* what;
    const char* keys;
    Values values;  // every 250 ms
  } cases[] = {
      {"linear", "0, 0, 0, 1000, 100, 0", {"25.0", "50.0", "75.0", "100.0", "-1"}},
      {"hold the previous until the key", "0, 10, 0, 500, 20, 127", {"10.0", "20.0", "-1"}},
      {"jump at the previous key", "0, 10, 0, 500, 20, 128", {"20.0", "20.0", "-1"}},
      {"other kinds leave it alone", "0, 10, 0, 500, 20, 5", {"-1", "20.0", "-1"}},
      {"a single key", "250, 7, 0", {"7.0", "-1"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Run("t = {}");
    auto* object = Make<DisplayObject>();
    AddTrack(object, std::string("{t, 'x'}, 99, {") + c.keys + "}");
    std::vector<std::string> seen;
    for (size_t i = 0; i < c.values.size(); ++i) {
      Run("t.x = -1");  // shows frames that assign nothing
      Step(250);
      object->Update();
      seen.push_back(Eval("t.x"));
    }
    EXPECT_EQ(seen, c.values);
  }
}

TEST_F(KeyTrackTest, ColourBlendsChannelByChannel) {
  Run("t = {}");
  auto* object = Make<DisplayObject>();
  AddTrack(object, "{t, 'color'}, 2, {0, 0xFF0000, 0, 1000, 0x0000FF, 0}");
  Step(500);
  object->Update();
  EXPECT_EQ(Eval("string.format('0x%06X', math.tointeger(t.color))"), "0x7F007F");
}

TEST_F(KeyTrackTest, DurationRestartsAndTheTrackRecord) {
  Run("t = {}");
  auto* object = Make<DisplayObject>();
  AddTrack(object, "{t, 'x'}, 2, {0, 0, 0, 70000, 100, 0}");
  GCore::KeyTrack* track = object->FindKeyTrack("x");
  ASSERT_NE(track, nullptr);
  EXPECT_EQ(track->duration, 70000u - 65536u) << "key times keep their low 16 bits";

  AddTrack(object, "{t, 'x'}, 2, {0, 0, 0, 100, 100, 0}");
  EXPECT_EQ(object->FindKeyTrack("x"), track) << "the same name reuses the track";
  EXPECT_EQ(track->duration, 70000u - 65536u) << "the duration never shrinks";
  object->visible = false;
  Step(50);
  object->Update();
  EXPECT_EQ(track->elapsed, 0u) << "invisible objects keep their tracks still";
  object->visible = true;

  object->SetKeyTrackTime("x", 20);
  Step(30);
  object->Update();
  EXPECT_EQ(Eval("t.x"), "50.0");

  object->SetKeyTrackTime("y", 300);
  ASSERT_NE(object->FindKeyTrack("y"), nullptr) << "an empty track of that name";
  EXPECT_EQ(object->FindKeyTrack("y")->elapsed, 300u);
  EXPECT_TRUE(object->FindKeyTrack("y")->keys.empty());

  testing::internal::CaptureStdout();
  AddTrack(object, "'averyveryverylongname', 1, {0, 1, 0}");
  const std::string out = testing::internal::GetCapturedStdout();
  ASSERT_TRUE(object->extras);
  EXPECT_EQ(object->extras->keyTracks.size(), 2u) << "no track for a name the record cannot hold";
  EXPECT_NE(out.find("a track needs a property name of 1 to 15 bytes"), std::string::npos);

  testing::internal::CaptureStdout();
  AddTrack(object, "{t, 'z'}, 1000000000, {0, 1, 0}");
  const std::string capped = testing::internal::GetCapturedStdout();
  EXPECT_EQ(object->FindKeyTrack("z")->keys.size(), 65536u) << "one key per millisecond at most";
  EXPECT_NE(capped.find("addKeyTrack: 1000000000 keys asked for, 65536 made"), std::string::npos) << capped;
}

TEST_F(KeyTrackTest, KeysTheTableLacksReadAsZero) {
  Run("t = {}");
  auto* object = Make<DisplayObject>();
  // Three keys asked for, four numbers given: the second key has its time
  // only, the third nothing.
  AddTrack(object, "{t, 'x'}, 3, {0, 10, 0, 500}");
  const GCore::KeyTrack* track = object->FindKeyTrack("x");
  ASSERT_NE(track, nullptr);
  ASSERT_EQ(track->keys.size(), 3u);
  EXPECT_EQ(track->keys[1].time, 500);
  EXPECT_EQ(track->keys[1].value, 0.0);
  EXPECT_EQ(track->keys[2].time, 0);
  EXPECT_EQ(track->duration, 500u);
  Step(250);
  object->Update();
  EXPECT_EQ(Eval("t.x"), "5.0") << "halfway from 10 to the missing value 0";

  AddTrack(object, "{t, 'y'}, 2, 'no table'");
  ASSERT_EQ(object->FindKeyTrack("y")->keys.size(), 2u);
  EXPECT_EQ(object->FindKeyTrack("y")->keys[1].time, 0);
}

TEST_F(KeyTrackTest, AScriptAssignmentCancelsTheTrackOfThatName) {
  auto* entity = Make<GCore::Entity>("e");
  AddTrack(entity, "'x', 2, {0, 0, 0, 1000, 100, 0}");
  AddTrack(entity, "'y', 2, {0, 0, 0, 1000, 100, 0}");
  Step(100);
  entity->Update();
  EXPECT_FALSE(entity->FindKeyTrack("x")->keys.empty()) << "the track's own assignments";
  Run("e.x = 5");
  EXPECT_TRUE(entity->FindKeyTrack("x")->keys.empty());
  EXPECT_FALSE(entity->FindKeyTrack("y")->keys.empty());
}

TEST_F(KeyTrackTest, AFailingTargetIsReportedAndTheFrameGoesOn) {
  Run("bad = setmetatable({}, {__newindex = function() error('no x here') end})\n"
      "t = {}");
  auto* object = Make<DisplayObject>();
  AddTrack(object, "{bad, 'x'}, 2, {0, 0, 0, 1000, 100, 0}");
  AddTrack(object, "{t, 'y'}, 2, {0, 0, 0, 1000, 100, 0}");
  testing::internal::CaptureStdout();
  Step(500);
  object->Update();
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("no x here"), std::string::npos) << out;
  EXPECT_EQ(Eval("t.y"), "50.0") << "the next track still ran";
  EXPECT_FALSE(GCore::applyingTracks);
}

}  // namespace
