#pragma once
// The plain grouping node of the display list: a container without script
// components that draws itself and its children as any container does. It
// keeps two flags and a link to one engine object for scripts; the engine
// does not act on them.
// Rules:
//  - The sprite holds one reference to its linked object while linked, so
//    the object lives at least as long as the link.
//  - Only engine objects can be linked; any other value clears the link.
// Main thread only.
#include <lua.hpp>

#include "display/DisplayObjectContainer.h"

namespace GCore {

class Sprite : public DisplayObjectContainer {
 public:
  static const ClassInfo classInfo;

  explicit Sprite(lua_State* L);
  const ClassInfo* GetClassInfo() const override { return &classInfo; }

  // The container copy (children deeply), then from a sprite its flags and
  // its link.
  void CopyFrom(DisplayObject* source) override;

  // Links the object (none clears the link); relinking the linked object
  // changes nothing.
  void Link(Object* object);
  Object* LinkedObject() const { return linked_.Get(); }

  bool active = true;
  bool tagged = false;

 private:
  Retained<Object> linked_;
};

// The "Sprite" class of a project state: metatable and creator.
void RegisterSpriteClass(lua_State* L);
// The script constructor "Sprite": a new sprite (arguments ignored).
int NewSpriteScript(lua_State* L);

}  // namespace GCore
