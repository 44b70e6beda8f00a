#pragma once
// The one drawing interface of the engine. Display classes append textured,
// coloured triangles to the current batch and switch state only through the
// operations below; the GL classes give them their GL meaning.
// Rules every caller may rely on:
//  - geometry is in design coordinates (origin bottom left, y up); the view
//    and projection turn it into window pixels;
//  - new geometry whose texture differs from the batch's flushes the batch
//    first; every state change (blend, filter, transform, scissor, stencil)
//    flushes first, so geometry is drawn with the state of its appending;
//  - a flush is one draw call; flushes happen only on texture change, state
//    change and frame end.
// The base class keeps the batch, the fitting of the window to the design
// size and all bookkeeping; back ends override the hooks that act.
// The engine has one renderer at a time: constructing one makes it
// g_renderer, destroying it clears that pointer. Main thread only.
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "core/AirData.h"
#include "core/Matrix.h"
#include "core/Object.h"
#include "render/Image.h"
#include "render/QuadBatch.h"
#include "render/RenderMath.h"
#include "render/RetainedDraw.h"
#include "render/VertexBatch.h"

namespace GCore {

class DisplayObject;
class Texture;

// The design size, the fitting mode (0 letterbox, 1 expand) and the
// collision-box switch are script settings (g_settings).
// The transform of the last PushTransform; created and held by the game object.
extern Matrix* CurrentTransform;

// The display list plugs in here, so that the renderer needs no display class:
// draws the frame's content (the object's Update then Draw, or with null every
// project's stage in project order), and fits every stage to a new size.
using SceneDrawFunction = void (*)(DisplayObject* object);
using StageFitFunction = void (*)();
extern SceneDrawFunction g_drawScene;
extern StageFitFunction g_fitStages;

class Renderer;
extern Renderer* g_renderer;

enum BlendModes : int8_t { kBlendAlpha = 0, kBlendAdd = 1, kBlendMultiply = 2, kBlendScreen = 3 };
enum TextureFilters : int8_t { kFilterNearest = 0, kFilterLinear = 1, kFilterMipmap = 2 };

// Low byte of DrawImage's mode word: which placement fields apply.
enum PlacementSelector : uint8_t {
  kPlaceAt = 0,            // x, y: bottom-left corner, image pixel size
  kPlaceHanging = 1,       // x, y: top-left corner, image pixel size
  kPlaceRect = 2,          // x, y, width, height
  kPlaceMatrix = 3,        // the image rectangle at the origin through the matrix
  kPlaceRectMatrix = 4,    // x, y, width, height through the matrix
  kPlaceAtMatrix = 5,      // x, y, image pixel size, through the matrix
  kPlaceCornersMatrix = 6  // corner x and y records (P0, P1, P3, P2) through the matrix
};

// A clip box in window pixels, origin bottom left.
struct ScissorBox {
  int32_t x = 0;
  int32_t y = 0;
  int32_t width = 0;
  int32_t height = 0;
};

// Placement arguments of DrawImage; the selector says which are read.
struct DrawPlacement {
  double x = 0;
  double y = 0;
  double width = 0;
  double height = 0;
  const Matrix* matrix = nullptr;
  const float* cornerX = nullptr;  // four floats
  const float* cornerY = nullptr;  // four floats
};

class Renderer {
 public:
  Renderer();
  Renderer(const Renderer&) = delete;
  Renderer& operator=(const Renderer&) = delete;
  virtual ~Renderer();

  virtual int Init() { return 0; }
  // Frame: mask level reset, draw calls 0, BeginFrame, the scene, a flush of
  // the current batch, EndFrame.
  virtual void RenderFrame(DisplayObject* object);
  // Draws the current batch, then the given one (a shape's own geometry;
  // null for none). An empty batch issues nothing.
  virtual void Flush(VertexBatch* target);
  virtual void PushTransform(const Matrix& matrix);
  virtual void ResetTransform();

  // The colour points to r, g, b, a (0 to 1) and, when the mode word asks for
  // a second colour, three more floats r, g, b after them. Bits 16 to 19 of
  // the mode word fade edges (1 top, 2 bottom, 3 right, 4 left) or draw an
  // ellipse (5 rim transparent, 6 centre transparent); bits 20 to 23 give an
  // edge the second colour (16 top, 32 bottom, 48 right, 64 left) or draw an
  // ellipse with its rim in it (80).
  virtual void DrawImage(const Image* image, const AirFrameInfo* frame, const float* colour,
                         uint32_t mode, const DrawPlacement& at);
  // What DrawImage appends for a rectangle through a matrix in one colour,
  // unframed and unsliced, from the rectangle's corners already placed:
  // P0 bottom-left, P1 bottom-right, P2 top-right, P3 top-left (x, y pairs).
  void DrawImageCorners(const Image& image, const float corners[8], uint32_t packedColour,
                        uint8_t flip) {
    const uint32_t packed[4] = {packedColour, packedColour, packedColour, packedColour};
    AppendQuad(image, corners, packed, flip);
  }
  // n quads of corners c0 top-left, c1 top-right, c2 bottom-left, c3
  // bottom-right: 8 position floats a quad, 8 texture floats when uv is
  // given, 16 colour floats when colours are given; a stride of 0 steps 8
  // (16 for colours) a quad, another stride steps that many floats. Without
  // colours every vertex takes packedColour 0xRRGGBBAA.
  virtual void DrawQuads(const Image* image, int32_t n, const float* corners, const float* uv,
                         const float* colours, int32_t stride, uint32_t packedColour);
  // One quad of corners p0 to p3 (x, y pairs) with their texture
  // coordinates, drawn as the triangles (p0, p1, p2) and (p0, p2, p3).
  void DrawTexturedQuad(Texture* texture, const float positions[8], const float uvs[8],
                        uint32_t packedColour);
  // The triangles of an index list (a multiple of three; a rest is dropped)
  // over vertices of vertexFloats floats: x, y pairs in positions, u, v
  // pairs in uvs. A triangle naming a vertex past them is skipped.
  void DrawTriangles(Texture* texture, const float* positions, const float* uvs,
                     int32_t vertexFloats, const uint16_t* indices, int32_t indexCount,
                     uint32_t packedColour);
  virtual void SetProjection(float, float, float, float, float, float, bool) {}
  virtual void SetView(float x, float y, float scaleX, float scaleY);
  virtual void SetViewport(float, float, float, float) {}
  virtual void ApplyViewMatrix() {}
  virtual void Resize(int32_t width, int32_t height);
  // Clips to the box (a negative size spans the box back from x or y) inside
  // the box in force; PopScissor brings back the box in force before the
  // matching push. The renderer keeps the boxes; back ends apply them.
  virtual void PushScissor(int32_t x, int32_t y, int32_t width, int32_t height);
  virtual void PopScissor();
  // The clip box in force; null when nothing clips.
  const ScissorBox* CurrentScissor() const { return scissors_.empty() ? nullptr : &scissors_.back(); }
  virtual void BeginStencilMask(bool, float) {}
  virtual void ApplyStencilMask() {}
  virtual void EndStencilMask() {}
  // The texture's GL name after making it current for drawing; 0 = none.
  virtual uint32_t PrepareTexture(Texture*) { return 0; }
  virtual void ReleaseTexture(Texture*) {}
  virtual void SetTintMode(bool) {}
  virtual void SetBlendMode(int8_t mode);
  virtual void SetTextureFilter(int8_t filter);
  virtual void UseShader(int32_t) {}
  // Fills window width x height RGBA pixels, bottom row first.
  virtual void ReadScreen(uint8_t*) {}
  virtual void DrawBlurPass() {}
  virtual void BeginFrame() {}
  virtual void EndFrame() {}

  // A display object's state: UseShader, SetTintMode, SetBlendMode and
  // SetTextureFilter in that order, recorded when a capture is under way.
  void ApplyDrawState(const DrawState& state);
  // Retained drawing (see RetainedDraw.h). BeginCapture empties `into` and
  // records into it until EndCapture, which says whether the capture is
  // complete; captures do not nest. SpoilCapture marks the capture under way
  // incomplete. Replay hands the renderer what a capture recorded (into the
  // capture under way, if any).
  void BeginCapture(RetainedDraw& into);
  bool EndCapture();
  bool Capturing() const { return capture_ != nullptr; }
  void SpoilCapture();
  void Replay(const RetainedDraw& draw);

  // The base view transform (design to window), held by the renderer.
  void SetBaseViewTransform(Matrix* matrix) { baseViewTransform.Reset(matrix); }
  QuadBatch* CurrentBatch() const { return batch_.get(); }

  float offsetX = 0, offsetY = 0;
  float scaleX = 1.0f, scaleY = 1.0f;
  float windowWidth = 800, windowHeight = 600;
  float logicalWidth = 800, logicalHeight = 600;
  int32_t drawCalls = 0;
  int8_t blendMode = -1;
  int8_t textureFilter = -1;
  std::unique_ptr<float[]> worldVertices;  // kWorldVertexFloats, one skeleton attachment
  Retained<Matrix> baseViewTransform;
  uint8_t blurCounter = 0;
  uint8_t blurState = 0;
  Mat4 viewMatrix = ViewMatrixOf(Affine{});

  static constexpr int32_t kWorldVertexFloats = 1000;

 protected:
  // Back-end hooks: draw the non-empty current batch, or a non-empty shape
  // batch; set GL blend factors.
  virtual void SubmitQuads(QuadBatch&) {}
  virtual void SubmitBatch(VertexBatch&) {}
  virtual void ApplyBlendMode(int8_t) {}
  // Makes the box the clip box; null switches clipping off.
  virtual void ApplyScissor(const ScissorBox*) {}

  // Makes the batch sample `texture` (flushing it first when it samples
  // another) and room for n more vertices; false when it cannot grow. The
  // usual case, more of the same texture with room left and no capture,
  // costs no call.
  bool PrepareBatch(Texture* texture, uint32_t n) {
    const QuadBatch& b = *batch_;
    if (texture == b.texture && n <= b.capacity - b.count && !capture_) return true;
    return PrepareBatchFully(texture, n);
  }
  // The placeholder image, used for mask fills and collision boxes.
  const Image* PlaceholderImage() const;
  void SetViewFrom(const Affine& transform);

  int32_t maskLevel = -1;
  int32_t maskReference = 0;

 private:
  // The corners' colours as PackColour packs them. Inline: every quad drawn
  // comes here.
  void AppendQuad(const Image& image, const float c[8], const uint32_t packed[4], uint8_t flip) {
    if (!PrepareBatch(image.texture, 4)) return;
    float u = image.u, du = image.du, v = image.v, dv = image.dv;
    if (flip & kFlipHorizontal) u += du, du = -du;
    if (flip & kFlipVertical) v += dv, dv = -dv;
    // The image's first pixel row is at the top (P2, P3).
    QuadVertex* q = CurrentBatch()->NextQuad();
    q[0] = {c[0], c[1], u, v + dv, packed[0]};
    q[1] = {c[2], c[3], u + du, v + dv, packed[1]};
    q[2] = {c[4], c[5], u + du, v, packed[2]};
    q[3] = {c[6], c[7], u, v, packed[3]};
  }
  void AppendEllipse(const Image& image, const float corners[8], const float* colour,
                     uint32_t mode);
  void DrawNineSlice(const Image& image, const float* colour, uint32_t mode, double x, double y,
                     double width, double height, const Matrix* matrix);
  void DrawCollisionBoxes(const AirFrameInfo& frame, double originX, double originY, double sx,
                          double sy, const Matrix* matrix);

  // The vertices appended since the capture's run opened go into the
  // capture; a run opens when geometry is prepared and closes at the next
  // state call or flush.
  void OpenCapturedRun();
  void CloseCapturedRun();
  // PrepareBatch beyond its usual case.
  bool PrepareBatchFully(Texture* texture, uint32_t n);

  std::unique_ptr<QuadBatch> batch_;
  std::vector<ScissorBox> scissors_;  // innermost last
  RetainedDraw* capture_ = nullptr;
  std::optional<DrawState> capturedState_;  // the last state call recorded
  bool runOpen_ = false;
  uint32_t runStart_ = 0;
};

}  // namespace GCore
