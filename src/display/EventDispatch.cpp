// Bubbling events and hit testing of the display tree.
#include "core/GameSettings.h"
#include "display/DisplayObjectContainer.h"

namespace GCore {

bool DispatchEvent(DisplayObject* target, const char* name, const char* arg) {
  if (!target || !name) return false;
  // Most events meet no listener (a quad's "boundUpdated" each frame it
  // moves): they are done without holding anything. A stop request waiting
  // for an ancestor is cleared below.
  if (!target->ListensToEvents() &&
      (!target->parent || (!g_settings.eventStop && !PlaceOf(target->parent).listener))) {
    return false;
  }
  // Handlers may remove the objects they run on: each is held meanwhile.
  Retained<DisplayObject> current(target);
  bool called = false;
  if (target->ListensToEvents()) {
    target->HandleEvent(name, target, arg);
    called = true;
  }
  // Objects that do not listen are passed by: they would neither act nor
  // raise the stop flag. The next listener is looked up after each handler,
  // which may have moved objects or made new listeners.
  while (current->parent) {
    // The stop request is looked at only when an ancestor is next in line.
    if (g_settings.eventStop) {
      g_settings.eventStop = false;
      break;
    }
    DisplayObject* listener = PlaceOf(current->parent).listener;
    if (!listener) break;
    current.Reset(listener);
    listener->HandleEvent(name, target, arg);
    called = true;
  }
  return called;
}

bool DisplayObjectContainer::HitTest(const Point& point, HitList& hits) {
  if (!visible) return false;
  if (parent && mouseEnabled) hits.emplace_back(this);
  const size_t startCount = hits.size();
  for (int32_t i = NumChildren() - 1; i >= 0; --i) {
    Retained<DisplayObject> child = children[static_cast<size_t>(i)];
    if (child->mask > 255) continue;  // an inverted mask is never hit
    if (i > 0) {
      const DisplayObject& below = *children[static_cast<size_t>(i - 1)].Get();
      if (below.visible && below.mask > 0) {
        const bool inside = below.BoundsContain(point.x, point.y);
        if (below.mask <= 255 ? !inside : inside) continue;
      }
    }
    if (child->BoundsContain(point.x, point.y)) {
      auto* container = static_cast<DisplayObjectContainer*>(
          CastToClass(&DisplayObjectContainer::classInfo, child.Get()));
      if (container) {
        if (container->HitTest(point, hits)) return true;
      } else if (child->mouseEnabled) {
        hits.push_back(child);
      }
    }
    if (child->visible && child->blocksHits) return true;
    if (hits.size() > startCount) return false;
  }
  return false;
}

}  // namespace GCore
