// The project manager's stages: made, stepped, drawn and dropped with the
// projects, and the input state's objects dropped before the states close.
#include <utility>

#include "core/GameIF.h"
#include "core/LuaManager.h"
#include "core/ScriptVM.h"
#include "display/Entity.h"
#include "display/ProjectStages.h"
#include "display/Stage.h"
#include "display/TextQuad.h"
#include "render/Renderer.h"

namespace GCore {

LuaManager::~LuaManager() { CloseAll(); }

void LuaManager::RenderStages() {
  for (int i = 1; i <= ProjectCount(); ++i) {
    current_ = i;
    if (Stage* stage = GetProject(i)->stage) stage->Draw();
  }
  current_ = 1;
}

namespace {

void OpenStage(LuaManager& projects, int n) {
  lua_State* L = projects.GetProject(n)->state;
  // Every project has a stage, and a container for cached UI instances.
  // Making them may run finalisers of scripts, so the record is looked up
  // again afterwards.
  Stage* stage = NewDisplayObject<Stage>(L);
  stage->Retain();
  Entity* uiCache = NewDisplayObject<Entity>(L);
  uiCache->Retain();
  projects.GetProject(n)->stage = stage;
  projects.GetProject(n)->uiCache = uiCache;
  g_drawScene = DrawScene;
  g_fitStages = FitStages;
}

// Stage updates push names outside their handlers' protected calls, where
// the collector may run a failing finaliser.
void UpdateStage(Stage* stage) {
  if (stage && g_game && g_game->lastStep >= 1) {
    RunProtected(stage->state, [stage](lua_State*) { stage->Update(); });
  }
}

void CloseStage(LuaProj& project) {
  Drop(std::exchange(project.stage, nullptr));
  Drop(std::exchange(project.uiCache, nullptr));
}

void ReleaseInput(LuaManager& projects) {
  projects.hovered.clear();
  projects.hits.clear();
  projects.newcomers.clear();
  projects.focus.Reset();
  projects.pressed.Reset();
  projects.editing.Reset();
  projects.inputFocus.Reset();
}

}  // namespace

void NameProjectStages() {
  ProjectStages stages;
  stages.open = OpenStage;
  stages.update = UpdateStage;
  stages.close = CloseStage;
  stages.release = ReleaseInput;
  SetProjectStages(stages);
}

}  // namespace GCore
