#pragma once
// Draws one attachment of a posed skeleton through the renderer's free
// geometry: a region as a quad placed by its bone, a mesh as its triangles.
// Main thread only.

namespace GCore {

class Renderer;
struct Attachment;
struct Slot;

// Applies the slot's blend mode; colour is RGBA (the slot's own colour tints
// regions; a mesh takes colour as it is). Other attachment types draw nothing.
void DrawSkeletonAttachment(Renderer& renderer, const Attachment* attachment, const Slot* slot,
                            const float colour[4]);

}  // namespace GCore
