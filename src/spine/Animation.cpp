#include "spine/Animation.h"

#include "spine/SpineUtil.h"
#include "spine/Timeline.h"

namespace GCore {

Animation* Animation_create(const char* name) {
  Animation* self = new Animation{};
  self->name = CopyText(name);
  return self;
}

void Animation_dispose(Animation* self) {
  if (!self) return;
  for (int32_t i = 0; i < self->timelinesCount; ++i) Timeline_dispose(self->timelines[i]);
  FreeArray(self->timelines);
  FreeText(self->name);
  delete self;
}

}  // namespace GCore
