// Quads on a recording renderer: what one draw appends to the batch for
// plain images, grid cells, air frames, gradients, nine-slice images,
// alignment windows and uniform scale modes; collision boxes published to the
// stage; the blur pass of a render-target quad; the script members and their
// bad uses.
#include <cstdio>
#include <functional>

#include "DisplayFixture.h"
#include "display/AirParser.h"
#include "render/FontStyle.h"
#include "display/Quad.h"
#include "render/Image.h"
#include "render/Texture.h"

namespace {

using GCore::Quad;

constexpr uint32_t kImageId = 0x50000001;
constexpr uint32_t kAirId = 0x30000001;
constexpr uint32_t kTargetId = 0x20000100;

// Adds the blur pass to the recorded calls.
class QuadRecorder : public StateRecorder {
 public:
  void DrawBlurPass() override { calls.push_back("blur pass"); }
};

// One corner of a drawn quad: position and texture coordinate.
struct Corner {
  float x, y, u, v;
};

class QuadTest : public DisplayFixture {
 protected:
  void SetUp() override {
    DisplayFixture::SetUp();
    // The engine module registers the display classes as it opens.
    Run("gcore = require 'gcore.c'");
  }

  // An image of the whole texture (or of the given rectangle of it). An
  // owned one is a resource's own image; one that is not (like a cell of a
  // shared atlas page) never counts as a frame grid, so that its insets slice.
  GCore::Image* AddImage(uint32_t id, int textureWidth, int textureHeight,
                         GCore::Rectangle rect = {}, bool owned = true) {
    GCore::Image* image = resources->CreateImage(GCore::OwnerPair{1, id}, true);
    EXPECT_NE(image, nullptr);
    auto texture = std::make_unique<GCore::Texture>(1, id);
    texture->width = textureWidth;
    texture->height = textureHeight;
    if (owned) {
      image->AdoptTexture(std::move(texture));
    } else {
      image->texture = texture.get();
      image->ownerVariant = image->ownerId = 0;
      shared.push_back(std::move(texture));
    }
    image->x = rect.x;
    image->y = rect.y;
    image->width = rect.width > 0 ? rect.width : static_cast<float>(textureWidth);
    image->height = rect.height > 0 ? rect.height : static_cast<float>(textureHeight);
    image->UpdateTexCoords();
    return image;
  }

  void AddAir(const std::string& text) {
    auto data = GCore::ParseAirData(text.data(), text.size(), 1);
    ASSERT_TRUE(data);
    resources->AddAirData(GCore::OwnerPair{1, kAirId}, std::move(data));
  }

  // A quad showing `media` whose world rectangle is (0, 0) to (width,
  // height) with the default pivot in its centre.
  Quad* MakeQuad(float width, float height, uint32_t media = kImageId,
                 const char* global = nullptr) {
    Quad* quad = Make<Quad>(global);
    Place(quad, width, height);
    quad->SetMedia(media);
    return quad;
  }

  static void Place(GCore::DisplayObject* object, float width, float height) {
    object->anchorMinX = object->anchorMaxX = object->anchorMinY = object->anchorMaxY = 0;
    object->offsetMinX = object->offsetMinY = 0;
    object->offsetMaxX = width;
    object->offsetMaxY = height;
    object->Invalidate(true);
  }

  // Draws the quad and returns the corners P0 (bottom left), P1, P2, P3 of
  // the one quad it appended.
  std::vector<Corner> DrawCorners(Quad* quad) {
    quad->Draw();
    const std::vector<RecordedVertex> drawn = recorder.Pending();
    EXPECT_EQ(drawn.size(), 6u);
    std::vector<Corner> corners;
    if (drawn.size() != 6u) return corners;
    for (int i : {0, 1, 2, 5}) {
      const RecordedVertex& v = drawn[static_cast<size_t>(i)];
      corners.push_back({v.x, v.y, v.u, v.v});
    }
    return corners;
  }

  static void ExpectCorners(const std::vector<Corner>& actual,
                            const std::vector<Corner>& expected) {
    ASSERT_EQ(actual.size(), expected.size());
    for (size_t i = 0; i < actual.size(); ++i) {
      SCOPED_TRACE("corner P" + std::to_string(i));
      EXPECT_NEAR(actual[i].x, expected[i].x, 1e-3);
      EXPECT_NEAR(actual[i].y, expected[i].y, 1e-3);
      EXPECT_NEAR(actual[i].u, expected[i].u, 1e-5);
      EXPECT_NEAR(actual[i].v, expected[i].v, 1e-5);
    }
  }

  // Vertices drawn since the last Clear, flushed or not.
  size_t DrawnVertices() const {
    size_t n = recorder.Pending().size();
    for (const RecordedBatch& batch : recorder.batches) n += batch.vertices.size();
    return n;
  }

  void Clear() {
    recorder.Flush(nullptr);
    recorder.batches.clear();
    recorder.calls.clear();
  }

  std::vector<std::unique_ptr<GCore::Texture>> shared;  // textures no image owns
  QuadRecorder recorder;  // constructed last: the renderer every draw goes to
};

TEST_F(QuadTest, PlainImageFillsTheQuadWithTheWorldColour) {
  GCore::Image* image = AddImage(kImageId, 64, 32);
  const struct {
    uint8_t scaleMode;
    std::vector<Corner> corners;
  } cases[] = {
      // Stretched over 100 x 50: the whole texture, its first row at the top.
      {0, {{0, 0, 0, 1}, {100, 0, 1, 1}, {100, 50, 1, 0}, {0, 50, 0, 0}}},
      // Fitted to the image around the pivot (the centre stays at 50, 25).
      {3, {{18, 9, 0, 1}, {82, 9, 1, 1}, {82, 41, 1, 0}, {18, 41, 0, 0}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("scale mode " + std::to_string(c.scaleMode));
    Quad* quad = MakeQuad(100, 50);
    quad->scaleMode = c.scaleMode;
    quad->localColor.a = 128;
    quad->localColor.g = 51;
    ExpectCorners(DrawCorners(quad), c.corners);
    const RecordedVertex first = recorder.Pending()[0];
    EXPECT_FLOAT_EQ(first.z, -0.1f);
    EXPECT_NEAR(first.r, 1.0, 1e-6);
    EXPECT_NEAR(first.g, 0.2, 1e-6);
    EXPECT_NEAR(first.a, 128 / 255.0, 1e-6);
    EXPECT_EQ(recorder.CurrentBatch()->texture, image->texture);
    const GCore::Rectangle& b = quad->bounds;
    EXPECT_EQ(std::vector<float>({b.x, b.y, b.width, b.height}),
              std::vector<float>({c.corners[0].x, c.corners[0].y, c.corners[2].x - c.corners[0].x,
                                  c.corners[2].y - c.corners[0].y}));
    Clear();
  }
}

// A quad keeps the image its media resolved to from frame to frame; every
// change that can make the lookup find another image (or none) must be seen.
TEST_F(QuadTest, TheImageKeptFromFrameToFrameFollowsItsMediaAndTheResources) {
  constexpr uint32_t kOtherId = kImageId + 1;
  // A texture of that width, so that each image's draws tell it apart.
  auto addImage = [this](int32_t project, uint32_t id, int width) {
    GCore::Image* image = resources->CreateImage(GCore::OwnerPair{project, id}, true);
    ASSERT_NE(image, nullptr);
    auto texture = std::make_unique<GCore::Texture>(static_cast<uint32_t>(project), id);
    texture->width = width;
    texture->height = 8;
    image->AdoptTexture(std::move(texture));
    image->width = static_cast<float>(width);
    image->height = 8;
    image->UpdateTexCoords();
  };
  std::vector<std::unique_ptr<GCore::Image>> placeholders;
  const struct {
    const char* name;
    std::function<void(Quad*)> change;
  } cases[] = {
      {"nothing", [](Quad*) {}},
      {"media set", [](Quad* quad) { quad->SetMedia(kOtherId); }},
      {"media copied from another quad",
       [this](Quad* quad) { quad->CopyFrom(MakeQuad(10, 10, kOtherId)); }},
      {"media of another project", [](Quad* quad) { quad->mediaProject = 2; }},
      {"image removed", [this](Quad*) { resources->RemoveImage(1, kImageId); }},
      {"image made anew",
       [this, addImage, &placeholders](Quad*) {
         resources->RemoveImage(1, kImageId);
         // The freed image's memory taken first, so that the new image
         // cannot be found at the old address.
         placeholders.push_back(std::make_unique<GCore::Image>());
         addImage(1, kImageId, 48);
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    resources->RemoveImage(1, kImageId);
    resources->RemoveImage(1, kOtherId);
    resources->RemoveImage(2, kImageId);
    addImage(1, kImageId, 16);
    addImage(1, kOtherId, 32);
    addImage(2, kImageId, 64);
    Quad* quad = MakeQuad(10, 10);
    // Twice: the second draw is the first from what was kept.
    quad->Draw();
    quad->Draw();
    Clear();
    c.change(quad);
    quad->Draw();
    const GCore::Image* expected =
        resources->FindImage(GCore::OwnerPair{static_cast<int32_t>(quad->mediaProject), quad->mediaId});
    EXPECT_EQ(DrawnVertices(), expected ? 6u : 0u);
    if (expected) {
      EXPECT_EQ(recorder.CurrentBatch()->texture, expected->texture);
    }
    Clear();
  }
}

// One quad drawn at several game times: from the second draw on its image
// comes from what the quad keeps, which must still be stepped cell by cell.
TEST_F(QuadTest, GridCellOfTheGameTime) {
  GCore::Image* image = AddImage(kImageId, 128, 64);
  const uint8_t grid[4] = {0, 100, 2, 2};  // 100 ms a cell, 2 columns, 2 rows
  std::copy(grid, grid + 4, image->insets);
  Quad* quad = MakeQuad(64, 32);
  const struct {
    uint32_t time;
    float u, v;  // the cell's top-left texture corner
  } cases[] = {
      {250, 0, 0.5f},  // the third cell: bottom row, left column
      {50, 0, 0},
      {150, 0.5f, 0},
      {350, 0.5f, 0.5f},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("game time " + std::to_string(c.time));
    game->gameTime = c.time;
    ExpectCorners(DrawCorners(quad), {{0, 0, c.u, c.v + 0.5f},
                                      {64, 0, c.u + 0.5f, c.v + 0.5f},
                                      {64, 32, c.u + 0.5f, c.v},
                                      {0, 32, c.u, c.v}});
    Clear();
  }
}

// A 64 x 48 animation whose held frame shows a 32 x 24 image at offset
// (3, 4), with two type-1 boxes: (0, 0)-(10, 10) and (20, 20)-(30, 30).
const char* const kAir =
    "1,0,64,48,\n"
    "[A]5,stand\n"
    "C1=2,0,-10,10,0,20,-30,30,-20,50000001,65535,3,4\n"
    "\n";

TEST_F(QuadTest, AirFramePlacedByItsOffsetInTheAnimationsSize) {
  AddAir(kAir);
  AddImage(kImageId, 32, 24);
  const struct {
    uint8_t scaleMode;
    float width, height;
    std::vector<Corner> corners;
  } cases[] = {
      // 128 x 96 is twice the animation: the offset and the image double.
      {0, 128, 96, {{6, 8, 0, 1}, {70, 8, 1, 1}, {70, 56, 1, 0}, {6, 56, 0, 0}}},
      // Fitted to the animation's size (64 x 48) around the centre (64, 48).
      {3, 128, 96, {{35, 28, 0, 1}, {67, 28, 1, 1}, {67, 52, 1, 0}, {35, 52, 0, 0}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("scale mode " + std::to_string(c.scaleMode));
    Quad* quad = MakeQuad(c.width, c.height, kAirId);
    quad->scaleMode = c.scaleMode;
    ExpectCorners(DrawCorners(quad), c.corners);
    Clear();
  }
}

TEST_F(QuadTest, GradientGivesTheModesSecondColour) {
  AddImage(kImageId, 8, 8);
  Quad* quad = MakeQuad(10, 10, kImageId, "q");
  const struct {
    const char* call;
    float top[4], bottom[4];  // colours of P3 and P0
  } cases[] = {
      {"q.setGradient(16, 255, 0, 51)", {1, 0, 0.2f, 1}, {1, 1, 1, 1}},  // top edge
      {"q.setGradient(32, 0, 255, 0)", {1, 1, 1, 1}, {0, 1, 0, 1}},      // bottom edge
      {"q.setGradient(1, 0, 0, 0)", {1, 1, 1, 0}, {1, 1, 1, 1}},         // top edge clear
      {"q.setGradient(0, 0, 0, 0)", {1, 1, 1, 1}, {1, 1, 1, 1}},         // off
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.call);
    Run(c.call);
    quad->Draw();
    const std::vector<RecordedVertex> drawn = recorder.Pending();
    ASSERT_EQ(drawn.size(), 6u);
    const RecordedVertex& p3 = drawn[5];
    const RecordedVertex& p0 = drawn[0];
    const float top[4] = {p3.r, p3.g, p3.b, p3.a};
    const float bottom[4] = {p0.r, p0.g, p0.b, p0.a};
    for (int i = 0; i < 4; ++i) {
      EXPECT_NEAR(top[i], c.top[i], 1e-6) << "top channel " << i;
      EXPECT_NEAR(bottom[i], c.bottom[i], 1e-6) << "bottom channel " << i;
    }
    Clear();
  }
  Run("q.setGradient(80, 0, 0, 255)");
  quad->Draw();
  EXPECT_EQ(recorder.Pending().size(), 54u) << "an ellipse with its rim in the second colour";
}

TEST_F(QuadTest, DropShadowTakesTheColoursOfTheFontStyle) {
  AddImage(kImageId, 64, 32);
  Quad* quad = MakeQuad(100, 50, kImageId, "q");
  // Without any style the default (white) serves; then the style fontStyle names.
  Run("q.fontStyleOn = 128; q.textByte0, q.textByte1 = 3, 4");
  const struct {
    const char* styles;
    float r, g, b;
  } cases[] = {
      {"", 1, 1, 1},
      {"gcore.addFntStyle(0xFF0000, 0, 0, 0, 0); gcore.addFntStyle(0x0000FF, 0, 0, 0, 0)", 1, 0, 0},
      {"q.fontStyle = 2", 0, 0, 1},
      {"q.fontStyle = 9", 1, 0, 0},  // beyond the list: the first
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.styles);
    Run(c.styles);
    Clear();
    quad->Draw();
    const std::vector<RecordedVertex> drawn = recorder.Pending();
    ASSERT_EQ(drawn.size(), 12u) << "the shadow, then the image";
    EXPECT_NEAR(drawn[0].r, c.r, 1e-3);
    EXPECT_NEAR(drawn[0].g, c.g, 1e-3);
    EXPECT_NEAR(drawn[0].b, c.b, 1e-3);
    EXPECT_NEAR(drawn[0].a, 128.0f / 255, 1e-3);
    EXPECT_NEAR(drawn[0].x, drawn[6].x + 3, 1e-3) << "moved by the text bytes";
    EXPECT_NEAR(drawn[0].y, drawn[6].y + 4, 1e-3);
  }
  GCore::ClearFontStyles();
  Run("q.fontStyleOn = 0");
  Clear();
  quad->Draw();
  EXPECT_EQ(recorder.Pending().size(), 6u) << "no shadow without its alpha";
}

TEST_F(QuadTest, NineSliceImagesAreSlicedNotWindowed) {
  GCore::Image* image = AddImage(kImageId, 16, 16, {}, false);
  std::fill(image->insets, image->insets + 4, 4);
  Quad* quad = MakeQuad(64, 64);
  quad->alignX = 0;  // no effect on a sliced image
  quad->Draw();
  const std::vector<RecordedVertex> drawn = recorder.Pending();
  ASSERT_EQ(drawn.size(), 54u) << "nine cells";
  // The first cell is the bottom-left corner: 4 x 4 pixels of the source's
  // last rows.
  EXPECT_EQ(std::vector<float>({drawn[0].x, drawn[0].y, drawn[2].x, drawn[2].y}),
            std::vector<float>({0, 0, 4, 4}));
  EXPECT_EQ(std::vector<float>({drawn[0].u, drawn[0].v, drawn[2].u, drawn[2].v}),
            std::vector<float>({0, 1, 0.25f, 0.75f}));
}

TEST_F(QuadTest, AlignmentWindowsCropOrRepeatTheTexture) {
  AddImage(kImageId, 64, 64);
  const struct {
    float width, height;
    int8_t alignX, alignY;
    float u0, du, v0, dv;
  } cases[] = {
      {128, 64, 0, 127, 0, 2, 0, 1},      // twice across, from the left edge
      {128, 64, 100, 127, -1, 2, 0, 1},   // ending at the right edge
      {128, 64, 50, 127, -0.5f, 2, 0, 1}, // centred
      {128, 128, 0, 127, 0, 1, 0, 1},     // against the height: once across
      {64, 128, 127, 0, 0, 1, 0, 2},      // twice upward, from the top row
      {32, 32, 50, 50, 0.25f, 0.5f, 0.25f, 0.5f},  // the middle quarter
      {128, 64, 127, 127, 0, 1, 0, 1},    // off: stretched
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.width) + " x " + std::to_string(c.height) + " align " +
                 std::to_string(c.alignX) + ", " + std::to_string(c.alignY));
    Quad* quad = MakeQuad(c.width, c.height);
    quad->alignX = c.alignX;
    quad->alignY = c.alignY;
    ExpectCorners(DrawCorners(quad), {{0, 0, c.u0, c.v0 + c.dv},
                                      {c.width, 0, c.u0 + c.du, c.v0 + c.dv},
                                      {c.width, c.height, c.u0 + c.du, c.v0},
                                      {0, c.height, c.u0, c.v0}});
    Clear();
  }
}

TEST_F(QuadTest, UniformScaleModesFitOrCoverAroundThePivot) {
  AddImage(kImageId, 100, 50);
  const struct {
    uint8_t scaleMode;
    float left, bottom, right, top;
  } cases[] = {
      {0, 0, 0, 200, 200},     // stretched
      {4, 0, 50, 200, 150},    // 200 x 100 inside
      {5, -100, 0, 300, 200},  // 400 x 200 covering
      {6, 0, 50, 200, 150},    // any other mode from 4 up fits inside
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("scale mode " + std::to_string(c.scaleMode));
    Quad* quad = MakeQuad(200, 200);
    quad->scaleMode = c.scaleMode;
    const std::vector<Corner> corners = DrawCorners(quad);
    ASSERT_EQ(corners.size(), 4u);
    EXPECT_EQ(std::vector<float>({corners[0].x, corners[0].y, corners[2].x, corners[2].y}),
              std::vector<float>({c.left, c.bottom, c.right, c.top}));
    EXPECT_EQ(quad->GetWidth(), 200) << "the quad keeps its size";
    Clear();
  }
}

TEST_F(QuadTest, CollisionBoxesOfTheFrameJoinTheStageGroup) {
  AddAir(kAir);
  AddImage(kImageId, 32, 24);
  const struct {
    const char* what;
    float a;  // the quad's horizontal scale
    std::vector<std::vector<float>> boxes;  // left, bottom, right, top
  } cases[] = {
      // The quad doubles the animation; (x + 3, y + 4) * 2 from (0, 0).
      {"upright", 1, {{6, 8, 26, 28}, {46, 48, 66, 68}}},
      // Mirrored about the quad's centre x = 64: the corners swap sides.
      {"mirrored", -1, {{102, 8, 122, 28}, {62, 48, 82, 68}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Quad* quad = MakeQuad(128, 96, kAirId);
    stage->AddChild(quad, 0);
    Place(quad, 128, 96);
    quad->localMatrix.a = c.a;
    quad->group = 3;
    for (int frame = 0; frame < 2; ++frame) {
      stage->Draw();
      ASSERT_EQ(stage->groups.size(), 1u);
      EXPECT_EQ(stage->groups[0].key, 3);
      ASSERT_EQ(stage->groups[0].entries.size(), 1u) << "one entry each frame";
      const GCore::CollisionEntry& entry = stage->groups[0].entries[0];
      EXPECT_EQ(entry.owner.Get(), quad);
      std::vector<std::vector<float>> boxes;
      for (const GCore::AirBox& box : entry.boxes) {
        EXPECT_EQ(box.type, 1);
        boxes.push_back({box.left, box.bottom, box.right, box.top});
      }
      EXPECT_EQ(boxes, c.boxes);
    }
    quad->group = 0;
    stage->Draw();
    EXPECT_TRUE(stage->groups.empty()) << "group 0 publishes nothing";
    stage->RemoveAllChildren();
    Clear();
  }
}

TEST_F(QuadTest, RenderTargetQuadDrawsOnlyItsBlurPassWhileCapturing) {
  AddImage(kTargetId, 64, 64);
  AddImage(kImageId, 8, 8);
  Quad* quad = MakeQuad(64, 64, kTargetId);
  Quad* child = MakeQuad(8, 8);
  quad->AddChild(child, 0);
  Place(child, 8, 8);

  quad->Update();
  EXPECT_EQ(recorder.blurState, 1) << "the capture is asked for";
  recorder.blurState = 2;  // the renderer's frame start has begun capturing
  quad->Draw();
  EXPECT_EQ(DrawnVertices(), 0u) << "neither the image nor the child";
  EXPECT_EQ(recorder.Structural(), std::vector<std::string>({"blur pass"}));

  Clear();
  recorder.blurState = 0;
  quad->Draw();
  EXPECT_EQ(DrawnVertices(), 12u) << "not capturing: the image and the child";
  EXPECT_EQ(recorder.Structural(), std::vector<std::string>({"draw 6"})) << "no blur pass";
}

TEST_F(QuadTest, InvisibleQuadsDrawAndUpdateNothing) {
  AddAir(kAir);
  AddImage(kImageId, 32, 24);
  AddImage(kTargetId, 64, 64);
  Quad* quad = MakeQuad(128, 96, kAirId);
  stage->AddChild(quad, 0);
  Place(quad, 128, 96);
  quad->group = 3;
  Quad* child = MakeQuad(8, 8);
  quad->AddChild(child, 0);
  quad->visible = false;
  stage->Draw();
  EXPECT_EQ(DrawnVertices(), 0u);
  EXPECT_TRUE(stage->groups.empty());
  EXPECT_EQ(quad->frameStart, 0u) << "the animation was not even asked";

  quad->SetMedia(kTargetId);
  quad->Update();
  EXPECT_EQ(recorder.blurState, 0) << "no capture for an invisible quad";
}

// A quad nobody changes is drawn where it was frame after frame, and its
// listener hears no "boundUpdated"; moving it or its parent, or fading the
// parent, shows at the next frame, and each move is heard once.
TEST_F(QuadTest, StillQuadsStayUntilTheyOrTheirParentChange) {
  AddImage(kImageId, 64, 32);
  auto* layer = Make<GCore::Entity>("layer");
  Place(layer, 400, 300);
  Quad* quad = MakeQuad(100, 50, kImageId, "q");
  layer->AddChild(quad, 0);
  Run("q.c_r = Recorder('q')");
  TakeLog();
  auto frame = [this, layer] {
    layer->Update();
    layer->Draw();
    const std::vector<RecordedVertex> drawn = recorder.Pending();
    Clear();
    return drawn;
  };
  // The first drawn corner's place and alpha, and what was heard.
  auto look = [&frame, this] {
    const std::vector<RecordedVertex> drawn = frame();
    EXPECT_EQ(drawn.size(), 6u);
    if (drawn.empty()) return std::string("nothing drawn");
    char text[64];
    std::snprintf(text, sizeof(text), "%g %g %g %s", drawn[0].x, drawn[0].y, drawn[0].a,
                  TakeLog().c_str());
    return std::string(text);
  };
  const std::string first = look();
  float x0 = 0, y0 = 0;
  ASSERT_EQ(std::sscanf(first.c_str(), "%g %g", &x0, &y0), 2);
  auto at = [x0, y0](float dx, float dy, const char* rest) {
    char text[64];
    std::snprintf(text, sizeof(text), "%g %g %s", x0 + dx, y0 + dy, rest);
    return std::string(text);
  };
  EXPECT_EQ(first, at(0, 0, "1 q:boundUpdated"));
  for (int i = 0; i < 3; ++i) EXPECT_EQ(look(), at(0, 0, "1 ")) << "still frame " << i;

  Run("q.x = q.x + 10");
  EXPECT_EQ(look(), at(10, 0, "1 q:boundUpdated")) << "moved after still frames";
  EXPECT_EQ(look(), at(10, 0, "1 "));
  Run("layer.x = layer.x + 5; layer.y = layer.y + 7");
  EXPECT_EQ(look(), at(15, 7, "1 q:boundUpdated")) << "the parent moved";
  EXPECT_EQ(look(), at(15, 7, "1 "));
  layer->localColor.a = 51;
  layer->Invalidate(false);
  EXPECT_EQ(look(), at(15, 7, "0.2 ")) << "the parent faded: colour only, no bounds";
  EXPECT_EQ(look(), at(15, 7, "0.2 "));
}

// A quad's "boundUpdated" handler runs after the quad drew its image and
// before its children: what it changes on the quad shows in the children in
// that same frame.
TEST_F(QuadTest, ChildrenShowWhatTheParentsBoundUpdatedHandlerChanged) {
  AddImage(kImageId, 64, 32);
  const struct {
    const char* name;
    const char* change;  // run once by the handler, on the quad `q`
    float dx;            // the child's expected move
    float alpha;         // the child's expected alpha
  } cases[] = {
      {"nothing", "", 0, 1},
      {"moved", "q.x = q.x + 10", 10, 1},
      {"faded", "q.alpha = 51", 0, 0.2f},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    // Under a layer: a root's bounds are never marked, so it hears no "boundUpdated".
    auto* layer = Make<GCore::Entity>();
    Quad* quad = MakeQuad(100, 50, kImageId, "q");
    layer->AddChild(quad, 0);
    quad->AddChild(MakeQuad(10, 10), 0);
    auto childCorner = [this, layer] {
      layer->Draw();
      const std::vector<RecordedVertex> drawn = recorder.Pending();
      Clear();
      EXPECT_EQ(drawn.size(), 12u);  // the quad's image, then the child's
      return drawn.size() == 12u ? drawn[6] : RecordedVertex{};
    };
    const RecordedVertex before = childCorner();
    Run(std::string("local done\n"
                    "q.c_h = {boundUpdated = function(self, target)\n"
                    "  if target == q and not done then done = true; ") +
        c.change + " end\nend}");
    // A move of 5 before the frame gives the quad new bounds, so the handler runs.
    Run("q.x = q.x + 5");
    const RecordedVertex after = childCorner();
    EXPECT_NEAR(after.x, before.x + 5 + c.dx, 1e-3);
    EXPECT_NEAR(after.y, before.y, 1e-3);
    EXPECT_NEAR(after.a, c.alpha, 1e-2);
  }
}

// A tinted quad's state is applied anew before its children are drawn, as
// the GL back end's shader switch for the tint needs.
TEST_F(QuadTest, TintedQuadAppliesItsStateAgainBeforeItsChildren) {
  AddImage(kImageId, 64, 32);
  Quad* quad = MakeQuad(100, 50);
  quad->tintMode = 1;
  quad->AddChild(MakeQuad(10, 10), 0);
  Clear();
  quad->Draw();
  std::vector<std::string> states;
  for (const std::string& call : recorder.calls) {
    if (call.rfind("shader", 0) == 0 || call.rfind("tint", 0) == 0) states.push_back(call);
  }
  EXPECT_EQ(states, (std::vector<std::string>{"shader 1", "tint 1", "shader 1", "tint 1", "shader 1", "tint 0"}));
}

TEST_F(QuadTest, SetGradientArguments) {
  Make<Quad>("q");
  const struct {
    const char* args;
    uint32_t word;
  } cases[] = {
      {"3", 0x00000003},                 // absent colours read 0: black
      {"3, nil", 0xFFFFFF03},            // from the first nil on: 255
      {"16, 10, nil, 5", 0x0AFFFF10},    // later colours too
      {"16, 1, 2, 3", 0x01020310},
      {"0x1FF, 300, -1, 2.9", 0x2CFF02FF},  // low bytes of the truncated values
      {"'4', 'x', {}, 7", 0x00000704},      // numeric text counts, other values read 0
      {"0, 0, 0, 0", 0},                    // off
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args);
    Run(std::string("q.setGradient(") + c.args + ")");
    EXPECT_EQ(static_cast<Quad*>(kept.back().Get())->gradient, c.word);
  }
  EXPECT_EQ(Eval("select('#', q.setGradient(1, 2, 3, 4))"), "0") << "no results";
}

TEST_F(QuadTest, AlignmentMembers) {
  Quad* quad = Make<Quad>("q");
  EXPECT_EQ(Eval("q.alignX == 127 and q.alignY == 127"), "true");
  const struct {
    const char* value;
    int8_t stored;
  } cases[] = {{"200", -56}, {"-1.9", -1}, {"50.7", 50}, {"127", 127}, {"'x'", 0}, {"1e300", 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value);
    Run(std::string("q.alignX = ") + c.value + "; q.alignY = " + c.value);
    EXPECT_EQ(quad->alignX, c.stored);
    EXPECT_EQ(quad->alignY, c.stored);
    EXPECT_EQ(Eval("q.alignX"), std::to_string(c.stored));
  }
  Run("q.setGradient = 5");
  EXPECT_EQ(Eval("type(q.setGradient)"), "function") << "a method is not replaced";
  EXPECT_EQ(Eval("q.alignx"), "nil") << "member names are matched exactly";
}

TEST_F(QuadTest, OtherKeysReachTheEntityChain) {
  Quad* quad = Make<Quad>("q");
  Run("q.c_r = Recorder('r')");
  EXPECT_EQ(TakeLog(), "r:init");
  EXPECT_EQ(Eval("q[0] == q"), "true");
  EXPECT_EQ(Eval("type(q.d)"), "table");
  EXPECT_EQ(Eval("q.type"), "Quad");
  Run("q.width = 30");
  EXPECT_EQ(quad->offsetMaxX - quad->offsetMinX, 30);
  Run("q.nothing = 1");
  EXPECT_EQ(Eval("q.nothing"), "nil");
}

TEST_F(QuadTest, CopiesKeepMediaAndAlignmentButNotTheGradient) {
  Quad* quad = Make<Quad>("q");
  quad->SetMedia(kImageId);
  quad->alignX = -56;
  quad->alignY = 30;
  quad->SetGradient(16, 1, 2, 3);
  auto* holder = Make<GCore::Entity>();
  holder->AddChild(quad, 0);

  // A copy of the holder makes its child through the class factory.
  auto* copy = Make<GCore::Entity>();
  copy->CopyFrom(holder);
  ASSERT_EQ(copy->NumChildren(), 1);
  auto* twin = static_cast<Quad*>(GCore::CastToClass(&Quad::classInfo, copy->ChildAt(0)));
  ASSERT_NE(twin, nullptr);
  EXPECT_EQ(twin->mediaId, kImageId);
  EXPECT_EQ(twin->alignX, -56);
  EXPECT_EQ(twin->alignY, 30);
  EXPECT_EQ(twin->gradient, 0u);
  EXPECT_STREQ(twin->GetClassName(), "Quad");
}

TEST_F(QuadTest, ScriptConstructorMakesAQuad) {
  EXPECT_EQ(Eval("(function() local q = gcore.Quad(); return q.alignX == 127 and q[0] == q end)()"),
            "true");
}

TEST_F(QuadTest, SetGradientWithoutItsQuadIsAScriptError) {
  Make<Quad>("q");
  SetGlobal("e", Make<GCore::Entity>());
  const struct {
    const char* what;
    const char* script;
    const char* error;
  } cases[] = {
      {"another object looked up since", "local f = q.setGradient; local g = e.broadcast; f(1)",
       "Quad method called without its object"},
      {"its quad destroyed", "local d = gcore.Quad(); local f = d.setGradient; getmetatable(d).__gc(d); f(1)",
       "Quad method called without its object"},
      {"its quad collected",
       "local f = (function() return gcore.Quad().setGradient end)(); "
       "collectgarbage(); collectgarbage(); f(1)",
       "Quad method called without its object"},
      {"a destroyed quad", "local d = gcore.Quad(); getmetatable(d).__gc(d); d.setGradient(1)", "attempt to call"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string message =
        Eval(std::string("select(2, pcall(function() ") + c.script + " end))");
    EXPECT_NE(message.find(c.error), std::string::npos) << message;
  }
}

}  // namespace
