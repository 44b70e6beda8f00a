#include "display/Stage.h"

#include <new>

#include "core/GameIF.h"
#include "core/GameSettings.h"
#include "core/LuaManager.h"
#include "render/Renderer.h"

namespace GCore {

namespace {

constexpr float kFitTolerance = 1e-5f;

float LogicalWidth() { return g_renderer ? g_renderer->logicalWidth : g_settings.designWidth; }
float LogicalHeight() { return g_renderer ? g_renderer->logicalHeight : g_settings.designHeight; }

Entity* AsEntity(DisplayObject* object) {
  return static_cast<Entity*>(CastToClass(&Entity::classInfo, object));
}

void FitSpans(DisplayObject& object, float width, float height) {
  const bool x = DisplayObject::ResizeSpan(object.offsetMinX, object.offsetMaxX, object.pivotX,
                                           width, kFitTolerance);
  const bool y = DisplayObject::ResizeSpan(object.offsetMinY, object.offsetMaxY, object.pivotY,
                                           height, kFitTolerance);
  if (x || y) object.Invalidate(true);
}

}  // namespace

const ClassInfo Stage::classInfo = {"Stage", &Entity::classInfo};

Stage::Stage(lua_State* L) : Entity(L) {
  mouseEnabled = true;
  offsetMinX = offsetMinY = offsetMaxX = offsetMaxY = 0;
  pivotX = pivotY = 0;
  anchorMinX = anchorMinY = 0;
  anchorMaxX = anchorMaxY = 1;
}

void Stage::Release() {
  lua_State* L = state;
  const int32_t pin = ref;
  RefObject* self = this;
  self->~RefObject();
  new (self) RefObject();
  if (pin > 0 && L) luaL_unref(L, LUA_REGISTRYINDEX, pin);
}

float Stage::GetWidth() { return g_settings.sizeMode == 1 ? LogicalWidth() : g_settings.designWidth; }

float Stage::GetHeight() {
  return g_settings.sizeMode == 1 ? LogicalHeight() : g_settings.designHeight;
}

void Stage::Update() {
  if (visible) UpdateKeyTracks();
  // Only entities are updated here, whatever the stage's own visibility.
  for (int32_t i = 0; i < NumChildren(); ++i) {
    Retained<DisplayObject> child = children[static_cast<size_t>(i)];
    if (Entity* entity = AsEntity(child.Get())) {
      if (entity->UpdateIdle()) continue;
      entity->Update();
      entity->CallComponents(entity->state, "update", true, 0, 0);
    }
  }
}

void Stage::AddChild(DisplayObject* child, int32_t childTag) {
  Entity::AddChild(child, childTag);
  Entity* entity = AsEntity(child);
  if (entity && entity->parent == this) FitEntityToStage(*entity);
}

Retained<DisplayObject> Stage::RemoveChildAt(int32_t index) {
  Retained<DisplayObject> removed = Entity::RemoveChildAt(index);
  // An "onRemove" handler may have put it straight back: then it never left.
  Entity* entity = AsEntity(removed.Get());
  if (entity && entity->parent != this) {
    entity->CallComponents(entity->state, "close", true, 0, 0);
  }
  return removed;
}

void Stage::FitEntityToStage(Entity& entity) const {
  if (g_settings.sizeMode == 0) {
    FitSpans(entity, g_settings.designWidth, g_settings.designHeight);
  } else if (g_settings.sizeMode == 1) {
    FitSpans(entity, LogicalWidth(), LogicalHeight());
  }
}

void Stage::FitChildrenToStage() {
  for (int32_t i = 0; i < NumChildren(); ++i) {
    Retained<DisplayObject> child = children[static_cast<size_t>(i)];
    if (!AsEntity(child.Get())) continue;
    child->SetAnchorsPacked(0x32323232);  // every anchor at 0.5
    child->SetX(0);
    child->SetY(0);
    FitSpans(*child.Get(), LogicalWidth(), LogicalHeight());
  }
}

Stage* CurrentStage() {
  const LuaProj* project = CurrentLuaProj();
  return project ? project->stage : nullptr;
}

void DrawScene(DisplayObject* object) {
  if (object) {
    object->Update();
    object->Draw();
  } else if (g_game && g_game->GetLuaManager()) {
    g_game->GetLuaManager()->RenderStages();
  }
}

void FitStages() {
  LuaManager* manager = g_game ? g_game->GetLuaManager() : nullptr;
  for (int i = 1; manager && i <= manager->ProjectCount(); ++i) {
    if (Stage* stage = manager->GetProject(i)->stage) stage->FitChildrenToStage();
  }
}

}  // namespace GCore
