#pragma once
// The single game object, as every layer sees it: the root and write
// folders, the game speed and time and the mouse state, and the project
// manager. The game folder makes it (game/GameIF.h), owns the managers
// through it and runs its start-up, frame and shutdown sequences. One global
// pointer reaches it; a script restart replaces it by a new one without
// leaving the message loop. Main thread only.
#include <cstdint>
#include <string>

namespace GCore {

class LuaManager;

struct Point {
  float x = 0;
  float y = 0;
};

// The game object as the layers below the game see it: the folders, the
// time, the mouse state, the project manager, and the start-up, frame and
// shutdown sequences that the game folder implements (game/GameIF.h). Its
// type record is made here, with the destructor, for the sanitizers' type
// checks of every layer that reaches the game object.
class GameBase {
 public:
  GameBase() = default;
  GameBase(const GameBase&) = delete;
  GameBase& operator=(const GameBase&) = delete;
  virtual ~GameBase();

  virtual bool PreInit() = 0;
  virtual bool Init() = 0;
  virtual void Shutdown() = 0;
  virtual void Update(uint32_t elapsedMs) = 0;
  virtual void Render() = 0;
  virtual void Resize(int width, int height) = 0;
  // Asked by SetMouseState before it applies a button change.
  virtual bool AcceptsInput() const { return true; }
  virtual void Quit() = 0;
  virtual int MessageBox(const char* title, const char* text) = 0;

  virtual LuaManager* GetLuaManager() const = 0;

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
};

// The game object every caller reaches. The program's game object is owned
// by StartGame's holder (game/GameIF.h); tests may point g_game at one of
// their own.
extern GameBase* g_game;

}  // namespace GCore
