// The project manager's side of input: which objects the pointer is over, and
// the key events every project's top entities receive.
#include <algorithm>
#include <utility>

#include "core/GameIF.h"
#include "core/LuaManager.h"
#include "core/ScriptVM.h"
#include "display/DisplayObjectContainer.h"
#include "display/Entity.h"
#include "display/Stage.h"
#include "display/TextQuad.h"

namespace GCore {
void LuaManager::SendEvent(DisplayObject* target, const char* name, const char* arg) {
  if (!target) return;
  SelectProjectByState(target->state);
  // Dispatch pushes names outside its handlers' protected calls, where the
  // collector may run a failing finaliser.
  RunProtected(target->state, [&](lua_State*) { DispatchEvent(target, name, arg); });
  current_ = 1;
}

void LuaManager::HitTest() {
  hits.clear();
  if (focus) {
    hits.push_back(focus);
  } else if (g_game) {
    for (int i = ProjectCount(); i >= 1; --i) {
      Stage* stage = GetProject(i)->stage;
      if (!stage) continue;
      stage->HitTest(g_game->mousePosition, hits);
      if (!hits.empty()) break;
    }
  }

  newcomers.clear();
  for (const Retained<DisplayObject>& object : hits) {
    auto left = std::find_if(hovered.begin(), hovered.end(),
                             [&](const auto& held) { return held.Get() == object.Get(); });
    if (left != hovered.end()) {
      hovered.erase(left);
    } else {
      newcomers.push_back(object);
    }
  }
  // What remains of the old list is what the pointer left. The new list is
  // in place before any handler runs: one that hit-tests again (IsHovered)
  // then finds nothing changed instead of every object entering anew.
  const HitList leaving = std::exchange(hovered, hits);
  const HitList entering = newcomers;
  for (auto it = leaving.rbegin(); it != leaving.rend(); ++it) SendEvent(it->Get(), "rollOut");
  for (const Retained<DisplayObject>& object : entering) {
    SendEvent(object.Get(), "rollOver");
    SendEvent(object.Get(), "mouseOver");
  }
  if (!hovered.empty()) SendEvent(HitList(hovered).back().Get(), "mouseMove");
}

namespace {

// The key byte, then 0x01 for a repeat, as a text.
std::string KeyArgument(uint8_t key, bool repeat) {
  std::string text(1, static_cast<char>(key));
  if (repeat) text.push_back('\x01');
  return text;
}

}  // namespace

namespace {

// The object and every ancestor are visible.
bool ShownWithAncestors(const DisplayObject* object) {
  for (; object; object = object->parent) {
    if (!object->visible) return false;
  }
  return true;
}

}  // namespace

void LuaManager::StartEditing(TextQuad* text) {
  if (editing) editing->selectFrom = editing->selectTo = -1;
  editing.Reset(text);
  if (!text || !g_game) return;
  text->UpdateWorldTransform();
  const Matrix& world = *text->worldMatrix.Get();
  text->selectFrom = text->selectTo =
      text->GetCharIndexAt(g_game->pressPosition.x - world.tx, g_game->pressPosition.y - world.ty);
}

void LuaManager::OnTextInput(const char* text) {
  // Held: inserting runs scripts ("DB_EVAL"), which may drop the edit object.
  const Retained<TextQuad> target = editing;
  if (target && ShownWithAncestors(target.Get())) target->InsertText(text);
}

void LuaManager::OnKeyDown(uint8_t key, bool repeat) {
  const Retained<TextQuad> target = editing;
  if (target && ShownWithAncestors(target.Get())) target->HandleEditKey(key);
  SendKeyEvent("keyDown", key, repeat);
}

void LuaManager::OnKeyUp(uint8_t key, bool repeat) { SendKeyEvent("keyUp", key, repeat); }

void LuaManager::SendKeyEvent(const char* name, uint8_t key, bool repeat) {
  const std::string arg = KeyArgument(key, repeat);
  for (int i = 1; i <= ProjectCount(); ++i) {
    for (int32_t child = 0;; ++child) {
      // Handlers may change the stage: its count is read again each time.
      Stage* stage = GetProject(i)->stage;
      if (!stage || child >= stage->NumChildren()) break;
      DisplayObject* object = stage->ChildAt(child);
      if (CastToClass(&Entity::classInfo, object)) SendEvent(object, name, arg.c_str());
    }
  }
  current_ = 1;
}

}  // namespace GCore
