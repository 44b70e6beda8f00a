// "gcore.c": pixel operations on images (tone filters, crop, resizes, blur)
// and the capture of the window into an image. Every image is the first
// project's, whatever project is current. A missing image, a size of 0 or
// less and a source too small to blur change nothing.
#include <algorithm>
#include <cstring>
#include <vector>

#include "base/Log.h"
#include "game/GCoreApi.h"
#include "platform/Clock.h"
#include "render/Image.h"
#include "render/ImageOps.h"
#include "render/Renderer.h"
#include "render/ResourceManager.h"
#include "render/Texture.h"

namespace GCore::Api {

namespace {

Image* FirstProjectImage(uint32_t id) {
  Image* image = g_resourceManager ? g_resourceManager->GetImage(OwnerPair{1, id}) : nullptr;
  return image && image->texture ? image : nullptr;
}

// The source and target images of arguments 1 and 2; false when either is missing.
bool SourceAndTarget(lua_State* L, Image*& source, Image*& target) {
  source = FirstProjectImage(IdArg(L, 1));
  target = FirstProjectImage(IdArg(L, 2));
  return source && target;
}

// doResize and doResize_Bi: (source id, target id, width, height).
int Resize(lua_State* L, PixelBuffer (*resize)(const PixelView&, int64_t, int64_t), const char* name) {
  Image* source;
  Image* target;
  if (!SourceAndTarget(L, source, target)) return 0;
  const int64_t width = Int64Arg(L, 3);
  const int64_t height = Int64Arg(L, 4);
  if (width <= 0 || height <= 0 || width > kMaxImageOpSide || height > kMaxImageOpSide) {
    LogPrintf("%s: a size of %lld x %lld is outside 1 to %d\n", name, static_cast<long long>(width),
              static_cast<long long>(height), kMaxImageOpSide);
    return 0;
  }
  StoreResult(*target, resize(PixelsOf(*source), width, height));
  return 0;
}

}  // namespace

int doCrop(lua_State* L) {
  Image* source;
  Image* target;
  if (!SourceAndTarget(L, source, target)) return 0;
  PixelBuffer cropped = CropPixels(PixelsOf(*source), lua_tonumber(L, 3), lua_tonumber(L, 4),
                                   lua_tonumber(L, 5), lua_tonumber(L, 6));
  if (cropped.Empty()) {
    LogPrintf("doCrop: the rectangle holds no pixel of the source\n");
    return 0;
  }
  StoreResult(*target, std::move(cropped));
  return 0;
}

int doResize(lua_State* L) { return Resize(L, ResizeNearest, "doResize"); }

int doResize_Bi(lua_State* L) { return Resize(L, ResizeBilinear, "doResize_Bi"); }

int doFilter(lua_State* L) {
  Image* image = FirstProjectImage(IdArg(L, 1));
  ToneCurves curves;
  if (!image || !BuildFilterCurves(IntArg(L, 2), 1.0, curves)) return 0;
  const uint32_t start = timeGetTime();
  const PixelView view = PixelsOf(*image);
  if (!view.pixels) return 0;
  Texture& texture = *image->texture;
  ApplyFilterCurves(texture.pixels.get(), static_cast<size_t>(view.width) * static_cast<size_t>(view.height), curves);
  texture.keepsPixels = true;
  texture.dirty = true;
  texture.dirtyRowsBegin = texture.dirtyRowsEnd = 0;
  // The next draw makes the GL texture again from the new pixels.
  if (g_renderer) g_renderer->ReleaseTexture(&texture);
  LogPrintf("Filter done in %.2f s\n", static_cast<double>(timeGetTime() - start) / 1000.0);
  return 0;
}

int GaussianBlur(lua_State* L) {
  Image* source;
  Image* target;
  if (!SourceAndTarget(L, source, target)) return 0;
  const PixelView original = PixelsOf(*source);
  if (original.width < 2 || original.height < 2) {
    LogPrintf("GaussianBlur: a source of %d x %d pixels is too small to blur\n", original.width,
              original.height);
    return 0;
  }
  const int32_t width = original.width;
  const int32_t height = original.height;
  // The blur runs on the source's half-size copy, which replaces the source.
  StoreResult(*source, ResizeNearest(original, width / 2, height / 2));
  StoreResult(*target, BlurPixels(PixelsOf(*source)));
  StoreResult(*target, ResizeNearest(PixelsOf(*target), width, height));
  return 0;
}

int screenShot(lua_State* L) {
  Image* image = FirstProjectImage(IdArg(L, 1));
  if (!image || !g_renderer) return 0;
  const auto width = static_cast<int64_t>(g_renderer->windowWidth);
  const auto height = static_cast<int64_t>(g_renderer->windowHeight);
  if (width <= 0 || height <= 0 || width > kMaxImageOpSide || height > kMaxImageOpSide) return 0;
  const size_t rowBytes = static_cast<size_t>(width) * 4;
  std::vector<uint8_t> screen(rowBytes * static_cast<size_t>(height));
  g_renderer->ReadScreen(screen.data());
  // The window's rows come bottom row first; images hold theirs top first.
  PixelBuffer shot;
  shot.width = static_cast<int32_t>(width);
  shot.height = static_cast<int32_t>(height);
  shot.pixels.reset(new uint8_t[screen.size()]);
  for (int64_t row = 0; row < height; ++row) {
    std::memcpy(shot.pixels.get() + rowBytes * static_cast<size_t>(row),
                screen.data() + rowBytes * static_cast<size_t>(height - 1 - row), rowBytes);
  }
  StoreResult(*image, std::move(shot));
  return 0;
}

}  // namespace GCore::Api
