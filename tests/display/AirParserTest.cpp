// The "air" reader: both file forms, the script tables of an action, and
// hostile files (empty, cut anywhere, absurd box counts) that must fail
// cleanly under the sanitizers.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "AirFixtures.h"
#include "display/AirParser.h"

namespace {

using GCore::AirData;
using GCore::ParseAirData;
using airtest::kCompactForm;
using airtest::kLongForm;

// Parses from an exactly sized heap copy, so that a read past the end is
// caught by the address sanitizer.
std::unique_ptr<AirData> Parse(const std::string& text) {
  std::vector<char> bytes(text.begin(), text.end());
  return ParseAirData(bytes.data(), bytes.size(), 1);
}

TEST(AirParser, LongFormActionsFramesAndBoxes) {
  auto data = Parse(kLongForm);
  ASSERT_TRUE(data);
  EXPECT_EQ(data->frameMs, 40);
  EXPECT_EQ(data->width, 64);
  EXPECT_EQ(data->height, 48);
  ASSERT_EQ(data->actions.size(), 2u);

  const GCore::AirAction& walk = data->actions[0];
  EXPECT_EQ(walk.id, 7);
  EXPECT_STREQ(walk.name, "walk");
  EXPECT_EQ(walk.loopIndex, 2) << "\"LP\" after two frames";
  ASSERT_EQ(walk.defaultBoxes.size(), 1u) << "a box list right after the action line";
  EXPECT_EQ(walk.defaultBoxes[0].type, 2) << "any character but 1 after C";
  EXPECT_EQ(walk.defaultBoxes[0].bottom, -5);
  ASSERT_EQ(walk.frames.size(), 3u);

  const GCore::AirFrame& first = walk.frames[0];
  EXPECT_EQ(first.imageId, 43794u) << "eight hex digits";
  EXPECT_EQ(first.duration, 2) << "the value after the separator";
  EXPECT_EQ(first.offsetX, 3);
  EXPECT_EQ(first.offsetY, -4);
  EXPECT_EQ(first.flip, 1);
  EXPECT_EQ(first.alpha, 200);
  ASSERT_EQ(first.boxes.size(), 1u);
  EXPECT_EQ(first.boxes[0].type, 1);
  EXPECT_EQ(first.boxes[0].left, 10);
  EXPECT_EQ(first.boxes[0].bottom, -40);
  EXPECT_EQ(first.boxes[0].right, 30);
  EXPECT_EQ(first.boxes[0].top, -20);

  const GCore::AirFrame& second = walk.frames[1];
  EXPECT_EQ(second.imageId, 0xAB13u) << "upper-case digits";
  EXPECT_EQ(second.duration, 3);
  EXPECT_EQ(second.offsetX, 0) << "a line that ends after the duration";
  EXPECT_EQ(second.alpha, 0);
  EXPECT_EQ(walk.frames[2].duration, 65535);

  const GCore::AirAction& jump = data->actions[1];
  EXPECT_EQ(jump.id, 8);
  EXPECT_STREQ(jump.name, "averyveryverylo") << "names keep 15 characters";
  EXPECT_TRUE(jump.defaultBoxes.empty());
}

TEST(AirParser, FrameDurationFromTheHeaderRate) {
  const struct {
    const char* header;
    int frameMs;
  } cases[] = {{"1,25,", 40}, {"1,0,", 167}, {"1,-5,", 167}, {"1,3,", 333}, {"1,2000,", 0}};
  for (const auto& c : cases) {
    auto data = Parse(std::string(c.header) + "1,1,\n[A]1\n00000001,1\n\n");
    ASSERT_TRUE(data) << c.header;
    EXPECT_EQ(data->frameMs, c.frameMs) << c.header;
  }
}

TEST(AirParser, CompactForm) {
  // A frame line's own line feed falls within its nine characters, so the
  // reader's skip of one more takes the first empty line: two end an action.
  auto data = Parse(kCompactForm);
  ASSERT_TRUE(data);
  EXPECT_EQ(data->frameMs, 33);
  EXPECT_EQ(data->width, 100) << "no image to measure";
  EXPECT_EQ(data->height, 100);
  ASSERT_EQ(data->actions.size(), 2u);
  for (const GCore::AirAction& action : data->actions) {
    EXPECT_EQ(action.id, 0);
    EXPECT_EQ(action.loopIndex, 1) << "the header's loop number minus 1";
    for (const GCore::AirFrame& frame : action.frames) EXPECT_EQ(frame.duration, 1);
  }
  ASSERT_EQ(data->actions[0].frames.size(), 2u);
  EXPECT_EQ(data->actions[0].frames[1].imageId, 0xAB13u);
  ASSERT_EQ(data->actions[1].frames.size(), 1u);
  EXPECT_EQ(data->actions[1].frames[0].imageId, 0xAB14u);
}

TEST(AirParser, ScriptTablesOfAnAction) {
  auto data = Parse(kLongForm);
  ASSERT_TRUE(data);
  lua_State* L = luaL_newstate();
  luaL_openlibs(L);
  ASSERT_EQ(GCore::PushAirAction(L, *data, 0), 1);
  lua_setglobal(L, "walk");
  ASSERT_EQ(GCore::PushAirAction(L, *data, 1), 1);
  lua_setglobal(L, "jump");
  EXPECT_EQ(GCore::PushAirAction(L, *data, 2), 0) << "an index equal to the count";
  EXPECT_EQ(lua_gettop(L), 0);

  const char* checks =
      "assert(walk.action_id == 7 and walk.name == 'walk' and walk.loopindex == 2)\n"
      "assert(jump.defbox == nil, 'no default boxes, no key')\n"
      "assert(#walk.airlines == 3)\n"
      "local f = walk.airlines[1]\n"
      "assert(f.img == 43794 and f.duration == 2 and f.offset_x == 3 and f.offset_y == -4)\n"
      "assert(f.flip == 1 and f.alpha == 200)\n"
      "local b = f.box[1]\n"
      "assert(b.type == 1 and b.left == 10 and b.bottom == -40 and b.right == 30 and b.top == -20)\n"
      "assert(walk.airlines[2].box == nil, 'a frame without boxes has no key')\n"
      "assert(walk.defbox[1].type == 2)\n";
  ASSERT_EQ(luaL_dostring(L, checks), LUA_OK) << lua_tostring(L, -1);
  lua_close(L);
}

TEST(AirParser, EmptyAndTruncatedFilesFailClearly) {
  testing::internal::CaptureStdout();
  EXPECT_FALSE(Parse(""));
  EXPECT_FALSE(Parse("1"));
  EXPECT_FALSE(Parse("1,25,64"));
  EXPECT_FALSE(Parse("1,25,64,48,\n[A]7,walk\nC1=1,10,20"));
  EXPECT_FALSE(Parse("1,25,64,48,\n[A]7,wa"));
  EXPECT_FALSE(Parse("10,30,2"));
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("Air data: the file ends inside a number"), std::string::npos) << out;
  EXPECT_NE(out.find("Air data: the file ends inside an action name"), std::string::npos) << out;
  EXPECT_NE(out.find("Air data: the file ends inside the header"), std::string::npos) << out;
}

TEST(AirParser, EveryCutOfAValidFileStaysInBounds) {
  testing::internal::CaptureStdout();
  for (const std::string& text : {kLongForm, kCompactForm}) {
    for (size_t cut = 0; cut < text.size(); ++cut) {
      auto data = Parse(text.substr(0, cut));
      if (data) {
        EXPECT_FALSE(data->actions.empty()) << cut;
      }
    }
  }
  testing::internal::GetCapturedStdout();
}

TEST(AirParser, HugeBoxCountsAreRefused) {
  testing::internal::CaptureStdout();
  EXPECT_FALSE(Parse("1,25,64,48,\n[A]1\nC1=2000000000,1,2,3,4,00000001,1\n\n"));
  EXPECT_FALSE(Parse("1,25,64,48,\n[A]1,a,C2=99999999999999999999,1,2,3,4\n00000001,1\n\n"));
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("a box count exceeds what the file holds"), std::string::npos) << out;

  // A count the text does hold is read in full.
  auto data = Parse("1,25,64,48,\n[A]1\nC2=2,0,0,1,1,2,2,3,3,00000001,1\n\n");
  ASSERT_TRUE(data);
  EXPECT_EQ(data->actions[0].defaultBoxes.size(), 2u);
}

}  // namespace
