// Entities: component life ("init", "start", "destroy"), named events,
// broadcast, the script keys of entities, script errors, and copies.
#include "DisplayFixture.h"
#include "display/Entity.h"

namespace {

using GCore::DisplayObject;
using GCore::DisplayObjectContainer;
using GCore::Entity;

using EntityTest = DisplayFixture;

TEST_F(EntityTest, ComponentsAreInitialisedReplacedAndDestroyed) {
  Make<Entity>("e");
  Run("first, second = Recorder('first'), Recorder('second')\n"
      "e.c_move = first");
  EXPECT_EQ(TakeLog(), "first:init");
  EXPECT_EQ(Eval("com_map[first] == e"), "true");
  Run("e.c_move = second");
  EXPECT_EQ(TakeLog(), "first:destroy second:init");
  Run("e.c_move = nil");
  EXPECT_EQ(TakeLog(), "second:destroy");
  EXPECT_EQ(Eval("e.c_move"), "nil");
  EXPECT_EQ(Eval("next(e.c)"), "nil");

  // Values that are no tables are stored, and nothing is looked up in them.
  testing::internal::CaptureStdout();
  Run("e.c_number = 5; e.c_nan = 0/0; e.c_text = 'x'");
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(out.find("stack traceback"), std::string::npos) << out;
  EXPECT_EQ(Eval("e.c_number + #e.c_text"), "6");
  EXPECT_EQ(Eval("com_map[5] == e"), "true");
}

TEST_F(EntityTest, ComponentMapKeepsNothingAlive) {
  Run("kept = {}\n"
      "do\n"
      "  local gone = require('gcore.c').Entity()\n"
      "  gone.c_kept = kept\n"
      "end\n"
      "e = require('gcore.c').Entity()\n"
      "e.c_dropped = {}\n"
      "e.c_dropped = nil\n"
      "collectgarbage()\n"
      "collectgarbage()");
  EXPECT_EQ(Eval("com_map[kept]"), "nil") << "an entity nothing else holds is collected";
  EXPECT_EQ(Eval("next(com_map)"), "nil") << "a detached component nothing else holds is collected";
}

TEST_F(EntityTest, ComponentMapIgnoresTheMetamethodsOfGlobals) {
  Make<Entity>("e");
  // Strict globals, a common idiom: reading or writing an undeclared global raises.
  Run("setmetatable(_G, {\n"
      "  __index = function(_, k) error('read of undeclared ' .. k, 2) end,\n"
      "  __newindex = function(_, k) error('write of undeclared ' .. k, 2) end})");
  Run("e.c_first = {}");
  EXPECT_EQ(Eval("rawget(_G, 'com_map')[e.c_first] == e"), "true") << "made and written raw";
  Run("e.c_second = {}");
  EXPECT_EQ(Eval("rawget(_G, 'com_map')[e.c_second] == e"), "true") << "read raw";
}

TEST_F(EntityTest, EventsLookInTheMetatableOnlyWhenThereIsOne) {
  auto* entity = Make<Entity>("e");
  Run("e.c_direct = setmetatable({ init = function() log[#log + 1] = 'direct:init' end,\n"
      "                            ping = function() log[#log + 1] = 'direct:ping' end }, {})\n"
      "e.c_plain = { ping = function() log[#log + 1] = 'plain:ping' end }\n"
      "e.c_class = Recorder('class')");
  EXPECT_NE(TakeLog().find("direct:init"), std::string::npos) << "init is an ordinary lookup";
  GCore::DispatchEvent(entity, "ping", "now");
  const std::string log = TakeLog();
  EXPECT_EQ(log.find("direct:ping"), std::string::npos) << "its metatable lacks the function";
  EXPECT_NE(log.find("plain:ping"), std::string::npos) << "no metatable: its own fields";
  EXPECT_NE(log.find("class:ping(now)"), std::string::npos);
}

TEST_F(EntityTest, BroadcastCallsTheEntitysOwnComponents) {
  auto* entity = Make<Entity>("e");
  auto* child = Make<Entity>("child");
  entity->AddChild(child, 0);
  Run("local class = { hit = function(self, n, s) log[#log + 1] = self.tag .. ':hit:' .. n .. s end }\n"
      "e.c_one = setmetatable({ tag = 'one' }, class)\n"
      "child.c_two = setmetatable({ tag = 'two' }, class)\n"
      "e.broadcast('hit', 3, 'x')");
  EXPECT_EQ(TakeLog(), "one:hit:3x");
}

TEST_F(EntityTest, ChildrenByNumber) {
  auto* entity = Make<Entity>("e");
  DisplayObject* a = Make<DisplayObject>("A", "A");
  entity->AddChild(a, 0);
  for (const char* n : {"B", "C"}) entity->AddChild(Make<DisplayObject>(n, n), 0);
  auto* d = Make<DisplayObject>("D", "D");
  d->depth = 5;
  EXPECT_EQ(Eval("e[0] == e"), "true");
  EXPECT_EQ(Eval("e[2] == B and e['3'] == C and e[2.0] == B"), "true");
  EXPECT_EQ(Eval("e[2.7] == e and e['2.5'] == e and e[1e300] == e"), "true")
      << "a number without an integer value converts to 0: the entity itself";
  EXPECT_EQ(Eval("e[4]"), "nil");
  EXPECT_EQ(Eval("e[-1]"), "nil");

  Run("e[2] = nil");
  ASSERT_EQ(entity->NumChildren(), 2);
  EXPECT_EQ(entity->ChildAt(1)->name, "C");
  Run("e[3] = D");
  EXPECT_EQ(entity->ChildAt(2), d) << "appended with its own depth";
  EXPECT_EQ(d->depth, 5);
  Run("e[1] = B");
  EXPECT_EQ(entity->ChildAt(0)->name, "B") << "replaces the first child";
  EXPECT_EQ(a->parent, nullptr);
  Run("e[1] = B");
  EXPECT_EQ(entity->NumChildren(), 3) << "the same object: nothing";

  testing::internal::CaptureStdout();
  Run("e[0] = A; e[-2] = A; e[1.5] = A");
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(entity->NumChildren(), 3) << "1.5 reads as position 0 here too";
  EXPECT_NE(out.find("entity[k] = object needs k of 1 or more"), std::string::npos) << out;
}

TEST_F(EntityTest, TemplateComponentAndDataKeys) {
  auto* entity = Make<Entity>("e");
  EXPECT_EQ(Eval("e.b"), "nil");
  EXPECT_EQ(Eval("require('gcore.c').IsCached(e)"), "false");
  entity->SetTemplateName("c_hero");
  EXPECT_EQ(Eval("e.b"), "c_hero");
  EXPECT_EQ(Eval("require('gcore.c').IsCached(e)"), "true");
  EXPECT_EQ(Eval("type(e.c)"), "table");
  EXPECT_EQ(entity->dataTable, 0) << "made on first read";
  Run("e.d.score = 7");
  EXPECT_GT(entity->dataTable, 0);
  EXPECT_EQ(Eval("e.d.score"), "7");

  testing::internal::CaptureStdout();
  EXPECT_EQ(Eval("e.c_missing"), "nil");
  EXPECT_EQ(Eval("e[true]"), "nil");
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("stack traceback"), std::string::npos) << "a missing component is reported";

  GCore::Retained<Entity> owner;
  auto* child = Make<DisplayObject>();
  entity->AddChild(child, 0);
  child->GetOwnerEntity(owner);
  EXPECT_EQ(owner.Get(), entity) << "the nearest templated entity";
  entity->SetTemplateName(std::nullopt);
  child->GetOwnerEntity(owner);
  EXPECT_FALSE(owner);
  EXPECT_EQ(Eval("e.b"), "nil");
  EXPECT_EQ(Eval("require('gcore.c').IsCached(e)"), "false");
}

// Key tracks, a video and a template name live in a record made on first
// use: an entity that only reads them, copies a plain one or updates makes
// none.
TEST_F(EntityTest, ObjectsThatUseNoRareStateMakeNoRecordForIt) {
  auto* entity = Make<Entity>("e");
  auto* plain = Make<Entity>("plain");
  EXPECT_EQ(Eval("e.b"), "nil");
  EXPECT_EQ(entity->FindKeyTrack("x"), nullptr);
  entity->ClearKeyTrack("x");
  entity->UpdateKeyTracks();
  entity->SetMedia(0xA1060001);
  entity->SetTemplateName(std::nullopt);
  entity->CopyFrom(plain);
  entity->Update();
  EXPECT_FALSE(entity->extras);
  EXPECT_EQ(entity->TemplateName(), nullptr);
}

TEST_F(EntityTest, StartWalksDownThroughEntitiesOnly) {
  auto* top = Make<Entity>("top");
  auto* plain = Make<DisplayObjectContainer>();
  auto* hidden = Make<Entity>("hidden");
  auto* inner = Make<Entity>("inner");
  top->AddChild(plain, 0);
  plain->AddChild(hidden, 0);
  top->AddChild(inner, 0);
  Run("top.c_r = Recorder('top'); hidden.c_r = Recorder('hidden'); inner.c_r = Recorder('inner')");
  TakeLog();
  stage->AddChild(top, 0);
  EXPECT_EQ(TakeLog(), "top:start inner:start") << "not below a plain container";
}

// Entities without components are walked through; one that gets a component
// while the walk is under way (by key or through its raw table) is called.
TEST_F(EntityTest, RecursiveCallsReachComponentsGivenDuringTheWalk) {
  auto* top = Make<Entity>("top");
  auto* first = Make<Entity>("first");
  auto* second = Make<Entity>("second");
  auto* third = Make<Entity>("third");
  top->AddChild(first, 0);
  first->AddChild(second, 0);
  top->AddChild(third, 0);
  Run("second.c_r = setmetatable({}, {update = function()\n"
      "  log[#log + 1] = 'second:update'; third.c.x = Recorder('third')\n"
      "end})");
  TakeLog();
  lua_pushinteger(L, 7);
  top->CallComponents(L, "update", true, 1, 1);
  EXPECT_EQ(lua_gettop(L), 1) << "the stack is kept";
  lua_settop(L, 0);
  EXPECT_EQ(TakeLog(), "second:update third:update");
  top->CallComponents(L, "update", false, 0, 0);
  EXPECT_EQ(TakeLog(), "") << "not recursive: only the top, which has none";
}

TEST_F(EntityTest, AFailingComponentIsReportedAndTheOthersRun) {
  auto* entity = Make<Entity>("e");
  Run("e.c_bad = setmetatable({}, { ping = function() error('bad component') end })\n"
      "e.c_good = Recorder('good')");
  TakeLog();
  testing::internal::CaptureStdout();
  GCore::DispatchEvent(entity, "ping", nullptr);
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("bad component"), std::string::npos) << out;
  EXPECT_EQ(TakeLog(), "good:ping");
  EXPECT_EQ(lua_gettop(L), 0);
}

TEST_F(EntityTest, ACopyGetsItsOwnComponentsAndData) {
  auto* source = Make<Entity>("source");
  source->SetTemplateName("c_hero");
  Run("local class = { __index = {} }\n"
      "class.__index.init = function(self) log[#log + 1] = 'init:' .. self.n end\n"
      "source.c_a = setmetatable({ n = 'a' }, class)\n"
      "source.d.hp = 10");
  TakeLog();
  auto* copy = Make<Entity>("copy");
  copy->CopyFrom(source);
  EXPECT_EQ(TakeLog(), "init:a");
  ASSERT_NE(copy->TemplateName(), nullptr);
  EXPECT_EQ(*copy->TemplateName(), "c_hero");
  EXPECT_EQ(Eval("copy.c_a ~= source.c_a and copy.c_a.n == 'a'"), "true");
  EXPECT_EQ(Eval("getmetatable(copy.c_a) == getmetatable(source.c_a)"), "true");
  EXPECT_EQ(Eval("copy.d.hp"), "10");
  Run("copy.d.hp = 1");
  EXPECT_EQ(Eval("source.d.hp"), "10") << "a table of its own";
  EXPECT_EQ(Eval("com_map[copy.c_a] == copy"), "true");
}

// An entity has no component table until one is asked for; one filled
// through its raw table is then heard like one given by key, and a copy of
// an entity without components has none.
TEST_F(EntityTest, ARawTableFilledLateIsHeard) {
  auto* layer = Make<Entity>("layer");
  auto* sprite = Make<Entity>("sprite");
  layer->AddChild(sprite, 0);
  stage->AddChild(layer, 0);
  auto frame = [this, layer] {
    stage->Update();
    GCore::DispatchEvent(layer->ChildAt(0), "ping", nullptr);
    return TakeLog();
  };
  EXPECT_EQ(frame(), "");
  Run("local raw = sprite.c; raw.k = Recorder('sprite')");
  EXPECT_EQ(TakeLog(), "") << "no \"init\" for a raw entry";
  EXPECT_EQ(frame(), "sprite:update sprite:ping");
  Run("sprite.c.k = nil; layer.c.k = Recorder('layer')");
  EXPECT_EQ(frame(), "layer:update layer:ping");

  auto* copy = Make<Entity>("copy");
  copy->CopyFrom(Make<Entity>("bare"));
  EXPECT_EQ(copy->componentTable, LUA_NOREF) << "no table made for nothing";
  EXPECT_EQ(Eval("next(copy.c) == nil and next(bare.c) == nil"), "true");
}

// The update walk passes silent entities by (s1, s2) in the child order, goes
// down into a silent one whose child listens (d under s2), and goes on over
// the list as it is after a listener removed itself or a sibling; the removed
// entity is collected at once, while the walk may still be on it.
TEST_F(EntityTest, TheUpdateWalkKeepsItsOrderWhileListenersRemoveEntities) {
  const struct {
    const char* removal;  // on "a" or "b": who it takes out of the layer
    const char* heard;
  } cases[] = {
      {"", "a b d c"},
      {"a:b", "a d c"},
      {"b:b", "a b c"},
      {"a:a", "a b d c"},
      {"a:s1", "a b d c"},
      {"a:s2", "a b c"},
      {"b:c", "a b d"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.removal);
    Run(std::string("removal = '") + c.removal + "'\n" + R"lua(
      local g = require('gcore.c')
      layer = g.Entity(); E = {}
      for _, name in ipairs({'a', 's1', 'b', 's2', 'c', 'd'}) do E[name] = g.Entity() end
      for _, name in ipairs({'a', 's1', 'b', 's2', 'c'}) do layer.addChild(E[name]) end
      E.s2.addChild(E.d)
      for _, name in ipairs({'a', 'b', 'c', 'd'}) do
        E[name].c_u = {update = function()
          log[#log + 1] = name
          local who, whom = removal:match('(%w+):(%w+)')
          if who == name then layer.removeChild(E[whom]); E[whom] = nil; collectgarbage() end
        end}
      end
    )lua");
    lua_getglobal(L, "layer");
    auto* layer = GCore::ToObject<Entity>(L, -1);
    lua_pop(L, 1);
    ASSERT_NE(layer, nullptr);
    stage->AddChild(layer, 0);
    TakeLog();
    stage->Update();
    EXPECT_EQ(TakeLog(), c.heard);
    stage->RemoveChild(layer);
    Run("layer = nil; E = nil; collectgarbage()");
  }
}

}  // namespace

