// The stage: per-frame updates of its entities, "close" on leaving, fitting
// to the design or window size, collision groups with "collide", and its
// release.
#include "DisplayFixture.h"
#include "display/Entity.h"

namespace {

using GCore::AirBox;
using GCore::DisplayObject;
using GCore::Entity;

// A drawable stand-in that adds its boxes to the stage's groups while it draws.
class Boxer : public Entity {
 public:
  static const GCore::ClassInfo classInfo;
  using Entity::Entity;
  const GCore::ClassInfo* GetClassInfo() const override { return &classInfo; }
  void Draw() override {
    Entity::Draw();
    if (group > 0) {
      if (GCore::Stage* current = GCore::CurrentStage()) current->AddCollisionBoxes(this, boxes);
    }
  }
  std::vector<AirBox> boxes;
};
const GCore::ClassInfo Boxer::classInfo = {"Boxer", &Entity::classInfo};

class StageTest : public DisplayFixture {
 protected:
  void SetUp() override {
    DisplayFixture::SetUp();
    GCore::NewClassMetatable(
        L, &Boxer::classInfo,
        [](lua_State* S) {
          Entity* self = GCore::ToObject<Entity>(S, 1);
          const int n = self ? Entity::IndexOwnKey(S, self) : 0;
          return n < 0 ? 0 : n;
        },
        [](lua_State* S) {
          if (Entity* self = GCore::ToObject<Entity>(S, 1)) Entity::NewIndexOwnKey(S, self);
          return 0;
        });
    lua_pop(L, 1);
    SetGlobal("stage", stage);
    Run(R"lua(
      names = {}
      function Collider(tag)
        return setmetatable({}, { collide = function(self, a, b, kind, x1, x2, y1, y2)
          log[#log + 1] = string.format('%s:%s>%s:%d:%g,%g,%g,%g',
                                        tag, names[a], names[b], kind, x1, x2, y1, y2)
        end })
      end)lua");
  }

  // A boxer on the stage at the origin, scaled by `scale`, telling its
  // collisions under its own name.
  Boxer* Place(const char* boxerName, int8_t boxGroup, std::vector<AirBox> boxes,
               float scale = 1, GCore::DisplayObjectContainer* into = nullptr) {
    Boxer* boxer = Make<Boxer>(boxerName, boxerName);
    (into ? into : stage)->AddChild(boxer, 0);
    boxer->pivotX = boxer->pivotY = 0;
    boxer->anchorMinX = boxer->anchorMaxX = boxer->anchorMinY = boxer->anchorMaxY = 0;
    boxer->offsetMinX = boxer->offsetMinY = 0;
    boxer->localMatrix.SetValues(scale, 0, 0, scale, 0, 0);
    boxer->Invalidate(true);
    boxer->group = boxGroup;
    boxer->boxes = std::move(boxes);
    Run(std::string("names[") + boxerName + "] = '" + boxerName + "'\n" + boxerName +
        ".c_col = Collider('" + boxerName + "')");
    return boxer;
  }

  std::string Frame() {
    renderer.RenderFrame(nullptr);
    return TakeLog();
  }
};

AirBox Box(uint8_t type, float left, float bottom, float right, float top) {
  return AirBox{type, left, bottom, right, top};
}

TEST_F(StageTest, EachOverlappingPairIsToldOnceAFrame) {
  Place("A", 1, {Box(2, 10, 20, 30, 40)}, 2);
  Place("B", 1, {Box(2, 0, 0, 20, 30)});
  // The overlap 10..20 by 20..30, in each side's own space: A is scaled by 2.
  const std::string told = "A:A>B:2:5,10,10,15 B:B>A:2:10,20,20,30";
  EXPECT_EQ(Frame(), told);
  EXPECT_EQ(Frame(), told) << "again next frame, and once";
  ASSERT_EQ(stage->groups.size(), 1u);
  EXPECT_EQ(stage->groups[0].entries.size(), 2u);
}

TEST_F(StageTest, HittingAndBeingHitAreToldApart) {
  Place("A", 1, {Box(1, 0, 0, 10, 10), Box(2, 100, 100, 110, 110)});
  Place("B", 1, {Box(2, 5, 5, 15, 15), Box(1, 105, 105, 115, 115)});
  EXPECT_EQ(Frame(),
            "A:A>B:1:5,10,5,10 B:B>A:0:5,10,5,10 B:B>A:1:105,110,105,110 A:A>B:0:105,110,105,110");
}

TEST_F(StageTest, WhatNeverCollides) {
  const struct {
    const char* what;
    int8_t groupB;
    std::vector<AirBox> boxesB;
  } cases[] = {
      {"touching edges", 1, {Box(2, 10, 0, 20, 10)}},
      {"another group", 2, {Box(2, 0, 0, 10, 10)}},
      {"no group", 0, {Box(2, 0, 0, 10, 10)}},
      {"two type-1 boxes", 1, {Box(1, 0, 0, 10, 10)}},
  };
  for (const auto& c : cases) {
    Place("A", 1, {Box(1, 0, 0, 10, 10)});
    Place("B", c.groupB, c.boxesB);
    EXPECT_EQ(Frame(), "") << c.what;
    stage->RemoveAllChildren();
    TakeLog();
  }
  Place("A", 3, {Box(2, 0, 0, 10, 10)});
  EXPECT_EQ(Frame(), "") << "a group of one";
}

TEST_F(StageTest, AncestorEntitiesHearTheCollisionToo) {
  auto* holder = Make<Entity>("holder");
  stage->AddChild(holder, 0);
  Run("holder.c_col = Collider('holder'); stage.c_col = Collider('stage')");
  Place("A", 1, {Box(2, 0, 0, 10, 10)}, 1, holder);
  Place("B", 1, {Box(2, 5, 5, 15, 15)});
  const std::string log = Frame();
  EXPECT_NE(log.find("holder:A>B:2:"), std::string::npos) << log;
  EXPECT_EQ(log.find("stage:"), std::string::npos) << "the stage itself is not told";
}

TEST_F(StageTest, UpdatesReachEntitiesOnly) {
  Run("t = {}");
  auto* plain = Make<DisplayObject>("plain");
  auto* entity = Make<Entity>("entity");
  auto* hidden = Make<Entity>("hidden");
  auto* inner = Make<Entity>("inner");
  hidden->AddChild(inner, 0);
  hidden->visible = false;
  stage->AddChild(plain, 0);
  stage->AddChild(entity, 0);
  stage->AddChild(hidden, 0);
  const std::pair<DisplayObject*, const char*> tracks[] = {{plain, "a"}, {entity, "b"}, {inner, "c"}};
  for (const auto& [object, field] : tracks) {
    const std::string arguments = std::string("return {t, '") + field + "'}, 2, {0, 0, 0, 1000, 100, 0}";
    ASSERT_EQ(luaL_dostring(L, arguments.c_str()), LUA_OK);
    object->AddKeyTrack(L);
    lua_settop(L, 0);
  }
  Run("entity.c_r = Recorder('entity'); hidden.c_r = Recorder('hidden'); inner.c_r = Recorder('inner')");
  TakeLog();
  stage->visible = false;  // the stage's visibility does not gate its children

  game->Update(100);
  EXPECT_EQ(TakeLog(), "entity:update hidden:update inner:update");
  EXPECT_EQ(Eval("t.a"), "nil") << "a plain object on the stage is never updated";
  EXPECT_EQ(Eval("t.b"), "10.0");
  EXPECT_EQ(Eval("t.c"), "nil") << "below an invisible entity, tracks stand still";
}

TEST_F(StageTest, LeavingTheStageOneByOneSendsClose) {
  auto* a = Make<Entity>("a");
  auto* b = Make<Entity>("b");
  auto* c = Make<Entity>("c");
  auto* inner = Make<Entity>("inner");
  a->AddChild(inner, 0);
  for (Entity* e : {a, b, c}) stage->AddChild(e, 0);
  Run("a.c_r = Recorder('a'); b.c_r = Recorder('b'); c.c_r = Recorder('c'); inner.c_r = Recorder('inner')");
  TakeLog();

  stage->RemoveChild(a);
  EXPECT_EQ(TakeLog(), "a:onRemove a:close inner:close");
  Run("stage[1] = nil");
  EXPECT_EQ(TakeLog(), "b:onRemove b:close") << "through the entity key";
  a->AddChild(c, 0);
  EXPECT_EQ(TakeLog(), "c:onRemove c:close") << "moved elsewhere";
  stage->AddChild(b, 0);
  TakeLog();
  stage->RemoveAllChildren();
  EXPECT_EQ(TakeLog(), "b:onRemove") << "all at once: no close";
}

TEST_F(StageTest, EntitiesAreFittedToTheStage) {
  auto* letterboxed = Make<Entity>();
  stage->AddChild(letterboxed, 0);
  EXPECT_FLOAT_EQ(letterboxed->offsetMinX, -350) << "800 wide around the pivot point 50";
  EXPECT_FLOAT_EQ(letterboxed->offsetMaxX, 450);
  EXPECT_FLOAT_EQ(letterboxed->offsetMinY, -250);
  EXPECT_FLOAT_EQ(letterboxed->offsetMaxY, 350);
  EXPECT_FLOAT_EQ(stage->GetWidth(), 800);

  GCore::g_settings.sizeMode = 1;
  renderer.Resize(1600, 600);
  EXPECT_FLOAT_EQ(stage->GetWidth(), 1600);
  EXPECT_FLOAT_EQ(letterboxed->anchorMinX, 0.5f) << "re-centred by the resize";
  EXPECT_FLOAT_EQ(letterboxed->offsetMinX, -800);
  EXPECT_FLOAT_EQ(letterboxed->offsetMaxX, 800);
  EXPECT_FLOAT_EQ(letterboxed->offsetMinY, -300);

  auto* expanded = Make<Entity>();
  stage->AddChild(expanded, 0);
  EXPECT_FLOAT_EQ(expanded->offsetMaxX - expanded->offsetMinX, 1600);

  GCore::g_settings.sizeMode = 2;
  auto* untouched = Make<Entity>();
  stage->AddChild(untouched, 0);
  EXPECT_FLOAT_EQ(untouched->offsetMaxX, 100) << "other modes fit nothing";
}

TEST_F(StageTest, TheLastReleaseDestroysTheStageAtOnce) {
  GCore::Stage* other = GCore::NewDisplayObject<GCore::Stage>(L);
  other->Retain();
  SetGlobal("other", other);
  auto* child = Make<Entity>();
  other->AddChild(child, 0);
  EXPECT_EQ(child->parent, other);
  GCore::Drop(other);
  EXPECT_EQ(child->parent, nullptr) << "destroyed, not left to the collector";
  lua_getglobal(L, "other");
  EXPECT_EQ(GCore::ToObject<GCore::Stage>(L, -1), nullptr);
  lua_pop(L, 1);
}

}  // namespace
