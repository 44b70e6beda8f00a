#pragma once
// The project manager: an ordered list of script projects, each with its own
// Lua state, per-frame callback and language tables, and the index of the
// current one (1-based). Whoever calls into a project's scripts makes it
// current first; loops over all projects leave project 1 current.
//
// Each project also has a stage, and the manager holds the input state over
// the stages (hover, press, focus, the edited text). That side is the
// display list's: it makes, steps and drops the stages through the
// ProjectStages it names below, and implements the members that draw the
// stages, send them input and hold its objects (display/LuaManager_*.cpp).
// Main thread only.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <lua.hpp>

#include "core/LangManager.h"
#include "core/Object.h"

namespace GCore {

class DisplayObject;
class Entity;
class Stage;
class TextQuad;
using HitList = std::vector<Retained<DisplayObject>>;

struct LuaProj {
  lua_State* state = nullptr;
  int mainLoop = -1;  // registry reference of the per-frame callback
  std::unique_ptr<LangManager> texts;
  std::string name;
  Stage* stage = nullptr;     // the project's root display object, held
  Entity* uiCache = nullptr;  // container of cached UI instances, held
};

class LuaManager {
 public:
  LuaManager() = default;
  LuaManager(const LuaManager&) = delete;
  LuaManager& operator=(const LuaManager&) = delete;
  // Closes every project (display/LuaManager_stages.cpp: it drops the
  // objects of the input state).
  ~LuaManager();
  bool Initialise() { return true; }
  void CloseAll();
  void Update(uint32_t gameTime);
  // Draws every project's stage, each with its project current.
  void RenderStages();

  // Loads a project: new state, "gameinit", and "modstart" for every project
  // after the first. Returns its 1-based index, or 0 when refused: projects
  // loading projects nest too deeply, or the projects are closing.
  int LoadProj(const char* name);
  // Calls the project's close callback (with -1) and closes its state.
  void CloseProject(int index);
  // Makes current the project owning the state; its index, or -1 when none.
  int SelectProjectByState(lua_State* L);
  // Calls a global function of another project with one text argument.
  int RSCall(int projectIndex, const char* functionName, const char* argument);
  // Makes the value on top of the stack (popped) the per-frame callback of
  // the project that owns L, releasing the one it replaces; nil clears it.
  void SetMainloop(lua_State* L);

  // Input: the hover state under the pointer and the key events to every
  // project's top entities.
  void HitTest();
  void OnKeyDown(uint8_t key, bool repeat);
  void OnKeyUp(uint8_t key, bool repeat);
  // Makes the object's project current for the event, then project 1 again.
  void SendEvent(DisplayObject* target, const char* name, const char* arg = nullptr);

  // When set, every hit test yields this object alone.
  Retained<DisplayObject> focus;
  // Objects under the pointer after the last hit test, topmost last.
  HitList hovered;
  HitList hits;
  HitList newcomers;
  // The object that received the last press (kept until the next press).
  Retained<DisplayObject> pressed;
  uint32_t pressTime = 0;
  // The text being edited: it takes typed text and editing keys until the
  // next press.
  Retained<TextQuad> editing;
  // The game object's input-focus text object: the text a click last released
  // on, or that a script named (StartInput); SetInputText replaces its text.
  Retained<TextQuad> inputFocus;

  // Starts editing the text (null: none), with the caret at the character
  // under the last press; the text edited before loses its caret.
  void StartEditing(TextQuad* text);
  // Typed text and editing keys go to the edited text while it and its
  // ancestors are visible; otherwise they are dropped.
  void OnTextInput(const char* text);

  int ProjectCount() const { return static_cast<int>(projects_.size()); }
  // 1-based; null when out of range.
  LuaProj* GetProject(int index);
  LuaProj* CurrentProject() { return GetProject(current_); }
  int CurrentIndex() const { return current_; }
  void SetCurrent(int index) { current_ = index; }

 private:
  void SendKeyEvent(const char* name, uint8_t key, bool repeat);

  std::vector<LuaProj> projects_;
  int current_ = -1;
  int loadDepth_ = 0;  // LoadProj calls running their first scripts
  bool closing_ = false;  // CloseAll is running the close callbacks
};

// The current project's record through the game object, or null.
LuaProj* CurrentLuaProj();

// The projects' stages come from the display list, which names these when
// the game is loaded (display/ProjectStages.h); without them a project has
// no stage. Each runs with the project current.
struct ProjectStages {
  // Makes the project's stage and UI cache; scripts may run meanwhile, so
  // the record is reached by index.
  void (*open)(LuaManager& projects, int index) = nullptr;
  // Steps the project's stage (null when it has none).
  void (*update)(Stage* stage) = nullptr;
  // Drops the project's stage and UI cache.
  void (*close)(LuaProj& project) = nullptr;
  // Drops the objects the input state holds, before the states close.
  void (*release)(LuaManager& projects) = nullptr;
};
void SetProjectStages(const ProjectStages& stages);

}  // namespace GCore
