// Bad input from scripts to the display bindings: wrong argument types,
// destroyed objects, userdata of other libraries, methods called without
// their object. Each gives a clear script error, a nil or false result or a
// printed message, never a crash (these tests run under the sanitizers).
#include "DisplayFixture.h"
#include "display/Entity.h"

namespace {

using GCore::DisplayObject;
using GCore::DisplayObjectContainer;
using GCore::Entity;

class BindingBadInput : public DisplayFixture {
 protected:
  void SetUp() override {
    DisplayFixture::SetUp();
    Run("g = require 'gcore.c'");
    container = Make<DisplayObjectContainer>("p");
    object = Make<DisplayObject>("o");
    Run("t = g.TextQuad(); t.text = 'bad [a=01input]'");
  }

  // The error a chunk raises, or "" when it runs through.
  std::string ErrorOf(const std::string& chunk) {
    return Eval("(function() local ok, e = pcall(function() " + chunk +
                " end) return ok and '' or tostring(e) end)()");
  }

  DisplayObjectContainer* container = nullptr;
  DisplayObject* object = nullptr;
};

TEST_F(BindingBadInput, ObjectArgumentsThatAreNoDisplayObjects) {
  testing::internal::CaptureStdout();
  for (const char* value : {"5", "'A'", "{}", "io.stdout", "g.Matrix()", "true", "print"}) {
    const std::string v = value;
    EXPECT_EQ(ErrorOf("p.addChild(" + v + "); p.addChildAt(" + v + ", 0)"), "") << value;
    EXPECT_EQ(Eval("p.removeChild(" + v + ")"), "nil") << value;
    EXPECT_EQ(Eval("p.getChildIndex(" + v + ")"), "-1") << value;
    EXPECT_EQ(ErrorOf("p.setChildIndex(" + v + ", 0); p.swapChildren(" + v + ", o)"), "") << value;
    EXPECT_EQ(Eval("o.isDescendantOf(" + v + ")"), "false") << value;
  }
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(container->NumChildren(), 0);
  EXPECT_NE(out.find("addChild: argument 1 is not a display object"), std::string::npos) << out;
  EXPECT_EQ(ErrorOf("p.addChild(nil); p.addChild()"), "");
}

TEST_F(BindingBadInput, MatrixMethodsRefuseAnythingElse) {
  for (const char* value : {"", "io.stdout", "o", "5", "{}"}) {
    EXPECT_NE(ErrorOf(std::string("o.getInverseWorldMatrix(") + value + ")").find("Matrix expected"),
              std::string::npos)
        << value;
    EXPECT_NE(ErrorOf(std::string("o.getInverseParentMatrix(") + value + ")").find("Matrix expected"),
              std::string::npos)
        << value;
  }
}

TEST_F(BindingBadInput, ForeignAndWrongSelvesInTheMetamethods) {
  for (const char* cls : {"DisplayObject", "DisplayObjectContainer", "Entity", "Stage"}) {
    const std::string mt = std::string("debug.getregistry()['") + cls + "']";
    EXPECT_EQ(Eval(mt + ".__index(io.stdout, 'x')"), "nil") << cls;
    EXPECT_EQ(Eval(mt + ".__index(io.stdout, 1)"), "nil") << cls;
    EXPECT_EQ(Eval(mt + ".__index(g.Matrix(), 'a')"), "nil") << cls;
    EXPECT_EQ(ErrorOf(mt + ".__newindex(io.stdout, 'x', 1)"), "") << cls;
    EXPECT_EQ(ErrorOf(mt + ".__newindex(nil, 'x', 1)"), "") << cls;
  }
  EXPECT_EQ(Eval("debug.getregistry().DisplayObjectContainer.__index(o, 'numChildren')"), "nil")
      << "a plain display object is no container";
  EXPECT_EQ(Eval("debug.getregistry().Entity.__index(p, 'x')"), "nil");
}

TEST_F(BindingBadInput, KeysThatAreNoStrings) {
  auto* entity = Make<Entity>("e");
  testing::internal::CaptureStdout();
  for (const char* key : {"{}", "true", "1", "1.5", "print"}) {
    const std::string k = key;
    EXPECT_EQ(Eval("o[" + k + "]"), "nil") << key;
    EXPECT_EQ(Eval("p[" + k + "]"), "nil") << key;
    EXPECT_EQ(ErrorOf("o[" + k + "] = 1; p[" + k + "] = 1"), "") << key;
  }
  EXPECT_EQ(Eval("e[{}]"), "nil");
  EXPECT_EQ(ErrorOf("e[{}] = 1; e[true] = o"), "");
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(entity->NumChildren(), 0);
}

TEST_F(BindingBadInput, NumbersThatFitNoField) {
  const std::pair<const char*, const char*> cases[] = {
      {"o.tag = 'abc'", "o.tag == 0"},
      {"o.tag = 1e300", "o.tag == 0"},
      {"o.tag = 0/0", "o.tag == 0"},
      {"o.tag = 2^32 + 5", "o.tag == 5"},
      {"o.media = -1", "o.media == 4294967295"},
      {"o.depth = -2.9", "o.depth == -2"},
      {"o.x = {}", "o.x == 0"},
      {"o.scaleX = 0/0", "o.scaleX == 1"},
      {"o.visible = 0", "o.visible == true"},
  };
  for (const auto& [assignment, check] : cases) {
    EXPECT_EQ(ErrorOf(assignment), "") << assignment;
    EXPECT_EQ(Eval(check), "true") << assignment;
  }
}

TEST_F(BindingBadInput, DestroyedObjects) {
  Run("D = g.Entity(); D.addChild(g.DisplayObject()); getmetatable(D).__gc(D)");
  EXPECT_EQ(Eval("D.x"), "nil");
  EXPECT_EQ(Eval("D[1]"), "nil");
  EXPECT_EQ(Eval("D.addChild"), "nil");
  EXPECT_EQ(ErrorOf("D.x = 5; D[1] = o; D.c_x = {}"), "");
  testing::internal::CaptureStdout();
  EXPECT_EQ(ErrorOf("p.addChild(D)"), "");
  EXPECT_EQ(Eval("o.isDescendantOf(D)"), "false");
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(container->NumChildren(), 0);
  EXPECT_NE(ErrorOf("D.addChild(o)").find("attempt to call"), std::string::npos);
  Run("getmetatable(D).__gc(D)");
}

// A key string that is collected leaves its memory to the next strings, and
// a name that differs from a member's in its last letter must still find
// nothing, wherever it lands.
TEST_F(BindingBadInput, KeysMadeAndCollectedOneAfterAnother) {
  EXPECT_EQ(Eval("(function()\n"
                 "  local q, found, wrong = g.Quad(), 0, 0\n"
                 "  for i = 1, 300 do\n"
                 "    local last = i % 2 == 0 and 'm' or 'M'\n"
                 "    local v = q[string.format('anchorBotto%s', last)]\n"
                 "    if last == 'm' then found = found + (v and 1 or 0) else wrong = wrong + (v and 1 or 0) end\n"
                 "    if i % 3 == 0 then collectgarbage() end\n"
                 "  end\n"
                 "  return found .. ' ' .. wrong end)()"),
            "150 0");
}

TEST_F(BindingBadInput, MethodsWithoutTheirObject) {
  const std::string stale = ErrorOf(
      "local f = (function() return g.DisplayObject().getIndex end)()\n"
      "for i = 1, 4 do collectgarbage() end\n"
      "f()");
  EXPECT_NE(stale.find("DisplayObject method called without its object"), std::string::npos)
      << stale;

  const std::string wrongClass = ErrorOf("local add = p.addChild; local _ = o.getIndex; add(o)");
  EXPECT_NE(wrongClass.find("DisplayObjectContainer method called without its object"),
            std::string::npos)
      << wrongClass;
  EXPECT_EQ(container->NumChildren(), 0);

  Run("m = g.Matrix(); local _ = m.identity");
  EXPECT_NE(ErrorOf("local f = o.getIndex; local _ = m.identity; f()").find("without its object"),
            std::string::npos);

  Run("d = g.DisplayObject(); getIndex = d.getIndex");
  const std::string destroyed = ErrorOf("getmetatable(d).__gc(d); getIndex()");
  EXPECT_NE(destroyed.find("without its object"), std::string::npos) << destroyed;
}

TEST_F(BindingBadInput, MethodsOfAnotherProjectsObject) {
  testing::internal::CaptureStdout();
  const int second = manager->LoadProj("q");
  testing::internal::GetCapturedStdout();
  lua_State* other = manager->GetProject(second)->state;
  ASSERT_NE(other, nullptr);
  Run("getIndex = o.getIndex; broadcast = g.Entity().broadcast");
  ASSERT_EQ(luaL_dostring(other, "local e = require('gcore.c').Entity(); f = e.getIndex"), LUA_OK);
  EXPECT_NE(ErrorOf("getIndex()").find("without its object"), std::string::npos);
  ASSERT_EQ(luaL_dostring(other, "local e = require('gcore.c').Entity(); f = e.broadcast"), LUA_OK);
  EXPECT_NE(ErrorOf("broadcast('init')").find("without its object"), std::string::npos);
}

TEST_F(BindingBadInput, ArgumentsOfTheWrongKind) {
  testing::internal::CaptureStdout();
  const char* calls[] = {
      "p.getChildAt('x')",        "p.getChildAt({})",          "p.getChildByName({})",
      "p.getChildByName()",       "p.removeChildAt(1e300)",    "p.moveChildIndex(0/0, 1)",
      "p.addChildAt(o, {}, 'x')", "o.setIndex({})",            "o.dispatchEvent({}, {})",
      "o.dispatchEvent()",        "o.addKeyTrack()",           "o.addKeyTrack({}, 'x', 5)",
      "o.addKeyTrack('x', 1e9, {})", "o.addKeyTrack(string.rep('x', 40), 1, {0, 1, 0})",
      "o.setTrackTime(nil, 5)",   "o.clearKeyTrack({})",       "o.getTrackTime()",
      "o.setActionByName({})",    "o.globalToLocal('a', {})",  "o.hitTestPoint()",
      "o.anchors = -1",           "o.slot = {}",               "o.slotHigh = 1e300",
      "t.getLineOf({})",          "t.layout(-5)",              "t.layout(1e300)",
      "t.measure('x')",           "t.getCharIndexAt()",        "t.setCallback()",
      "t.setCallback({}, print)", "t.text = {}",               "t.font = -1",
      "t.textId = 0/0",           "t.align = {}",              "t.selectTo = 1e300",
  };
  for (const char* call : calls) EXPECT_EQ(ErrorOf(call), "") << call;
  testing::internal::GetCapturedStdout();
}

}  // namespace
