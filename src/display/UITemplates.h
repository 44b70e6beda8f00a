#pragma once
// UI templates: a template is a child of the current project's UI cache
// container, made on first request by the script that adds it (by name: the
// script of that path, or the module of that name; by id: the file of the
// id). Each request returns a new copy of the template, held once for the
// caller; null when no template can be had or its class has no creator.
// Main thread only.
#include <cstdint>

#include "core/Object.h"

namespace GCore {

class DisplayObject;
class Entity;

Retained<DisplayObject> CreateByClassName(const char* name, const char* path);
Retained<DisplayObject> CreateById(uint32_t id);
// The cached child of that name when it is an Entity (held), else null.
Retained<Entity> GetCachedEntity(const char* name);
// Empties the current project's UI cache container.
void RemoveAllCached();

}  // namespace GCore
