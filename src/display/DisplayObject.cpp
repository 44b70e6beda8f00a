#include "display/DisplayObject.h"

#include <algorithm>

#include <cmath>
#include <cstring>

#include "core/GameIF.h"
#include "core/GameSettings.h"
#include "core/Matrix.h"
#include "core/ResourcePath.h"
#include "display/DisplayObjectContainer.h"
#include "display/Entity.h"
#include "media/VideoDecoder.h"
#include "render/Renderer.h"
#include "render/Texture.h"
#include "spine/SpineRecords.h"

namespace GCore {

namespace {

constexpr float kPlacementTolerance = 1e-5f;

float LogicalWidth() { return g_renderer ? g_renderer->logicalWidth : g_settings.designWidth; }
float LogicalHeight() { return g_renderer ? g_renderer->logicalHeight : g_settings.designHeight; }

float PivotPoint(float min, float max, float pivot) {
  return pivot == 0 ? min : min + pivot * (max - min);
}

int32_t MultiplyChannel(int32_t parentChannel, int32_t own) {
  return static_cast<int32_t>(static_cast<float>(parentChannel) * kChannelScale *
                              static_cast<float>(own));
}

// Anchors from 0 to 2.55 fit a byte; others are held to its ends.
uint8_t PackAnchor(float anchor) {
  const float packed = std::floor(anchor * 100.0f + 0.5f);
  if (!(packed > 0)) return 0;
  return packed >= 255 ? 255 : static_cast<uint8_t>(packed);
}

// DisplayObject::AddPlacement, inline: a moved object places itself every frame.
inline void AddPlacementTo(DisplayObject& object, float* x, float* y) {
  DisplayObjectContainer* parent = object.parent;
  if (x) {
    const float parentWidth = parent ? parent->GetWidth() : 0;
    const float base = parent ? object.anchorMinX * parentWidth - parent->pivotX * parentWidth
                              : object.anchorMinX * LogicalWidth();
    *x += object.GetWidth() * object.pivotX + base + object.offsetMinX;
  }
  if (y) {
    const float parentHeight = parent ? parent->GetHeight() : 0;
    const float base = parent ? object.anchorMinY * parentHeight - parent->pivotY * parentHeight
                              : object.anchorMinY * LogicalHeight();
    *y += object.GetHeight() * object.pivotY + base + object.offsetMinY;
  }
}

void CopyMatrixContents(const Matrix& from, Matrix& to) {
  to.SetValues(from.a, from.b, from.c, from.d, from.tx, from.ty);
  to.flipX = from.flipX;
  to.flipY = from.flipY;
  to.flag = from.flag;
}

}  // namespace

const ClassInfo DisplayObject::classInfo = {"DisplayObject", &Object::classInfo};

DisplayObject::DisplayObject(lua_State* L) { state = L; }

DisplayObject::~DisplayObject() = default;

void DisplayObject::CopyFrom(DisplayObject* source) {
  if (!source) return;
  if (source != this) name = source->name;
  dirty = kDirtyAll;
  blendMode = source->blendMode;
  textureFilter = source->textureFilter;
  tintMode = source->tintMode;
  mouseEnabled = source->mouseEnabled;
  mask = source->mask;
  tag = source->tag;
  visible = source->visible;
  blocksHits = source->blocksHits;
  depth = source->depth;
  data = source->data;
  group = source->group;
  slotLink = source->slotLink;
  anchorMinX = source->anchorMinX;
  anchorMaxX = source->anchorMaxX;
  anchorMinY = source->anchorMinY;
  anchorMaxY = source->anchorMaxY;
  pivotX = source->pivotX;
  pivotY = source->pivotY;
  offsetMinX = source->offsetMinX;
  offsetMinY = source->offsetMinY;
  offsetMaxX = source->offsetMaxX;
  offsetMaxY = source->offsetMaxY;
  scaleMode = source->scaleMode;
  shaderId = source->shaderId;
  std::memcpy(textStyle, source->textStyle, sizeof(textStyle));
  CopyMatrixContents(source->localMatrix, localMatrix);
  localColor = source->localColor;
  mediaProject = source->mediaProject;
  mediaId = source->mediaId;
  actionIndex = source->actionIndex;
}

void DisplayObject::UpdateOwnTransform() {
  if (dirty & kDirtyTransform) {
    float x = 0;
    float y = 0;
    AddPlacementTo(*this, &x, &y);
    Matrix& local = localMatrix;
    local.tx = x;
    local.ty = y;
    Matrix& world = *worldMatrix.Get();
    world.flipX = local.flipX;
    world.flipY = local.flipY;
    world.flag = local.flag;
    // Composed straight from the local values: a moving object does this every frame.
    const Affine own = AffineOf(&local);
    StoreAffine(parent ? Compose(AffineOf(parent->worldMatrix.Get()), own) : own, &world);
    dirty &= static_cast<uint8_t>(~kDirtyTransform);
  }
  if (dirty & kDirtyColour) {
    worldColor = localColor;
    if (parent) {
      const ColorTransform& p = parent->worldColor;
      worldColor.r = MultiplyChannel(p.r, localColor.r);
      worldColor.g = MultiplyChannel(p.g, localColor.g);
      worldColor.b = MultiplyChannel(p.b, localColor.b);
      worldColor.a = MultiplyChannel(p.a, localColor.a);
    }
    dirty &= static_cast<uint8_t>(~kDirtyColour);
  }
}

void DisplayObject::Draw() {
  UpdateOwnTransform();
  if (!g_renderer) return;
  g_renderer->ApplyDrawState(DrawState{static_cast<int32_t>(shaderId), static_cast<int8_t>(blendMode),
                                        static_cast<int8_t>(textureFilter), tintMode != 0});
}

void DisplayObject::WorldCorners(float x, float y, float width, float height, float corners[8]) const {
  // A copy of the matrix, which the stores could otherwise alias.
  const Affine m = AffineOf(worldMatrix.Get());
  const float right = x + width;
  const float top = y + height;
  corners[0] = m.TransformX(x, y), corners[1] = m.TransformY(x, y);
  corners[2] = m.TransformX(right, y), corners[3] = m.TransformY(right, y);
  corners[4] = m.TransformX(right, top), corners[5] = m.TransformY(right, top);
  corners[6] = m.TransformX(x, top), corners[7] = m.TransformY(x, top);
}

void DisplayObject::SetBoundsFromCorners(const float corners[8]) {
  // Bottom-left, bottom-right, top-left, top-right: the order decides which
  // value a NaN meets first.
  const float xs[4] = {corners[0], corners[2], corners[6], corners[4]};
  const float ys[4] = {corners[1], corners[3], corners[7], corners[5]};
  const float left = std::min(std::min(std::min(xs[0], xs[1]), xs[2]), xs[3]);
  const float right = std::max(std::max(std::max(xs[0], xs[1]), xs[2]), xs[3]);
  const float bottom = std::min(std::min(std::min(ys[0], ys[1]), ys[2]), ys[3]);
  const float top = std::max(std::max(std::max(ys[0], ys[1]), ys[2]), ys[3]);
  bounds = Rectangle{left, bottom, right - left, top - bottom};
}

void DisplayObject::SetBoundsFromLocalBox(float x, float y, float width, float height) {
  float corners[8];
  WorldCorners(x, y, width, height, corners);
  SetBoundsFromCorners(corners);
}

void DisplayObject::SetBoundsFromOwnRect() {
  const float width = GetWidth();
  const float height = GetHeight();
  SetBoundsFromLocalBox(-width * pivotX, -height * pivotY, width, height);
}

void DisplayObject::Invalidate(bool transform) {
  if (!transform) {
    dirty |= kDirtyColour;
    MarkDrawChanged();
    NoteIfWhollyDirty(*this);
    return;
  }
  // An object moved again before its next update has nothing left to mark
  // (a missing wholly-dirty record only costs a later walk its shortcut).
  if (dirty & kDirtyTransform && BoundsMarkedUp(place, parent != nullptr)) return;
  dirty |= kDirtyTransform;
  MarkBoundsUp(*this);
  NoteIfWhollyDirty(*this);
}

void DisplayObject::InvalidateSubtree(bool transform) {
  dirty |= transform ? kDirtyTransform | kDirtyBounds : kDirtyColour;
  drawChanged = true;
  NoteIfWhollyDirty(*this);
}

void DisplayObject::GetOwnerEntity(Retained<Entity>& out) {
  out.Reset();
  if (parent) parent->GetOwnerEntity(out);
}

void DisplayObject::Update() {
  if (visible) UpdateKeyTracks();
}

bool DisplayObject::HandleEvent(const char*, DisplayObject*, const char*) { return false; }

void DisplayObject::UpdateWorldTransform() {
  if (parent) parent->UpdateWorldTransform();
  UpdateOwnTransform();
}

void DisplayObject::SetMedia(uint32_t id) {
  if (id == mediaId) return;
  // A video plays from its start whenever its id is set anew.
  if (extras) extras->video.reset();
  // A render target makes its quad's update ask for a capture.
  if (ResourceKind(mediaId) == kKindRenderTarget || ResourceKind(id) == kKindRenderTarget) {
    UpdateWorkChanged();
  }
  mediaId = id;
  mediaProject = static_cast<uint32_t>(CurrentProjectIndex()) & 0xFF;
  frameStart = 0;
  actionIndex = 0;
  frameIndex = 0;
  Invalidate(true);
}

// The offset span plus the anchored share of the parent's size; stretched
// anchors without a parent give the design size alone.
float DisplayObject::GetWidth() {
  const float span = offsetMaxX - offsetMinX;
  if (anchorMinX == anchorMaxX) return span;
  if (!parent) return std::trunc(g_settings.designWidth);
  return span + std::fabs(anchorMaxX - anchorMinX) * parent->GetWidth();
}

float DisplayObject::GetHeight() {
  const float span = offsetMaxY - offsetMinY;
  if (anchorMinY == anchorMaxY) return span;
  if (!parent) return std::trunc(g_settings.designHeight);
  return span + std::fabs(anchorMaxY - anchorMinY) * parent->GetHeight();
}

void DisplayObject::AddPlacement(float* x, float* y) { AddPlacementTo(*this, x, y); }

void DisplayObject::SubtractPlacement(float* x, float* y) {
  float dx = 0;
  float dy = 0;
  AddPlacement(x ? &dx : nullptr, y ? &dy : nullptr);
  if (x) *x -= dx;
  if (y) *y -= dy;
}

float DisplayObject::PivotPointX() const { return PivotPoint(offsetMinX, offsetMaxX, pivotX); }
float DisplayObject::PivotPointY() const { return PivotPoint(offsetMinY, offsetMaxY, pivotY); }

void DisplayObject::SetX(float x) {
  if (std::fabs(x - PivotPointX()) < kPlacementTolerance) return;
  const float span = offsetMaxX - offsetMinX;
  offsetMinX = x - pivotX * span;
  offsetMaxX = offsetMinX + span;
  Invalidate(true);
}

void DisplayObject::SetY(float y) {
  if (std::fabs(y - PivotPointY()) < kPlacementTolerance) return;
  const float span = offsetMaxY - offsetMinY;
  offsetMinY = y - pivotY * span;
  offsetMaxY = offsetMinY + span;
  Invalidate(true);
}

bool DisplayObject::ResizeSpan(float& min, float& max, float pivot, float size, float tolerance) {
  if (std::fabs(size - (max - min)) < tolerance) return false;
  min = PivotPoint(min, max, pivot) - pivot * size;
  max = min + size;
  return true;
}

void DisplayObject::SetWidth(float width) {
  if (ResizeSpan(offsetMinX, offsetMaxX, pivotX, width, kPlacementTolerance)) Invalidate(true);
}

void DisplayObject::SetHeight(float height) {
  if (ResizeSpan(offsetMinY, offsetMaxY, pivotY, height, kPlacementTolerance)) Invalidate(true);
}

void DisplayObject::FitToContent(float contentWidth, float contentHeight) {
  if (static_cast<int8_t>(scaleMode) >= 4) return;
  constexpr float kFitTolerance = 0.1f;
  if (scaleMode & 1) {
    anchorMaxX = anchorMinX;
    if (ResizeSpan(offsetMinX, offsetMaxX, pivotX, contentWidth, kFitTolerance)) Invalidate(true);
  }
  if (scaleMode & 2) {
    anchorMaxY = anchorMinY;
    if (ResizeSpan(offsetMinY, offsetMaxY, pivotY, contentHeight, kFitTolerance)) Invalidate(true);
  }
}

uint32_t DisplayObject::GetAnchorsPacked() const {
  return static_cast<uint32_t>(PackAnchor(anchorMinX)) | PackAnchor(anchorMaxX) << 8 |
         PackAnchor(anchorMinY) << 16 | static_cast<uint32_t>(PackAnchor(anchorMaxY)) << 24;
}

void DisplayObject::SetAnchorsPacked(uint32_t packed) {
  anchorMinX = static_cast<float>(packed & 0xFF) * 0.01f;
  anchorMaxX = static_cast<float>(packed >> 8 & 0xFF) * 0.01f;
  anchorMinY = static_cast<float>(packed >> 16 & 0xFF) * 0.01f;
  anchorMaxY = static_cast<float>(packed >> 24 & 0xFF) * 0.01f;
  Invalidate(true);
}

bool DisplayObject::IsDescendantOf(const DisplayObject* other) const {
  if (!other) return false;
  for (const DisplayObject* object = this; object; object = object->parent) {
    if (object == other) return true;
  }
  return false;
}

bool DisplayObject::BoundsContain(float x, float y) const {
  return visible && bounds.x <= x && x <= bounds.x + bounds.width && bounds.y <= y &&
         y <= bounds.y + bounds.height;
}

Point DisplayObject::GlobalToLocal(float x, float y) const {
  const Affine inverse = Inverted(AffineOf(worldMatrix.Get()));
  return Point{inverse.a * x + inverse.c * y + inverse.tx, inverse.b * x + inverse.d * y + inverse.ty};
}

float DisplayObject::GetWorldMouseX() const {
  const Point mouse = g_game ? g_game->mousePosition : Point{};
  return worldMatrix->TransformX(mouse.x, mouse.y);
}

float DisplayObject::GetWorldMouseY() const {
  const Point mouse = g_game ? g_game->mousePosition : Point{};
  return worldMatrix->TransformY(mouse.x, mouse.y);
}

namespace {

// The slot of a skeletal parent that the link word names, or null.
const Slot* LinkedSlot(const DisplayObjectContainer* parent, int32_t slotLink) {
  const Skeleton* skeleton = parent ? parent->GetSkeleton() : nullptr;
  const int32_t index = slotLink >> 1;
  if (!skeleton || !skeleton->slots || index < 0 || index >= skeleton->slotCount) return nullptr;
  return &skeleton->slots[index];
}

}  // namespace

void DisplayObject::GetInverseWorldMatrix(Matrix& matrix) const {
  if (!parent) return;
  if (!parent->GetSkeleton()) {
    const Matrix& parentWorld = *parent->worldMatrix.Get();
    StoreAffine(Inverted(AffineOf(&parentWorld)), &matrix);
    matrix.flipX = parentWorld.flipX;
    matrix.flipY = parentWorld.flipY;
    matrix.flag = parentWorld.flag;
    return;
  }
  // Linked to a slot: its bone's transform; otherwise the matrix as given.
  if (const Slot* slot = LinkedSlot(parent, slotLink); slot && slot->bone) {
    const Bone& bone = *slot->bone;
    matrix.SetValues(bone.a, bone.c, -bone.b, -bone.d, bone.worldX, bone.worldY);
  }
  StoreAffine(Inverted(AffineOf(&matrix)), &matrix);
}

const char* DisplayObject::GetBoneName() const {
  const Slot* slot = LinkedSlot(parent, slotLink);
  if (!slot || !slot->data || !slot->data->name) return "_root";
  return slot->data->name;
}

void DisplayObject::SetBoneName(const char* boneName) {
  slotLink = -1;
  if (boneName && std::strcmp(boneName, "_root") != 0 && parent) {
    const int index = FindSlotIndex(parent->GetSkeleton(), boneName);
    if (index >= 0) slotLink = index * 2;
  }
  dirty = kDirtyAll;
}

}  // namespace GCore
