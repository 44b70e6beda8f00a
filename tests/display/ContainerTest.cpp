// Containers: child order, refused loops, drawing with masks and clips,
// bounds, add and remove events under the stage, and copies.
#include <algorithm>

#include "DisplayFixture.h"
#include "display/DisplayObjectContainer.h"
#include "display/Entity.h"

namespace {

using GCore::DisplayObject;
using GCore::DisplayObjectContainer;
using GCore::Entity;
using Calls = std::vector<std::string>;

class ContainerTest : public DisplayFixture {
 protected:
  static std::string Names(const DisplayObjectContainer& container) {
    std::string names;
    for (const auto& child : container.children) names += child->name;
    return names;
  }
};

TEST_F(ContainerTest, ChildrenStaySortedByDepthThenInsertion) {
  auto* box = Make<DisplayObjectContainer>();
  for (const char* n : {"A", "B", "C"}) box->AddChild(Make<DisplayObject>(nullptr, n), 0);
  auto* d = Make<DisplayObject>(nullptr, "D");
  d->depth = -1;
  box->AddChild(d, 0);
  EXPECT_EQ(Names(*box), "DABC");
  box->InsertChildAt(Make<DisplayObject>(nullptr, "E"), 1, 0);
  EXPECT_EQ(Names(*box), "DEABC");

  box->SetChildIndex(0, 1);
  EXPECT_EQ(Names(*box), "DEABC") << "a swap across depths is undone by the sort";
  box->SetChildIndex(2, 4);
  EXPECT_EQ(Names(*box), "DECBA");
  box->SetChildIndex(2, 9);
  EXPECT_EQ(Names(*box), "DECBA") << "a bad index: nothing";

  box->InsertChildAt(Make<DisplayObject>(nullptr, "F"), -5, 0);
  EXPECT_EQ(Names(*box), "DFECBA") << "a negative index inserts first among its depth";

  auto* tagged = Make<DisplayObject>(nullptr, "T");
  box->AddChild(tagged, 42);
  EXPECT_EQ(tagged->tag, 42);
  EXPECT_EQ(box->GetChildById(42), tagged);
  EXPECT_EQ(box->GetChildByName("B")->name, "B");
  EXPECT_EQ(box->GetChildByName("BB"), nullptr);
  EXPECT_EQ(box->GetChildIndex(tagged), 6);
  EXPECT_EQ(box->GetChildIndex(box), -1);
}

// Insertions go straight to their place: the order must be the one that
// sorting every child again (by depth, then by position) would give.
TEST_F(ContainerTest, InsertionsLandWhereASortWouldPutThem) {
  struct Insert { const char* name; int32_t index; int32_t depth; };
  const std::vector<std::vector<Insert>> cases = {
      {{"A", 0, 0}, {"B", 0, 0}, {"C", 9, 0}, {"D", 1, 0}},
      {{"A", 0, 1}, {"B", 0, -1}, {"C", 0, 1}, {"D", 3, -1}, {"E", 1, 0}, {"F", 2, 0}},
      {{"A", 0, 2}, {"B", 5, 1}, {"C", -3, 2}, {"D", 0, 1}, {"E", 4, 0}, {"F", 2, 1}},
      {{"A", 0, 0}, {"B", 1, 0}, {"C", 2, 0}, {"D", 1, 1}, {"E", 0, 1}, {"F", 4, -1}}};
  for (const auto& inserts : cases) {
    auto* box = Make<DisplayObjectContainer>();
    std::vector<std::pair<std::string, int32_t>> model;
    for (const Insert& insert : inserts) {
      box->InsertChildAt(Make<DisplayObject>(nullptr, insert.name), insert.index, insert.depth);
      const size_t at = std::min<size_t>(static_cast<size_t>(std::max(insert.index, 0)), model.size());
      model.insert(model.begin() + static_cast<std::ptrdiff_t>(at), {insert.name, insert.depth});
      std::stable_sort(model.begin(), model.end(),
                       [](const auto& l, const auto& r) { return l.second < r.second; });
      std::string expected;
      for (const auto& entry : model) expected += entry.first;
      ASSERT_EQ(Names(*box), expected) << "after inserting " << insert.name;
    }
  }
}

// Invalidating marks the whole subtree and every ancestor but the topmost,
// however deep the subtree is.
TEST_F(ContainerTest, InvalidationMarksTheSubtreeAndTheAncestors) {
  std::vector<DisplayObjectContainer*> chain;
  for (int i = 0; i < 5; ++i) {
    chain.push_back(Make<DisplayObjectContainer>());
    if (i > 0) chain[i - 1]->AddChild(chain[i], 0);
  }
  auto* leaf = Make<DisplayObject>();
  chain.back()->AddChild(leaf, 0);
  auto clear = [&] {
    for (auto* c : chain) c->dirty = 0;
    leaf->dirty = 0;
  };
  clear();
  chain[2]->Invalidate(true);
  EXPECT_EQ(chain[0]->dirty, 0) << "the topmost ancestor";
  EXPECT_EQ(chain[1]->dirty, GCore::kDirtyBounds);
  for (int i = 2; i < 5; ++i) EXPECT_EQ(chain[i]->dirty, GCore::kDirtyTransform | GCore::kDirtyBounds) << i;
  EXPECT_EQ(leaf->dirty, GCore::kDirtyTransform | GCore::kDirtyBounds);

  clear();
  chain[3]->Invalidate(false);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(chain[i]->dirty, 0) << i;
  EXPECT_EQ(chain[3]->dirty, GCore::kDirtyColour);
  EXPECT_EQ(chain[4]->dirty, GCore::kDirtyColour);
  EXPECT_EQ(leaf->dirty, GCore::kDirtyColour);
}

TEST_F(ContainerTest, NoContainerHoldsItselfOrAnAncestor) {
  auto* root = Make<DisplayObjectContainer>(nullptr, "root");
  auto* middle = Make<DisplayObjectContainer>(nullptr, "middle");
  auto* leaf = Make<DisplayObjectContainer>(nullptr, "leaf");
  root->AddChild(middle, 0);
  middle->AddChild(leaf, 0);
  testing::internal::CaptureStdout();
  leaf->AddChild(root, 0);
  middle->AddChild(middle, 0);
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("cannot hold itself or one of its ancestors"), std::string::npos) << out;
  EXPECT_EQ(root->parent, nullptr);
  EXPECT_EQ(leaf->NumChildren(), 0);
  EXPECT_EQ(middle->parent, root);
  EXPECT_EQ(middle->NumChildren(), 1);

  // Adding a child that has a parent moves it.
  root->AddChild(leaf, 0);
  EXPECT_EQ(leaf->parent, root);
  EXPECT_EQ(middle->NumChildren(), 0);
  EXPECT_EQ(Names(*root), "middleleaf");
}

TEST_F(ContainerTest, MasksStencilTheirNextSibling) {
  auto* box = Make<DisplayObjectContainer>();
  Probe* inverted = MakeProbe("M");
  inverted->mask = 300;
  Probe* normal = MakeProbe("N");
  normal->mask = 128;
  Probe* last = MakeProbe("Z");
  last->mask = 5;
  for (Probe* p : {inverted, MakeProbe("X"), normal, MakeProbe("Y"), MakeProbe("P"), last}) {
    box->AddChild(p, 0);
  }
  box->Draw();
  EXPECT_EQ(renderer.Structural(),
            (Calls{"mask inverted 45", "draw M", "apply", "draw X", "unmask", "mask 128", "draw N",
                   "apply", "draw Y", "unmask", "draw P", "draw Z"}))
      << "a mask on the last child does nothing";
}

TEST_F(ContainerTest, AClipKeyScissorsToTheNamedSibling) {
  auto* parent = Make<DisplayObjectContainer>();
  auto* source = MakeProbe("A");  // 100 by 100 at (500, 400) in the world
  auto* clipped = Make<DisplayObjectContainer>();
  clipped->clipKey = 'A';
  parent->AddChild(source, 0);
  parent->AddChild(clipped, 0);
  clipped->AddChild(MakeProbe("inside"), 0);
  parent->Draw();
  EXPECT_EQ(renderer.Structural(), (Calls{"draw A", "scissor 450 350 100 100", "draw inside", "unscissor"}));

  renderer.calls.clear();
  source->name = "B";
  parent->Draw();
  EXPECT_EQ(renderer.Structural(), (Calls{"draw B", "draw inside"})) << "no sibling of that name";
  renderer.calls.clear();
  clipped->Draw();
  auto* orphan = Make<DisplayObjectContainer>();
  orphan->clipKey = 'A';
  orphan->Draw();
  EXPECT_EQ(renderer.Structural(), (Calls{"draw inside"})) << "no parent, no clip";
}

TEST_F(ContainerTest, BoundsUniteTheCountingChildren) {
  const struct {
    const char* what;
    std::vector<std::pair<GCore::Rectangle, int32_t>> children;  // drawn bounds, mask
    GCore::Rectangle own;
    GCore::Rectangle expected;
  } cases[] = {
      {"two children", {{{0, 0, 10, 10}, 0}, {{20, 5, 10, 30}, 0}}, {}, {0, 0, 30, 35}},
      {"with the container's own", {{{0, 0, 10, 10}, 0}}, {-5, -5, 2, 2}, {-5, -5, 15, 15}},
      {"narrow and inverted-mask children do not count",
       {{{0, 0, 10, 10}, 0}, {{50, 50, 1.5f, 100}, 0}, {{-50, -50, 10, 10}, 300}},
       {},
       {0, 0, 10, 10}},
      {"a counting mask hides its masked sibling",
       {{{0, 0, 10, 10}, 10}, {{100, 100, 10, 10}, 0}, {{20, 20, 5, 5}, 0}},
       {},
       {0, 0, 25, 25}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    auto* box = Make<DisplayObjectContainer>();
    for (const auto& [drawn, mask] : c.children) {
      Probe* probe = MakeProbe("p", drawn);
      probe->mask = mask;
      box->AddChild(probe, 0);
    }
    box->bounds = c.own;
    box->dirty |= GCore::kDirtyBounds;
    box->Draw();
    EXPECT_FLOAT_EQ(box->bounds.x, c.expected.x);
    EXPECT_FLOAT_EQ(box->bounds.y, c.expected.y);
    EXPECT_FLOAT_EQ(box->bounds.width, c.expected.width);
    EXPECT_FLOAT_EQ(box->bounds.height, c.expected.height);
    EXPECT_FALSE(box->dirty & GCore::kDirtyBounds);
  }
}

TEST_F(ContainerTest, EventsOfAddingAndRemovingUnderTheStage) {
  auto* outer = Make<Entity>("outer");
  auto* inner = Make<Entity>("inner");
  auto* loose = Make<Entity>("loose");
  Run("outer.c_r = Recorder('outer'); inner.c_r = Recorder('inner'); loose.c_r = Recorder('loose')");
  TakeLog();

  loose->AddChild(inner, 0);
  loose->RemoveChildAt(0);
  EXPECT_EQ(TakeLog(), "") << "outside the stage nothing is told";

  stage->AddChild(outer, 0);
  EXPECT_EQ(TakeLog(), "outer:start");
  outer->AddChild(inner, 0);
  EXPECT_EQ(TakeLog(), "inner:start outer:onAdd");
  outer->RemoveChild(inner);
  EXPECT_EQ(TakeLog(), "inner:onRemove outer:onRemove") << "bubbles from the leaving child";
  EXPECT_EQ(inner->parent, nullptr);

  outer->AddChild(inner, 0);
  TakeLog();
  loose->AddChild(inner, 0);
  EXPECT_EQ(TakeLog(), "inner:onRemove outer:onRemove") << "moving away from the stage";

  outer->AddChild(loose, 0);
  TakeLog();
  outer->AddChild(Make<Entity>("third"), 0);
  Run("third.c_r = Recorder('third')");
  TakeLog();
  outer->RemoveAllChildren();
  EXPECT_EQ(TakeLog(), "third:onRemove outer:onRemove loose:onRemove outer:onRemove")
      << "last child first, no close";
  EXPECT_EQ(outer->NumChildren(), 0);
  EXPECT_EQ(loose->parent, nullptr);

  // A child that its own "onRemove" puts back stays linked.
  auto* back = Make<Entity>("back");
  outer->AddChild(back, 0);
  Run("back.c_b = setmetatable({}, { onRemove = function() outer[1] = back end })");
  outer->RemoveChild(back);
  EXPECT_EQ(outer->GetChildIndex(back), 0);
  EXPECT_EQ(back->parent, outer);
}

TEST_F(ContainerTest, CopiesMakeNewChildrenOfTheSameClasses) {
  auto* source = Make<DisplayObjectContainer>(nullptr, "source");
  source->clipKey = 'Q';
  auto* inner = Make<DisplayObjectContainer>(nullptr, "inner");
  source->AddChild(inner, 0);
  inner->AddChild(Make<DisplayObject>(nullptr, "leaf"), 0);
  source->AddChild(MakeProbe("probe"), 0);

  auto* copy = Make<DisplayObjectContainer>();
  testing::internal::CaptureStdout();
  copy->CopyFrom(source);
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(copy->clipKey, 'Q');
  ASSERT_EQ(copy->NumChildren(), 1) << "a class without a creator is left out";
  EXPECT_NE(out.find("No creator for class Probe"), std::string::npos) << out;
  auto* innerCopy = copy->ChildAt(0);
  EXPECT_NE(innerCopy, inner);
  EXPECT_EQ(innerCopy->GetClassInfo(), &DisplayObjectContainer::classInfo);
  EXPECT_EQ(innerCopy->parent, copy);
  EXPECT_EQ(Names(*static_cast<DisplayObjectContainer*>(innerCopy)), "leaf");

  // Copying an ancestor into its own descendant copies what it had.
  inner->CopyFrom(source);
  EXPECT_EQ(Names(*inner), "leafsource") << "its own copy took the name \"source\" first";
}

}  // namespace

// Drawing, updates, hit tests, copies and destruction recurse once per level:
// a tree reaches the bound and no further, wherever the extra level comes from.
// Entities make the walks' deepest frames; the chain is built from the bottom
// up, as a copy builds it.
TEST_F(ContainerTest, TreesStopAtTheDepthBound) {
  Probe* leaf = MakeProbe("leaf", {0, 0, 10, 10});
  auto* bottom = GCore::NewDisplayObject<Entity>(L);
  GCore::Retained<DisplayObjectContainer> top(bottom);
  bottom->AddChild(leaf, 0);
  // The stage is level 0 and the leaf the deepest level.
  for (int32_t level = GCore::kMaxTreeDepth - 2; level >= 1; --level) {
    GCore::Retained<DisplayObjectContainer> above(GCore::NewDisplayObject<Entity>(L));
    above->AddChild(top.Get(), 0);
    ASSERT_EQ(top->parent, above.Get()) << "level " << level;
    top = above;
  }
  stage->AddChild(top.Get(), 0);
  ASSERT_EQ(top->parent, stage);

  stage->Update();
  GCore::DrawScene(stage);
  EXPECT_NE(std::find(renderer.calls.begin(), renderer.calls.end(), "draw leaf"), renderer.calls.end());
  GCore::HitList hits;
  stage->HitTest({5, 5}, hits);
  auto* copy = Make<Entity>();
  copy->CopyFrom(top.Get());
  int32_t copiedLevels = 0;
  for (DisplayObject* node = copy; node; ++copiedLevels) {
    auto* container = static_cast<DisplayObjectContainer*>(
        GCore::CastToClass(&DisplayObjectContainer::classInfo, node));
    node = container ? container->ChildAt(0) : nullptr;
  }
  EXPECT_EQ(copiedLevels, GCore::kMaxTreeDepth - 1) << "every entity copied (a probe has no creator)";

  testing::internal::CaptureStdout();
  auto* lowest = Make<DisplayObjectContainer>();
  bottom->AddChild(lowest, 0);
  lowest->AddChild(Make<DisplayObject>(), 0);
  auto* pair = Make<DisplayObjectContainer>();
  pair->AddChild(Make<DisplayObject>(), 0);
  bottom->AddChild(pair, 0);
  auto* aside = Make<DisplayObjectContainer>();
  stage->AddChild(aside, 0);
  aside->AddChild(top.Get(), 0);
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(lowest->parent, bottom);
  EXPECT_EQ(lowest->NumChildren(), 0);
  EXPECT_EQ(pair->parent, nullptr);
  EXPECT_EQ(top->parent, stage) << "a refused move leaves the subtree where it was";
  size_t refusals = 0;
  for (size_t at = out.find("deeper than"); at != std::string::npos; at = out.find("deeper than", at + 1)) {
    ++refusals;
  }
  EXPECT_EQ(refusals, 3u) << out;

  // A subtree that has lost its deep branch fits where it did not before.
  bottom->parent->RemoveChild(bottom);
  aside->AddChild(top.Get(), 0);
  EXPECT_EQ(top->parent, aside);

  stage->RemoveChild(aside);
  top.Reset();
  lua_gc(L, LUA_GCCOLLECT, 0);
  lua_gc(L, LUA_GCCOLLECT, 0);
}

namespace {

// Counts the refusals for depth in a captured output.
size_t DepthRefusals(const std::string& out) {
  size_t refusals = 0;
  for (size_t at = out.find("deeper than 10000 levels"); at != std::string::npos;
       at = out.find("deeper than 10000 levels", at + 1)) {
    ++refusals;
  }
  return refusals;
}

// `levels` new entities, each the child of the one before, the first under
// `top`, added from the top down; the last is returned.
Entity* ChainDown(DisplayObjectContainer* top, int32_t levels, std::vector<Entity*>* made = nullptr) {
  DisplayObjectContainer* parent = top;
  for (int32_t i = 0; i < levels; ++i) {
    GCore::Retained<Entity> entity(GCore::NewDisplayObject<Entity>(top->state));
    parent->AddChild(entity.Get(), 0);
    if (made) made->push_back(entity.Get());
    parent = entity.Get();
  }
  return static_cast<Entity*>(parent);
}

}  // namespace

// The bound holds for a tree built from the top down, for subtrees moved
// within it or taken out of it, and for the children of a destroyed
// container, whatever each object knew of its tree before.
TEST_F(ContainerTest, TheDepthBoundHoldsForTreesBuiltDownwardsAndMoved) {
  // level[k] lies k levels below the stage; the deepest allowed is the bound.
  std::vector<Entity*> level{nullptr};
  ChainDown(stage, GCore::kMaxTreeDepth, &level);
  ASSERT_EQ(level.size(), static_cast<size_t>(GCore::kMaxTreeDepth) + 1);
  Entity* deepest = level.back();
  ASSERT_EQ(deepest->parent, level[GCore::kMaxTreeDepth - 1]);
  const int32_t half = GCore::kMaxTreeDepth / 2;
  Entity* branch = level[half + 1];  // its subtree reaches the bound

  testing::internal::CaptureStdout();
  deepest->AddChild(Make<DisplayObject>(), 0);
  auto* pair = Make<DisplayObjectContainer>();
  pair->AddChild(Make<DisplayObject>(), 0);
  level[GCore::kMaxTreeDepth - 1]->AddChild(pair, 0);
  // Moved higher it fits; back where it was it fits exactly; one deeper not.
  level[1]->AddChild(branch, 0);
  const bool movedUp = branch->parent == level[1];
  level[half]->AddChild(branch, 0);
  const bool movedBack = branch->parent == level[half];
  auto* sideStep = Make<DisplayObjectContainer>();
  level[half]->AddChild(sideStep, 0);
  sideStep->AddChild(branch, 0);
  // Taken out of the tree, it still knows how deep it is.
  level[half]->RemoveChild(branch);
  sideStep->AddChild(branch, 0);
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(deepest->NumChildren(), 0);
  EXPECT_EQ(pair->parent, nullptr);
  EXPECT_TRUE(movedUp);
  EXPECT_TRUE(movedBack);
  EXPECT_EQ(branch->parent, nullptr);
  EXPECT_EQ(DepthRefusals(out), 4u) << out;

  // A chain built downwards below a container that is then destroyed: its
  // first entity never was a root of a deep tree before.
  GCore::Retained<Entity> orphan;
  {
    auto* doomed = GCore::NewDisplayObject<DisplayObjectContainer>(L);
    orphan.Reset(ChainDown(doomed, 1));
    ChainDown(orphan.Get(), half);
    lua_gc(L, LUA_GCCOLLECT, 0);
    lua_gc(L, LUA_GCCOLLECT, 0);
  }
  ASSERT_EQ(orphan->parent, nullptr);
  testing::internal::CaptureStdout();
  sideStep->AddChild(orphan.Get(), 0);
  out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(orphan->parent, nullptr);
  EXPECT_EQ(DepthRefusals(out), 1u) << out;
  level[2]->AddChild(orphan.Get(), 0);
  EXPECT_EQ(orphan->parent, level[2]) << "it fits higher up";

  stage->Update();
  GCore::DrawScene(stage);
  stage->RemoveChild(level[1]);
  orphan.Reset();
  lua_gc(L, LUA_GCCOLLECT, 0);
  lua_gc(L, LUA_GCCOLLECT, 0);
}

// Whether objects are on the stage follows every move: "start" and "onAdd"
// come under the stage only, after a subtree came or left with its children,
// and after the container that held it was destroyed.
TEST_F(ContainerTest, AddingEventsFollowSubtreesInAndOutOfTheStage) {
  auto* holder = Make<Entity>("holder");
  stage->AddChild(holder, 0);
  Run("holder.c_r = Recorder('holder')");
  auto* loose = Make<DisplayObjectContainer>();
  auto* outer = Make<DisplayObjectContainer>();
  auto* inner = Make<DisplayObjectContainer>();
  loose->AddChild(outer, 0);
  outer->AddChild(inner, 0);
  inner->AddChild(Make<DisplayObject>(), 0);
  TakeLog();

  holder->AddChild(outer, 0);
  EXPECT_EQ(TakeLog(), "holder:onAdd");
  inner->AddChild(Make<DisplayObject>(), 0);
  EXPECT_EQ(TakeLog(), "holder:onAdd") << "bubbles from inner, now on the stage";
  loose->AddChild(outer, 0);
  EXPECT_EQ(TakeLog(), "holder:onRemove");
  inner->AddChild(Make<DisplayObject>(), 0);
  EXPECT_EQ(TakeLog(), "") << "off the stage again: nobody is told";

  // The listener made of a destroyed container must not be asked.
  auto* survivor = Make<DisplayObjectContainer>();
  {
    auto* doomed = GCore::NewDisplayObject<Entity>(L);
    SetGlobal("doomed", doomed);
    Run("doomed.c_r = Recorder('doomed'); doomed = nil");
    doomed->AddChild(survivor, 0);
    survivor->AddChild(Make<DisplayObject>(), 0);
    TakeLog();
    GCore::DispatchEvent(survivor->ChildAt(0), "ping", nullptr);
    EXPECT_EQ(TakeLog(), "doomed:ping");
    lua_gc(L, LUA_GCCOLLECT, 0);
    lua_gc(L, LUA_GCCOLLECT, 0);
  }
  ASSERT_EQ(survivor->parent, nullptr);
  GCore::DispatchEvent(survivor->ChildAt(0), "ping", nullptr);
  EXPECT_EQ(TakeLog(), "");
  holder->AddChild(survivor, 0);
  survivor->AddChild(Make<DisplayObject>(), 0);
  EXPECT_EQ(TakeLog(), "holder:onAdd holder:onAdd");
}
