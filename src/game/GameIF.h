#pragma once
// The game object the game folder makes: it owns the managers and runs the
// start-up, frame and shutdown sequences; the layers below see it as the
// GameBase of core/GameIF.h. Main thread only.
#include <cstdint>
#include <memory>
#include <string>

#include "core/GameIF.h"

class ScriptVM;

namespace GCore {

class AudioManager;
class Downloader;
class Renderer;
class ResourceManager;
class TTFManager;

class GameIF : public GameBase {
 public:
  // Root folder from the executable's path (its folder with two levels cut off).
  explicit GameIF(const char* projectName);
  GameIF(const char* projectName, std::string rootFolder);
  ~GameIF() override;

  bool PreInit() override;
  bool Init() override;
  void Shutdown() override;
  void Update(uint32_t elapsedMs) override;
  void Render() override;
  void Resize(int width, int height) override;
  void Quit() override;
  int MessageBox(const char* title, const char* text) override;
  // Replaces the text of the input-focus text object (the project
  // manager's), when there is one.
  void SetInputText(const char* text);

  ScriptVM* GetScriptVM() const { return scriptVM_.get(); }
  ScriptVM* CreateScriptVM();
  LuaManager* GetLuaManager() const override { return luaManager_.get(); }
  LuaManager* CreateLuaManager();
  TTFManager* GetFontManager() const { return fontManager_.get(); }
  ResourceManager* GetResourceManager() const { return resourceManager_.get(); }
  ResourceManager* CreateResourceManager();
  Renderer* GetRenderer() const { return renderer_.get(); }
  Renderer* CreateRenderer();
  // Null before PreInit; a manager that failed to start runs silent.
  AudioManager* GetAudioManager() const { return audioManager_.get(); }
  // Replaces the renderer by a new one on the same GL context.
  void RebuildRenderer();

  // The download worker of the script call HttpGet (null when none), what
  // its in-memory download received (the body, and the response header as
  // the extra text), and who hears of its events (game/HttpFetch.h).
  std::unique_ptr<Downloader> downloadHolder;
  std::string downloadUrl;
  std::string fetchedText;
  std::string fetchedExtraText;
  void (*downloadCallback)(int progress, int total, void* context, int state) = nullptr;
  // Set by the event that ends the worker's run: Update releases it after the poll.
  bool downloadFinished = false;

 protected:
  std::unique_ptr<ScriptVM> scriptVM_;
  std::unique_ptr<LuaManager> luaManager_;
  std::unique_ptr<TTFManager> fontManager_;
  std::unique_ptr<ResourceManager> resourceManager_;
  std::unique_ptr<Renderer> renderer_;
  std::unique_ptr<AudioManager> audioManager_;
};

// The application's game object: runs "gamestart" once the window exists.
class AppIF : public GameIF {
 public:
  using GameIF::GameIF;
  bool Init() override;
};

// The game object as the game folder made it: every game object is one.
inline GameIF* Game() { return static_cast<GameIF*>(g_game); }

// Makes `game` the game object: held until EndGame, reached through g_game.
void StartGame(std::unique_ptr<GameIF> game);
// Shuts the held game object down and destroys it; g_game becomes null.
void EndGame();

// 0 running, -1 closing, 1 the game object asked to shut down, 2 a script
// asked for a restart, 100 rebuild the renderer.
enum RunState : int32_t {
  kRunClosing = -1,
  kRunRunning = 0,
  kRunShutdown = 1,
  kRunRestart = 2,
  kRunRebuildRenderer = 100,
};
extern int32_t g_runState;

// Written by the command line and the script call Restart: the project the
// next game object starts (empty: the current one's) and the root it takes.
struct RestartRequest {
  std::string projectName;
  bool hasRoot = false;
  std::string rootFolder;      // folder mode
  std::string repositoryPath;  // repository mode when rootFolder is empty
};
extern RestartRequest g_restart;
extern int32_t g_restartCount;

// The executable's folder with two further levels cut off.
std::string RootFolderFromExecutable();

}  // namespace GCore
