#include "core/MissingFiles.h"

#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "base/Log.h"
#include "core/FileStream.h"
#include "core/GameIF.h"
#include "core/LuaManager.h"
#include "core/ResourcePath.h"

namespace GCore {
namespace {

std::string Joined(const std::vector<std::string>& paths, const char* separator) {
  std::string text;
  for (const std::string& path : paths) text += (text.empty() ? "" : separator) + path;
  return text;
}

// A script asking for a missing sound every frame says so once. A script
// that asks for endless different ids may have them said again: the memory
// of what was said is bounded.
constexpr size_t kReportsRemembered = 4096;

bool FirstReport(const char* kind, uint32_t id, int project) {
  static std::set<std::tuple<std::string, std::string, uint32_t, int>> reported;
  if (reported.size() >= kReportsRemembered) reported.clear();
  const std::string root = g_game ? g_game->rootFolder + '\n' + g_game->repositoryPath : std::string();
  return reported.emplace(root, kind, id, project).second;
}

}  // namespace

std::string TriedResourceFiles(uint32_t id, int project) {
  return Joined(ResourceFileCandidates(id, project), ", ");
}

const char* FindResourceFile(const char* kind, uint32_t id, int project) {
  if (const char* path = GetPath(id, project)) return path;
  const int index = project != 0 ? project : CurrentProjectIndex();
  if (!FirstReport(kind, id, index)) return nullptr;
  const std::string tried = TriedResourceFiles(id, project);
  if (tried.empty()) {
    LogPrintf("%s 0x%08x of project %d: the id names no file (its kind, the top digit, is 0)\n", kind, id, index);
  } else {
    LogPrintf("%s 0x%08x of project %d not found (no file %s)\n", kind, id, index, tried.c_str());
  }
  return nullptr;
}

void ReportNoStartScript(const char* script) {
  LuaManager* projects = g_game ? g_game->GetLuaManager() : nullptr;
  LuaProj* first = projects ? projects->GetProject(1) : nullptr;
  if (!g_game || !first) return;
  // A root that could not be opened at all has been reported by the restart.
  if (g_game->rootFolder.empty() && !OpenGitResources()) return;
  const std::vector<std::string> tried = ScriptPathCandidates(script);
  for (const std::string& path : tried) {
    if (IsFileExist(path.c_str())) {
      LogProblem("nothing to start: %s cannot be read\n", path.c_str());
      return;
    }
  }
  const std::string folder = g_game->rootFolder + "/" + first->name;
  if (!g_game->IsRepositoryMode() && !IsFileExist(folder.c_str())) {
    LogProblem("nothing to start: the game root %s has no folder %s/ (looked for %s)\n", g_game->rootFolder.c_str(),
               first->name.c_str(), tried.front().c_str());
    return;
  }
  LogProblem("nothing to start: no script %s (looked for %s)\n", script, Joined(tried, " and ").c_str());
}

}  // namespace GCore
