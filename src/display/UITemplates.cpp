// Instances of script classes copied from template objects that scripts put
// into the project's UI cache.
#include "display/UITemplates.h"

#include <string>

#include "core/ClassFactory.h"
#include "core/LuaManager.h"
#include "core/MissingFiles.h"
#include "core/ResourcePath.h"
#include "core/ScriptVM.h"
#include "display/Entity.h"

namespace GCore {

namespace {

// Runs a template's script in the project's state; the stack is restored.
void RunTemplateScript(lua_State* L, const char* name, const char* path) {
  const int top = lua_gettop(L);
  if (path) {
    ScriptVM::DoFile(L, path);
  } else {
    PushRawGlobal(L, "require");
    lua_pushstring(L, name);
    ProtectedCall(L, 1);
  }
  lua_settop(L, top);
}

// A new instance of the template's class holding a copy of the template.
Retained<DisplayObject> Instantiate(lua_State* L, DisplayObject* templateObject, const std::string& key) {
  const auto creator = ClassFactory().find(templateObject->GetClassInfo());
  if (creator == ClassFactory().end()) return {};
  auto* instance = static_cast<DisplayObject*>(CastToClass(&DisplayObject::classInfo, creator->second(L, 0)));
  if (!instance) return {};
  Retained<DisplayObject> held(instance);
  instance->CopyFrom(templateObject);
  if (auto* entity = static_cast<Entity*>(CastToClass(&Entity::classInfo, instance))) entity->SetTemplateName(key);
  return held;
}

// The template that `find` locates in the cache, made by `run` when missing:
// the first child the script adds to the cache. Held, or null. The script
// may load projects, which moves their records: only the state and the
// cache, held here, are used after it.
template <class Find, class Run>
Retained<DisplayObject> FindOrMakeTemplate(const Retained<Entity>& cache, Find find, Run run) {
  if (DisplayObject* found = find(*cache.Get())) return Retained<DisplayObject>(found);
  const int32_t before = cache->NumChildren();
  run();
  return Retained<DisplayObject>(cache->ChildAt(before));
}

}  // namespace

Retained<DisplayObject> CreateByClassName(const char* name, const char* path) {
  LuaProj* project = CurrentLuaProj();
  if (!name || !project || !project->state || !project->uiCache) return {};
  lua_State* L = project->state;
  LangManager* texts = project->texts.get();
  const Retained<Entity> cache(project->uiCache);
  Retained<DisplayObject> made = FindOrMakeTemplate(
      cache, [name](Entity& container) { return container.GetChildByName(name); },
      [&] {
        if (path && texts) {
          texts->UnloadLuaText(name);
          texts->LoadFromLua(name, path);
        }
        RunTemplateScript(L, name, path);
      });
  if (!made) return {};
  made->name = name;
  return Instantiate(L, made.Get(), name);
}

Retained<DisplayObject> CreateById(uint32_t id) {
  LuaProj* project = CurrentLuaProj();
  // Id 0 names no file, and would find every template that has no tag.
  if (id == 0 || !project || !project->state || !project->uiCache) return {};
  lua_State* L = project->state;
  const Retained<Entity> cache(project->uiCache);
  const auto tag = static_cast<int32_t>(id);
  Retained<DisplayObject> made = FindOrMakeTemplate(
      cache, [tag](Entity& container) { return container.GetChildById(tag); },
      [&] {
        // An id without a file has no script to run.
        if (const char* path = FindResourceFile("template", id)) {
          RunTemplateScript(L, nullptr, std::string(path).c_str());
        }
      });
  if (!made) return {};
  made->tag = tag;
  // The template key of an id template is the id, written as a number.
  return Instantiate(L, made.Get(), std::to_string(id));
}

Retained<Entity> GetCachedEntity(const char* name) {
  LuaProj* project = CurrentLuaProj();
  if (!name || !project || !project->uiCache) return {};
  return Retained<Entity>(
      static_cast<Entity*>(CastToClass(&Entity::classInfo, project->uiCache->GetChildByName(name))));
}

void RemoveAllCached() {
  LuaProj* project = CurrentLuaProj();
  if (!project || !project->uiCache) return;
  Retained<Entity> cache(project->uiCache);
  while (cache->NumChildren() > 0) cache->RemoveChildAt(cache->NumChildren() - 1);
}

}  // namespace GCore
