// Sprites: the grouping node's flags, the object it links and keeps alive,
// values that are no engine object, drawing as a container, and the copy.
#include "DisplayFixture.h"
#include "display/Sprite.h"

namespace {

using GCore::Sprite;

class SpriteTest : public DisplayFixture {
 protected:
  void SetUp() override {
    DisplayFixture::SetUp();
    Run("g = require 'gcore.c'");
  }

  void Collect() { Run("for i = 1, 4 do collectgarbage() end"); }
};

TEST_F(SpriteTest, ANewSprite) {
  Run("s = g.Sprite()");
  EXPECT_EQ(
      Eval("tostring(s.active) .. ' ' .. tostring(s.tagged) .. ' ' .. tostring(s.linkedObject)"),
      "true false nil");
  EXPECT_EQ(Eval("s.type"), "Object");
  EXPECT_EQ(Eval("s.reserved"), "nil");
  EXPECT_EQ(Eval("s.noop()"), "nil");
  EXPECT_EQ(Eval("select('#', s.noopArgs(true, s))"), "0");
}

TEST_F(SpriteTest, TheLinkKeepsItsObjectAlive) {
  // `seen` holds its values weakly: they stay only while someone else does.
  Run("seen = setmetatable({}, {__mode = 'v'}); s = g.Sprite(); "
      "seen.entity = g.Entity(); s.linkedObject = seen.entity");
  Collect();
  EXPECT_EQ(Eval("s.linkedObject == seen.entity and seen.entity ~= nil"), "true");
  // Relinking the same object holds it once.
  Run("s.linkedObject = s.linkedObject; s.linkedObject = 5");
  EXPECT_EQ(Eval("s.linkedObject"), "nil") << "a number clears the link";
  Collect();
  EXPECT_EQ(Eval("seen.entity"), "nil") << "the unlinked entity was collected";

  Run("seen.matrix = g.Matrix(); s.linkedObject = seen.matrix; s = nil");
  Collect();
  EXPECT_EQ(Eval("seen.matrix"), "nil") << "the collected sprite let its object go";
}

TEST_F(SpriteTest, OnlyEngineObjectsLink) {
  Run("s = g.Sprite(); s.linkedObject = g.Quad()");
  const char* values[] = {
      "io.stdout",
      "nil",
      "'text'",
      "{}",
      "print",
      "coroutine.create(print)",
      "(function() local d = g.Entity(); getmetatable(d).__gc(d); return d end)()"};
  for (const char* value : values) {
    SCOPED_TRACE(value);
    Run("s.linkedObject = g.Quad()");
    Run(std::string("s.linkedObject = ") + value);
    EXPECT_EQ(Eval("s.linkedObject"), "nil");
  }
  Collect();
  EXPECT_EQ(Eval("io.stdout:write('') == io.stdout"), "true") << "the file is untouched";
}

TEST_F(SpriteTest, DrawsAsAContainer) {
  Sprite* sprite = Make<Sprite>("s");
  sprite->AddChild(MakeProbe("child"), 0);
  sprite->Draw();
  sprite->visible = false;
  sprite->Draw();
  EXPECT_EQ(renderer.Structural(), std::vector<std::string>({"draw child"}));
}

TEST_F(SpriteTest, CopyTakesFlagsLinkAndChildren) {
  Run(R"lua(
    s = g.Sprite(); s.active = false; s.tagged = 1; s.name = 'row'
    target = g.Entity(); s.linkedObject = target
    s.addChild(g.Quad())
    c = g.Clone(s)
  )lua");
  EXPECT_EQ(
      Eval(
          "string.format('%s %s %s %s %d', c.type, tostring(c.active), tostring(c.tagged), c.name, "
          "c.numChildren)"),
      "Object false true row 1");
  EXPECT_EQ(Eval("c.linkedObject == target and c.getChildAt(0) ~= s.getChildAt(0)"), "true");
  // Both hold the target.
  Run("s.linkedObject = nil; target = nil");
  Collect();
  EXPECT_EQ(Eval("c.linkedObject ~= nil"), "true");
}

}  // namespace
