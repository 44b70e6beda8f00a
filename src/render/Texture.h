#pragma once
// A texture: the pixels of one image resource. Pixels are decoded from the
// resource's PNG file on demand, uploaded by the renderer and then, as a rule,
// dropped from memory (a texture with a saved mask source, or whose pixels an
// image operation made, keeps them).
// Pixel layout everywhere in the engine: 8-bit RGBA, bytes red, green, blue,
// alpha, rows top to bottom.
// Ownership: the resource manager creates textures and releases their GL
// names through the renderer before deleting them. Main thread only.
#include <cstdint>
#include <memory>

namespace GCore {

// Resource id of the placeholder image used when a path cannot be found.
constexpr uint32_t kPlaceholderImageId = 0x56000001;
// Kinds (bits 28 to 31 of a resource id) that textures care about.
constexpr uint32_t kKindRenderTarget = 2;
constexpr uint32_t kKindImage = 5;
constexpr uint32_t kKindSkeletonImage = 8;

constexpr uint32_t ResourceKind(uint32_t id) { return id >> 28; }

class Texture {
 public:
  Texture(uint32_t variant, uint32_t id);
  Texture(const Texture&) = delete;
  Texture& operator=(const Texture&) = delete;
  // Frees pixels, mask and saved source. The GL texture is not deleted here:
  // the resource manager has the renderer release it first.
  virtual ~Texture();
  // Frees the pixels unless a saved mask source keeps them alive or no file
  // holds them (keepsPixels).
  virtual void ReleasePixels();
  // Hook for textures that own more than their pixels (glyph sheets).
  virtual void Release() {}

  uint32_t Kind() const { return ResourceKind(id); }
  // A grey variant (bits 12 to 15 equal 0xB) decodes its file in grey.
  bool IsGreyVariant() const { return ((id >> 12) & 0xF) == 0xB; }

  // Makes the pixels exist for the texture's kind; false when a decode fails.
  // A file that failed to decode is not decoded again (nor its failure logged
  // again) until RetryDecode: readers of single pixels would otherwise decode
  // it once per pixel.
  bool EnsurePixels();
  bool LoadPNG();
  // Forgets a failed decode: the texture was evicted or marked changed.
  void RetryDecode() { decodeFailed_ = false; }
  // Learns width and height without decoding.
  bool ReadPNGSize();
  // The id whose file holds the pixels: the id with the grey bits cleared.
  uint32_t SourceId() const;
  // The file path of SourceId() or of the placeholder; lives in the shared
  // path buffer.
  const char* GetSourcePath() const;
  // 0 on success, 1 on failure (the reason goes to standard error).
  int SavePNG(const char* path);

  // Paints a soft stroke from (x1, y1) to (x2, y2) into the mask and composes
  // the pixels from it: `paint` false erases (reveals transparency along the
  // stroke), true paints the saved source back in.
  bool DrawMask(float x1, float y1, float x2, float y2, float radius, bool paint);
  // Recompose the box [x0, x1) x [y0, y1) (clamped to the image) from the saved
  // source and the mask, plainly or with the outline colour.
  void ComposeMask(int x0, int y0, int x1, int y1);
  void ComposeMaskOutline(int x0, int y0, int x1, int y1);

  // Marks rows [begin, end) as changed. Changes of a texture that is dirty
  // already widen its range; a texture dirty as a whole stays so.
  void MarkRowsDirty(int32_t begin, int32_t end);

  bool dirty = true;            // pixels must be uploaded at the next preparation
  // When not empty, the rows holding every change since the last upload;
  // empty with `dirty` set means the whole texture.
  int32_t dirtyRowsBegin = 0;
  int32_t dirtyRowsEnd = 0;
  int32_t glName = 0;           // 0 = not uploaded
  uint32_t outlineColour = 0;   // mask outline, red in bits 16 to 23; 0 = none
  float feather = 5.0f;         // soft-edge width of mask strokes, pixels
  uint32_t variant;             // low byte: project index for path lookup
  uint32_t id;                  // resource id
  int32_t width = 0;
  int32_t height = 0;
  std::unique_ptr<uint8_t[]> pixels;       // width x height x 4
  std::unique_ptr<uint8_t[]> mask;         // width x height coverage bytes
  std::unique_ptr<uint8_t[]> savedSource;  // pixels as they were before the first mask
  // The pixels were made in memory (an image operation): no file holds
  // them, so they stay after uploads and evictions.
  bool keepsPixels = false;

  // What GL holds for this texture, kept by the renderer: a size change must
  // re-specify the image, and a mipmap filter needs mipmaps of the current
  // contents.
  int32_t uploadedWidth = 0;
  int32_t uploadedHeight = 0;
  bool hasMipmaps = false;

 private:
  bool MakeMask(bool paint);

  bool decodeFailed_ = false;
};

}  // namespace GCore
