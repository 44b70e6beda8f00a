// Text: how fast glyphs are rasterised into a cold atlas (from a TrueType
// file through the checks and stb_truetype, and from the system's fonts
// through FreeType, beside stb_truetype alone as the reference), and the
// frame work time of a screen of 2,000 characters, static and changing every
// frame, drawn by the GLES2 renderer on Mesa's surfaceless context.
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
#include "game/GCoreApi.h"
#include "game/GameIF.h"
#include "core/GameSettings.h"
#include "core/LuaManager.h"
#include "core/Matrix.h"
#include "core/ResourceManager.h"
#include "core/ScriptVM.h"
#include "display/TextQuad.h"
#include "platform/HeadlessGL.h"
#include "platform/MessageBox.h"
#include "render/FontTexture.h"
#include "render/RendererGLES2.h"
#include "render/TTFManager.h"

namespace {

constexpr const char* kFont = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
constexpr int kPixels = 24;
constexpr int kWidth = 800;
constexpr int kHeight = 600;
constexpr int kFrames = 100;

using Clock = std::chrono::steady_clock;

double Since(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// Code points the font has, from Latin, Greek and Cyrillic on, up to the count.
std::vector<uint32_t> Characters(const std::vector<uint8_t>& font, size_t count) {
  stbtt_fontinfo info;
  stbtt_InitFont(&info, font.data(), 0);
  std::vector<uint32_t> codes;
  for (uint32_t c = 0x21; codes.size() < count && c < 0x3000; ++c) {
    if ((c < 0x7F || c >= 0xA1) && stbtt_FindGlyphIndex(&info, static_cast<int>(c)) != 0) codes.push_back(c);
  }
  return codes;
}

// Glyphs a second into a fresh atlas of the id (slot 0: the TrueType file,
// slot 1: the system's fonts).
double AtlasRate(uint32_t sheetId, const std::vector<uint32_t>& codes) {
  GCore::FontTexture atlas(1, sheetId);
  atlas.Init(kPixels, 27, 1, sheetId);
  atlas.GetGlyph('x', 1);  // the face is found and opened before the clock runs
  const auto start = Clock::now();
  for (uint32_t code : codes) atlas.GetGlyph(code, 1);
  return static_cast<double>(codes.size()) / Since(start);
}

double StbRate(const std::vector<uint8_t>& font, const std::vector<uint32_t>& codes) {
  stbtt_fontinfo info;
  stbtt_InitFont(&info, font.data(), 0);
  const float s = stbtt_ScaleForPixelHeight(&info, kPixels);
  std::vector<uint8_t> bitmap(27 * 27);
  const auto start = Clock::now();
  for (uint32_t code : codes) {
    stbtt_MakeCodepointBitmap(&info, bitmap.data(), 27, 27, 27, s, s, static_cast<int>(code));
  }
  return static_cast<double>(codes.size()) / Since(start);
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
    std::printf("glyphs rasterised into a cold atlas, %d px (%zu distinct)\n", kPixels, codes.size());
    std::printf("  %-34s %12.0f glyphs/s\n", "TrueType file (checked, stb)", AtlasRate(0x60180000, codes));
    std::printf("  %-34s %12.0f glyphs/s\n", "system font (fontconfig, FreeType)", AtlasRate(0x61180000, codes));
    std::printf("  %-34s %12.0f glyphs/s\n", "reference: stb_truetype alone", StbRate(font, codes));

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
