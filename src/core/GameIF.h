#pragma once
// The single game object: it owns the managers, keeps the root and write
// folders and the game time, and runs the start-up, frame and shutdown
// sequences. One global pointer reaches it. Main thread only.
#include <cstdint>
#include <memory>
#include <string>

class ScriptVM;

namespace GCore {

class LuaManager;

class GameIF {
 public:
  // Root folder from the executable's path (its folder with two levels cut off).
  explicit GameIF(const char* projectName);
  GameIF(const char* projectName, std::string rootFolder);
  GameIF(const GameIF&) = delete;
  GameIF& operator=(const GameIF&) = delete;
  virtual ~GameIF();

  // Repository mode: resources come from the git repository at repositoryPath
  // and the root folder is empty, so resource paths begin with "/".
  bool IsRepositoryMode() const { return rootFolder.empty() && !repositoryPath.empty(); }

  LuaManager* GetLuaManager() const { return luaManager_.get(); }
  ScriptVM* GetScriptVM() const { return scriptVM_.get(); }
  ScriptVM* CreateScriptVM();
  LuaManager* CreateLuaManager();

  std::string rootFolder;
  std::string repositoryPath;
  std::string writeFolder;
  std::string projectName;
  uint32_t gameTime = 0;
  uint32_t lastStep = 0;

 protected:
  std::unique_ptr<ScriptVM> scriptVM_;
  std::unique_ptr<LuaManager> luaManager_;
};

extern GameIF* g_game;

// The executable's folder with two further levels cut off.
std::string RootFolderFromExecutable();

}  // namespace GCore
