#include "core/LuaManager.h"

#include <utility>

#include "base/Log.h"
#include "core/GameIF.h"
#include "core/ScriptVM.h"

namespace GCore {

LuaProj* CurrentLuaProj() {
  if (!g_game || !g_game->GetLuaManager()) return nullptr;
  return g_game->GetLuaManager()->CurrentProject();
}

namespace {

ProjectStages& Stages() {
  static ProjectStages stages;
  return stages;
}

}  // namespace

void SetProjectStages(const ProjectStages& stages) { Stages() = stages; }

LuaProj* LuaManager::GetProject(int index) {
  if (index < 1 || index > ProjectCount()) return nullptr;
  return &projects_[static_cast<size_t>(index - 1)];
}

namespace {

// Projects load further projects from their first scripts; a chain that
// never ends would otherwise run the C stack out.
constexpr int kMaxLoadDepth = 16;

}  // namespace

int LuaManager::LoadProj(const char* name) {
  if (loadDepth_ >= kMaxLoadDepth) {
    LogPrintf("projects nested too deeply (%d levels): %s not loaded\n", kMaxLoadDepth, name);
    return 0;
  }
  // A project loaded by a close callback would close at once, and its own
  // close callback could load the next one for ever.
  if (closing_) {
    LogPrintf("projects are closing: %s not loaded\n", name);
    return 0;
  }
  // Scripts may load further projects while this one starts, so the record
  // is reached by index: the array can grow under us.
  projects_.emplace_back();
  const int n = ProjectCount();
  lua_State* L = NewProjectState();
  if (L) {
    // Only the first project gets the modules of which one serves the process.
    void (*openFirst)(lua_State*) = GetProjectModules().openFirst;
    if (n == 1 && openFirst) RunProtected(L, openFirst);
    lua_pushstring(L, "proj");
    lua_pushnumber(L, static_cast<lua_Number>(n));
    lua_rawset(L, LUA_REGISTRYINDEX);
    lua_settop(L, 0);
  }
  LuaProj& record = *GetProject(n);
  record.state = L;
  record.mainLoop = -1;
  record.name = name;
  record.texts = std::make_unique<LangManager>();
  record.texts->Initialise();
  current_ = n;
  if (!L) {
    current_ = 1;
    return n;
  }
  if (Stages().open) Stages().open(*this, n);
  const int top = lua_gettop(L);
  ++loadDepth_;
  DoScript(L, "gameinit");
  if (current_ != 1) DoScript(L, "modstart");
  --loadDepth_;
  current_ = 1;
  lua_settop(L, top);
  return n;
}

void LuaManager::Update(uint32_t gameTime) {
  for (int i = 1; i <= ProjectCount(); ++i) {
    current_ = i;
    // Stage updates run scripts that may load projects and so move the
    // records: the record is looked up again after them.
    if (Stages().update) Stages().update(GetProject(i)->stage);
    const LuaProj& project = *GetProject(i);
    if (project.mainLoop > 0 && project.state) {
      lua_State* L = project.state;
      const int top = lua_gettop(L);
      lua_rawgeti(L, LUA_REGISTRYINDEX, project.mainLoop);
      lua_pushnumber(L, static_cast<lua_Number>(gameTime));
      ProtectedCall(L, 1);
      lua_settop(L, top);
    }
  }
  current_ = 1;
}

void LuaManager::CloseProject(int index) {
  // The close callback runs scripts: the record is looked up again after it.
  // (LoadProj refuses while the projects close, so nothing later moves it.)
  LuaProj* project = GetProject(index);
  if (!project) return;
  if (project->mainLoop > 0 && project->state) {
    lua_State* L = project->state;
    const int top = lua_gettop(L);
    lua_rawgeti(L, LUA_REGISTRYINDEX, project->mainLoop);
    lua_pushnumber(L, -1.0);
    ProtectedCall(L, 1);
    lua_settop(L, top);
    // The callback may have replaced itself (SetMainloop frees the old one).
    project = GetProject(index);
    if (project->mainLoop > 0) luaL_unref(L, LUA_REGISTRYINDEX, project->mainLoop);
  }
  project->mainLoop = -1;
  if (Stages().close) Stages().close(*project);
  if (project->state) lua_close(project->state);
  project->state = nullptr;
  if (project->texts) project->texts->Clear();
  project->texts.reset();
}

void LuaManager::CloseAll() {
  // Held objects go before the states that own them close.
  if (Stages().release) Stages().release(*this);
  if (GetProjectModules().stop) GetProjectModules().stop();
  closing_ = true;
  for (int i = 1; i <= ProjectCount(); ++i) {
    current_ = i;
    CloseProject(i);
  }
  closing_ = false;
  projects_.clear();
  current_ = -1;
}

int LuaManager::SelectProjectByState(lua_State* L) {
  for (int i = 1; i <= ProjectCount(); ++i) {
    if (GetProject(i)->state == L) {
      current_ = i;
      return i;
    }
  }
  return -1;
}

int LuaManager::RSCall(int projectIndex, const char* functionName, const char* argument) {
  LuaProj* project = GetProject(projectIndex);
  if (!project || !project->state) return 0;
  RunProtected(project->state, [&](lua_State* L) {
    PushRawGlobal(L, functionName);
    if (argument) {
      lua_pushstring(L, argument);
    } else {
      lua_pushnil(L);
    }
    ProtectedCall(L, 1);
  });
  return 0;
}

void LuaManager::SetMainloop(lua_State* L) {
  // The reference lives in L's registry, so it belongs to L's project even
  // when another project is current (a function reached through RSCall).
  LuaProj* project = nullptr;
  const lua_State* main = MainState(L);
  for (int i = 1; i <= ProjectCount() && !project; ++i) {
    if (GetProject(i)->state == main) project = GetProject(i);
  }
  if (!project) {
    lua_pop(L, 1);
    return;
  }
  if (project->mainLoop > 0) luaL_unref(L, LUA_REGISTRYINDEX, project->mainLoop);
  // luaL_ref pops a nil and answers LUA_REFNIL, below 1: no callback.
  project->mainLoop = luaL_ref(L, LUA_REGISTRYINDEX);
  if (project->mainLoop < 1) project->mainLoop = -1;
}

}  // namespace GCore
