// Still subtrees: the kept draw of a container's children, and the update
// walk passing by subtrees where nothing would happen.
// A kept draw is replayed only when all of these hold: nothing below the
// container changed since it was recorded (drawChanged, set up the tree by
// every change), no input outside the tree changed (the draw epoch), the
// renderer is not capturing a blur, and the whole subtree is of the plain
// classes whose drawing depends on nothing else: no masks, no clips, no
// media that moves by itself, no drop shadows (their colours come from the
// font styles). A container records only after a frame in which nothing
// below it changed, so a moving scene pays no copying.
#include "display/DisplayObjectContainer.h"
#include "display/Entity.h"
#include "display/Quad.h"
#include "display/StillState.h"
#include "render/Renderer.h"
#include "render/Texture.h"

namespace GCore {

namespace {

uint64_t g_updateWorkStamp = 1;

bool IsPlainContainer(const ClassInfo* info) {
  return info == &DisplayObjectContainer::classInfo || info == &Entity::classInfo;
}

bool IsPlainClass(const ClassInfo* info) {
  return info == &DisplayObject::classInfo || IsPlainContainer(info) || info == &Quad::classInfo;
}

DisplayObjectContainer* AsContainer(DisplayObject* object) {
  return static_cast<DisplayObjectContainer*>(CastToClass(&DisplayObjectContainer::classInfo, object));
}

// Whether updating the object alone (not its children) does nothing.
bool OwnUpdateIdle(DisplayObject* object) {
  const ClassInfo* info = object->GetClassInfo();
  if (!IsPlainClass(info)) return false;
  if (object->extras && !object->extras->keyTracks.empty()) return false;
  if (object->ListensToEvents()) return false;
  return info != &Quad::classInfo || ResourceKind(object->mediaId) != kKindRenderTarget;
}

// Whether the object's draw, and its children's, can be recorded and
// replayed as they are.
bool Keepable(DisplayObject* object) {
  if (!IsPlainClass(object->GetClassInfo()) || object->mask != 0) return false;
  DisplayObjectContainer* container = AsContainer(object);
  if (!container) return true;
  // Containers (quads too) draw nothing at all while invisible.
  if (!container->visible) return true;
  if (container->clipKey >= 0) return false;
  if (container->GetClassInfo() == &Quad::classInfo &&
      (container->textStyle[2] != 0 || container->MediaChangesByItself())) {
    return false;
  }
  for (const Retained<DisplayObject>& child : container->children) {
    if (!Keepable(child.Get())) return false;
  }
  return true;
}

}  // namespace

void UpdateWorkChanged() { ++g_updateWorkStamp; }

bool UpdateIdleObject(DisplayObject* object) {
  DisplayObjectContainer* container = AsContainer(object);
  return container ? container->UpdateIdle() : OwnUpdateIdle(object);
}

StillState& DisplayObjectContainer::Still() {
  if (!still_) still_ = std::make_unique<StillState>();
  return *still_;
}

bool DisplayObjectContainer::UpdateIdle() {
  // Most containers are quads without children: nothing worth keeping.
  if (children.empty()) return OwnUpdateIdle(this);
  StillState& still = Still();
  if (still.idleStamp == g_updateWorkStamp) return still.idle;
  bool idle = OwnUpdateIdle(this);
  for (size_t i = 0; idle && i < children.size(); ++i) idle = UpdateIdleObject(children[i].Get());
  still.idleStamp = g_updateWorkStamp;
  still.idle = idle;
  return idle;
}

void DisplayObjectContainer::DrawChildrenKept(bool changed) {
  Renderer* renderer = g_renderer;
  // Most containers are quads without children: asked first.
  if (children.empty() || !renderer || !IsPlainContainer(GetClassInfo())) {
    DrawChildren();
    return;
  }
  StillState& still = Still();
  if (changed || renderer->blurState != 0) {
    still.draw.Clear();
    still.refusedEpoch = 0;
    DrawChildren();
    return;
  }
  if (still.draw.Usable()) {
    renderer->Replay(still.draw);
    return;
  }
  if (renderer->Capturing() || still.refusedEpoch == g_drawEpoch) {
    DrawChildren();
    return;
  }
  if (!Keepable(this)) {
    still.refusedEpoch = g_drawEpoch;
    DrawChildren();
    return;
  }
  renderer->BeginCapture(still.draw);
  DrawChildren();
  // A child that changed while it was drawn (fitted to its image, say) left
  // the mark set again: what was recorded is already stale.
  if (!renderer->EndCapture() || drawChanged) still.draw.Clear();
}

}  // namespace GCore
