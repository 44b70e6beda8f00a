#include "spinequad/SkeletonAttachmentDraw.h"

#include "render/QuadBatch.h"
#include "render/Renderer.h"
#include "spine/SpineRecords.h"

namespace GCore {

namespace {

Texture* PageTexture(const AtlasRegion* region) {
  return region && region->page ? region->page->rendererObject : nullptr;
}

void DrawRegion(Renderer& renderer, const RegionAttachment& region, const Slot& slot,
                const float colour[4]) {
  const Bone* bone = slot.bone;
  if (!bone) return;
  float world[8];
  for (int i = 0; i < 4; ++i) {
    const float ox = region.offset[2 * i], oy = region.offset[2 * i + 1];
    world[2 * i] = ox * bone->a + oy * bone->b + bone->worldX;
    world[2 * i + 1] = ox * bone->c + oy * bone->d + bone->worldY;
  }
  const float tint[4] = {slot.r * colour[0], slot.g * colour[1], slot.b * colour[2],
                         slot.a * colour[3]};
  renderer.DrawTexturedQuad(PageTexture(region.rendererObject), world, region.uvs,
                            PackColour(tint));
}

void DrawMesh(Renderer& renderer, const MeshAttachment& mesh, const Slot& slot,
              const float colour[4]) {
  const int32_t length = mesh.worldVerticesLength;
  if (length <= 0 || length > Renderer::kWorldVertexFloats) return;
  if (!g_spineRuntime || !g_spineRuntime->computeWorldVertices) return;
  float* world = renderer.worldVertices.get();
  g_spineRuntime->computeWorldVertices(&mesh, &slot, 0, length, world, 0);
  renderer.DrawTriangles(PageTexture(mesh.rendererObject), world, mesh.uvs, length,
                         mesh.triangles, mesh.trianglesCount, PackColour(colour));
}

}  // namespace

void DrawSkeletonAttachment(Renderer& renderer, const Attachment* attachment, const Slot* slot,
                            const float colour[4]) {
  if (!attachment || !slot || !colour) return;
  if (slot->data) renderer.SetBlendMode(static_cast<int8_t>(slot->data->blendMode));
  if (attachment->type == kAttachmentRegion) {
    DrawRegion(renderer, static_cast<const RegionAttachment&>(*attachment), *slot, colour);
  } else if (attachment->type == kAttachmentMesh) {
    DrawMesh(renderer, static_cast<const MeshAttachment&>(*attachment), *slot, colour);
  }
}

}  // namespace GCore
