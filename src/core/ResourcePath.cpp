#include "core/ResourcePath.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "base/Log.h"
#include "core/FileStream.h"
#include "core/GameIF.h"
#include "core/LuaManager.h"
#include "core/ScriptVM.h"

namespace GCore {
namespace {

constexpr uint32_t kThumbnailDirectory = 0x0F000000;
const char* const kSharedProject = "res/common";

std::string g_pathBuffer;

// g_dir / g_ext entry of the project's state, read raw so that scripts'
// metamethods cannot raise here; false when absent or not a text. Paths are
// asked for outside protected calls too (textures load while drawing), and
// pushing the table's name may step the collector into a failing finaliser.
bool LookupTable(lua_State* L, const char* table, uint32_t key, std::string& out) {
  if (!L) return false;
  bool found = false;
  RunProtected(L, [&](lua_State* S) {
    PushRawGlobal(S, table);
    if (!lua_istable(S, -1)) return;
    lua_rawgeti(S, -1, static_cast<lua_Integer>(key));
    if (lua_type(S, -1) != LUA_TSTRING) return;
    out = lua_tostring(S, -1);
    found = true;
  });
  return found;
}

const char* Store(std::string path) {
  g_pathBuffer = std::move(path);
  return g_pathBuffer.c_str();
}

const std::string& RootFolder() {
  static const std::string kNone;
  return g_game ? g_game->rootFolder : kNone;
}

}  // namespace

int CurrentProjectIndex() {
  LuaManager* manager = g_game ? g_game->GetLuaManager() : nullptr;
  const int index = manager ? manager->CurrentIndex() : 1;
  return index > 0 ? index : 1;
}

uint32_t luaDirID(const char* name) {
  if (!name[0] || name[1] != '_') return 0;
  switch (name[0]) {
    case 'a': return 0x1050000;
    case 'c': return 0x1030000;
    case 'n': return 0x1060000;
    case 'o': return 0x1010000;
    case 'p': return 0x1040000;
    case 'v': return 0x1020000;
    default: return 0;
  }
}

bool IsFileExist(const char* path) {
  if (!path) return false;
  if (g_game && g_game->IsRepositoryMode()) {
    FileStream stream;
    return stream.Open(path, kStreamRead);
  }
  struct stat info;
  return stat(path, &info) == 0;
}

namespace {

LuaProj* ProjectOf(int projectIndex) {
  LuaManager* manager = g_game ? g_game->GetLuaManager() : nullptr;
  if (!manager) return nullptr;
  return projectIndex == 0 ? manager->CurrentProject() : manager->GetProject(projectIndex);
}

// The files a resource id of a kind above 0 may name, project folder first.
std::vector<std::string> FileCandidates(uint32_t id, const LuaProj& project, const std::string& dirFound,
                                        bool hasDir) {
  std::string dir = dirFound;
  std::string ext;
  LookupTable(project.state, "g_ext", id & 0xF0000000, ext);
  if (!hasDir && !LookupTable(project.state, "g_dir", id & 0x0FF00000, dir)) dir = ".";
  char text[32];
  if ((id & 0xF0000000) == 0x80000000) {
    std::snprintf(text, sizeof(text), "%03x/%x", (id >> 4) & 0xFFF, id & 0xF);
  } else {
    std::snprintf(text, sizeof(text), "%04x", id & 0xFFFF);
  }
  std::vector<std::string> paths;
  for (const std::string& folder : {project.name, std::string(kSharedProject)}) {
    paths.push_back(RootFolder() + "/" + folder + "/" + dir + "/" + text + ext);
  }
  return paths;
}

}  // namespace

const char* GetPath(uint32_t id, int projectIndex) {
  LuaProj* project = ProjectOf(projectIndex);
  if (!project) return nullptr;
  const std::string& root = RootFolder();
  const std::string& name = project->name;

  if ((id & 0x0FFF0000) == kThumbnailDirectory) {
    char text[32];
    std::snprintf(text, sizeof(text), "%x", id);
    return Store(root + "/" + name + "/thumbnail/" + text + ".png");
  }
  std::string dir;
  const bool hasDir = LookupTable(project->state, "g_dir", id & 0x0FFF0000, dir);
  if ((id & 0xF0000000) == 0) {
    if (!hasDir) {
      LogPrintf("no g_dir entry for the folder id 0x%x\n", id);
      return nullptr;
    }
    return Store(root + "/" + name + "/" + dir + "/");
  }
  for (std::string& path : FileCandidates(id, *project, dir, hasDir)) {
    if (IsFileExist(path.c_str())) return Store(std::move(path));
  }
  return nullptr;
}

std::vector<std::string> ResourceFileCandidates(uint32_t id, int projectIndex) {
  LuaProj* project = ProjectOf(projectIndex);
  if (!project || (id & 0xF0000000) == 0 || (id & 0x0FFF0000) == kThumbnailDirectory) return {};
  std::string dir;
  const bool hasDir = LookupTable(project->state, "g_dir", id & 0x0FFF0000, dir);
  return FileCandidates(id, *project, dir, hasDir);
}

std::vector<std::string> ScriptPathCandidates(const char* name, const char* ext) {
  if (!ext) ext = ".lua";
  LuaProj* project = CurrentLuaProj();
  std::string dir = "script";
  if (name[0] && name[1] == '_' && project) {
    if (!LookupTable(project->state, "g_dir", luaDirID(name), dir)) dir = "script";
  }
  std::string converted(name);
  for (char& c : converted) {
    if (c == '.') c = '/';
  }
  const std::string& root = RootFolder();
  std::vector<std::string> paths;
  for (const std::string& folder : {project ? project->name : std::string(), std::string(kSharedProject)}) {
    paths.push_back(root + "/" + folder + "/" + dir + "/" + converted + ext);
  }
  return paths;
}

const char* GetScriptPath(const char* name, const char* ext) {
  std::vector<std::string> paths = ScriptPathCandidates(name, ext);
  for (std::string& path : paths) {
    if (IsFileExist(path.c_str())) return Store(std::move(path));
  }
  return Store(std::move(paths.back()));
}

}  // namespace GCore
