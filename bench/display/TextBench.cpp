// Text: the time to rasterise the same glyphs into a cold atlas (from a
// TrueType file through the checks and stb_truetype, and from the system's
// fonts through FreeType), each beside stb_truetype alone rasterising the same
// glyphs at the same size as the peer; and the frame work time of a screen of
// 2,000 characters, static and changing every frame, drawn by the GLES2
// renderer on Mesa's surfaceless context. Every side rasterises one glyph
// outside the measured set before its clock runs (the face found and opened,
// the code warm), and the best of a few runs counts.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "../../tests/core/TempRoot.h"
#include "../../tests/render/StbTruetype.h"
#include "PeerFigures.h"
#include "core/GameSettings.h"
#include "core/LuaManager.h"
#include "core/Matrix.h"
#include "core/ScriptVM.h"
#include "display/TextQuad.h"
#include "game/GCoreApi.h"
#include "game/GameIF.h"
#include "platform/HeadlessGL.h"
#include "platform/MessageBox.h"
#include "render/FontTexture.h"
#include "render/RendererGLES2.h"
#include "render/ResourceManager.h"
#include "render/TTFManager.h"

namespace {

constexpr const char* kFont = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
constexpr int kPixels = 24;
constexpr int kWidth = 800;
constexpr int kHeight = 600;
constexpr int kFrames = 100;
constexpr int kGlyphRuns = 5;
// Rasterised before each clock runs; not among the measured glyphs.
constexpr uint32_t kWarmGlyph = ' ';

using Clock = std::chrono::steady_clock;

double Since(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// Code points the font has, from Latin, Greek and Cyrillic on, up to the count.
std::vector<uint32_t> Characters(const std::vector<uint8_t>& font, size_t count) {
  stbtt_fontinfo info;
  stbtt_InitFont(&info, font.data(), 0);
  std::vector<uint32_t> codes;
  for (uint32_t c = kWarmGlyph + 1; codes.size() < count && c < 0x3000; ++c) {
    if ((c < 0x7F || c >= 0xA1) && stbtt_FindGlyphIndex(&info, static_cast<int>(c)) != 0) codes.push_back(c);
  }
  return codes;
}

// Best milliseconds of kGlyphRuns runs of `run`, each given a fresh start by
// `fresh` (untimed).
template <class Fresh, class Run>
double BestGlyphMs(Fresh fresh, Run run) {
  double best = 1e300;
  for (int i = 0; i < kGlyphRuns; ++i) {
    auto state = fresh();
    const auto start = Clock::now();
    run(*state);
    best = std::min(best, Since(start) * 1000);
  }
  return best;
}

// Milliseconds to rasterise the codes into a fresh atlas of the id (slot 0:
// the TrueType file, slot 1: the system's fonts).
double AtlasMs(uint32_t sheetId, const std::vector<uint32_t>& codes) {
  return BestGlyphMs(
      [sheetId] {
        auto atlas = std::make_unique<GCore::FontTexture>(1, sheetId);
        atlas->Init(kPixels, 27, 1, sheetId);
        atlas->GetGlyph(kWarmGlyph, 1);
        return atlas;
      },
      [&codes](GCore::FontTexture& atlas) {
        for (uint32_t code : codes) atlas.GetGlyph(code, 1);
      });
}

// The same codes at the same pixel height by stb_truetype alone, into one
// cell-sized bitmap.
double StbMs(const std::vector<uint8_t>& font, const std::vector<uint32_t>& codes) {
  struct Face {
    stbtt_fontinfo info;
    float scale;
    std::vector<uint8_t> bitmap = std::vector<uint8_t>(27 * 27);
    void Rasterise(uint32_t code) {
      stbtt_MakeCodepointBitmap(&info, bitmap.data(), 27, 27, 27, scale, scale, static_cast<int>(code));
    }
  };
  return BestGlyphMs(
      [&font] {
        auto face = std::make_unique<Face>();
        stbtt_InitFont(&face->info, font.data(), 0);
        face->scale = stbtt_ScaleForPixelHeight(&face->info, kPixels);
        face->Rasterise(kWarmGlyph);
        return face;
      },
      [&codes](Face& face) {
        for (uint32_t code : codes) face.Rasterise(code);
      });
}

struct Frames {
  GCore::TextQuad* text;
  std::string base;
  bool changing;
  int frame;
  double engineSeconds;  // setting, laying out and batching the text, without GL's part
};
Frames g_frames;

void DrawText(GCore::DisplayObject*) {
  Frames& f = g_frames;
  const auto start = Clock::now();
  if (f.changing) {
    // A different digit every frame: parsed and laid out again.
    f.base[0] = static_cast<char>('0' + f.frame % 10);
    f.text->SetText(f.base.c_str());
  }
  f.text->Draw();
  f.engineSeconds += Since(start);
}

}  // namespace

int main() {
  std::ifstream in(kFont, std::ios::binary);
  const std::vector<uint8_t> font((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (font.empty()) {
    std::printf("no %s: nothing measured\n", kFont);
    return 1;
  }
  std::string error;
  auto gl = GCore::HeadlessGL::Create(kWidth, kHeight, error);
  if (!gl) {
    std::fprintf(stderr, "no surfaceless GL context: %s\n", error.c_str());
    return 1;
  }

  TempRoot root;
  root.Write("p/script/gameinit.lua", "");
  GCore::SetMessageBoxHook([](const char*, const char*) { return GCore::kMessageBoxOk; });
  auto game = std::make_unique<GCore::GameIF>("p", root.Path());
  GCore::g_game = game.get();
  game->CreateScriptVM();
  game->CreateLuaManager()->LoadProj("p");
  {
    GCore::TTFManager fonts;
    fonts.Init();
    GCore::AddTTFBytes({1, 0x72000001}, font);
    GCore::ResourceManager resources;
    resources.SetFont(1, 1, "DejaVu Sans", false);

    const std::vector<uint32_t> codes = Characters(font, 1000);
    std::printf("%zu distinct glyphs rasterised into a cold atlas, %d px, best of %d (ms)\n", codes.size(), kPixels,
                kGlyphRuns);
    const double stb = StbMs(font, codes);
    PrintPeerFigures("TrueType file (checked, stb)", AtlasMs(0x60180000, codes), "stb_truetype alone", stb);
    PrintPeerFigures("system font (fontconfig, FreeType)", AtlasMs(0x61180000, codes), "stb_truetype alone", stb);

    GCore::g_settings.designWidth = kWidth;
    GCore::g_settings.designHeight = kHeight;
    GCore::Matrix baseView;
    GCore::RendererGLES2 renderer;
    renderer.SetBaseViewTransform(&baseView);
    renderer.Init();
    renderer.Resize(kWidth, kHeight);
    lua_State* L = game->GetLuaManager()->GetProject(1)->state;
    GCore::RegisterScriptClasses(L);
    GCore::Retained<GCore::TextQuad> text(GCore::NewDisplayObject<GCore::TextQuad>(L));
    text->anchorMinX = text->anchorMaxX = text->anchorMinY = text->anchorMaxY = 0;
    text->offsetMaxX = kWidth;
    text->offsetMaxY = kHeight;
    text->wrap = true;
    std::string characters;
    for (int i = 0; i < 2000; ++i) characters += static_cast<char>('a' + i % 26);
    std::vector<uint8_t> screen(static_cast<size_t>(kWidth) * kHeight * 4);

    std::printf("frame work time, 2,000 characters on %d x %d (software GL)\n", kWidth, kHeight);
    std::printf("  %-34s %12s %14s\n", "", "ms/frame", "engine ms");
    GCore::g_drawScene = DrawText;
    for (bool changing : {false, true}) {
      g_frames = {text.Get(), characters, changing, 0, 0};
      text->SetText(characters.c_str());
      renderer.RenderFrame(nullptr);  // warm-up: glyphs, upload, layout
      renderer.ReadScreen(screen.data());
      g_frames.engineSeconds = 0;
      const auto start = Clock::now();
      for (int frame = 0; frame < kFrames; ++frame) {
        g_frames.frame = frame;
        renderer.RenderFrame(nullptr);
      }
      // Reading the pixels waits for the rasteriser to finish every frame.
      renderer.ReadScreen(screen.data());
      std::printf("  %-34s %12.2f %14.2f\n", changing ? "text changing every frame" : "static text",
                  Since(start) * 1000 / kFrames, g_frames.engineSeconds * 1000 / kFrames);
    }
    GCore::g_drawScene = nullptr;
    text.Reset();
    fonts.Shutdown();
  }
  game->GetLuaManager()->CloseAll();
  game.reset();
  GCore::g_game = nullptr;
  return 0;
}
