// Kept draws of still subtrees and update walks that pass idle subtrees by:
// a frame after any one change that shows must draw what a walk of the
// whole tree draws, and an update must still reach what starts to need it.
#include <cstring>
#include <functional>

#include "DisplayFixture.h"
#include "display/Quad.h"
#include "render/Image.h"

namespace {

constexpr uint32_t kImageA = 0x50000001;
constexpr uint32_t kImageB = 0x50000002;
constexpr uint32_t kGrid = 0x50000003;

struct Frame {
  std::vector<RecordedBatch> batches;
  std::vector<std::string> structure;
};

bool SameVertices(const std::vector<RecordedVertex>& a, const std::vector<RecordedVertex>& b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(RecordedVertex)) == 0;
}

bool SameFrame(const Frame& a, const Frame& b) {
  if (a.structure != b.structure || a.batches.size() != b.batches.size()) return false;
  for (size_t i = 0; i < a.batches.size(); ++i) {
    if (a.batches[i].texture != b.batches[i].texture) return false;
    if (!SameVertices(a.batches[i].vertices, b.batches[i].vertices)) return false;
  }
  return true;
}

// Two layers on the stage; the first holds two quads, an image-grid quad and
// a group of two more; the second one quad of another image.
constexpr const char* kScene = R"lua(
  stage.removeAllChildren()
  local g = gcore
  layer = g.Entity(); stage.addChild(layer)
  other = g.Entity(); stage.addChild(other)
  group = g.Entity()
  quads = {}
  for i = 1, 4 do
    local q = g.Quad(); q.media = 0x50000001; q.width, q.height = 20, 30; q.x, q.y = i * 30, i * 10
    quads[i] = q
  end
  layer.addChild(quads[1]); layer.addChild(quads[2])
  grid = g.Quad(); grid.media = 0x50000003; grid.width, grid.height = 16, 16; layer.addChild(grid)
  layer.addChild(group); group.addChild(quads[3]); group.addChild(quads[4])
  single = g.Quad(); single.media = 0x50000002; single.width, single.height = 40, 40; other.addChild(single)
)lua";

class RetainedDrawTest : public DisplayFixture {
 protected:
  void SetUp() override {
    DisplayFixture::SetUp();
    Run("gcore = require 'gcore.c'");
    SetGlobal("stage", stage);
    AddImage(kImageA, 32, 32);
    AddImage(kImageB, 64, 32);
    // A grid of four cells of 20 ms each: its cell moves on with game time.
    GCore::Image* grid = AddImage(kGrid, 32, 32);
    grid->insets[1] = 20;
    grid->insets[2] = 2;
    grid->insets[3] = 2;
  }

  Frame DrawFrame() {
    renderer.batches.clear();
    renderer.calls.clear();
    stage->Update();
    stage->Draw();
    renderer.Flush(nullptr);
    return {renderer.batches, renderer.Structural()};
  }

  static void MarkAll(GCore::DisplayObject* object) {
    object->drawChanged = true;
    if (auto* container = static_cast<GCore::DisplayObjectContainer*>(
            GCore::CastToClass(&GCore::DisplayObjectContainer::classInfo, object))) {
      for (const auto& child : container->children) MarkAll(child.Get());
    }
  }

  // What a walk of the whole tree draws now: nothing kept is replayed.
  Frame FreshFrame() {
    MarkAll(stage);
    return DrawFrame();
  }
};

struct Change {
  const char* name;
  std::function<void()> apply;
  bool shows;  // whether the frame differs from the one before
};

TEST_F(RetainedDrawTest, AFrameAfterAnyChangeDrawsWhatAFreshWalkDraws) {
  auto script = [this](const char* chunk) { return [this, chunk] { Run(chunk); }; };
  const Change changes[] = {
      {"position", script("quads[1].x = 200"), true},
      {"position in a nested group", script("quads[3].y = 150"), true},
      {"an ancestor's position", script("group.x = 123"), true},
      {"scale", script("quads[4].scaleX = 2"), true},
      {"rotation", script("quads[2].rotation = 30"), true},
      {"alpha", script("quads[2].alpha = 0.5"), true},
      {"an ancestor's alpha", script("layer.alpha = 0.25"), true},
      {"visibility", script("quads[4].visible = false"), true},
      {"blend mode", script("quads[2].blend = 1"), true},
      {"world matrix written by a script", script("quads[2].worldMatrix.translate(5, 0)"), true},
      {"image", script("quads[1].media = 0x50000002"), true},
      {"size", script("quads[3].width = 60"), true},
      {"parent", script("other.addChild(quads[1])"), true},
      {"child added", script("local q = gcore.Quad(); q.media = 0x50000002; group.addChild(q)"), true},
      {"child removed", script("group.removeChild(quads[3])"), true},
      {"order", script("layer.swapChildren(quads[1], quads[2])"), true},
      {"frame of an animated image", [this] { Step(25); }, true},
      {"image made anew",
       [this] {
         resources->RemoveImage(1, kImageB);
         // Its texture is wider than it: the texture coordinates differ from
         // the old image's even where the new records reuse the old addresses.
         GCore::Image* image = AddImage(kImageB, 32, 64);
         image->texture->width = 64;
         image->UpdateTexCoords();
       },
       true},
      {"texture evicted",
       [this] { resources->EvictTexture(resources->FindImage(GCore::OwnerPair{1, kImageA})->texture); },
       false},
      {"window resized", [this] { renderer.Resize(1024, 768); }, false},
  };
  for (const Change& change : changes) {
    SCOPED_TRACE(change.name);
    Run(kScene);
    // The first frame walks, the second records, the third replays.
    DrawFrame();
    DrawFrame();
    const Frame still = DrawFrame();
    change.apply();
    const Frame after = DrawFrame();
    const Frame fresh = FreshFrame();
    EXPECT_TRUE(SameFrame(after, fresh));
    EXPECT_EQ(!SameFrame(still, after), change.shows);
    // And once it is still again, the kept draw is the fresh one.
    DrawFrame();
    EXPECT_TRUE(SameFrame(DrawFrame(), FreshFrame()));
  }
}

TEST_F(RetainedDrawTest, UpdatesReachWhatStartsToNeedThemInAnIdleSubtree) {
  struct Case {
    const char* name;
    const char* start;
    const char* check;
    const char* expected;
  };
  const Case cases[] = {
      {"a component attached", "quads[3].c_rec = Recorder('q3')",
       "table.concat(log, ' '):find('q3:update') ~= nil", "true"},
      {"a key track added", "quads[4].addKeyTrack('x', 2, {0, 0, 0, 1000, 1000, 0})",
       "math.floor(quads[4].x + 0.5)", "100"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Run(kScene);
    Run("log = {}");
    DrawFrame();
    DrawFrame();
    Run(c.start);
    Step(100);
    DrawFrame();
    EXPECT_EQ(Eval(c.check), c.expected);
  }
}

}  // namespace
