#pragma once
// The single game object: it owns the managers, keeps the root and write
// folders, the game speed and time and the mouse state, and runs the
// start-up, frame and shutdown sequences. One global pointer reaches it; a
// script restart replaces it by a new one without leaving the message loop.
// Main thread only.
#include <cstdint>
#include <memory>
#include <string>

class ScriptVM;

namespace GCore {

class AudioManager;
class Downloader;
class LuaManager;
class Renderer;
class ResourceManager;
class TTFManager;

struct Point {
  float x = 0;
  float y = 0;
};

class GameIF {
 public:
  // Root folder from the executable's path (its folder with two levels cut off).
  explicit GameIF(const char* projectName);
  GameIF(const char* projectName, std::string rootFolder);
  GameIF(const GameIF&) = delete;
  GameIF& operator=(const GameIF&) = delete;
  virtual ~GameIF();

  virtual bool PreInit();
  virtual bool Init();
  virtual void Shutdown();
  virtual void Update(uint32_t elapsedMs);
  virtual void Render();
  virtual void Resize(int width, int height);
  // Asked by SetMouseState before it applies a button change.
  virtual bool AcceptsInput() const { return true; }
  virtual void Quit();
  virtual int MessageBox(const char* title, const char* text);
  // Replaces the text of the input-focus text object (the project
  // manager's), when there is one.
  void SetInputText(const char* text);

  ScriptVM* GetScriptVM() const { return scriptVM_.get(); }
  ScriptVM* CreateScriptVM();
  LuaManager* GetLuaManager() const { return luaManager_.get(); }
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

  // Repository mode: resources come from the git repository at repositoryPath
  // and the root folder is empty, so resource paths begin with "/".
  bool IsRepositoryMode() const { return rootFolder.empty() && !repositoryPath.empty(); }

  int32_t timeScale = 1000;  // thousandths; -n is a one-shot step of n ms
  std::string rootFolder;
  std::string repositoryPath;
  std::string writeFolder;
  std::string projectName;
  Point mousePosition;
  Point mouseMovement;
  Point dragMovement;
  Point pressPosition;
  int32_t leftButtonState = 1;  // 0 while pressed
  int32_t rightButtonState = 1;
  uint32_t gameTime = 0;
  uint32_t lastStep = 0;

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

// The game object every caller reaches. The program's game object is owned
// by StartGame's holder; tests may point g_game at one of their own.
extern GameIF* g_game;

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
