#include "render/Texture.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string>

#include "base/Log.h"
#include "core/FileStream.h"
#include "core/ResourcePath.h"
#include "render/PNG.h"

namespace GCore {

namespace {

constexpr uint32_t kGreyBits = 0xF000;
// Size that a render target reports before it has pixels.
constexpr int32_t kRenderTargetSide = 512;
constexpr int32_t kPlaceholderSide = 4;

// The open stream and the bytes it still holds: libpng is never handed more
// than the file has, whatever the stream's read reports.
struct PngStreamSource {
  FileStream* stream;
  size_t remaining;
};

bool PngReadFromStream(void* io, uint8_t* buffer, size_t length) {
  auto* source = static_cast<PngStreamSource*>(io);
  if (length > source->remaining || !source->stream->Read(buffer, length)) return false;
  source->remaining -= length;
  return true;
}

bool OpenSource(const char* path, FileStream& stream, PngStreamSource& source) {
  if (!stream.Open(path, kStreamRead)) return false;
  const int32_t size = stream.Impl()->Size();
  if (size < 0) return false;
  source = {&stream, static_cast<size_t>(size)};
  return true;
}

}  // namespace

Texture::Texture(uint32_t variantWord, uint32_t resourceId) : variant(variantWord), id(resourceId) {}

Texture::~Texture() { glName = 0; }

void Texture::MarkRowsDirty(int32_t begin, int32_t end) {
  if (!dirty) {
    dirty = true;
    dirtyRowsBegin = begin;
    dirtyRowsEnd = end;
  } else if (dirtyRowsEnd > dirtyRowsBegin) {
    dirtyRowsBegin = std::min(dirtyRowsBegin, begin);
    dirtyRowsEnd = std::max(dirtyRowsEnd, end);
  }
}

void Texture::ReleasePixels() {
  if (!savedSource && !keepsPixels) pixels.reset();
}

uint32_t Texture::SourceId() const { return IsGreyVariant() ? (id & ~kGreyBits) : id; }

const char* Texture::GetSourcePath() const {
  const char* path = GetPath(SourceId(), static_cast<int>(variant & 0xFF));
  return path ? path : GetPath(kPlaceholderImageId, 1);
}

bool Texture::EnsurePixels() {
  if (pixels) return true;
  switch (Kind()) {
    case kKindRenderTarget: {
      // Zeroed pixels of the texture's own size, so that whoever reads
      // width x height pixels stays inside the buffer.
      if (width <= 0 || height <= 0) width = height = kPlaceholderSide;
      const size_t bytes = static_cast<size_t>(width) * height * 4;
      pixels.reset(new (std::nothrow) uint8_t[bytes]());
      dirty = true;
      return pixels != nullptr;
    }
    case kKindImage:
    case kKindSkeletonImage:
      return !decodeFailed_ && LoadPNG();
    default:
      return true;
  }
}

bool Texture::LoadPNG() {
  const char* found = GetSourcePath();
  pixels.reset();
  width = height = 0;
  if (!found) return false;
  const std::string path = found;

  FileStream stream;
  PngStreamSource source{};
  PngImage image;
  if (!OpenSource(path.c_str(), stream, source) || !DecodePng(PngReadFromStream, &source, IsGreyVariant(), image)) {
    // Said once per load: the renderer then uploads the texture empty and
    // does not ask again until the texture is evicted or marked changed.
    LogPrintf("image 0x%08x: %s does not decode as a PNG file\n", id, path.c_str());
    decodeFailed_ = true;
    return false;
  }
  decodeFailed_ = false;
  width = image.width;
  height = image.height;
  pixels = std::move(image.pixels);
  return true;
}

bool Texture::ReadPNGSize() {
  if (Kind() == kKindRenderTarget) {
    width = height = kRenderTargetSide;
    return true;
  }
  if (Kind() != kKindImage) return false;
  const char* found = GetSourcePath();
  width = height = 0;
  if (!found) return false;
  const std::string path = found;

  FileStream stream;
  PngStreamSource source{};
  if (!OpenSource(path.c_str(), stream, source)) return false;
  return ReadPngHeader(PngReadFromStream, &source, width, height);
}

int Texture::SavePNG(const char* path) {
  if (!EnsurePixels() || !pixels) {
    LogErrorPrintf("No pixels to write to %s\n", path);
    return 1;
  }
  return WritePng(path, pixels.get(), width, height);
}

}  // namespace GCore
