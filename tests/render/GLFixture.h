#pragma once
// A GLES2 renderer on Mesa's surfaceless EGL platform (no X server): frames
// are drawn into a 200 x 100 pbuffer and read back as RGBA, bottom row first.
// Every frame checks that GL raised no error.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/GameSettings.h"
#include "core/Matrix.h"
#include "platform/HeadlessGL.h"
#include "render/GShader.h"
#include "render/Image.h"
#include "render/RendererGLES2.h"
#include "render/Texture.h"

struct Rgba {
  int r, g, b, a;
};

inline GCore::DrawPlacement Rect(double x, double y, double w, double h) {
  GCore::DrawPlacement p;
  p.x = x, p.y = y, p.width = w, p.height = h;
  return p;
}

class GLFixture : public testing::Test {
 protected:
  static constexpr int kWidth = 200;
  static constexpr int kHeight = 100;

  static void SetUpTestSuite() {
    std::string error;
    gl = GCore::HeadlessGL::Create(kWidth, kHeight, error);
    if (!gl) glError = error;
  }
  static void TearDownTestSuite() { gl.reset(); }

  void SetUp() override {
    ASSERT_TRUE(gl) << "no surfaceless GL context: " << glError;
    GCore::g_settings.designWidth = kWidth;
    GCore::g_settings.designHeight = kHeight;
    GCore::g_settings.sizeMode = 0;
    renderer = std::make_unique<GCore::RendererGLES2>();
    renderer->SetBaseViewTransform(&baseView);
    renderer->Init();
    ASSERT_EQ(GCore::CheckGlError("test init"), 0);
    renderer->Resize(kWidth, kHeight);
    ASSERT_EQ(GCore::CheckGlError("test resize"), 0);
  }
  void TearDown() override {
    for (auto& texture : textures) {
      if (renderer) renderer->ReleaseTexture(texture.get());
    }
    renderer.reset();
    GCore::g_settings = GCore::GameSettings{};
    GCore::g_drawScene = nullptr;
  }

  // Draws one frame whose content is `scene`, reads it back and checks that
  // GL raised no error.
  void Frame(const std::function<void()>& scene) {
    static const std::function<void()>* current;
    current = &scene;
    GCore::g_drawScene = [](GCore::DisplayObject*) { (*current)(); };
    renderer->RenderFrame(nullptr);
    GCore::g_drawScene = nullptr;
    EXPECT_EQ(GCore::CheckGlError("test frame"), 0);
    screen.assign(static_cast<size_t>(kWidth) * kHeight * 4, 0);
    renderer->ReadScreen(screen.data());
    EXPECT_EQ(GCore::CheckGlError("test read-back"), 0);
  }

  // Window pixel (x, y), y counted from the bottom.
  Rgba At(int x, int y) const {
    const uint8_t* p = &screen[(static_cast<size_t>(y) * kWidth + x) * 4];
    return {p[0], p[1], p[2], p[3]};
  }

  // A texture of the given RGBA pixels, uploaded on first use.
  GCore::Texture* MakeTexture(int width, int height, const std::vector<uint8_t>& rgba) {
    auto texture = std::make_unique<GCore::Texture>(1, 0x50000100u + static_cast<uint32_t>(textures.size()));
    texture->width = width;
    texture->height = height;
    texture->pixels.reset(new uint8_t[rgba.size()]);
    std::copy(rgba.begin(), rgba.end(), texture->pixels.get());
    textures.push_back(std::move(texture));
    return textures.back().get();
  }
  GCore::Texture* White() { return MakeTexture(1, 1, {255, 255, 255, 255}); }

  // Draws the whole texture over the rectangle, tinted by rgba.
  void Fill(GCore::Texture* texture, double x, double y, double w, double h, const float rgba[4]) {
    GCore::Image image(0, 0, texture, 0, 0, float(texture->width), float(texture->height));
    renderer->DrawImage(&image, nullptr, rgba, GCore::kPlaceRect, Rect(x, y, w, h));
  }

  static inline std::unique_ptr<GCore::HeadlessGL> gl;
  static inline std::string glError;
  GCore::Matrix baseView;
  std::vector<std::unique_ptr<GCore::Texture>> textures;
  std::unique_ptr<GCore::RendererGLES2> renderer;
  std::vector<uint8_t> screen;
};

// Colour components within `tolerance` of the expected 0-255 values.
inline testing::AssertionResult Near(const Rgba& actual, const Rgba& expected, int tolerance = 2) {
  auto close = [tolerance](int a, int e) { return a >= e - tolerance && a <= e + tolerance; };
  if (close(actual.r, expected.r) && close(actual.g, expected.g) && close(actual.b, expected.b) &&
      close(actual.a, expected.a)) {
    return testing::AssertionSuccess();
  }
  return testing::AssertionFailure() << "got (" << actual.r << ", " << actual.g << ", " << actual.b
                                     << ", " << actual.a << ") expected (" << expected.r << ", "
                                     << expected.g << ", " << expected.b << ", " << expected.a
                                     << ")";
}
