// The GLES2 renderer read back from a surfaceless pbuffer: letterboxing,
// blend modes, nested and inverted stencil masks, scissor, texture upload
// rules, mipmap filtering, shader programs and the blur progression.
#include "render/GLFixture.h"

#include <cmath>

#include "render/Image.h"
#include "render/ShaderSources.h"

namespace {

using GCore::DrawPlacement;
using GCore::Image;

constexpr Rgba kBlack{0, 0, 0, 255};
constexpr Rgba kWhite{255, 255, 255, 255};

class GLRenderer : public GLFixture {};

TEST_F(GLRenderer, BlendModesCombineAsTheirFactorsSay) {
  struct Case {
    int8_t mode;
    Rgba expected;
  } cases[] = {
      {0, {89, 115, 204, 191}},   // src a + dst (1 - a)
      {1, {115, 166, 255, 255}},  // src a + dst
      {2, {64, 64, 255, 64}},     // src src
      {3, {77, 153, 255, 255}},   // src dst + dst
  };
  GCore::Texture* white = White();
  const float base[4] = {0.2f, 0.4f, 0.6f, 1};
  const float over[4] = {0.5f, 0.5f, 1.0f, 0.5f};
  for (const Case& c : cases) {
    SCOPED_TRACE("blend mode " + std::to_string(c.mode));
    Frame([&] {
      renderer->SetBlendMode(0);
      Fill(white, 0, 0, 200, 100, base);
      renderer->SetBlendMode(c.mode);
      Fill(white, 50, 0, 100, 100, over);
    });
    EXPECT_TRUE(Near(At(10, 50), {51, 102, 153, 255}));
    EXPECT_TRUE(Near(At(100, 50), c.expected));
  }
}

TEST_F(GLRenderer, NestedMasksShowContentWhereEveryLevelCovers) {
  GCore::Texture* white = White();
  const float opaque[4] = {1, 1, 1, 1};
  const float red[4] = {1, 0, 0, 1};
  const float green[4] = {0, 1, 0, 1};
  Frame([&] {
    renderer->BeginStencilMask(false, 1.0f);
    Fill(white, 0, 0, 100, 100, opaque);  // level 0: the left half
    renderer->ApplyStencilMask();
    renderer->BeginStencilMask(false, 1.0f);
    Fill(white, 0, 0, 200, 50, opaque);  // level 1: the bottom half
    renderer->ApplyStencilMask();
    Fill(white, 0, 0, 200, 100, opaque);  // both: the bottom-left quarter
    renderer->EndStencilMask();
    Fill(white, 0, 50, 200, 50, red);  // level 0 only: the top-left quarter
    renderer->EndStencilMask();
    Fill(white, 150, 0, 50, 100, green);  // no mask
  });
  EXPECT_TRUE(Near(At(20, 20), kWhite));
  EXPECT_TRUE(Near(At(99, 49), kWhite));
  EXPECT_TRUE(Near(At(20, 80), {255, 0, 0, 255}));
  EXPECT_TRUE(Near(At(120, 20), kBlack)) << "outside level 0";
  EXPECT_TRUE(Near(At(120, 80), kBlack));
  EXPECT_TRUE(Near(At(170, 50), {0, 255, 0, 255})) << "the stencil test is off after the last end";
}

TEST_F(GLRenderer, InvertedMaskShowsContentOutsideTheShape) {
  GCore::Texture* white = White();
  const float opaque[4] = {1, 1, 1, 1};
  Frame([&] {
    renderer->BeginStencilMask(true, 1.0f);
    Fill(white, 0, 0, 100, 100, opaque);
    renderer->ApplyStencilMask();
    Fill(white, 0, 0, 200, 100, opaque);
    renderer->EndStencilMask();
  });
  EXPECT_TRUE(Near(At(50, 50), kBlack));
  EXPECT_TRUE(Near(At(150, 50), kWhite));
}

TEST_F(GLRenderer, ScissorPopRestoresTheBoxSavedByTheLastPush) {
  GCore::Texture* white = White();
  const float opaque[4] = {1, 1, 1, 1};
  Frame([&] {
    renderer->PushScissor(0, 0, 50, 50);
    renderer->PushScissor(100, 0, 50, 50);
    renderer->PopScissor();
    Fill(white, 0, 0, 200, 100, opaque);
    renderer->PopScissor();
  });
  EXPECT_TRUE(Near(At(10, 10), kWhite));
  EXPECT_TRUE(Near(At(120, 10), kBlack));
  EXPECT_TRUE(Near(At(10, 80), kBlack));
  Frame([&] { Fill(white, 0, 0, 200, 100, opaque); });
  EXPECT_TRUE(Near(At(120, 80), kWhite)) << "the outer pop gives back the state its push found: off";
}

TEST_F(GLRenderer, ScissorOfNegativeSizeClipsToTheBoxItSpans) {
  // A clip source with a negative width or height (offsets set the wrong way
  // round by a script) must neither raise a GL error nor leave the old box.
  GCore::Texture* white = White();
  const float opaque[4] = {1, 1, 1, 1};
  Frame([&] {
    renderer->PushScissor(60, 80, -20, -30);
    Fill(white, 0, 0, 200, 100, opaque);
    renderer->PopScissor();
  });
  EXPECT_TRUE(Near(At(50, 65), kWhite));
  EXPECT_TRUE(Near(At(30, 65), kBlack));
  EXPECT_TRUE(Near(At(70, 65), kBlack));
  EXPECT_TRUE(Near(At(50, 40), kBlack));
  EXPECT_TRUE(Near(At(50, 90), kBlack));
}

TEST_F(GLRenderer, NestedScissorStaysInsideTheOuterBox) {
  // A clipped container inside a clipped container: the inner clip must not
  // let content out of the outer one.
  GCore::Texture* white = White();
  const float opaque[4] = {1, 1, 1, 1};
  Frame([&] {
    renderer->PushScissor(0, 0, 100, 100);
    renderer->PushScissor(50, 0, 100, 100);
    Fill(white, 0, 0, 200, 100, opaque);
    renderer->PopScissor();
    renderer->PopScissor();
  });
  EXPECT_TRUE(Near(At(75, 50), kWhite));
  EXPECT_TRUE(Near(At(25, 50), kBlack));
  EXPECT_TRUE(Near(At(125, 50), kBlack));
}

TEST_F(GLRenderer, AnImageDestroyedInMidFrameHasItsWaitingGeometryDrawnFirst) {
  // An image that owns its texture, as the resource manager makes them.
  auto texture = std::make_unique<GCore::Texture>(1, 0x56000042);
  texture->width = texture->height = 1;
  texture->pixels.reset(new uint8_t[4]{255, 0, 0, 255});
  auto* image = new Image(1, 0x56000042, nullptr, 0, 0, 1, 1);
  image->AdoptTexture(std::move(texture));
  ASSERT_TRUE(image->Owns(image->texture));
  const float opaque[4] = {1, 1, 1, 1};
  Frame([&] {
    renderer->DrawImage(image, nullptr, opaque, GCore::kPlaceRect, Rect(0, 0, 100, 100));
    // Its quad still waits in the batch when a script or a cleared project
    // lets it go: the texture is deleted with it.
    delete image;
  });
  EXPECT_TRUE(Near(At(50, 50), {255, 0, 0, 255}));
  EXPECT_TRUE(Near(At(150, 50), kBlack));
}

TEST_F(GLRenderer, ChangedTextureSizeIsSpecifiedAnew) {
  GCore::Texture* texture = MakeTexture(1, 1, {255, 0, 0, 255});
  const float opaque[4] = {1, 1, 1, 1};
  Frame([&] { Fill(texture, 0, 0, 200, 100, opaque); });
  EXPECT_TRUE(Near(At(100, 50), {255, 0, 0, 255}));
  EXPECT_EQ(texture->pixels, nullptr) << "the pixel copy is dropped after upload";

  // New, larger contents: a sub-update would be refused by GL.
  texture->width = 2;
  texture->height = 1;
  texture->pixels.reset(new uint8_t[8]{0, 0, 255, 255, 0, 255, 0, 255});
  texture->dirty = true;
  renderer->SetTextureFilter(0);
  Frame([&] { Fill(texture, 0, 0, 200, 100, opaque); });
  EXPECT_TRUE(Near(At(50, 50), {0, 0, 255, 255}));
  EXPECT_TRUE(Near(At(150, 50), {0, 255, 0, 255}));
  EXPECT_EQ(texture->uploadedWidth, 2);

  // Same size: updated in place.
  texture->pixels.reset(new uint8_t[8]{255, 255, 0, 255, 255, 255, 0, 255});
  texture->dirty = true;
  Frame([&] { Fill(texture, 0, 0, 200, 100, opaque); });
  EXPECT_TRUE(Near(At(150, 50), {255, 255, 0, 255}));
}

TEST_F(GLRenderer, WideTexturesAreSpecifiedAnewOnEveryUpdate) {
  for (int width : {1024, 1500}) {
    SCOPED_TRACE(width);
    std::vector<uint8_t> rgba(static_cast<size_t>(width) * 4, 200);
    GCore::Texture* texture = MakeTexture(width, 1, rgba);
    const float opaque[4] = {1, 1, 1, 1};
    Frame([&] { Fill(texture, 0, 0, 200, 100, opaque); });
    texture->pixels.reset(new uint8_t[rgba.size()]());
    texture->dirty = true;
    Frame([&] { Fill(texture, 0, 0, 200, 100, opaque); });
    EXPECT_TRUE(Near(At(100, 50), {0, 0, 0, 0}));
  }
}

TEST_F(GLRenderer, MipmapFilterGetsMipmapsOfTheCurrentContents) {
  // 6 x 6 (not a power of two), drawn 2 x 2: only mipmap levels are sampled.
  std::vector<uint8_t> rgba(6 * 6 * 4, 0);
  for (size_t i = 0; i < rgba.size(); i += 4) rgba[i] = 255, rgba[i + 3] = 255;
  GCore::Texture* texture = MakeTexture(6, 6, rgba);
  const float opaque[4] = {1, 1, 1, 1};
  renderer->SetTextureFilter(GCore::kFilterMipmap);
  Frame([&] { Fill(texture, 10, 10, 2, 2, opaque); });
  EXPECT_TRUE(texture->hasMipmaps);
  EXPECT_TRUE(Near(At(11, 11), {255, 0, 0, 255}, 4));

  for (size_t i = 0; i < rgba.size(); i += 4) rgba[i] = 0, rgba[i + 1] = 255;
  texture->pixels.reset(new uint8_t[rgba.size()]);
  std::copy(rgba.begin(), rgba.end(), texture->pixels.get());
  texture->dirty = true;
  Frame([&] { Fill(texture, 10, 10, 2, 2, opaque); });
  EXPECT_TRUE(Near(At(11, 11), {0, 255, 0, 255}, 4)) << "the mipmaps follow new contents";
}

TEST_F(GLRenderer, ProgramsAndTheirLocations) {
  for (int id = 1; id <= 5; ++id) {
    const GCore::GShader* shader = renderer->Shader(id);
    ASSERT_NE(shader, nullptr) << id;
    EXPECT_NE(shader->program, 0u) << id;
    EXPECT_GE(shader->attribLocations[GCore::kAttribPosition], 0) << id;
    EXPECT_GE(shader->attribLocations[GCore::kAttribTexCoords], 0) << id;
    const bool blur = id == 3 || id == 4;
    EXPECT_EQ(shader->projLocation >= 0, !blur) << id;
    EXPECT_EQ(shader->viewLocation >= 0, !blur) << id;
    if (blur) {
      EXPECT_EQ(shader->attribLocations[GCore::kAttribColor], -1) << id;
    }
  }
  // The luminance program ignores the vertex colour, so the driver drops the
  // attribute; drawing with it must not enable location -1.
  EXPECT_EQ(renderer->Shader(5)->attribLocations[GCore::kAttribColor], -1);
  GCore::Texture* texture = MakeTexture(1, 1, {255, 0, 0, 255});
  const float blue[4] = {0, 0, 1, 1};
  Frame([&] {
    renderer->UseShader(5);
    Fill(texture, 0, 0, 200, 100, blue);
  });
  EXPECT_TRUE(Near(At(100, 50), {54, 54, 54, 255})) << "red's luminance, the colour unused";

  Frame([&] {
    renderer->SetTintMode(true);
    const float add[4] = {0, 0.5f, 0, 1};
    Fill(texture, 0, 0, 200, 100, add);
  });
  EXPECT_TRUE(Near(At(100, 50), {255, 128, 0, 255})) << "tint adds the colour";
  EXPECT_EQ(renderer->currentProgramId, 2);
  Frame([] {});
  EXPECT_EQ(renderer->currentProgramId, 1) << "every frame starts with the default program";
}

TEST_F(GLRenderer, ShaderIdWithoutAProgramDrawsWithTheDefaultOne) {
  // A display object's shader field comes from scripts: an id no program has
  // must not draw with the luminance or tint program an earlier object chose.
  GCore::Texture* texture = MakeTexture(1, 1, {255, 0, 0, 255});
  const float white[4] = {1, 1, 1, 1};
  for (int32_t unknown : {0, 6, 9, -3}) {
    SCOPED_TRACE(unknown);
    Frame([&] {
      renderer->UseShader(5);
      Fill(texture, 0, 0, 100, 100, white);
      renderer->UseShader(unknown);
      Fill(texture, 100, 0, 100, 100, white);
    });
    EXPECT_TRUE(Near(At(50, 50), {54, 54, 54, 255}));
    EXPECT_TRUE(Near(At(150, 50), {255, 0, 0, 255}));
  }
}

TEST_F(GLRenderer, ShaderThatDoesNotCompileLeavesProgramZero) {
  testing::internal::CaptureStdout();
  GCore::GShader broken;
  broken.Build(GCore::kVertexSourceA, "#version 100\nvoid main() { oops; }");
  const std::string said = testing::internal::GetCapturedStdout();
  EXPECT_EQ(broken.program, 0u);
  EXPECT_NE(said.find("------------------Shader compile log: "), std::string::npos) << said;
  EXPECT_NE(said.find("Could not link program:\n"), std::string::npos) << said;
  // Build drains the error queue as it goes and prints what it finds: an
  // attach of the failed shader (name 0) would show there.
  EXPECT_EQ(said.find("glError"), std::string::npos) << said;
  EXPECT_EQ(GCore::CheckGlError("after the broken build"), 0);
}

TEST_F(GLRenderer, MissingMatrixUniformsAreSaidOnlyWhereTheProgramNeedsThem) {
  using Matrices = GCore::GShader::Matrices;
  const struct {
    const char* what;
    const char* vertex;
    const char* fragment;
    Matrices matrices;
    bool said;
  } cases[] = {
      {"placed program", GCore::kVertexSourceA, GCore::kModulateFragmentSource, Matrices::kUsed, false},
      {"blur program", GCore::kVertexSourceB, GCore::kVerticalBlurFragmentSource, Matrices::kNone, false},
      {"placed program without them", GCore::kVertexSourceB, GCore::kVerticalBlurFragmentSource, Matrices::kUsed,
       true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    testing::internal::CaptureStdout();
    GCore::GShader shader;
    shader.Build(c.vertex, c.fragment, c.matrices);
    const std::string said = testing::internal::GetCapturedStdout();
    EXPECT_NE(shader.program, 0u);
    EXPECT_EQ(said.find("shader Unable to get uniform location") != std::string::npos, c.said) << said;
    EXPECT_EQ(shader.projLocation >= 0, !c.said && c.matrices == Matrices::kUsed);
  }

  // The renderer's own five programs build without a word.
  testing::internal::CaptureStdout();
  GCore::RendererGLES2 another;
  another.Init();
  const std::string said = testing::internal::GetCapturedStdout();
  EXPECT_EQ(said.find("Unable to get uniform location"), std::string::npos) << said;
}

TEST_F(GLRenderer, BlurRunsNinePassesThenHolds) {
  std::vector<int> counters;
  for (int frame = 0; frame < 14; ++frame) {
    renderer->blurState = 1;  // a render-target quad asks for the blur in its update
    Frame([&] { renderer->DrawBlurPass(); });
    counters.push_back(renderer->blurCounter);
    EXPECT_EQ(renderer->blurState, 0);
  }
  EXPECT_EQ(counters, (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 9, 9, 9, 9, 9}));
}

TEST_F(GLRenderer, HeldBlurCoversWhatWasDrawnBeforeItAsThePassesDo) {
  // Nine frames of passes over an empty scene leave a black blurred screen.
  for (int frame = 0; frame < 9; ++frame) {
    renderer->blurState = 1;
    Frame([&] { renderer->DrawBlurPass(); });
  }
  ASSERT_EQ(renderer->blurCounter, 9);
  // Held from now on: geometry still waiting in the batch when the blurred
  // screen is drawn is drawn before it, under its own program, not over it.
  GCore::Texture* white = White();
  const float blue[4] = {0, 0, 1, 1};
  renderer->blurState = 1;
  Frame([&] {
    renderer->UseShader(5);
    Fill(white, 0, 0, 200, 100, blue);
    renderer->DrawBlurPass();
  });
  EXPECT_EQ(renderer->blurCounter, 9);
  EXPECT_TRUE(Near(At(100, 50), kBlack));
}

TEST_F(GLRenderer, BlurInsideAClipOrMaskStillBlursTheWholeCapture) {
  // The clip box and the stencil are window state: the passes between the
  // off-screen targets must not be cut by them, or the clipped blur shows
  // parts of the targets that no pass wrote.
  GCore::Texture* white = White();
  const float opaque[4] = {1, 1, 1, 1};
  const std::function<void()> wraps[] = {
      [&] {
        renderer->PushScissor(0, 0, 100, 100);
        renderer->DrawBlurPass();
        renderer->PopScissor();
      },
      [&] {
        renderer->BeginStencilMask(false, 1.0f);
        Fill(white, 0, 0, 100, 100, opaque);
        renderer->ApplyStencilMask();
        renderer->DrawBlurPass();
        renderer->EndStencilMask();
      }};
  for (const auto& blurInside : wraps) {
    renderer->blurCounter = 0;
    for (int frame = 1; frame <= 9; ++frame) {
      SCOPED_TRACE(frame);
      renderer->blurState = 1;
      Frame([&] {
        Fill(white, 0, 0, 200, 100, opaque);  // the first frame captures it
        blurInside();
      });
      // The first frame draws its scene, the mask too, into the capture
      // target, so the window has no mask shape to show the blur through.
      if (frame == 1) continue;
      EXPECT_TRUE(Near(At(25, 50), kWhite, 8));
      EXPECT_TRUE(Near(At(75, 50), kWhite, 8));
    }
  }
}

TEST_F(GLRenderer, DesignSizeThatCannotBeFittedKeepsAUsableView) {
  // Scripts set the design size; 0 by 0 (or negative) has no fitting scale.
  GCore::Texture* white = White();
  const float opaque[4] = {1, 1, 1, 1};
  const std::pair<float, float> sizes[] = {{0, 0}, {-200, -100}};
  for (auto [width, height] : sizes) {
    SCOPED_TRACE(std::to_string(width) + " x " + std::to_string(height));
    GCore::g_settings.designWidth = width;
    GCore::g_settings.designHeight = height;
    renderer->Resize(kWidth, kHeight);
    EXPECT_GT(renderer->scaleX, 0.0f);
    EXPECT_TRUE(std::isfinite(renderer->offsetX) && std::isfinite(renderer->offsetY));
    Frame([&] { Fill(white, 10, 10, 20, 20, opaque); });
    EXPECT_TRUE(Near(At(20, 20), kWhite));
    EXPECT_TRUE(Near(At(40, 40), kBlack));
  }
}

TEST_F(GLRenderer, ZeroHeightIsTakenAsOne) {
  renderer->Resize(kWidth, 0);
  EXPECT_EQ(renderer->windowHeight, 1);
  EXPECT_EQ(GCore::CheckGlError("resize"), 0);
}

}  // namespace
