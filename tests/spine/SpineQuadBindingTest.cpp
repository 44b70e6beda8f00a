// The script members of SpineQuad: every property and method on a loaded
// and on an empty quad, the constructor and the class, and bad uses.
#include "spine/SpineQuadFixture.h"

namespace {

using GCore::SpineQuad;

class SpineQuadBinding : public SpineQuadFixture {
 protected:
  void SetUp() override {
    SpineQuadFixture::SetUp();
    MakeQuad("q");
    Run("q.setAnimation('walk', true, 500) empty = gcore.SpineQuad() m = gcore.Matrix()");
  }
};

struct Case {
  const char* expression;
  const char* loaded;  // the value on the test skeleton
  const char* empty;   // on a quad without one
};

TEST_F(SpineQuadBinding, EveryMethodOnALoadedAndAnEmptyQuad) {
  const Case cases[] = {
      {"X.getAnimationCount()", "3", "0"},
      {"X.getAnimationName(0)", "walk", "nil"},
      {"X.getAnimationName(2)", "idle", "nil"},
      {"X.getAnimationName(-1)", "nil", "nil"},
      {"X.getAnimationName(3)", "nil", "nil"},
      {"X.findAnimation('jump')", "1", "-1"},
      {"X.findAnimation('run')", "-1", "-1"},
      {"X.getEventCount()", "2", "0"},
      {"X.getEventName(1)", "land", "nil"},
      {"X.getEventName(2)", "nil", "nil"},
      {"X.getCurrentAnimation()", "walk", "nil"},
      {"math.floor(X.getTrackTime())", "500", "0"},
      {"X.getWidth() .. ' ' .. X.getHeight()", "100.0 100.0", "0.0 0.0"},
      {"X.getSlotDataCount()", "3", "0"},
      {"X.findSlot('glow')", "2", "-1"},
      {"X.findSlot(nil)", "-1", "-1"},
      {"X.getSlotName(1)", "tip", "nil"},
      {"X.getSlotName(3)", "nil", "nil"},
      {"X.getBoneCount()", "2", "0"},
      {"X.findBone('arm')", "1", "-1"},
      {"X.getBoneName(0)", "root", "nil"},
      {"X.getBoneName(2)", "nil", "nil"},
      {"table.concat({X.getBoneInfo('arm', 'lpos')}, ' ')", "30.0 0.0", ""},
      {"select('#', X.getBoneInfo('arm', 'size'))", "2", "2"},
      {"select('#', X.getBoneInfo('hand', 'pos'))", "2", "2"},
      {"table.concat({X.getSlotInfo('tip', 'color')}, ' ')", "0.0 0.0 1.0 1.0", ""},
      {"table.concat({X.getSlotInfo('tip', 'lpos')}, ' ')", "30.0 0.0", ""},
      {"select('#', X.getSlotInfo('tip', 'size'))", "2", "2"},
      {"select('#', X.getSlotInfo('hand', 'color'))", "2", "2"},
      {"X.countEvents('walk')", "3", "0"},
      {"X.countEvents('walk', 'step')", "2", "0"},
      {"X.countEvents('walk', 'run')", "0", "0"},
      {"X.countEvents('jump')", "0", "0"},
      {"X.countEvents('nothing')", "0", "0"},
      {"X.setAnimation('nothing', true, 0)", "0.0", "0.0"},
      {"X.setAnimation('jump', false, 0)", "500.0", "0.0"},
      {"X.skeletonId", "2164588545", "0"},
      {"X.speed", "100", "100"},
  };
  // The expression with X standing for the quad.
  auto on = [](std::string expression, const std::string& quad) {
    for (size_t at; (at = expression.find('X')) != std::string::npos;)
      expression.replace(at, 1, quad);
    return expression;
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expression);
    EXPECT_EQ(Eval(on(c.expression, "q")), c.loaded);
    EXPECT_EQ(Eval(on(c.expression, "empty")), c.empty);
  }
}

TEST_F(SpineQuadBinding, PositionsAndTheSlotMatrixFollowThePose) {
  auto* quad = static_cast<SpineQuad*>(kept.front().Get());
  const GCore::Bone& arm = quad->GetPosedSkeleton()->bones[1];
  EXPECT_EQ(Eval("string.format('%.3f %.3f', q.getBoneInfo('arm', 'pos'))"),
            Eval(std::string("string.format('%.3f %.3f', ") + std::to_string(arm.worldX) + ", " +
                 std::to_string(arm.worldY) + ")"));
  EXPECT_EQ(Eval("string.format('%.3f %.3f', q.getSlotInfo('tip', 'pos'))"),
            Eval("string.format('%.3f %.3f', q.getBoneInfo('arm', 'pos'))"));
  Run("q.getSlotMatrix(1, m)");
  EXPECT_EQ(Eval("string.format('%.3f %.3f %.3f %.3f', m.a, m.b, m.c, m.d)"),
            Eval(std::string("string.format('%.3f %.3f %.3f %.3f', ") + std::to_string(arm.a) +
                 ", " + std::to_string(arm.c) + ", " + std::to_string(-arm.b) + ", " +
                 std::to_string(-arm.d) + ")"));
  EXPECT_EQ(Eval("string.format('%.3f', m.tx)"),
            Eval("string.format('%.3f', q.getBoneInfo('arm', 'pos'))"));
  Run("m.a = 7 q.getSlotMatrix(3, m) empty.getSlotMatrix(0, m)");
  EXPECT_EQ(Eval("m.a"), "7.0") << "nothing for a slot that is not there";
}

TEST_F(SpineQuadBinding, Properties) {
  struct Assignment {
    const char* script;
    const char* expression;
    const char* value;
  };
  const Assignment cases[] = {
      {"q.speed = 50", "q.speed", "50"},
      {"q.speed = 40000", "q.speed", "-25536"},
      {"q.speed = -32769", "q.speed", "32767"},
      {"q.speed = 'x'", "q.speed", "0"},
      {"q.speed = 50 q.skeletonId = 0", "q.speed .. ' ' .. q.skeletonId", "50 2164588545"},
      {"q.speed = 50 q.skeletonId = 0x81050001", "q.speed", "50"},
      {"q.speed = 50 q.skeletonId = 0x01050001", "q.speed", "50"},
      {"empty.skeletonId = 5", "empty.skeletonId", "2147483653"},
      {"q.media = 0", "q.media", "2164588545"},
      {"q.media = 0x01050001", "q.media .. ' ' .. tostring(q.getCurrentAnimation())",
       "2164588545 walk"},
  };
  for (const Assignment& c : cases) {
    SCOPED_TRACE(c.script);
    Run(c.script);
    EXPECT_EQ(Eval(c.expression), c.value);
    Run("q.speed = 100");
  }
}

TEST_F(SpineQuadBinding, AssigningTheSkeletonIdOrMediaLoads) {
  skel::Skeleton other = quadfix::TwoBoneModel();
  other.animations.pop_back();
  quadfix::WriteSkeleton(root, "p", quadfix::kOtherSkeletonId, other);
  Run("q.speed = 50 q.skeletonId = 0x81050002");
  EXPECT_EQ(Eval("q.getAnimationCount() .. ' ' .. q.speed"), "2 100") << "atlas 1, skeleton 2";
  Run("empty.media = 0x81050002");
  EXPECT_EQ(Eval("empty.getAnimationCount() .. ' ' .. empty.skeletonId"), "2 2164588546")
      << "one id names both files";
  Run("empty.skeletonId = 0x81050001");
  EXPECT_EQ(Eval("empty.getAnimationCount()"), "3");
}

TEST_F(SpineQuadBinding, TheListenerTakesAFunctionOrNothingAndLetsTheOldOneGo) {
  Run("Listen(q) q.setAnimation('jump', true, 0)");
  EXPECT_NE(TakeEvents(), "");
  for (const char* silence : {"q.setListener()", "q.setListener(nil)", "q.setListener(5)"}) {
    SCOPED_TRACE(silence);
    Run("Listen(q)");
    Run(silence);
    Run("q.setAnimation('walk', true, 0)");
    EXPECT_EQ(TakeEvents(), "");
  }
  const std::string before = Eval("#debug.getregistry()");
  Run("for i = 1, 1000 do Listen(q) end q.setListener()");
  EXPECT_LE(std::stoi(Eval("#debug.getregistry()")), std::stoi(before) + 2)
      << "no reference per call";
}

TEST_F(SpineQuadBinding, ArgumentsOfTheWrongKindAreRefusedQuietly) {
  const char* const calls[] = {
      "q.getSlotMatrix(0, {})",  "q.getSlotMatrix(0, gcore.Quad())",
      "q.getSlotMatrix(0)",      "q.snapshotTo(gcore.Quad())",
      "q.snapshotTo(m)",         "q.snapshotTo()",
      "q.snapshotTo(io.stdout)", "q.advance('x')",
      "q.advance(0/0)",          "q.advance(math.huge)",
      "q.setAnimation()",        "q.setAnimation({}, {}, {})",
      "q.getAnimationName('x')", "q.getBoneInfo()",
      "q.getSlotInfo({}, {})",   "q.countEvents(nil, 'step')",
      "q.findSlot(print)",
  };
  for (const char* call : calls) {
    SCOPED_TRACE(call);
    EXPECT_EQ(Eval("(pcall(function() " + std::string(call) + " end))"), "true");
  }
  EXPECT_EQ(Eval("q.getCurrentAnimation()"), "walk");
  EXPECT_EQ(Eval("math.floor(q.getTrackTime())"), "500") << "no step was taken";
  Run("q.setAnimation('walk', true, 0/0) q.advance(0.25)");
  EXPECT_EQ(Eval("math.floor(q.getTrackTime())"), "250") << "a start that is not a number is 0";
}

TEST_F(SpineQuadBinding, OnlyTheMembersOwnNamesSelectThem) {
  // Same KeyHash as "speed": 'e' + 1 and 'd' - 131 in the last two places.
  const std::string collider = "spef\xE1";
  ASSERT_EQ(GCore::KeyHash(collider.c_str()), GCore::KeyHash("speed"));
  Run("q['" + collider + "'] = 7");
  EXPECT_EQ(Eval("q.speed"), "100");
  EXPECT_EQ(Eval("q['" + collider + "']"), "nil");
}

TEST_F(SpineQuadBinding, ClassConstructorAndMethodsWithoutTheirObject) {
  EXPECT_EQ(Eval("q.type"), "SpineQuad");
  EXPECT_EQ(Eval("getmetatable(empty) == getmetatable(q)"), "true");
  EXPECT_EQ(Eval("select('#', gcore.SpineQuad(1, 2))"), "1");
  EXPECT_EQ(Eval("(function() local f = q.getAnimationCount; local g = empty.getBoneCount; return "
                 "f() end)()"),
            "0")
      << "a method acts on the object looked up last";
  Run("dead = gcore.SpineQuad() f = dead.getBoneCount getmetatable(dead).__gc(dead)");
  EXPECT_NE(Eval("select(2, pcall(f))").find("without its object"), std::string::npos);
  EXPECT_EQ(Eval("(pcall(dead.getBoneCount))"), "false");
}

TEST_F(SpineQuadBinding, ChildrenLinkToSlotsByName) {
  Run("c = gcore.Quad() q.addChild(c) c.slot = 'glow'");
  EXPECT_EQ(Eval("c.slot .. ' ' .. c.slotLink"), "glow 4");
  Run("c.slotFlag = 1");
  EXPECT_EQ(Eval("c.slot .. ' ' .. c.slotLink"), "glow 5");
  // A linked child's parent frame is its slot bone's.
  Run(R"lua(
    c.slot = 'tip' inv = gcore.Matrix() c.getInverseParentMatrix(inv) q.getSlotMatrix(1, m)
    det = m.a * m.d - m.b * m.c
  )lua");
  EXPECT_EQ(Eval("string.format('%.3f %.3f %.3f %.3f', inv.a, inv.b, inv.c, inv.d)"),
            Eval("string.format('%.3f %.3f %.3f %.3f', m.d / det, -m.b / det, -m.c / det, "
                 "m.a / det)"));
  EXPECT_NE(Eval("string.format('%.3f', m.b)"), "0.000") << "the walk turns the arm";
  Run("c.slot = 'nothing'");
  EXPECT_EQ(Eval("c.slot .. ' ' .. c.slotLink"), "_root -1");
  Run("e = gcore.Entity() e.addChild(c) c.slot = 'glow'");
  EXPECT_EQ(Eval("c.slotLink"), "-1") << "only a SpineQuad has slots";
}

}  // namespace
