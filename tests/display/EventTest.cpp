// Event bubbling with the stop flag, and hit testing.
#include "DisplayFixture.h"
#include "core/GameSettings.h"
#include "display/DisplayObjectContainer.h"
#include "display/Entity.h"

namespace {

using GCore::DisplayObject;
using GCore::DisplayObjectContainer;
using GCore::Entity;
using GCore::Rectangle;

class EventTest : public DisplayFixture {
 protected:
  // a > b > c, each with a recorder named after it.
  void MakeChain() {
    a = Make<Entity>("a");
    b = Make<Entity>("b");
    c = Make<Entity>("c");
    a->AddChild(b, 0);
    b->AddChild(c, 0);
    Run("a.c_r = Recorder('a'); b.c_r = Recorder('b'); c.c_r = Recorder('c')\n"
        "stop = require('gcore.c').EventStop");
    TakeLog();
  }

  // Pinger(tag, also): a component that hears "ping" only (no "init" or
  // "destroy" in the log), logs its tag and then calls `also` when given.
  void DefinePinger() {
    Run("function Pinger(tag, also)\n"
        "  return setmetatable({}, {ping = function()\n"
        "    log[#log + 1] = tag; if also then also() end\n"
        "  end})\n"
        "end");
  }

  std::string Dispatch(DisplayObject* target, const char* arg = nullptr) {
    GCore::DispatchEvent(target, "ping", arg);
    return TakeLog();
  }

  Entity* a = nullptr;
  Entity* b = nullptr;
  Entity* c = nullptr;
};

TEST_F(EventTest, EventsBubbleWithTheSameTarget) {
  MakeChain();
  Run("a.c_r = nil\n"
      "a.c_t = setmetatable({}, {ping = function(self, target, arg)\n"
      "  log[#log + 1] = 'a:target:' .. (target == c and 'c' or '?') .. ':' .. tostring(arg)\n"
      "end})");
  TakeLog();
  EXPECT_EQ(Dispatch(c, "x"), "c:ping(x) b:ping(x) a:target:c:x");
  EXPECT_EQ(Dispatch(c), "c:ping b:ping a:target:c:nil") << "no argument: nil";
}

TEST_F(EventTest, TheStopFlagEndsTheBubbling) {
  MakeChain();
  Run("getmetatable(c.c_r).ping = function() log[#log + 1] = 'c stops'; stop() end");
  EXPECT_EQ(Dispatch(c), "c stops") << "no ancestor hears it";
  EXPECT_FALSE(GCore::g_settings.eventStop) << "cleared by the dispatch";

  // A stop asked by the last ancestor stays set for the next dispatch.
  Run("getmetatable(c.c_r).ping = nil\n"
      "getmetatable(a.c_r).ping = function() log[#log + 1] = 'a stops'; stop() end");
  EXPECT_EQ(Dispatch(c), "b:ping a stops");
  EXPECT_TRUE(GCore::g_settings.eventStop);
  EXPECT_EQ(Dispatch(b), "b:ping") << "the parent is not told, and the flag goes";
  EXPECT_FALSE(GCore::g_settings.eventStop);
  EXPECT_EQ(Dispatch(b), "b:ping a stops");
  GCore::g_settings.eventStop = false;
}

// Entities without components pass events on; a listener given or taken
// during a dispatch counts for the levels the event has not reached yet.
TEST_F(EventTest, SilentLevelsPassEventsOnAndListenersChangeDuringDispatch) {
  MakeChain();
  DefinePinger();
  Run("a.c_r = Pinger('a'); b.c_r = nil; c.c_r = nil");
  TakeLog();
  EXPECT_EQ(Dispatch(c, "x"), "a") << "heard above two silent levels";

  Run("c.c_r = Pinger('c', function() b.c_new = Pinger('b') end)");
  EXPECT_EQ(Dispatch(c), "c b a") << "a listener given to a silent parent hears it";
  Run("b.c_new = nil; c.c_r = Pinger('c', function() a.c_r = nil end)");
  EXPECT_EQ(Dispatch(c), "c") << "a listener taken away hears nothing";
  Run("a.c_r = Pinger('a'); c.c_r = Pinger('c', stop)");
  EXPECT_EQ(Dispatch(c), "c") << "a stop holds across a silent parent";
  EXPECT_FALSE(GCore::g_settings.eventStop);
}

// Objects that never listened are passed by, yet a listener made at any time
// (a component given, the component table filled by hand, during a dispatch
// or between two) hears the next event that reaches it, and a handler that
// moves its object sends the event on through the new ancestors.
TEST_F(EventTest, EventsPassObjectsThatNeverListened) {
  // chain[0] on the stage, chain[k] below chain[k - 1]; odd levels are plain
  // containers, the deepest a plain object.
  std::vector<DisplayObjectContainer*> chain;
  for (int i = 0; i < 40; ++i) {
    auto* next = i % 2 ? Make<DisplayObjectContainer>() : Make<Entity>();
    (i ? chain.back() : static_cast<DisplayObjectContainer*>(stage))->AddChild(next, 0);
    chain.push_back(next);
  }
  auto* leaf = Make<DisplayObject>();
  chain.back()->AddChild(leaf, 0);
  SetGlobal("e4", chain[4]);
  SetGlobal("e10", chain[10]);
  SetGlobal("e20", chain[20]);
  SetGlobal("e30", chain[30]);
  Run("stop = require('gcore.c').EventStop");
  DefinePinger();
  EXPECT_EQ(Dispatch(leaf), "");

  Run("e20.c_p = Pinger('20')");
  EXPECT_EQ(Dispatch(leaf), "20") << "a listener given between two events";
  Run("e20.c_p = Pinger('20', function() e10.c_p = Pinger('10') end)");
  EXPECT_EQ(Dispatch(leaf), "20 10") << "a listener given during the event, above it";
  Run("e20.c_p = Pinger('20', function() e30.c_p = Pinger('30') end)");
  EXPECT_EQ(Dispatch(leaf), "20 10") << "one given below is passed already";
  EXPECT_EQ(Dispatch(leaf), "30 20 10");
  Run("local components = e4.c; components.c_p = Pinger('4')");
  EXPECT_EQ(Dispatch(leaf), "30 20 10 4") << "a component put in the table by hand";
  Run("e20.c_p = Pinger('20', stop)");
  EXPECT_EQ(Dispatch(leaf), "30 20") << "a stop holds across many silent levels";
  EXPECT_FALSE(GCore::g_settings.eventStop);

  // A handler moves its entity (with the leaf below it) under another
  // listening entity, to one side of the chain.
  auto* side = Make<Entity>("side");
  chain[2]->AddChild(side, 0);
  Run("side.c_p = Pinger('side'); e20.c_p = Pinger('20')\n"
      "e30.c_p = Pinger('30', function() side.addChild(e30) end)");
  EXPECT_EQ(Dispatch(leaf), "30 side") << "on from the new parent";
  EXPECT_EQ(chain[30]->parent, side);
  Run("e30.c_p = Pinger('30'); e10.c_p = nil");
  EXPECT_EQ(Dispatch(chain[25]), "20 4") << "the old chain has lost the moved levels only";
  Run("e4.c_p = Pinger('4', stop)");
  EXPECT_EQ(Dispatch(chain[25]), "20 4");
  EXPECT_FALSE(GCore::g_settings.eventStop) << "cleared on the way to the silent levels above";
}

// "boundUpdated" leaves every container whose bounds changed, in drawing
// order, and climbs through its ancestors whether the levels between listen
// or not.
TEST_F(EventTest, BoundUpdatesBubbleInDrawingOrder) {
  a = Make<Entity>("a");
  b = Make<Entity>("b");
  c = Make<Entity>("c");
  stage->AddChild(a, 0);
  a->AddChild(b, 0);
  b->AddChild(c, 0);
  Probe* leaf = MakeProbe("leaf", {0, 0, 10, 10});
  c->AddChild(leaf, 0);
  Run("a.c_r = Recorder('a'); c.c_r = Recorder('c')");
  TakeLog();
  const std::string fromEach = "a:boundUpdated a:boundUpdated c:boundUpdated a:boundUpdated";
  stage->Draw();
  EXPECT_EQ(TakeLog(), fromEach) << "from a, b (silent) and c";
  stage->Draw();
  EXPECT_EQ(TakeLog(), "") << "nothing changed";
  leaf->SetX(3);
  stage->Draw();
  EXPECT_EQ(TakeLog(), fromEach) << "the leaf's move changed every container's bounds";
  Run("b.c_r = Recorder('b')");
  TakeLog();
  leaf->SetX(4);
  stage->Draw();
  EXPECT_EQ(TakeLog(),
            "a:boundUpdated b:boundUpdated a:boundUpdated c:boundUpdated b:boundUpdated a:boundUpdated");
}

TEST_F(EventTest, AHandlerMayRemoveTheObjectItRunsOn) {
  MakeChain();
  Run("getmetatable(c.c_r).ping = function() log[#log + 1] = 'c leaves'; b[1] = nil end\n"
      "c = nil");
  EXPECT_EQ(Dispatch(b->ChildAt(0)), "c leaves") << "the chain ends with the removed object";
  lua_gc(L, LUA_GCCOLLECT, 0);
  EXPECT_EQ(b->NumChildren(), 0);
}

class HitTestTest : public DisplayFixture {
 protected:
  DisplayObject* Leaf(const char* leafName, Rectangle at, bool mouse = true) {
    auto* leaf = Make<DisplayObject>(nullptr, leafName);
    leaf->bounds = at;
    leaf->mouseEnabled = mouse;
    return leaf;
  }

  std::string Hits(float x, float y, bool* stopped = nullptr) {
    GCore::HitList hits;
    const bool result = stage->HitTest(GCore::Point{x, y}, hits);
    if (stopped) *stopped = result;
    std::string names;
    for (const auto& hit : hits) names += (names.empty() ? "" : " ") + hit->name;
    return names;
  }
};

TEST_F(HitTestTest, EnclosingContainersFirstTopmostLeafLast) {
  auto* panel = Make<DisplayObjectContainer>(nullptr, "panel");
  panel->mouseEnabled = true;
  panel->bounds = {0, 0, 100, 100};
  stage->AddChild(Leaf("under", {0, 0, 100, 100}), 0);
  stage->AddChild(panel, 0);
  panel->AddChild(Leaf("low", {0, 0, 10, 10}), 0);
  panel->AddChild(Leaf("high", {5, 5, 10, 10}), 0);
  panel->AddChild(Leaf("deaf", {40, 40, 10, 10}, false), 0);

  EXPECT_EQ(Hits(7, 7), "panel high") << "the topmost of two overlapping leaves";
  EXPECT_EQ(Hits(2, 2), "panel low");
  EXPECT_EQ(Hits(10, 10), "panel high") << "edges belong to the bounds";
  EXPECT_EQ(Hits(50, 50), "panel") << "no leaf hit: the panel alone, and nothing under it";
  EXPECT_EQ(Hits(45, 45), "panel") << "a leaf that ignores the mouse";
  EXPECT_EQ(Hits(200, 200), "");

  panel->visible = false;
  EXPECT_EQ(Hits(7, 7), "under") << "an invisible container is skipped";
}

TEST_F(HitTestTest, BlockingObjectsEndTheTest) {
  stage->AddChild(Leaf("target", {0, 0, 50, 50}), 0);
  DisplayObject* blocker = Leaf("blocker", {100, 100, 10, 10}, false);
  blocker->blocksHits = true;
  stage->AddChild(blocker, 0);
  bool stopped = false;
  EXPECT_EQ(Hits(5, 5, &stopped), "") << "blocked even where the blocker is not";
  EXPECT_TRUE(stopped);
  blocker->visible = false;
  EXPECT_EQ(Hits(5, 5, &stopped), "target");
  EXPECT_FALSE(stopped);
}

TEST_F(HitTestTest, MasksLimitWhatTheirSiblingShows) {
  const struct {
    int32_t mask;
    bool maskVisible;
    float x, y;
    const char* hits;
  } cases[] = {
      {128, true, 2, 2, "masked"},   {128, true, 20, 20, ""},
      {300, true, 2, 2, ""},         {300, true, 20, 20, "masked"},
      {128, false, 20, 20, "masked"},  // an invisible mask does not mask
  };
  for (const auto& c : cases) {
    auto* box = Make<DisplayObjectContainer>();
    stage->AddChild(box, 0);
    box->bounds = {0, 0, 100, 100};
    DisplayObject* mask = Leaf("mask", {0, 0, 5, 5});
    mask->mask = c.mask;
    mask->visible = c.maskVisible;
    box->AddChild(mask, 0);
    box->AddChild(Leaf("masked", {0, 0, 50, 50}), 0);
    EXPECT_EQ(Hits(c.x, c.y), c.hits) << c.mask << (c.maskVisible ? "" : " hidden") << " at " << c.x;
    stage->RemoveChild(box);
  }
}

}  // namespace
