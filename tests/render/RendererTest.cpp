// The renderer's bookkeeping without GL: the vertex batch, window fitting,
// the flush rules with their draw-call count, transforms and skeleton
// attachments, observed through a recording renderer.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/GameSettings.h"
#include "core/Matrix.h"
#include "render/Image.h"
#include "render/RecordingRenderer.h"
#include "render/Texture.h"
#include "spinequad/SkeletonAttachmentDraw.h"
#include "spine/SpineRecords.h"

namespace {

using GCore::Image;
using GCore::Texture;
using Calls = std::vector<std::string>;

const float kWhite[8] = {1, 1, 1, 1, 1, 1, 1, 1};

// Writes vertex `count` of a shape batch and advances; room must be reserved.
void Append(GCore::VertexBatch& batch, float x, float y, float u, float v, const float* rgba) {
  const size_t i = batch.count++;
  const float position[3] = {x, y, GCore::kQuadDepth};
  const float uv[2] = {u, v};
  std::copy(position, position + 3, batch.Positions() + 3 * i);
  std::copy(uv, uv + 2, batch.TexCoords() + 2 * i);
  std::copy(rgba, rgba + 4, batch.Colours() + 4 * i);
}

TEST(VertexBatch, ReserveDoublesAndKeepsEveryPlane) {
  struct Case {
    uint32_t start, request, capacity;
  } cases[] = {{0, 5, 8}, {0, 4, 4}, {8, 9, 16}, {8, 8, 8}, {0, 0, 4}};
  for (const Case& c : cases) {
    GCore::VertexBatch batch;
    if (c.start) {
      ASSERT_TRUE(batch.Reserve(c.start));
    }
    for (uint32_t i = 0; i < c.start; ++i) {
      const float rgba[4] = {i + 0.1f, i + 0.2f, i + 0.3f, i + 0.4f};
      Append(batch, float(i), float(i) * 2, float(i) * 3, float(i) * 4, rgba);
    }
    ASSERT_TRUE(batch.Reserve(c.request));
    EXPECT_EQ(batch.capacity, c.capacity) << c.start << " -> " << c.request;
    for (uint32_t i = 0; i < c.start; ++i) {
      EXPECT_EQ(batch.Positions()[3 * i + 1], float(i) * 2);
      EXPECT_EQ(batch.Positions()[3 * i + 2], GCore::kQuadDepth);
      EXPECT_EQ(batch.TexCoords()[2 * i + 1], float(i) * 4);
      EXPECT_EQ(batch.Colours()[4 * i + 3], i + 0.4f);
    }
  }
  GCore::VertexBatch batch;
  EXPECT_FALSE(batch.Reserve(GCore::kMaxBatchVertices + 1));
  EXPECT_EQ(batch.planes, nullptr);
}

TEST(QuadBatch, ReserveDoublesAndKeepsTheVerticesWritten) {
  GCore::QuadBatch batch;
  ASSERT_TRUE(batch.Reserve(8));
  for (float i = 0; i < 2; ++i) {
    GCore::QuadVertex* q = batch.NextQuad();
    for (int c = 0; c < 4; ++c) q[c] = {i, float(c), 0, 0, GCore::PackColour(kWhite)};
  }
  ASSERT_TRUE(batch.Reserve(9));
  EXPECT_EQ(batch.capacity, 16u);
  EXPECT_EQ(batch.vertices[7].x, 1);
  EXPECT_EQ(batch.vertices[7].y, 3);
  EXPECT_EQ(batch.vertices[7].rgba, 0xFFFFFFFFu);
  EXPECT_FALSE(batch.Reserve(GCore::kMaxBatchVertices + 1));
  EXPECT_EQ(batch.capacity, 16u);
}

TEST(QuadBatch, ColoursPackToTheNearestByteClamped) {
  struct Case {
    float channel;
    uint8_t byte;
  } cases[] = {{0, 0}, {1, 255}, {0.5f, 128}, {0.3f, 77}, {64 / 255.0f, 64}, {-2, 0}, {7, 255}, {NAN, 0}};
  for (const Case& c : cases) {
    const float rgba[4] = {c.channel, 0, 1, c.channel};
    const uint32_t packed = GCore::PackColour(rgba);
    uint8_t bytes[4];
    std::memcpy(bytes, &packed, sizeof bytes);
    EXPECT_EQ(bytes[0], c.byte) << c.channel;
    EXPECT_EQ(bytes[1], 0);
    EXPECT_EQ(bytes[2], 255);
    EXPECT_EQ(bytes[3], c.byte) << c.channel;
  }
}

class Fitting : public testing::Test {
 protected:
  void TearDown() override {
    GCore::g_settings.sizeMode = 0;
    GCore::g_fitStages = nullptr;
  }
  RecordingRenderer renderer;
};

int g_fitCalls = 0;

TEST_F(Fitting, LetterboxAndExpand) {
  struct Case {
    int32_t mode, width, height;
    float scale, offsetX, offsetY, logicalWidth, logicalHeight;
  } cases[] = {
      {0, 1600, 600, 1.0f, 400, 0, 800, 600},
      {0, 400, 600, 0.5f, 0, 150, 800, 600},
      {1, 1600, 600, 1.0f, 0, 0, 1600, 600},  // offsets keep the values they had
      {1, 800, 1200, 1.0f, 0, 0, 800, 1200},
  };
  GCore::g_fitStages = [] { ++g_fitCalls; };
  for (const Case& c : cases) {
    RecordingRenderer fresh;
    GCore::g_settings.sizeMode = c.mode;
    g_fitCalls = 0;
    fresh.Resize(c.width, c.height);
    SCOPED_TRACE(std::to_string(c.mode) + ": " + std::to_string(c.width) + "x" +
                 std::to_string(c.height));
    EXPECT_FLOAT_EQ(fresh.scaleX, c.scale);
    EXPECT_FLOAT_EQ(fresh.scaleY, c.scale);
    EXPECT_FLOAT_EQ(fresh.offsetX, c.offsetX);
    EXPECT_FLOAT_EQ(fresh.offsetY, c.offsetY);
    EXPECT_FLOAT_EQ(fresh.logicalWidth, c.logicalWidth);
    EXPECT_FLOAT_EQ(fresh.logicalHeight, c.logicalHeight);
    EXPECT_FLOAT_EQ(fresh.windowWidth, float(c.width));
    EXPECT_EQ(g_fitCalls, c.mode == 1 ? 1 : 0) << "stages are fitted in expand mode only";
  }
}

TEST_F(Fitting, ExpandKeepsLetterboxOffsets) {
  renderer.Resize(1600, 600);
  GCore::g_settings.sizeMode = 1;
  renderer.Resize(1000, 600);
  EXPECT_FLOAT_EQ(renderer.offsetX, 400);
  EXPECT_FLOAT_EQ(renderer.logicalWidth, 1000);
}

class FlushRules : public testing::Test {
 public:
  FlushRules() : a(1, 0x50000001), b(1, 0x50000002) {
    a.width = a.height = b.width = b.height = 16;
    imageA = std::make_unique<Image>(0, 0, &a, 0, 0, 16, 16);
    imageB = std::make_unique<Image>(0, 0, &b, 0, 0, 16, 16);
  }
  void Draw(const Image& image) { renderer.DrawImage(&image, nullptr, kWhite, 0, {}); }

  Texture a, b;
  std::unique_ptr<Image> imageA, imageB;
  RecordingRenderer renderer;
};

TEST_F(FlushRules, TextureChangeFlushesAndFrameEndDrawsTheRest) {
  Draw(*imageA);
  Draw(*imageA);
  EXPECT_TRUE(renderer.batches.empty()) << "the same texture keeps filling one batch";
  Draw(*imageB);
  Draw(*imageA);
  ASSERT_EQ(renderer.batches.size(), 2u);
  EXPECT_EQ(renderer.batches[0].texture, &a);
  EXPECT_EQ(renderer.batches[0].vertices.size(), 12u);
  EXPECT_EQ(renderer.batches[1].texture, &b);

  renderer.drawCalls = 7;
  renderer.RenderFrame(nullptr);
  EXPECT_EQ(renderer.drawCalls, 1) << "the frame starts its count at 0 and flushes once at its end";
  EXPECT_EQ(renderer.calls, (Calls{"draw 12", "draw 6", "begin", "draw 6", "end"}));
  EXPECT_EQ(renderer.CurrentBatch()->count, 0u);
  EXPECT_EQ(renderer.CurrentBatch()->texture, nullptr);
}

TEST_F(FlushRules, SceneHookDrawsInsideTheFrame) {
  static FlushRules* self;
  self = this;
  GCore::g_drawScene = [](GCore::DisplayObject*) {
    self->Draw(*self->imageA);
    self->Draw(*self->imageB);
  };
  renderer.RenderFrame(nullptr);
  GCore::g_drawScene = nullptr;
  EXPECT_EQ(renderer.calls, (Calls{"begin", "draw 6", "draw 6", "end"}));
  EXPECT_EQ(renderer.drawCalls, 2);
}

TEST_F(FlushRules, BlendChangeFlushesOnlyWhenTheValueChanges) {
  renderer.SetBlendMode(0);
  Draw(*imageA);
  renderer.SetBlendMode(0);
  Draw(*imageA);
  EXPECT_EQ(renderer.calls, (Calls{"blend 0"})) << "the first mode flushes an empty batch: no draw";
  renderer.SetBlendMode(1);
  Draw(*imageA);
  renderer.Flush(nullptr);
  EXPECT_EQ(renderer.calls, (Calls{"blend 0", "draw 12", "blend 1", "draw 6"}));
  EXPECT_EQ(renderer.drawCalls, 2);
}

TEST_F(FlushRules, FilterAndTransformChangesFlush) {
  GCore::Matrix base, moved;
  moved.SetValues(1, 0, 0, 1, 3, 4);
  renderer.SetBaseViewTransform(&base);
  Draw(*imageA);
  renderer.SetTextureFilter(1);
  renderer.SetTextureFilter(1);
  Draw(*imageA);
  renderer.PushTransform(moved);
  Draw(*imageA);
  renderer.ResetTransform();
  EXPECT_EQ(renderer.calls, (Calls{"draw 6", "draw 6", "view", "draw 6", "view"}));
  EXPECT_EQ(renderer.textureFilter, 1);
  renderer.SetBaseViewTransform(nullptr);
}

TEST_F(FlushRules, EmptyFlushIssuesNothing) {
  renderer.Flush(nullptr);
  GCore::VertexBatch empty;
  renderer.Flush(&empty);
  EXPECT_TRUE(renderer.calls.empty());
  EXPECT_EQ(renderer.drawCalls, 0);
}

TEST_F(FlushRules, AnotherBatchDrawsAfterTheCurrentOneAndKeepsItsVertices) {
  GCore::VertexBatch shape;
  shape.texture = &b;
  ASSERT_TRUE(shape.Reserve(3));
  for (int i = 0; i < 3; ++i) Append(shape, float(i), 0, 0, 0, kWhite);
  Draw(*imageA);
  renderer.Flush(&shape);
  renderer.Flush(&shape);
  EXPECT_EQ(renderer.calls, (Calls{"draw 6", "draw 3", "draw 3"}));
  EXPECT_EQ(shape.count, 3u);
  EXPECT_EQ(shape.texture, &b);
  EXPECT_EQ(renderer.drawCalls, 3);
}

TEST(Scissor, TheRendererKeepsTheBoxesAndTheBackEndAppliesTheOneInForce) {
  RecordingRenderer renderer;
  renderer.PushScissor(0, 0, 100, 100);
  renderer.PushScissor(50, 20, 100, -10);  // spans y 10 to 20, cut by the outer box at x 100
  EXPECT_EQ(renderer.CurrentScissor()->width, 50);
  renderer.PopScissor();
  renderer.PopScissor();
  renderer.PopScissor();  // nothing left to pop
  EXPECT_EQ(renderer.calls,
            (Calls{"scissor 0 0 100 100", "scissor 50 10 50 10", "scissor 0 0 100 100", "no scissor"}));
  EXPECT_EQ(renderer.CurrentScissor(), nullptr);
}

TEST(Transforms, ViewIsTheBaseViewAfterThePushedMatrix) {
  GCore::Matrix base, current, pushed;
  RecordingRenderer renderer;
  renderer.SetBaseViewTransform(&base);
  GCore::CurrentTransform = &current;
  renderer.SetView(10, 20, 2, 3);
  EXPECT_EQ(base.a, 2);
  EXPECT_EQ(base.d, 3);
  EXPECT_EQ(base.tx, 10);
  EXPECT_EQ(renderer.viewMatrix[0], 2);
  EXPECT_EQ(renderer.viewMatrix[5], 3);
  EXPECT_EQ(renderer.viewMatrix[10], 1);
  EXPECT_EQ(renderer.viewMatrix[12], 10);
  EXPECT_EQ(renderer.viewMatrix[13], 20);
  EXPECT_EQ(renderer.viewMatrix[15], 1);

  pushed.SetValues(0, 1, -1, 0, 5, 6);  // a quarter turn, then a move
  renderer.PushTransform(pushed);
  EXPECT_EQ(current.a, 0);
  EXPECT_EQ(current.b, 3);
  EXPECT_EQ(current.c, -2);
  EXPECT_EQ(current.d, 0);
  EXPECT_EQ(current.tx, 2 * 5 + 10);
  EXPECT_EQ(current.ty, 3 * 6 + 20);
  EXPECT_EQ(renderer.viewMatrix[1], 3);
  EXPECT_EQ(renderer.viewMatrix[4], -2);
  EXPECT_EQ(renderer.viewMatrix[12], 20);

  renderer.PushTransform(pushed);
  EXPECT_EQ(current.tx, 20) << "a second push replaces the first: there is no stack";
  renderer.ResetTransform();
  EXPECT_EQ(renderer.viewMatrix[12], 10);
  EXPECT_EQ(renderer.viewMatrix[1], 0);
  GCore::CurrentTransform = nullptr;
}

class Skeleton : public testing::Test {
 protected:
  Skeleton() : pageTexture(1, 0x80000001) {
    page.rendererObject = &pageTexture;
    atlasRegion.page = &page;
    bone.a = 2, bone.b = 0, bone.c = 0, bone.d = 2, bone.worldX = 100, bone.worldY = 50;
    slotData.blendMode = 1;
    slot.data = &slotData;
    slot.bone = &bone;
    slot.r = 0.5f;
    region.rendererObject = &atlasRegion;
    const float offsets[8] = {-1, -1, -1, 1, 1, 1, 1, -1};
    const float uvs[8] = {0, 1, 0, 0, 1, 0, 1, 1};
    std::memcpy(region.offset, offsets, sizeof offsets);
    std::memcpy(region.uvs, uvs, sizeof uvs);
  }
  void TearDown() override { GCore::g_spineRuntime = &GCore::kSpineRuntime; }

  Texture pageTexture;
  GCore::AtlasPage page;
  GCore::AtlasRegion atlasRegion;
  GCore::Bone bone;
  GCore::SlotData slotData;
  GCore::Slot slot;
  GCore::RegionAttachment region;
  RecordingRenderer renderer;
};

TEST_F(Skeleton, RegionCornersGoThroughTheBoneWithTheSlotColour) {
  const float colour[4] = {1, 1, 1, 0.5f};
  DrawSkeletonAttachment(renderer, &region, &slot, colour);
  EXPECT_EQ(renderer.calls, (Calls{"blend 1"}));
  EXPECT_EQ(renderer.CurrentBatch()->texture, &pageTexture);
  const auto v = renderer.Pending();
  ASSERT_EQ(v.size(), 6u);
  const float expected[6][4] = {{98, 48, 0, 1}, {98, 52, 0, 0}, {102, 52, 1, 0},
                                {98, 48, 0, 1}, {102, 52, 1, 0}, {102, 48, 1, 1}};
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(v[i].x, expected[i][0]) << i;
    EXPECT_EQ(v[i].y, expected[i][1]) << i;
    EXPECT_EQ(v[i].u, expected[i][2]) << i;
    EXPECT_EQ(v[i].v, expected[i][3]) << i;
    EXPECT_EQ(v[i].r, Stored(0.5f));
    EXPECT_EQ(v[i].a, Stored(0.5f));
  }
}

void ScaledWorldVertices(const GCore::VertexAttachment* attachment, const GCore::Slot*, int32_t start,
                         int32_t count, float* out, int32_t offset) {
  for (int32_t i = 0; i < count; ++i) out[offset + i] = attachment->vertices[start + i] * 10;
}

TEST_F(Skeleton, MeshVerticesFollowTheTriangleListAndSkipBadTriangles) {
  static const GCore::SpineRuntime runtime = {nullptr, nullptr, nullptr, nullptr,
                                              nullptr, nullptr, ScaledWorldVertices};
  GCore::g_spineRuntime = &runtime;
  float vertices[6] = {0, 0, 1, 0, 0, 1};
  float uvs[6] = {0.1f, 0.2f, 0.3f, 0.4f, 0.5f, 0.6f};
  uint16_t triangles[9] = {0, 1, 2, 2, 1, 7, 2, 1, 0};
  GCore::MeshAttachment mesh;
  mesh.type = GCore::kAttachmentMesh;
  mesh.vertices = vertices;
  mesh.worldVerticesLength = 6;
  mesh.uvs = uvs;
  mesh.triangles = triangles;
  mesh.trianglesCount = 9;
  mesh.rendererObject = &atlasRegion;
  const float colour[4] = {0.25f, 1, 1, 1};
  DrawSkeletonAttachment(renderer, &mesh, &slot, colour);
  const auto v = renderer.Pending();
  // Index 7 lies past the three vertices: its triangle goes, and the one
  // after it keeps its own corners.
  ASSERT_EQ(v.size(), 6u);
  EXPECT_EQ(v[1].x, 10);
  EXPECT_EQ(v[2].y, 10);
  EXPECT_EQ(v[3].u, 0.5f);
  EXPECT_EQ(v[4].v, 0.4f);
  EXPECT_EQ(v[5].x, 0);
  EXPECT_EQ(v[5].u, 0.1f);
  EXPECT_EQ(v[0].r, Stored(0.25f)) << "the slot colour is not applied to meshes";

  mesh.worldVerticesLength = 1002;
  DrawSkeletonAttachment(renderer, &mesh, &slot, colour);
  EXPECT_EQ(renderer.Pending().size(), 6u) << "meshes above 1000 floats are not drawn";
  GCore::g_spineRuntime = nullptr;
  mesh.worldVerticesLength = 6;
  DrawSkeletonAttachment(renderer, &mesh, &slot, colour);
  EXPECT_EQ(renderer.Pending().size(), 6u) << "without the runtime meshes are not drawn";
}

TEST_F(Skeleton, OtherAttachmentTypesDrawNothing) {
  GCore::Attachment box;
  box.type = GCore::kAttachmentBoundingBox;
  const float colour[4] = {1, 1, 1, 1};
  DrawSkeletonAttachment(renderer, &box, &slot, colour);
  EXPECT_TRUE(renderer.Pending().empty());
  EXPECT_EQ(renderer.blendMode, 1) << "the slot's blend mode is still applied";
}

}  // namespace
