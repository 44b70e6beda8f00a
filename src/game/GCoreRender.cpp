// "gcore.c": the renderer's view of the design area, and the window's place
// on the desktop.
#include "game/GCoreApi.h"
#include "game/GameIF.h"
#include "platform/Shell.h"
#include "platform/Window.h"
#include "render/Renderer.h"

namespace GCore::Api {

namespace {
Renderer* CurrentRenderer() { return g_game ? Game()->GetRenderer() : nullptr; }
}  // namespace

int SetRenderSZ(lua_State* L) {
  if (Renderer* renderer = CurrentRenderer()) {
    renderer->logicalWidth = static_cast<float>(IntArg(L, 1));
    renderer->logicalHeight = static_cast<float>(IntArg(L, 2));
  }
  return 0;
}

int Viewport(lua_State* L) {
  if (Renderer* renderer = CurrentRenderer()) {
    renderer->SetViewport(static_cast<float>(IntArg(L, 1)), static_cast<float>(IntArg(L, 2)),
                          static_cast<float>(IntArg(L, 3)), static_cast<float>(IntArg(L, 4)));
  }
  return 0;
}

namespace {
// The product of two truncated arguments; 64 bits hold it whatever they are.
float Scaled(lua_State* L, int index, int64_t s) { return static_cast<float>(IntArg(L, index) * s); }
}  // namespace

int ProjMatrix(lua_State* L) {
  Renderer* renderer = CurrentRenderer();
  if (!renderer) return 0;
  const int64_t s = IntArg(L, 5);
  renderer->SetProjection(Scaled(L, 1, s), Scaled(L, 2, s), Scaled(L, 3, s), Scaled(L, 4, s), -1.0f, 1.0f, true);
  return 0;
}

int ViewMatrix(lua_State* L) {
  Renderer* renderer = CurrentRenderer();
  if (!renderer) return 0;
  const int64_t s = IntArg(L, 4);
  const float scale = Scaled(L, 3, s) / 100.0f;
  renderer->SetView(Scaled(L, 1, s), Scaled(L, 2, s), scale * 2, scale * 2);
  return 0;
}

int IsForeground(lua_State* L) {
  lua_pushboolean(L, IsAppWindowForeground());
  return 1;
}

int OpenURL(lua_State* L) {
  OpenWithShell(TextArg(L, 1));
  return 0;
}

}  // namespace GCore::Api
