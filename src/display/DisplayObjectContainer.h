#pragma once
// A display object with an ordered list of children.
// Rules:
//  - The list holds a counted reference to each child; each child's `parent`
//    points back. A child belongs to at most one container, and no container
//    holds itself or one of its ancestors.
//  - Order: ascending (depth, orderKey), where each child's orderKey is its
//    index just before the sort, so equal depths keep their relative order.
//    Index 0 is drawn first; the last child is topmost.
//  - Children arriving or leaving under the current project's stage are told
//    so by events ("onAdd" on the container, "onRemove" on the child) and, for
//    entities, by the component call "start".
//  - Handlers may change the tree while it is walked: walks re-read the count
//    and hold the object they visit.
//  - No object lies more than kMaxTreeDepth levels below the root of its
//    tree: the walks (drawing, updates, hit tests, copies, destruction)
//    recurse once per level on the C stack, so a deeper tree would overflow
//    it. An insertion that would pass the bound is refused with a message.
//  - Still subtrees (RetainedTree.cpp): a container of the plain classes
//    keeps what drawing its children asked of the renderer while nothing
//    below it changes (drawChanged stays clear), and replays it instead of
//    walking them. The update walks pass by a subtree in which no object
//    could do anything when updated; that knowledge is kept until the
//    update-work stamp moves on (UpdateWorkChanged).
// Main thread only.
#include <cstdint>
#include <memory>
#include <vector>

#include "display/DisplayObject.h"

namespace GCore {

struct StillState;
struct Skeleton;

using HitList = std::vector<Retained<DisplayObject>>;

inline constexpr int32_t kMaxTreeDepth = 10000;

class DisplayObjectContainer : public DisplayObject {
 public:
  static const ClassInfo classInfo;

  explicit DisplayObjectContainer(lua_State* L);
  ~DisplayObjectContainer() override;
  const ClassInfo* GetClassInfo() const override { return &classInfo; }

  void CopyFrom(DisplayObject* source) override;
  void Draw() override;
  void Invalidate(bool transform) override;
  void InvalidateSubtree(bool transform) override;
  void Update() override;

  // Collects the objects under a stage point into hits: enclosing
  // mouse-enabled containers first, the hit leaf last. True when the test
  // must stop (a blocking object was met).
  virtual bool HitTest(const Point& point, HitList& hits);
  // Appends the child with its own depth; a non-zero tag becomes its tag.
  virtual void AddChild(DisplayObject* child, int32_t tag);
  // Takes the child at index out of the list; none for a bad index.
  virtual Retained<DisplayObject> RemoveChildAt(int32_t index);
  // The skeleton whose slots children may be linked to; skeletal containers
  // override it.
  virtual const Skeleton* GetSkeleton() const { return nullptr; }

  // Inserts at index (appends at or past the end; a negative index inserts
  // first) with the given depth, moving the child from its old parent.
  // Refused, with a message, for this container and its ancestors, and when
  // the tree would grow deeper than kMaxTreeDepth.
  void InsertChildAt(DisplayObject* child, int32_t index, int32_t childDepth);
  Retained<DisplayObject> RemoveChild(DisplayObject* child);
  // Every child leaves at once: "onRemove" for each (under the stage) and no
  // other notification.
  void RemoveAllChildren();
  int32_t GetChildIndex(const DisplayObject* child) const;
  DisplayObject* GetChildById(int32_t childTag) const;
  DisplayObject* GetChildByName(const char* childName) const;
  // Swaps two children, then restores the order (so only equal depths swap).
  void SetChildIndex(int32_t i, int32_t j);
  void SortChildren();
  bool AnyChildContains(const Point& point) const;
  // The sibling named by the clip key's low byte, or none.
  DisplayObject* GetClipSource() const;
  // Whether this container is the current project's stage or lies beneath it.
  bool IsUnderCurrentStage();
  // Whether updating this container and everything below it, and calling
  // the components below it, would do nothing: no key tracks, no listening
  // entity, no render-target quad, only classes that update as a container.
  bool UpdateIdle();

  int32_t NumChildren() const { return static_cast<int32_t>(children.size()); }
  DisplayObject* ChildAt(int32_t index) const {
    return index >= 0 && index < NumChildren() ? children[static_cast<size_t>(index)].Get() : nullptr;
  }

  int32_t clipKey = -1;  // below 0: no clip; else a one-character sibling name in the low byte
  std::vector<Retained<DisplayObject>> children;

 protected:
  // The bounds grow to take in the children's bounds (masks and their masked
  // sibling counted once); display objects that draw their children
  // themselves call it too.
  void UniteChildBounds();
  // Draw for a subclass that has just applied its own render state and drawn
  // its content with it (a quad after its image): the state is applied again
  // only where something may have changed it since.
  void DrawAfterOwnContent() { DrawWithState(true); }

 private:
  // Draw, given whether the object's own state is applied and up to date.
  void DrawWithState(bool stateApplied);
  void DrawChildren();
  // DrawChildren, or the replay of what it asked of the renderer when
  // nothing below changed since (`changed` false), kept from the draw
  // before.
  void DrawChildrenKept(bool changed);
  // After the handlers of an insertion ran: whether the child may still be
  // linked here (no container lists it, and this container is not under it).
  bool StillAdoptable(DisplayObject* child);
  // Whether the child's subtree fits below this container within the bound
  // (said in the log when it does not). The subtree is counted only when
  // its place does not show that it fits, so a leaf costs no walk.
  bool DepthAllows(DisplayObject* child);
  // Whether linking the child here would make a loop.
  bool WouldHoldItself(DisplayObject* child) const;

  // Where a child of that depth inserted at `at` belongs in the order.
  size_t OrderedSlot(size_t at, int32_t childDepth) const;

  // What is kept of the children while they are still; made when first
  // needed by a container with children.
  StillState& Still();
  std::unique_ptr<StillState> still_;
};

// Every change that can give an update walk work where it found none (a
// child linked or unlinked, a key track added, an entity that starts to
// listen, a render target shown or no longer shown) calls this.
void UpdateWorkChanged();
// UpdateIdle for any display object: for one that is no container, whether
// its own update would do nothing.
bool UpdateIdleObject(DisplayObject* object);

// Index of the skeleton's slot of that name, -1 when none (or no skeleton).
int FindSlotIndex(const Skeleton* skeleton, const char* slotName);

// Hands the event to the target, then to each ancestor with the same target,
// until a script sets the stop flag (which is then cleared). Objects that do
// not listen (see ListensToEvents) are passed by without a call. True when
// some object's HandleEvent was called (and may have changed anything).
bool DispatchEvent(DisplayObject* target, const char* name, const char* arg);

// The "DisplayObjectContainer" class in a script state: metatable and
// factory creator.
void RegisterDisplayObjectContainerClass(lua_State* L);
// The script constructor "DisplayObjectContainer": a new container, owned by
// the collector until someone holds it. Arguments are ignored.
int NewDisplayObjectContainerScript(lua_State* L);

}  // namespace GCore
