// Tile maps drawn by the GLES2 renderer on Mesa's surfaceless context: the
// frame work time of a 256 x 256 orthogonal map of 4 layers scrolling across
// an 800 x 600 window (and standing still, where the visibility cache holds),
// and the time from setting a 1000 x 1000 map's id to its first frame read
// back. Tiles are a collection of 16 images of 32 x 32 pixels, packed into the
// map's atlas. Last, the frame work time of the same window on maps of one
// layer and 256, 1024 and 4095 cells a side: the map's size should not show.
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "../../tests/core/TempRoot.h"
#include "ZlibLayer.h"
#include "core/GameSettings.h"
#include "core/LuaManager.h"
#include "core/Matrix.h"
#include "core/ScriptVM.h"
#include "display/Entity.h"
#include "game/GCoreApi.h"
#include "game/GameIF.h"
#include "platform/HeadlessGL.h"
#include "platform/MessageBox.h"
#include "render/PNG.h"
#include "render/RendererGLES2.h"
#include "render/ResourceManager.h"
#include "tilemap/TiledMap.h"

namespace {

constexpr int kWidth = 800;
constexpr int kHeight = 600;
constexpr int kTile = 32;
constexpr int kTileImages = 16;
constexpr int kFrames = 60;
constexpr int kSizeFrames = 10;

using Clock = std::chrono::steady_clock;

double Since(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// Layer 0 covers the map; the layers above hold a tile in one cell of four.
std::string MapText(unsigned side, unsigned layers) {
  std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                     "<map version=\"1.2\" orientation=\"orthogonal\" renderorder=\"right-down\" width=\"" +
                     std::to_string(side) + "\" height=\"" + std::to_string(side) + "\" tilewidth=\"32\" "
                     "tileheight=\"32\">\n <tileset firstgid=\"1\" name=\"tiles\" tilewidth=\"32\" tileheight=\"32\" "
                     "tilecount=\"" + std::to_string(kTileImages) + "\" columns=\"0\">\n";
  for (int i = 0; i < kTileImages; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "%04x.png", 0x10 + i);
    text += "  <tile id=\"" + std::to_string(i) + "\"><image source=\"" + name +
            "\" width=\"32\" height=\"32\"/></tile>\n";
  }
  text += " </tileset>\n";
  uint32_t seed = 12345;
  for (unsigned layer = 0; layer < layers; ++layer) {
    std::vector<uint32_t> gids(size_t(side) * side);
    for (uint32_t& gid : gids) {
      seed = seed * 1103515245u + 12345u;
      const bool filled = layer == 0 || (seed >> 16) % 4 == 0;
      gid = filled ? (seed >> 8) % kTileImages + 1 : 0;
    }
    text += " <layer name=\"l" + std::to_string(layer) + "\" width=\"" + std::to_string(side) + "\" height=\"" +
            std::to_string(side) + "\">\n  " + benchmap::ZlibData(gids) + "\n </layer>\n";
  }
  return text + "</map>\n";
}

GCore::Entity* g_scene = nullptr;
double g_engineSeconds = 0;

void DrawScene(GCore::DisplayObject*) {
  const auto start = Clock::now();
  g_scene->Draw();
  g_engineSeconds += Since(start);
}

// A map of the file img/<n>.tmx, its top-left corner at the window's.
GCore::Retained<GCore::TiledMap> NewMap(lua_State* L, uint32_t n) {
  GCore::Retained<GCore::TiledMap> map(GCore::NewDisplayObject<GCore::TiledMap>(L));
  g_scene->AddChild(map.Get(), 0);
  map->anchorMinX = map->anchorMaxX = map->anchorMinY = map->anchorMaxY = 0;
  map->Load(0xC1050000u | n);
  map->SetX(map->pixelWidth * 0.5f);
  map->SetY(kHeight - map->pixelHeight * 0.5f);
  return map;
}

struct FrameTimes {
  double total = 0;   // ms a frame, the rasteriser's work included
  double engine = 0;  // ms a frame of drawing the scene
};

// Frames of the scene standing still or with the map moving diagonally
// across, 7 pixels a frame, after a frame of warm-up (atlas upload,
// visibility).
FrameTimes TimeFrames(GCore::RendererGLES2& renderer, GCore::TiledMap& map, bool scrolling, int frames,
                      std::vector<uint8_t>& screen) {
  renderer.RenderFrame(nullptr);
  renderer.ReadScreen(screen.data());
  g_engineSeconds = 0;
  const auto start = Clock::now();
  for (int frame = 0; frame < frames; ++frame) {
    if (scrolling) {
      map.SetX(map.PivotPointX() - 7);
      map.SetY(map.PivotPointY() + 5);
    }
    renderer.RenderFrame(nullptr);
  }
  // Reading the pixels waits for the rasteriser to finish every frame.
  renderer.ReadScreen(screen.data());
  return {Since(start) * 1000 / frames, g_engineSeconds * 1000 / frames};
}

}  // namespace

int main() {
  std::string error;
  auto gl = GCore::HeadlessGL::Create(kWidth, kHeight, error);
  if (!gl) {
    std::fprintf(stderr, "no surfaceless GL context: %s\n", error.c_str());
    return 1;
  }

  TempRoot root;
  root.Write("p/script/gameinit.lua", "");
  for (int i = 0; i < kTileImages; ++i) {
    std::vector<uint8_t> pixels(size_t(kTile) * kTile * 4);
    for (size_t p = 0; p < pixels.size(); p += 4) {
      pixels[p] = uint8_t(i * 16), pixels[p + 1] = uint8_t(p / 4 % 256), pixels[p + 2] = 128, pixels[p + 3] = 255;
    }
    char name[32];
    std::snprintf(name, sizeof name, "p/img/%04x.png", 0x10 + i);
    root.Write(name, "");
    GCore::WritePng(root.Path(name).c_str(), pixels.data(), kTile, kTile);
  }
  root.Write("p/img/0001.tmx", MapText(256, 4));
  root.Write("p/img/0002.tmx", MapText(1000, 1));

  GCore::SetMessageBoxHook([](const char*, const char*) { return GCore::kMessageBoxOk; });
  auto game = std::make_unique<GCore::GameIF>("p", root.Path());
  GCore::g_game = game.get();
  game->CreateScriptVM();
  game->CreateLuaManager()->LoadProj("p");
  {
    GCore::ResourceManager resources;
    GCore::g_settings.designWidth = kWidth;
    GCore::g_settings.designHeight = kHeight;
    GCore::Matrix baseView;
    GCore::RendererGLES2 renderer;
    renderer.SetBaseViewTransform(&baseView);
    renderer.Init();
    renderer.Resize(kWidth, kHeight);
    lua_State* L = game->GetLuaManager()->GetProject(1)->state;
    GCore::RegisterScriptClasses(L);
    luaL_dostring(L, "g_dir = {[0x01050000] = 'img'}; g_ext = {[0x50000000] = '.png', [0xC0000000] = '.tmx'}");

    // The maps' parent covers the window, so that design pixels are window
    // pixels.
    GCore::Retained<GCore::Entity> scene(GCore::NewDisplayObject<GCore::Entity>(L));
    scene->anchorMinX = scene->anchorMaxX = scene->anchorMinY = scene->anchorMaxY = 0;
    scene->pivotX = scene->pivotY = 0;
    scene->offsetMaxX = kWidth;
    scene->offsetMaxY = kHeight;
    g_scene = scene.Get();
    GCore::g_drawScene = DrawScene;
    std::vector<uint8_t> screen(size_t(kWidth) * kHeight * 4);

    {
      GCore::Retained<GCore::TiledMap> map = NewMap(L, 1);
      std::printf("frame work time, 256 x 256 orthogonal map of 4 layers (%zu cells), 32 px tiles, %d x %d window "
                  "(software GL)\n",
                  map->data.cells.size(), kWidth, kHeight);
      std::printf("  %-34s %12s %14s\n", "", "ms/frame", "engine ms");
      for (bool scrolling : {false, true}) {
        const FrameTimes times = TimeFrames(renderer, *map.Get(), scrolling, kFrames, screen);
        std::printf("  %-34s %12.2f %14.2f\n", scrolling ? "scrolling every frame" : "standing still", times.total,
                    times.engine);
      }
      scene->RemoveChild(map.Get());
    }

    {
      const auto start = Clock::now();
      GCore::Retained<GCore::TiledMap> map = NewMap(L, 2);
      const double loaded = Since(start);
      renderer.RenderFrame(nullptr);
      renderer.ReadScreen(screen.data());
      const double shown = Since(start);
      std::printf("1000 x 1000 orthogonal map (zlib base64 layer, %zu cells): loaded in %.1f ms, first frame read "
                  "back after %.1f ms\n",
                  map->data.cells.size(), loaded * 1000, shown * 1000);
      scene->RemoveChild(map.Get());
    }
    std::printf("frame work time by map size, one layer, 32 px tiles, %d x %d window (ms/frame, engine ms)\n",
                kWidth, kHeight);
    std::printf("  %-22s %22s %22s\n", "", "standing still", "scrolling every frame");
    uint32_t n = 3;
    for (unsigned side : {256u, 1024u, 4095u}) {
      char name[32];
      std::snprintf(name, sizeof name, "p/img/%04x.tmx", n);
      root.Write(name, MapText(side, 1));
      GCore::Retained<GCore::TiledMap> map = NewMap(L, n++);
      const FrameTimes still = TimeFrames(renderer, *map.Get(), false, kSizeFrames, screen);
      const FrameTimes scrolling = TimeFrames(renderer, *map.Get(), true, kSizeFrames, screen);
      std::printf("  %4u x %-4u (%8zu cells) %10.2f %10.2f  %10.2f %10.2f\n", side, side, map->data.cells.size(),
                  still.total, still.engine, scrolling.total, scrolling.engine);
      scene->RemoveChild(map.Get());
    }
    GCore::g_drawScene = nullptr;
    g_scene = nullptr;
  }
  game->GetLuaManager()->CloseAll();
  game.reset();
  GCore::g_game = nullptr;
  return 0;
}
