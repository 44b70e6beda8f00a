// Sprite throughput: N moving textured quads from one texture drawn through
// the engine's batch by the GLES2 renderer on Mesa's surfaceless context
// (software rasteriser, 800 x 600 pbuffer), for a fixed number of frames.
// Prints frames per second, draw calls and vertices per frame, and how much of
// a frame the engine spends appending the quads (the rest is GL's).
#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "core/GameSettings.h"
#include "core/Matrix.h"
#include "platform/HeadlessGL.h"
#include "render/Image.h"
#include "render/RendererGLES2.h"
#include "render/Texture.h"

namespace {

constexpr int kWidth = 800;
constexpr int kHeight = 600;
constexpr int kFrames = 60;

// Counts the vertices that reach GL.
class CountingRenderer : public GCore::RendererGLES2 {
 public:
  uint64_t vertices = 0;

 protected:
  void SubmitQuads(GCore::QuadBatch& batch) override {
    vertices += batch.count;
    RendererGLES2::SubmitQuads(batch);
  }
};

struct Scene {
  const GCore::Image* image;
  GCore::Renderer* renderer;
  int count;
  int frame;
  double appendSeconds;  // time spent appending quads to the batch
};
Scene g_scene;

void DrawSprites(GCore::DisplayObject*) {
  static const float kColour[4] = {1, 1, 1, 0.8f};
  Scene& s = g_scene;
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < s.count; ++i) {
    const double phase = i * 0.618 + s.frame * 0.05;
    GCore::DrawPlacement at;
    at.x = 368 + 360 * std::sin(phase * 1.3);
    at.y = 268 + 260 * std::cos(phase * 0.7);
    at.width = at.height = 32;
    s.renderer->DrawImage(s.image, nullptr, kColour, GCore::kPlaceRect, at);
  }
  s.appendSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main() {
  std::string error;
  auto gl = GCore::HeadlessGL::Create(kWidth, kHeight, error);
  if (!gl) {
    std::fprintf(stderr, "no surfaceless GL context: %s\n", error.c_str());
    return 1;
  }
  GCore::g_settings.designWidth = kWidth;
  GCore::g_settings.designHeight = kHeight;

  GCore::Matrix baseView;
  CountingRenderer renderer;
  renderer.SetBaseViewTransform(&baseView);
  renderer.Init();
  renderer.Resize(kWidth, kHeight);

  GCore::Texture texture(1, 0x50000001);
  texture.width = texture.height = 64;
  texture.pixels.reset(new uint8_t[64 * 64 * 4]);
  for (int i = 0; i < 64 * 64; ++i) {
    uint8_t* p = &texture.pixels[i * 4];
    p[0] = static_cast<uint8_t>(i % 64 * 4);
    p[1] = static_cast<uint8_t>(i / 64 * 4);
    p[2] = 128;
    p[3] = 255;
  }
  GCore::Image image(0, 0, &texture, 0, 0, 64, 64);
  std::vector<uint8_t> screen(static_cast<size_t>(kWidth) * kHeight * 4);

  GCore::g_drawScene = DrawSprites;
  std::printf("%8s %10s %12s %12s %10s %10s\n", "sprites", "frames/s", "draw calls", "vertices",
              "ms/frame", "append ms");
  for (int count : {1000, 10000, 50000}) {
    g_scene = {&image, &renderer, count, 0, 0};
    renderer.RenderFrame(nullptr);  // warm-up: upload, program state
    renderer.ReadScreen(screen.data());
    renderer.vertices = 0;
    g_scene.appendSeconds = 0;
    int drawCalls = 0;
    const auto start = std::chrono::steady_clock::now();
    for (int frame = 0; frame < kFrames; ++frame) {
      g_scene.frame = frame;
      renderer.RenderFrame(nullptr);
      drawCalls += renderer.drawCalls;
    }
    // Reading the pixels waits for the rasteriser to finish every frame.
    renderer.ReadScreen(screen.data());
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%8d %10.1f %12.1f %12.0f %10.2f %10.2f\n", count, kFrames / seconds,
                double(drawCalls) / kFrames, double(renderer.vertices) / kFrames,
                seconds * 1000 / kFrames, g_scene.appendSeconds * 1000 / kFrames);
  }
  GCore::g_drawScene = nullptr;
  renderer.ReleaseTexture(&texture);
  return 0;
}
