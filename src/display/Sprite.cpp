#include "display/Sprite.h"

namespace GCore {

const ClassInfo Sprite::classInfo = {"Sprite", &DisplayObjectContainer::classInfo};

Sprite::Sprite(lua_State* L) : DisplayObjectContainer(L) {}

void Sprite::CopyFrom(DisplayObject* source) {
  DisplayObjectContainer::CopyFrom(source);
  auto* sprite = static_cast<Sprite*>(CastToClass(&classInfo, source));
  if (!sprite) return;
  active = sprite->active;
  Link(sprite->LinkedObject());
  tagged = sprite->tagged;
}

void Sprite::Link(Object* object) {
  if (object != linked_.Get()) linked_.Reset(object);
}

}  // namespace GCore
