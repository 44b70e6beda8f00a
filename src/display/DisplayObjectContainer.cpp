#include "display/DisplayObjectContainer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "base/Log.h"
#include "core/ClassFactory.h"
#include "display/Entity.h"
#include "display/Stage.h"
#include "display/StillState.h"
#include "render/Renderer.h"
#include "spine/SpineRecords.h"

namespace GCore {

namespace {

// Stencil reference of a mask value: m / 255, or (m - 255) / 255 inverted.
float MaskReference(int32_t mask) {
  return static_cast<float>(mask > 255 ? mask - 255 : mask) / 255.0f;
}

int32_t ToPixel(float value) {
  return std::isfinite(value) ? static_cast<int32_t>(value) : 0;
}

DisplayObjectContainer* AsContainer(DisplayObject* object) {
  return static_cast<DisplayObjectContainer*>(CastToClass(&DisplayObjectContainer::classInfo, object));
}

bool HoldsNothing(DisplayObject* object) {
  const DisplayObjectContainer* container = AsContainer(object);
  return !container || container->children.empty();
}

// At least the number of levels below the object, from what its tree's root
// knows.
int32_t LevelsBelowBound(DisplayObject* object) {
  if (HoldsNothing(object)) return 0;
  const TreePlace& place = PlaceOf(object);
  return place.root->place.deepest - place.level;
}

// The child leaves its parent and becomes the root of its own tree. Its
// levels below come from the old tree's root when its place is at hand (no
// climb: a container emptied at depth would climb once per child); else the
// next insertion that needs them counts them.
void Unlink(DisplayObject* child) {
  child->place.deepest =
      HoldsNothing(child) || PlaceIsCurrent(child) ? LevelsBelowBound(child) : kMaxTreeDepth;
  child->parent = nullptr;
  TreeChanged();
  UpdateWorkChanged();
  NewMarksEpoch();
}

// Levels below the object, counted with a stack of our own: the subtree may be
// one that a recursive walk could not take.
int32_t ExactLevelsBelow(DisplayObjectContainer* top) {
  int32_t deepest = 0;
  std::vector<std::pair<const DisplayObjectContainer*, int32_t>> pending{{top, 0}};
  while (!pending.empty()) {
    const auto [container, level] = pending.back();
    pending.pop_back();
    if (container->children.empty()) continue;
    deepest = std::max(deepest, level + 1);
    for (const Retained<DisplayObject>& child : container->children) {
      if (DisplayObjectContainer* inner = AsContainer(child.Get())) pending.emplace_back(inner, level + 1);
    }
  }
  return deepest;
}

}  // namespace

const ClassInfo DisplayObjectContainer::classInfo = {"DisplayObjectContainer",
                                                     &DisplayObject::classInfo};

DisplayObjectContainer::DisplayObjectContainer(lua_State* L) : DisplayObject(L) {}

DisplayObjectContainer::~DisplayObjectContainer() {
  for (auto it = children.rbegin(); it != children.rend(); ++it) {
    if (DisplayObject* child = IfAlive(it->Get()); child && child->parent == this) Unlink(child);
  }
}

int FindSlotIndex(const Skeleton* skeleton, const char* slotName) {
  if (!skeleton || !skeleton->slots || !slotName) return -1;
  for (int32_t i = 0; i < skeleton->slotCount; ++i) {
    const SlotData* data = skeleton->slots[i].data;
    if (data && data->name && std::strcmp(data->name, slotName) == 0) return i;
  }
  return -1;
}

bool DisplayObjectContainer::IsUnderCurrentStage() {
  const Stage* stage = CurrentStage();
  if (!stage) return false;
  if (PlaceOf(this).root == stage) return true;
  // A stage placed inside another tree is not its root.
  return stage->parent && IsDescendantOf(stage);
}

bool DisplayObjectContainer::WouldHoldItself(DisplayObject* child) const {
  // Only an object with something below it can be an ancestor.
  return child == this || (!HoldsNothing(child) && IsDescendantOf(child));
}

void DisplayObjectContainer::SortChildren() {
  for (size_t i = 0; i < children.size(); ++i) children[i]->orderKey = static_cast<int32_t>(i);
  std::sort(children.begin(), children.end(),
            [](const Retained<DisplayObject>& l, const Retained<DisplayObject>& r) {
              return l->depth != r->depth ? l->depth < r->depth : l->orderKey < r->orderKey;
            });
  MarkDrawChanged();
}

// The children are in order already, so the slot is where sorting after an
// insertion at `at` would move the child: `at` itself when its depth fits
// there, else the near end of the run of its depth.
size_t DisplayObjectContainer::OrderedSlot(size_t at, int32_t childDepth) const {
  const auto first = std::lower_bound(
      children.begin(), children.end(), childDepth,
      [](const Retained<DisplayObject>& child, int32_t d) { return child->depth < d; });
  const auto last = std::upper_bound(
      first, children.end(), childDepth,
      [](int32_t d, const Retained<DisplayObject>& child) { return d < child->depth; });
  return std::clamp(at, static_cast<size_t>(first - children.begin()),
                    static_cast<size_t>(last - children.begin()));
}

void DisplayObjectContainer::AddChild(DisplayObject* child, int32_t childTag) {
  if (!child) return;
  InsertChildAt(child, NumChildren(), child->depth);
  if (childTag != 0) child->tag = childTag;
}

void DisplayObjectContainer::InsertChildAt(DisplayObject* child, int32_t index, int32_t childDepth) {
  if (!child) return;
  // A container inside itself would make the tree a loop.
  if (WouldHoldItself(child)) {
    LogPrintf("%s \"%s\" cannot hold itself or one of its ancestors\n", GetClassName(), name.c_str());
    return;
  }
  if (!DepthAllows(child)) return;
  // Handlers run below and may drop the last reference to either.
  Retained<DisplayObject> self(this);
  Retained<DisplayObject> hold(child);
  child->depth = childDepth;
  if (child->parent) child->parent->RemoveChild(child);
  if (!StillAdoptable(child)) return;
  const size_t at = std::min(static_cast<size_t>(std::max(index, 0)), children.size());
  children.insert(children.begin() + static_cast<std::ptrdiff_t>(OrderedSlot(at, childDepth)), hold);
  WithdrawWhollyDirtyAbove(*child, this);

  // The tree's root learns how deep the tree may now be.
  const int32_t below = LevelsBelowBound(child);
  const TreePlace& here = PlaceOf(this);
  int32_t& deepest = here.root->place.deepest;
  deepest = std::min(std::max(deepest, here.level + 1 + below), kMaxTreeDepth);
  // Linked before "start": a listed child without its link would let a
  // handler put this container under it, a loop no check could see.
  child->parent = this;
  UpdateWorkChanged();
  if (HoldsNothing(child)) {
    PlaceLinkedLeaf(child);
  } else {
    TreeChanged();
  }
  const bool underStage = IsUnderCurrentStage();
  if (underStage && child != CurrentStage()) {
    if (auto* entity = static_cast<Entity*>(CastToClass(&Entity::classInfo, child))) {
      entity->CallComponents(state, "start", true, 0, 0);
      if (child->parent != this) return;  // a handler moved it on
    }
  }
  child->Invalidate(true);
  child->Invalidate(false);
  if (underStage) DispatchEvent(this, "onAdd", nullptr);
}

bool DisplayObjectContainer::StillAdoptable(DisplayObject* child) {
  // A handler placed the child somewhere itself: that placement stands. (A
  // link to a parent that no longer lists it is the leftover of a removal
  // still under way, whose handler is adding the child here.)
  if (child->parent && child->parent->GetChildIndex(child) >= 0) return false;
  if (WouldHoldItself(child)) {
    LogPrintf("%s \"%s\" was moved under the child it was taking: child not added\n",
              GetClassName(), name.c_str());
    return false;
  }
  // A removal handler may have moved this container deeper.
  return DepthAllows(child);
}

bool DisplayObjectContainer::DepthAllows(DisplayObject* child) {
  const int32_t room = kMaxTreeDepth - PlaceOf(this).level - 1;
  if (room >= LevelsBelowBound(child)) return true;
  if (room >= 0 && !HoldsNothing(child)) {
    const int32_t levels = ExactLevelsBelow(AsContainer(child));
    if (!child->parent) child->place.deepest = levels;
    if (levels <= room) return true;
  }
  LogPrintf("%s \"%s\" would make a tree deeper than %d levels: child not added\n", GetClassName(),
            name.c_str(), kMaxTreeDepth);
  return false;
}

Retained<DisplayObject> DisplayObjectContainer::RemoveChildAt(int32_t index) {
  if (index < 0 || index >= NumChildren()) return {};
  Retained<DisplayObject> self(this);
  Retained<DisplayObject> child = children[static_cast<size_t>(index)];
  children.erase(children.begin() + index);
  // The child is still linked here, so the event bubbles through this container.
  if (IsUnderCurrentStage()) DispatchEvent(child.Get(), "onRemove", nullptr);
  // A handler may have put it back.
  if (child->parent == this && GetChildIndex(child.Get()) < 0) Unlink(child.Get());
  Invalidate(true);
  return child;
}

Retained<DisplayObject> DisplayObjectContainer::RemoveChild(DisplayObject* child) {
  return RemoveChildAt(GetChildIndex(child));
}

void DisplayObjectContainer::RemoveAllChildren() {
  Retained<DisplayObject> self(this);
  const bool underStage = IsUnderCurrentStage();
  const std::vector<Retained<DisplayObject>> leaving = children;
  for (auto it = leaving.rbegin(); it != leaving.rend(); ++it) {
    DisplayObject* child = it->Get();
    if (child->parent != this) continue;  // a handler moved it already
    if (underStage) DispatchEvent(child, "onRemove", nullptr);
    if (child->parent == this) Unlink(child);
  }
  // Children that handlers added meanwhile leave too.
  for (const Retained<DisplayObject>& child : children) {
    if (child->parent == this) Unlink(child.Get());
  }
  children.clear();
  Invalidate(true);
}

int32_t DisplayObjectContainer::GetChildIndex(const DisplayObject* child) const {
  for (size_t i = 0; i < children.size(); ++i) {
    if (children[i].Get() == child) return static_cast<int32_t>(i);
  }
  return -1;
}

DisplayObject* DisplayObjectContainer::GetChildById(int32_t childTag) const {
  for (const Retained<DisplayObject>& child : children) {
    if (child->tag == childTag) return child.Get();
  }
  return nullptr;
}

DisplayObject* DisplayObjectContainer::GetChildByName(const char* childName) const {
  if (!childName) return nullptr;
  for (const Retained<DisplayObject>& child : children) {
    if (child->name == childName) return child.Get();
  }
  return nullptr;
}

void DisplayObjectContainer::SetChildIndex(int32_t i, int32_t j) {
  if (i < 0 || j < 0 || i >= NumChildren() || j >= NumChildren()) return;
  std::swap(children[static_cast<size_t>(i)], children[static_cast<size_t>(j)]);
  SortChildren();
}

bool DisplayObjectContainer::AnyChildContains(const Point& point) const {
  for (const Retained<DisplayObject>& child : children) {
    if (child->BoundsContain(point.x, point.y)) return true;
  }
  return false;
}

DisplayObject* DisplayObjectContainer::GetClipSource() const {
  if (!parent) return nullptr;
  const char clipName[2] = {static_cast<char>(clipKey & 0xFF), '\0'};
  return parent->GetChildByName(clipName);
}

void DisplayObjectContainer::Invalidate(bool transform) {
  DisplayObject::Invalidate(transform);
  // Without children there is nothing more to mark or to note.
  if (children.empty()) return;
  // The climb above marked every ancestor of the children once: marking them
  // anew from each child would make a deep subtree cost its depth squared.
  for (const Retained<DisplayObject>& child : children) child->InvalidateSubtree(transform);
  NoteIfWhollyDirty(*this);
}

void DisplayObjectContainer::InvalidateSubtree(bool transform) {
  // A subtree linked again and again (a tree built upwards) is walked once.
  if (IsWhollyDirty(*this)) return;
  DisplayObject::InvalidateSubtree(transform);
  for (const Retained<DisplayObject>& child : children) child->InvalidateSubtree(transform);
  NoteIfWhollyDirty(*this);
}

void DisplayObjectContainer::Update() {
  if (!visible) return;
  UpdateKeyTracks();
  for (int32_t i = 0; i < NumChildren(); ++i) {
    Retained<DisplayObject> child = children[static_cast<size_t>(i)];
    if (!UpdateIdleObject(child.Get())) child->Update();
  }
}

void DisplayObjectContainer::Draw() { DrawWithState(false); }

void DisplayObjectContainer::DrawWithState(bool stateApplied) {
  if (!visible) return;
  // A handler may have moved, recoloured or restyled the object.
  if (dirty & kDirtyBounds && DispatchEvent(this, "boundUpdated", nullptr)) stateApplied = false;
  bool scissored = false;
  if (clipKey >= 0 && parent && g_renderer) {
    if (DisplayObject* source = GetClipSource()) {
      // Only the source's world translation counts, not its scale or turn.
      const float w = source->GetWidth();
      const float h = source->GetHeight();
      const Matrix& world = *source->worldMatrix.Get();
      g_renderer->PushScissor(ToPixel(world.tx - source->pivotX * w),
                              ToPixel(world.ty - source->pivotY * h), ToPixel(w), ToPixel(h));
      scissored = true;
    }
  }
  // The same state again changes nothing, except with a tint: the GL back
  // end then switches shaders and back, which ends the batch.
  if (!stateApplied || tintMode != 0) DisplayObject::Draw();
  const bool changed = drawChanged;
  if (changed) {
    drawChanged = false;
    NewMarksEpoch();
  }
  // Most containers are quads without children.
  if (!children.empty()) {
    DrawChildrenKept(changed);
    if (dirty & kDirtyBounds) UniteChildBounds();
  }
  dirty &= static_cast<uint8_t>(~kDirtyBounds);
  if (scissored) g_renderer->PopScissor();
}

void DisplayObjectContainer::DrawChildren() {
  for (int32_t i = 0; i < NumChildren(); ++i) {
    Retained<DisplayObject> child = children[static_cast<size_t>(i)];
    const int32_t m = child->mask;
    const bool masking = m > 0 && i + 1 < NumChildren() && g_renderer;
    if (masking) g_renderer->BeginStencilMask(m > 255, MaskReference(m));
    if (child->dirty & kDirtyBounds) child->bounds.width = child->bounds.height = 0;
    child->Draw();
    if (!masking) continue;
    g_renderer->ApplyStencilMask();
    if (i + 1 < NumChildren()) {
      Retained<DisplayObject> masked = children[static_cast<size_t>(i + 1)];
      masked->Draw();
    }
    g_renderer->EndStencilMask();
    ++i;
  }
}

void DisplayObjectContainer::UniteChildBounds() {
  bool any = bounds.width > 0 && bounds.height > 0;
  float left = bounds.x;
  float bottom = bounds.y;
  float right = bounds.x + bounds.width;
  float top = bounds.y + bounds.height;
  for (size_t i = 0; i < children.size(); ++i) {
    const DisplayObject& child = *children[i].Get();
    if (child.mask > 255 || child.bounds.width < 2.0f) continue;
    const Rectangle& b = child.bounds;
    if (any) {
      left = std::min(left, b.x);
      bottom = std::min(bottom, b.y);
      right = std::max(right, b.x + b.width);
      top = std::max(top, b.y + b.height);
    } else {
      left = b.x;
      bottom = b.y;
      right = b.x + b.width;
      top = b.y + b.height;
      any = true;
    }
    if (child.mask > 0) ++i;  // the sibling drawn inside this mask
  }
  bounds = Rectangle{left, bottom, right - left, top - bottom};
}

void DisplayObjectContainer::CopyFrom(DisplayObject* source) {
  DisplayObject::CopyFrom(source);
  auto* container =
      static_cast<DisplayObjectContainer*>(CastToClass(&DisplayObjectContainer::classInfo, source));
  if (!container) return;
  clipKey = container->clipKey;
  // The source may be this object's ancestor: copy the children it has now.
  const std::vector<Retained<DisplayObject>> originals = container->children;
  for (const Retained<DisplayObject>& original : originals) {
    const auto creator = ClassFactory().find(original->GetClassInfo());
    if (creator == ClassFactory().end()) {
      LogPrintf("No creator for class %s: child not copied\n", original->GetClassInfo()->name);
      continue;
    }
    auto* copy = static_cast<DisplayObject*>(
        CastToClass(&DisplayObject::classInfo, creator->second(state, 0)));
    if (!copy) continue;
    Retained<DisplayObject> hold(copy);
    copy->CopyFrom(original.Get());
    AddChild(copy, 0);
  }
}

}  // namespace GCore
