// SpineQuad's draw: the animation step, the slots in draw order with the
// children linked to them, then the children in the quad's own space.
#include "core/GameIF.h"
#include "render/Renderer.h"
#include "spinequad/SkeletonAttachmentDraw.h"
#include "spine/SkeletonData.h"
#include "spinequad/SpineQuad.h"
#include "spine/SpineRecords.h"

namespace GCore {

namespace {

int32_t ToChannel(float value) { return static_cast<int32_t>(value * 255.0f); }

}  // namespace

void SpineQuad::Draw() {
  if (!visible) return;
  DisplayObject::Draw();
  const std::shared_ptr<SpineInstance> instance = instance_;
  if (!instance) return;
  Retained<SpineQuad> hold(this);
  ++eventsOn_;
  DrawPosed(instance);
  if (IfAlive(this)) --eventsOn_;
}

void SpineQuad::DrawPosed(const std::shared_ptr<SpineInstance>& instance) {
  const SkeletonData& data = *instance->record->skeletonData;
  if (dirty & kDirtyBounds) {
    FitToContent(data.width, data.height);
    const float w = GetWidth();
    const float h = GetHeight();
    const float left = -pivotX * w;
    const float bottom = -pivotY * h;
    SetBoundsFromLocalBox(left, bottom, w, h);
    dirty &= static_cast<uint8_t>(~kDirtyBounds);
  }
  Advance(static_cast<float>(g_game ? g_game->lastStep : 0) * 0.001f);
  if (!StillPlays(this, instance.get())) return;

  const ColorTransform heldColour = worldColor;
  const float base[4] = {static_cast<float>(worldColor.r) * kChannelScale,
                         static_cast<float>(worldColor.g) * kChannelScale,
                         static_cast<float>(worldColor.b) * kChannelScale,
                         static_cast<float>(worldColor.a) * kChannelScale};
  const Skeleton& skeleton = *instance->skeleton;
  worldMatrix.Borrow(boneMatrix_.Get());
  bool interrupted = false;
  for (int32_t i = 0; i < skeleton.slotCount && !interrupted; ++i) {
    Slot* slot = skeleton.drawOrder[i];
    if (!slot || !slot->data || !slot->bone) continue;
    const int32_t link = slot->data->index * 2;
    const Bone& bone = *slot->bone;
    boneMatrix_->SetValues(bone.a, bone.c, -bone.b, -bone.d, bone.worldX, bone.worldY);
    const float colour[4] = {skeleton.r * base[0] * slot->r, skeleton.g * base[1] * slot->g,
                             skeleton.b * base[2] * slot->b, skeleton.a * base[3] * slot->a};
    worldColor = ColorTransform{ToChannel(colour[0]), ToChannel(colour[1]), ToChannel(colour[2]),
                                ToChannel(colour[3])};
    interrupted = !DrawLinkedChildren(link, *instance);
    if (interrupted) break;
    if (slot->attachment && g_renderer)
      DrawSkeletonAttachment(*g_renderer, slot->attachment, slot, colour);
    interrupted = !DrawLinkedChildren(link + 1, *instance);
  }
  if (!IfAlive(this)) return;
  worldMatrix.Restore();
  worldColor = heldColour;
  if (interrupted) return;

  for (int32_t i = 0; i < NumChildren(); ++i) {
    Retained<DisplayObject> child = children[static_cast<size_t>(i)];
    if (child->slotLink >= 0) continue;
    child->Draw();
    if (!StillPlays(this, instance.get())) return;
  }
}

bool SpineQuad::DrawLinkedChildren(int32_t link, const SpineInstance& instance) {
  for (int32_t i = 0; i < NumChildren(); ++i) {
    Retained<DisplayObject> child = children[static_cast<size_t>(i)];
    child->Invalidate(true);
    child->Invalidate(false);
    if (child->slotLink != link) continue;
    child->Draw();
    if (!StillPlays(this, &instance)) return false;
  }
  return true;
}

}  // namespace GCore
