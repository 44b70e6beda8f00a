// "gcore.c": HttpGet, the one asynchronous HTTP request scripts may start.
#include <string>
#include <utility>

#include "core/LuaManager.h"
#include "core/ScriptVM.h"
#include "game/GCoreApi.h"
#include "game/GameIF.h"
#include "game/HttpFetch.h"
#include "net/Downloader.h"

namespace GCore::Api {
namespace {

// The pending request: the registry reference of its callback (0 when none),
// the project that started it and its URL.
struct HttpRequest {
  int callback = 0;
  int project = 0;
  std::string url;
};
HttpRequest g_request;

LuaManager* Projects() { return g_game ? g_game->GetLuaManager() : nullptr; }

}  // namespace

int HttpGet(lua_State* L) {
  if (g_request.callback != 0) return 0;
  const char* url = TextArg(L, 1);
  if (!url) return 0;
  int callbackIndex;
  bool started;
  if (lua_isfunction(L, 2)) {
    callbackIndex = 2;
    started = HttpGetToMemory(url);
  } else {
    const char* path = TextArg(L, 2);
    if (!path) return 0;
    // A path without a callback starts nothing, yet answers true.
    if (!lua_isfunction(L, 3)) {
      lua_pushboolean(L, 1);
      return 1;
    }
    callbackIndex = 3;
    started = HttpGetToFile(url, path);
  }
  // Kept only for a request that runs: a refused one leaves no callback
  // behind to block the next.
  if (!started) return 0;
  const std::string urlText = url;
  lua_pushvalue(L, callbackIndex);
  const int callback = luaL_ref(L, LUA_REGISTRYINDEX);
  g_request = HttpRequest{callback, Projects() ? Projects()->CurrentIndex() : 0, urlText};
  lua_pushboolean(L, 1);
  return 1;
}

void OnHttpGetDone(int, int, void*, int state) {
  if (state != kDownloaderFailed && state != kDownloaderDone) return;
  // Cleared before the call: whatever the callback does, the slot is free.
  const HttpRequest request = std::exchange(g_request, HttpRequest{});
  LuaManager* projects = Projects();
  if (request.callback == 0 || !projects) return;
  const int index = request.project > 0 ? request.project : projects->CurrentIndex();
  LuaProj* project = projects->GetProject(index);
  if (!project || !project->state) return;
  lua_State* L = project->state;
  const int previous = projects->CurrentIndex();
  projects->SetCurrent(index);
  const bool done = state == kDownloaderDone;
  RunProtected(L, [&](lua_State* S) {
    lua_rawgeti(S, LUA_REGISTRYINDEX, request.callback);
    if (!lua_isfunction(S, -1)) return;
    if (done) {
      lua_pushlstring(S, Game()->fetchedText.data(), Game()->fetchedText.size());
      lua_pushlstring(S, Game()->fetchedExtraText.data(), Game()->fetchedExtraText.size());
    } else {
      lua_pushnil(S);
      lua_pushnil(S);
    }
    lua_pushlstring(S, request.url.data(), request.url.size());
    ProtectedCall(S, 3);
  });
  luaL_unref(L, LUA_REGISTRYINDEX, request.callback);
  projects->SetCurrent(previous);
}

void ForgetHttpRequest() { g_request = HttpRequest{}; }

}  // namespace GCore::Api
