// The libraries and modules of every project state, which come from every
// subsystem: the standard library list, the searcher among the project's
// scripts and the preloaded modules in their order.
#include "game/ProjectModules.h"

#include "core/MapModule.h"
#include "core/ScriptVM.h"
#include "game/GCoreApi.h"
#include "modules/DataModules.h"
#include "modules/StdLibs.h"
#include "modules/ToolModules.h"
#include "net/GitModule.h"
#include "net/GitWorker.h"
#include "net/WebSocketModule.h"
#include "net/WebViewModule.h"
#include "net/ZipModule.h"

extern "C" {
int luaopen_socket_core(lua_State* L);
int luaopen_cjson(lua_State* L);
int luaopen_lfs(lua_State* L);
}

namespace GCore {

namespace {

int OpenNothing(lua_State*) { return 0; }

// One git worker per process: only the first project gets "git.c".
void OpenFirstProjectModules(lua_State* L) { luaL_requiref(L, "git.c", luaopen_git_c, 0); }

}  // namespace

void OpenEngineModules(lua_State* L) {
  luaL_openlibs(L);
  AddModuleSearcher(L);

  // Preloaded into the loaded-modules table in this order; modules whose
  // subsystem is not built yet join at their place in the list.
  struct Preload {
    const char* name;
    lua_CFunction opener;
  };
  static const Preload kPreloads[] = {
      {"sproto.core", luaopen_sproto_core},
      {"crypt.c", luaopen_crypt_c},
      {"profiler.c", luaopen_profiler_c},
      {"lfs.c", luaopen_lfs},
      {"gcore.c", luaopen_gcore_c},
      {"fuzzy.c", OpenNothing},
      {"map.c", luaopen_map_c},
      {"webview.c", luaopen_webview_c},
      {"zip.c", luaopen_zip_c},
      {"socket.core", luaopen_socket_core},
      {"websocket.c", luaopen_websocket_c},
      {"cjson.c", luaopen_cjson},
      {"snapshot.c", luaopen_snapshot_c},
  };
  for (const Preload& preload : kPreloads) luaL_requiref(L, preload.name, preload.opener, 0);
}

void NameEngineModules() {
  ProjectModules modules;
  modules.open = OpenEngineModules;
  modules.openFirst = OpenFirstProjectModules;
  modules.stop = StopGitWorker;
  SetProjectModules(modules);
}

}  // namespace GCore
