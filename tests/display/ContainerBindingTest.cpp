// The container, entity and stage members, the "gcore.c" constructors and
// the registration of the classes when a project state opens.
#include "DisplayFixture.h"
#include "core/ClassFactory.h"
#include "display/Entity.h"
#include "display/Quad.h"

namespace {

using GCore::DisplayObject;
using GCore::DisplayObjectContainer;
using GCore::Entity;

class ContainerBinding : public DisplayFixture {
 protected:
  void SetUp() override {
    DisplayFixture::SetUp();
    Run("g = require 'gcore.c'");
    container = Make<DisplayObjectContainer>("p");
    for (const char* n : {"A", "B", "C"}) Make<DisplayObject>(n, n);
  }

  std::string Order() const {
    std::string names;
    for (const auto& child : container->children) names += child->name;
    return names;
  }

  DisplayObjectContainer* container = nullptr;
};

TEST_F(ContainerBinding, AddingAndFindingChildren) {
  Run("A.tag = 3; p.addChild(A); p.addChild(B, 0); p.addChild(C, 9)");
  EXPECT_EQ(Order(), "ABC");
  EXPECT_EQ(Eval("A.tag .. ' ' .. B.tag .. ' ' .. C.tag"), "3 0 9") << "tag 0 leaves the tag";
  EXPECT_EQ(Eval("p.numChildren"), "3");
  EXPECT_EQ(Eval("p.getChildAt(0) == A and p.getChildAt(2) == C"), "true");
  EXPECT_EQ(Eval("p.getChildAt(3) == nil and p.getChildAt(-1) == nil"), "true");
  EXPECT_EQ(Eval("p.getChildByName('B') == B and p.getChildByName('Z') == nil"), "true");
  EXPECT_EQ(Eval("p.getChildByTag(9.7) == C and p.getChildByTag(4) == nil"), "true");
  EXPECT_EQ(Eval("p.getChildIndex(C) .. ' ' .. p.getChildIndex(p)"), "2 -1");

  Run("D = g.DisplayObject(); D.depth = 4; p.addChildAt(D, 0)");
  EXPECT_EQ(Order(), "ABC") << "its own depth sorts it last";
  Run("E = g.DisplayObject(); E.name = 'E'; p.addChildAt(E, 1, -1)");
  EXPECT_EQ(Order().substr(0, 1), "E") << "the given depth";
  EXPECT_EQ(Eval("E.depth"), "-1");
}

TEST_F(ContainerBinding, RemovingChildren) {
  Run("p.addChild(A); p.addChild(B); p.addChild(C)");
  EXPECT_EQ(Eval("p.removeChild(B) == B"), "true");
  EXPECT_EQ(Eval("p.removeChild(B)"), "nil") << "no longer a child";
  EXPECT_EQ(Eval("p.removeChildAt(5)"), "nil");
  EXPECT_EQ(Eval("p.removeChildAt(0) == A and A.parent == nil"), "true");
  EXPECT_EQ(Order(), "C");
  Run("p.addChild(A); p.removeAllChildren()");
  EXPECT_EQ(container->NumChildren(), 0);
  EXPECT_EQ(Eval("C.parent"), "nil");
}

TEST_F(ContainerBinding, ReorderingChildren) {
  Run("p.addChild(A); p.addChild(B); p.addChild(C)");
  Run("p.setChildIndex(C, 0)");
  EXPECT_EQ(Order(), "CAB") << "taken out and put in again";
  Run("p.swapChildren(C, B)");
  EXPECT_EQ(Order(), "BAC");
  Run("p.swapChildren(A, A); p.moveChildIndex(0, 1)");
  EXPECT_EQ(Order(), "ABC");
  Run("p.moveChildIndex(0, 7)");
  EXPECT_EQ(Order(), "ABC") << "a bad index: nothing";

  Run("Z = g.DisplayObject(); p.setChildIndex(Z, 0)");
  EXPECT_EQ(container->NumChildren(), 3) << "setChildIndex adopts nothing";
  EXPECT_EQ(Eval("Z.parent"), "nil");
}

TEST_F(ContainerBinding, ClipAndPointQueries) {
  auto* outer = Make<DisplayObjectContainer>("outer");
  outer->AddChild(container, 0);
  Run("A.name = 'A'; outer.addChild(A)");
  EXPECT_EQ(Eval("p.clipSource"), "nil");
  Run("p.clip = 65");
  EXPECT_EQ(Eval("p.clip .. tostring(p.clipSource == A)"), "65true");

  Run("p.addChild(B)");
  container->children[0]->bounds = GCore::Rectangle{0, 0, 10, 10};
  EXPECT_EQ(Eval("p.anyChildContains(10, 10)"), "true");
  EXPECT_EQ(Eval("p.anyChildContains({x = 5, y = 5})"), "true");
  EXPECT_EQ(Eval("p.anyChildContains(11, 5)"), "false");
  EXPECT_EQ(Eval("p.anyChildContains(io.stdout)"), "false");
}

TEST_F(ContainerBinding, EntityKeysComeBeforeTheMembers) {
  stage->AddChild(Make<Entity>("e"), 0);
  Run("e.addChild(A); e.addChild(B); e.c_rec = Recorder('e')");
  EXPECT_EQ(Eval("e[1] == A and e[2] == B and e[3] == nil and e[0] == e"), "true");
  EXPECT_EQ(Eval("e.d == e.d and rawequal(e.d, e.d)"), "true") << "the same data table";
  EXPECT_EQ(Eval("e.numChildren .. e.type"), "2Entity") << "then the container's members";
  TakeLog();
  Run("e[1] = A");
  EXPECT_EQ(TakeLog(), "") << "the same child: no onRemove, no onAdd";
  Run("e[1] = C");
  EXPECT_EQ(TakeLog(), "e:onRemove e:onAdd");
  EXPECT_EQ(Eval("A.parent == nil and e[1] == C"), "true");
}

// On an entity and on a subclass, whose x is a member of a base class two
// levels up.
TEST_F(ContainerBinding, AScriptAssignmentEndsTheTrackOfThatProperty) {
  Entity* entities[] = {Make<Entity>("e"), Make<GCore::Quad>("q")};
  for (Entity* entity : entities) {
    SCOPED_TRACE(entity->GetClassName());
    SetGlobal("e", entity);
    Run("e.addKeyTrack('x', 2, {0, 0, 0, 1000, 100, 0})");
    Step(250);
    entity->Update();
    EXPECT_EQ(Eval("e.x"), "25.0");
    EXPECT_EQ(entity->FindKeyTrack("x")->keys.size(), 2u) << "the track's own assignment";
    Run("e.y = 3");
    EXPECT_EQ(entity->FindKeyTrack("x")->keys.size(), 2u) << "another property";
    Run("e.x = 5");
    EXPECT_TRUE(entity->FindKeyTrack("x")->keys.empty());
    Step(250);
    entity->Update();
    EXPECT_EQ(Eval("e.x"), "5.0");
  }
}

TEST_F(ContainerBinding, ConstructorsMakeObjectsTheCollectorOwns) {
  EXPECT_EQ(Eval("g.DisplayObject(1, 2).type .. g.Entity('x').type"), "ObjectEntity");
  EXPECT_EQ(Eval("g.DisplayObjectContainer().numChildren"), "0");
  EXPECT_EQ(Eval("g.Matrix(false, 2).a .. ' ' .. g.Matrix(false, 2).d"), "2.0 1.0");
  // Each pass frees one more level: entities, then their children and matrices.
  const char* collect = "for i = 1, 4 do collectgarbage() end";
  Run(collect);
  const int64_t live = GCore::g_liveObjects;
  Run("local list = {}\n"
      "for i = 1, 10 do list[i] = g.Entity(); list[i].addChild(g.DisplayObject()) end");
  EXPECT_GT(GCore::g_liveObjects, live);
  Run(collect);
  EXPECT_EQ(GCore::g_liveObjects, live);
}

TEST_F(ContainerBinding, StageIsTheProjectsOwn) {
  SetGlobal("fixtureStage", stage);
  EXPECT_EQ(Eval("rawequal(g.Stage(), g.Stage()) and g.Stage() == fixtureStage"), "true");
  EXPECT_EQ(Eval("g.Stage().type"), "Entity");
  Run("g.Stage().addChild(A)");
  EXPECT_EQ(stage->NumChildren(), 1);
}

TEST_F(ContainerBinding, EveryClassIsRegisteredWithItsCreator) {
  for (const char* name : {"Matrix", "Entity", "DisplayObject", "DisplayObjectContainer", "Stage"}) {
    EXPECT_EQ(luaL_getmetatable(L, name), LUA_TTABLE) << name;
    for (const char* field : {"__index", "__newindex", "__gc"}) {
      EXPECT_EQ(lua_getfield(L, -1, field), LUA_TFUNCTION) << name << field;
      lua_pop(L, 1);
    }
    lua_pop(L, 1);
  }
  const GCore::ClassInfo* classes[] = {&GCore::Matrix::classInfo, &Entity::classInfo,
                                       &DisplayObject::classInfo,
                                       &DisplayObjectContainer::classInfo,
                                       &GCore::Stage::classInfo};
  for (const GCore::ClassInfo* info : classes) {
    const auto creator = GCore::ClassFactory().find(info);
    ASSERT_NE(creator, GCore::ClassFactory().end()) << info->name;
    const int top = lua_gettop(L);
    Object* made = creator->second(L, 0);
    EXPECT_EQ(lua_gettop(L), top) << "the creator leaves the stack as it was";
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(made->GetClassInfo(), info);
    EXPECT_EQ(made->state, L);
  }
}

TEST_F(ContainerBinding, ObjectsMadeInACoroutineOutliveIt) {
  Run("co = coroutine.create(function()\n"
      "  local e = g.Entity()\n"
      "  e.addChild(g.DisplayObject())\n"
      "  kept = e\n"
      "  coroutine.yield(e[1] ~= nil and e.getChildAt(0) == e[1])\n"
      "end)\n"
      "ok, seen = coroutine.resume(co)");
  EXPECT_EQ(Eval("ok and seen"), "true") << "children are pushed from a coroutine: " << Eval("tostring(seen)");
  Run("co = nil; collectgarbage(); collectgarbage()");
  Run("g.Stage().addChild(kept); kept.c_rec = Recorder('k'); kept.removeFromParent()");
  EXPECT_EQ(stage->NumChildren(), 0);
  lua_getglobal(L, "kept");
  EXPECT_EQ(GCore::ToObject<Entity>(L, -1)->state, L) << "the project's state, not the coroutine";
  lua_settop(L, 0);
}

}  // namespace
