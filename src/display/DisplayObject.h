#pragma once
// The base of every node of the display tree.
// Rules:
//  - A display object lives inside its script userdata (see core/Object.h);
//    constructors take the Lua state the object is made in, because they make
//    script objects of their own (the two matrices) while constructing.
//  - `parent` is a plain pointer: the parent's child list holds the counted
//    reference. A destroyed parent clears the links of its children.
//  - Placement: the object sits in its parent by anchors (fractions of the
//    parent's size), offsets (pixels) and a pivot (a fraction of its own
//    size, which is its origin). Design coordinates: y grows upward, so the
//    minimum y offset is the bottom.
//  - Dirty bits: transform, colour and bounds; Invalidate sets them and the
//    own update step (Draw, UpdateWorldTransform) brings the world matrix and
//    colour up to date. Marking skips objects recorded as marked already
//    (see DirtyMarks.h).
//  - Every call into a script runs under the shared message handler: a
//    script error is printed and the frame goes on.
// Main thread only.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <lua.hpp>

#include "core/DrawEpoch.h"
#include "core/Matrix.h"
#include "core/Object.h"
#include "display/DirtyMarks.h"
#include "display/DisplayExtras.h"
#include "display/DisplayTypes.h"
#include "display/KeyTrack.h"
#include "display/TreePlace.h"
#include "display/WorldMatrix.h"

namespace GCore {

class DisplayObjectContainer;
class Entity;
class Image;
struct AirData;
struct AirFrame;
struct AirFrameInfo;

// Scale modes from this one up fit the content into the node with one factor
// on both axes: the smaller one, or with the cover mode the larger.
constexpr int8_t kScaleUniformFit = 4;
constexpr int8_t kScaleUniformCover = 5;

// Kinds of media (the top four bits of the media id); anything else is an image.
constexpr uint32_t kMediaAir = 3;
constexpr uint32_t kMediaVideo = 0xA;

// The image that image media resolved to, kept for as long as the media and
// the draw epoch (core/DrawEpoch.h) stay as they were, so that an object drawn
// every frame looks its image up once.
struct MediaImageCache {
  Image* image = nullptr;
  uint64_t epoch = 0;
  uint32_t mediaId = 0;
  // The project byte (the object's own value must equal it for a hit); a
  // byte, so that the flag below fits in the padding.
  uint8_t mediaProject = 0;
  bool whole = false;  // no frame grid: the image itself is drawn
};

class DisplayObject : public Object {
 public:
  static const ClassInfo classInfo;

  explicit DisplayObject(lua_State* L);
  ~DisplayObject() override;
  const ClassInfo* GetClassInfo() const override { return &classInfo; }

  // Copies the source's state (not its world state, parent, order key, media
  // timing or key tracks) into this fresh object.
  virtual void CopyFrom(DisplayObject* source);
  // The base: the own update step, then the render state to the renderer.
  virtual void Draw();
  // true: transform dirty here, bounds dirty here and up the tree (the
  // topmost ancestor excepted); false: colour dirty here.
  virtual void Invalidate(bool transform);
  // What Invalidate does here, for an object whose ancestors are marked
  // already: its own dirty bits (bounds too when transform) and those of
  // everything below it.
  virtual void InvalidateSubtree(bool transform);
  // Marks this object and every ancestor as changed since their last draw
  // (drawChanged), so that no container replays a kept draw of it.
  void MarkDrawChanged() {
    if (!DrawMarkedUp(place)) MarkDrawUp(*this);
  }
  // The nearest entity above that was made from a template, or none.
  virtual void GetOwnerEntity(Retained<Entity>& out);
  // Per-frame step; the base advances the key tracks while visible.
  virtual void Update();
  // target[track name] = value through the target's metamethods.
  virtual void SetScriptProperty(const KeyTrack& track, double value);
  // The object's reaction to an event; the base ignores it.
  virtual bool HandleEvent(const char* name, DisplayObject* target, const char* arg);
  // False when HandleEvent certainly does nothing, so that events may pass
  // the object by; a change to true calls TreeChanged.
  virtual bool ListensToEvents() const { return false; }
  // Parent first, then this object's world matrix and colour.
  virtual void UpdateWorldTransform();
  virtual void SetMedia(uint32_t id);
  virtual const char* GetClassName() const { return "Object"; }
  virtual float GetWidth();
  virtual float GetHeight();

  // Placement.
  // Adds (Subtract: removes) the object's local position to x and y; either may be null.
  void AddPlacement(float* x, float* y);
  void SubtractPlacement(float* x, float* y);
  float PivotPointX() const;
  float PivotPointY() const;
  // Moves the pivot point to x (y), keeping the span, unless within 1e-5.
  void SetX(float x);
  void SetY(float y);
  // Resizes around the pivot point unless within 1e-5.
  void SetWidth(float width);
  void SetHeight(float height);
  // Resizes the axes named by the scale mode to the content size (unless
  // within 0.1), making their anchors equal.
  void FitToContent(float contentWidth, float contentHeight);
  uint32_t GetAnchorsPacked() const;
  void SetAnchorsPacked(uint32_t packed);
  // Span of one axis becomes `size` around its pivot point unless it is
  // within `tolerance` already; true when it changed (the caller invalidates).
  static bool ResizeSpan(float& min, float& max, float pivot, float size, float tolerance);

  // Tree and geometry queries.
  // True when other is this object or one of its ancestors.
  bool IsDescendantOf(const DisplayObject* other) const;
  // Visible, and the point lies within the world bounds (edges included).
  bool BoundsContain(float x, float y) const;
  // A stage point through the inverse of the world matrix.
  Point GlobalToLocal(float x, float y) const;
  // The game's mouse position through the world matrix.
  float GetWorldMouseX() const;
  float GetWorldMouseY() const;

  // Links to the slots of a skeletal parent (its skeleton's slot k is linked
  // by a link word of 2k, plus a flag in bit 0).
  // The inverse of the parent's world matrix, or of the linked slot bone's
  // transform, written into `matrix`; nothing without a parent.
  void GetInverseWorldMatrix(Matrix& matrix) const;
  // The linked slot's name, or "_root".
  const char* GetBoneName() const;
  void SetBoneName(const char* name);

  // Key tracks (see KeyTrack.h).
  KeyTrack* FindKeyTrack(const char* name) const;
  // The script method addKeyTrack: (name or {target, name}, n, {time, value,
  // kind, ...}). Prints a message and changes nothing when the name is
  // missing or too long.
  void AddKeyTrack(lua_State* L);
  // Sets a track's elapsed time, adding an empty track of that name if needed.
  void SetKeyTrackTime(const char* name, uint32_t ms);
  // Empties the named track's keys, unless tracks are being applied.
  void ClearKeyTrack(const char* name);
  // Advances every track by the game's last step and applies its value.
  void UpdateKeyTracks();

  // Media frames.
  // The image to draw now: the current air frame (with `info` filled when
  // given), image-grid cell, or the image itself. `time` (ms) drives image
  // grids; below 0 the game time does. With a cache, the lookup of image
  // media goes through it.
  Image* GetMediaFrame(AirFrameInfo* info, int64_t time, MediaImageCache* cache = nullptr);
  // What GetMediaFrame would return through the cache, with an empty frame
  // info, when the media is an image without a frame grid that the cache
  // holds for the current draw epoch; null otherwise. Inline: a sprite drawn
  // every frame asks it first.
  Image* KeptWholeImage(const MediaImageCache& cache) const {
    return cache.whole && cache.epoch == g_drawEpoch && cache.mediaId == mediaId &&
                   cache.mediaProject == mediaProject
               ? cache.image
               : nullptr;
  }
  // Whether the media shows something else from frame to frame by itself:
  // an air animation, a video, a render target or an image grid.
  bool MediaChangesByItself();
  void SetActionById(int32_t id);
  void SetActionByName(const char* name);

  // What few objects use (key tracks, a video, a template name); null until
  // one of them is set. Extras() makes it.
  std::unique_ptr<DisplayExtras> extras;
  DisplayExtras& Extras() {
    if (!extras) extras = std::make_unique<DisplayExtras>();
    return *extras;
  }
  std::string name;
  int32_t data = -1;  // kept for scripts, read by nothing else
  int32_t tag = 0;
  int8_t group = 0;  // collision group key, 0 = none
  uint8_t blendMode = 0;
  uint8_t textureFilter = 1;
  bool mouseEnabled = false;
  uint32_t tintMode = 0;
  // 0 none; 1 to 255 this child masks its next sibling at reference
  // mask / 255; above 255 an inverted mask at (mask - 255) / 255.
  int32_t mask = 0;
  bool blocksHits = false;
  uint8_t scaleMode = 0;  // bit 0 fit the width, bit 1 the height; only below 4 as a signed byte
  uint32_t shaderId = 1;
  // Slot link word: -1 none, else twice a slot index of a skeletal parent,
  // plus a flag in bit 0 (drawn after the slot's attachment). A tile map's
  // child keeps its tile layer in the low byte and the map writes its depth
  // row above it.
  int32_t slotLink = 0;
  int32_t orderKey = 0;  // tie-break of the child order
  WorldMatrix worldMatrix;
  DisplayObjectContainer* parent = nullptr;
  TreePlace place;  // see TreePlace.h
  uint64_t whollyDirty = 0;  // the marks epoch in which it was, see DirtyMarks.h
  int32_t depth = 0;
  float pivotX = 0.5f, pivotY = 0.5f;
  float offsetMinX = 0, offsetMinY = 0;
  float offsetMaxX = 100, offsetMaxY = 100;
  float anchorMinX = 0.5f, anchorMaxX = 0.5f, anchorMinY = 0.5f, anchorMaxY = 0.5f;
  uint32_t mediaProject = 0;  // low byte used
  uint32_t mediaId = 0;
  // Text bytes 0 and 1 (shadow offset), 2 (shadow alpha), 3 (1-based font style).
  uint8_t textStyle[4] = {0, 0, 0, 0};
  ColorTransform localColor;
  ColorTransform worldColor;
  // Never handed to scripts, so it needs no script object of its own.
  Matrix localMatrix;
  Rectangle bounds;  // world space, filled while drawing
  uint32_t frameStart = 0;  // game time at which the current air frame began
  uint16_t actionIndex = 0;
  uint16_t frameIndex = 0;
  DirtyBits dirty;
  bool visible = true;
  // Something that shows when this object or one below it is drawn changed
  // since it was last drawn: every change that Invalidate, a script
  // assignment or a method call makes sets it up the tree, and a
  // container's draw clears it (see DisplayObjectContainer). Whoever clears
  // it takes a new marks epoch (see DirtyMarks.h).
  bool drawChanged = true;

 protected:
  // Brings the world matrix and colour up to date where dirty.
  void UpdateOwnTransform();
  // The world bounds become the axis-aligned box of the local rectangle's
  // corners through the world matrix.
  void SetBoundsFromLocalBox(float x, float y, float width, float height);
  // The local rectangle's corners through the world matrix (x, y pairs):
  // bottom-left, bottom-right, top-right, top-left.
  void WorldCorners(float x, float y, float width, float height, float corners[8]) const;
  // The world bounds become the axis-aligned box of WorldCorners' corners.
  void SetBoundsFromCorners(const float corners[8]);
  // The same for the object's own rectangle: its size, origin at the pivot.
  void SetBoundsFromOwnRect();

 private:
  AirData* MediaAirData() const;
  // The first action of the air media for which `matches` holds becomes
  // current (none: the action stays); the frame timing restarts.
  template <class Match>
  void SelectAction(Match matches);
  // Advances the air animation to `now`. `air` and `frame` receive the data
  // and the frame to show (null when there is none). Returns false when this
  // step reached a frame that holds for ever: the animation ended.
  bool StepFrameAnimation(uint32_t now, const AirData*& air, const AirFrame*& frame);
  // The video media's image, showing the current picture.
  Image* StepVideoMedia(int32_t project);
  // The image of image media through the cache; only what the cache may keep
  // stays in it.
  Image* CachedImage(MediaImageCache& cache) const;
};

// Makes a T (a display class) in a new userdata of L, owned by the collector
// until someone retains it. The class's metatable must be registered in L.
// The stack is left as it was.
template <class T>
T* NewDisplayObject(lua_State* L) {
  T* object = NewObjectUserdata<T>(L, L);
  lua_pop(L, 1);
  return object;
}

// The "DisplayObject" class in a script state: metatable and factory creator.
void RegisterDisplayObjectClass(lua_State* L);
// The script constructor "DisplayObject": a new object, owned by the
// collector until someone holds it. Arguments are ignored.
int NewDisplayObjectScript(lua_State* L);

}  // namespace GCore
