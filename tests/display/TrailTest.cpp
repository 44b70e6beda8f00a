// Trails on a recording renderer: the samples they keep and drop, the
// texture coordinate along the ribbon, the quads between samples, a trail
// without an image, and the copy.
#include <cmath>

#include "DisplayFixture.h"
#include "display/Trail.h"
#include "render/Image.h"
#include "render/Texture.h"

namespace {

using GCore::Trail;

constexpr uint32_t kImageId = 0x50000001;

// Records every DrawQuads call, with or without an image.
class TrailRecorder : public StateRecorder {
 public:
  void DrawQuads(const GCore::Image* image, int32_t n, const float* corners, const float* uv,
                 const float* colours, int32_t stride, uint32_t packed) override {
    calls.push_back(image ? "quads" : "quads without an image");
    Renderer::DrawQuads(image, n, corners, uv, colours, stride, packed);
  }
};

class TrailTest : public DisplayFixture {
 protected:
  void SetUp() override {
    DisplayFixture::SetUp();
    Run("g = require 'gcore.c'");
  }

  void AddImage(uint32_t id) {
    GCore::Image* image = resources->CreateImage(GCore::OwnerPair{1, id}, true);
    ASSERT_NE(image, nullptr);
    auto texture = std::make_unique<GCore::Texture>(1, id);
    texture->width = texture->height = 4;
    image->AdoptTexture(std::move(texture));
    image->width = image->height = 4;
    image->UpdateTexCoords();
  }

  // A trail 20 high whose origin is at (x, 50).
  Trail* MakeTrail(float lifetime, float fadeStart, uint32_t media = kImageId) {
    Trail* trail = Make<Trail>("t");
    trail->anchorMinX = trail->anchorMaxX = trail->anchorMinY = trail->anchorMaxY = 0;
    trail->offsetMinY = 40;
    trail->offsetMaxY = 60;
    MoveTo(trail, 0);
    trail->lifetime = lifetime;
    trail->fadeStart = fadeStart;
    trail->SetMedia(media);
    return trail;
  }

  static void MoveTo(Trail* trail, float x) {
    trail->offsetMinX = x - 5;
    trail->offsetMaxX = x + 5;
    trail->Invalidate(true);
  }

  int QuadCalls(const std::string& kind = "quads") const {
    return static_cast<int>(std::count(recorder.calls.begin(), recorder.calls.end(), kind));
  }

  TrailRecorder recorder;  // constructed last: the renderer every draw goes to
};

TEST_F(TrailTest, CoordinateAlongTheRibbon) {
  Trail* trail = MakeTrail(500, 250);
  const std::pair<float, float> cases[] = {
      {0, 1}, {125, 0.75f}, {250, 0.5f}, {375, 0.25f}, {499, 0.002f}};
  for (const auto& [age, u] : cases) EXPECT_NEAR(trail->CoordinateAt(age), u, 1e-5) << age;
}

TEST_F(TrailTest, WithoutAFadeInTheNewestSamplesShowFully) {
  Trail* trail = MakeTrail(500, 0);
  EXPECT_EQ(trail->CoordinateAt(0), 1.0f) << "not 1 - 0 / 0";
  EXPECT_NEAR(trail->CoordinateAt(250), 0.25f, 1e-6);
  // Two samples of the same time: one quad, drawn at full coordinates.
  AddImage(kImageId);
  trail->AddSample();
  trail->Draw();
  ASSERT_EQ(QuadCalls(), 1);
  for (const RecordedVertex& v : recorder.Pending()) EXPECT_EQ(v.u, 1.0f);
}

TEST_F(TrailTest, SamplesLiveUntilTheirLifetime) {
  AddImage(kImageId);
  const struct {
    float lifetime;
    size_t samples;
    int quads;
  } cases[] = {
      {0, 0, 0},    // every sample goes in the draw that makes it
      {250, 3, 2},  // 0, 100 and 200 ms old: the 300 ms one is gone
      {1000, 4, 3},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("lifetime " + std::to_string(c.lifetime));
    game->gameTime = 1000;
    Trail* trail = MakeTrail(c.lifetime, c.lifetime / 2);
    for (int frame = 0; frame < 4; ++frame) {
      if (frame > 0) Step(100);
      MoveTo(trail, 10.0f * frame);
      recorder.calls.clear();
      trail->Draw();
    }
    EXPECT_EQ(trail->Samples().size(), c.samples);
    EXPECT_EQ(QuadCalls(), c.quads) << "in the last draw";
  }
}

TEST_F(TrailTest, RibbonOfWorldQuadsBehindAMovingTrail) {
  AddImage(kImageId);
  Trail* trail = MakeTrail(1000, 500);
  for (float x : {0.0f, 50.0f}) {
    MoveTo(trail, x);
    trail->Draw();
    Step(250);
  }
  // The oldest sample draws no quad of its own.
  EXPECT_EQ(QuadCalls(), 1);
  // The quad's corners: previous top, previous bottom, this top, this bottom.
  const std::vector<RecordedVertex> drawn = recorder.Pending();
  ASSERT_EQ(drawn.size(), 6u);
  const struct {
    size_t vertex;
    float x, y, u, v;
  } expected[] = {
      {0, 0, 60, 0.75f, 0},  // drawn at 250 ms: the first sample is 250 ms old
      {1, 0, 40, 0.75f, 1},
      {2, 50, 40, 1, 1},
      {5, 50, 60, 1, 0},
  };
  for (const auto& e : expected) {
    SCOPED_TRACE("vertex " + std::to_string(e.vertex));
    const RecordedVertex& v = drawn[e.vertex];
    EXPECT_NEAR(v.x, e.x, 1e-4);
    EXPECT_NEAR(v.y, e.y, 1e-4);
    EXPECT_NEAR(v.u, e.u, 1e-5);
    EXPECT_NEAR(v.v, e.v, 1e-5);
    EXPECT_EQ(v.r + v.g + v.b + v.a, 4.0f) << "white";
  }

  // The next frame, 250 ms on: the first sample is 500 ms old (u 0.5),
  // the second 250 ms (u 0.75), the new one 0 ms (u 1).
  recorder.Flush(nullptr);
  recorder.batches.clear();
  MoveTo(trail, 100);
  trail->Draw();
  const std::vector<RecordedVertex> second = recorder.Pending();
  ASSERT_EQ(second.size(), 12u);
  EXPECT_NEAR(second[0].u, 0.5f, 1e-5);
  EXPECT_NEAR(second[2].u, 0.75f, 1e-5);
  EXPECT_NEAR(second[6].u, 0.75f, 1e-5);
  EXPECT_NEAR(second[8].u, 1.0f, 1e-5);
  EXPECT_NEAR(second[8].x, 100, 1e-4);
}

TEST_F(TrailTest, ASingleSampleDrawsNothing) {
  AddImage(kImageId);
  Trail* trail = MakeTrail(250, 100);
  trail->Draw();
  EXPECT_EQ(trail->Samples().size(), 1u);
  EXPECT_EQ(QuadCalls(), 0);
  // Invisible: nothing is sampled or dropped.
  trail->visible = false;
  Step(1000);
  trail->Draw();
  EXPECT_EQ(trail->Samples().size(), 1u);
  // Visible again, the first draw drops what grew too old.
  trail->visible = true;
  trail->Draw();
  EXPECT_EQ(trail->Samples().size(), 1u);
  EXPECT_EQ(trail->Samples().front().time, static_cast<float>(game->gameTime));
}

TEST_F(TrailTest, WithoutAnImageTheRendererIsNotCalled) {
  Trail* trail = MakeTrail(1000, 500, 0x50000099);
  Run("t.addSample()");
  Step(100);
  trail->Draw();
  EXPECT_EQ(trail->Samples().size(), 2u);
  EXPECT_EQ(QuadCalls("quads without an image"), 0);
  Step(1000);
  trail->Draw();
  EXPECT_EQ(trail->Samples().size(), 1u) << "old samples still go";
}

TEST_F(TrailTest, AddSampleBetweenFrames) {
  Trail* trail = MakeTrail(1000, 500);
  MoveTo(trail, 30);
  Run("t.addSample(); t.addSample()");
  ASSERT_EQ(trail->Samples().size(), 2u);
  const GCore::TrailSample& s = trail->Samples().back();
  EXPECT_EQ(std::vector<float>({s.x1, s.y1, s.x2, s.y2, s.time}),
            std::vector<float>({30, 60, 30, 40, 0}))
      << "the transform brought up to date first";
}

TEST_F(TrailTest, CopyTakesOnlyTheDisplayObjectPart) {
  Trail* trail = MakeTrail(300, 100);
  trail->userValue = 7;
  trail->name = "ribbon";
  Run("t.addChild(g.Quad()); t.addSample()");
  Run("c = g.Clone(t)");
  EXPECT_EQ(Eval("string.format('%s %s %g %g %g %d', c.type, c.name, c.lifetime, c.fadeStart, "
                 "c.userValue, "
                 "c.numChildren)"),
            "Trail ribbon 0 0 0 0");
  lua_getglobal(L, "c");
  auto* copy = GCore::ToObject<Trail>(L, -1);
  lua_settop(L, 0);
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->Samples().size(), 0u);
  // Copying into a trail leaves its own settings and samples.
  copy->lifetime = 50;
  copy->AddSample();
  copy->CopyFrom(trail);
  EXPECT_EQ(copy->lifetime, 50);
  EXPECT_EQ(copy->Samples().size(), 1u);
}

}  // namespace
