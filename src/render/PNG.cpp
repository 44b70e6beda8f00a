#include "render/PNG.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <new>

#include <png.h>

#include "base/Log.h"
#include "core/ReplacingFile.h"

// libpng reports errors by longjmp back to the setjmp of the calling frame.
// Every function here that calls setjmp holds only trivially destructible
// locals, and the objects with destructors live in the caller, so a jump never
// skips a destructor.

namespace GCore {

namespace {

struct ReadJob {
  png_structp png = nullptr;
  png_infop info = nullptr;
  png_uint_32 width = 0;
  png_uint_32 height = 0;
  PngReadFunction read = nullptr;
  void* io = nullptr;
  bool interlaced = false;
  int passes = 1;

  ReadJob(PngReadFunction readFunction, void* readState) : read(readFunction), io(readState) {}
  ReadJob(const ReadJob&) = delete;
  ReadJob& operator=(const ReadJob&) = delete;
  ~ReadJob() {
    if (png) png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
  }
};

void ReadThroughJob(png_structp png, png_bytep buffer, png_size_t length) {
  auto* job = static_cast<ReadJob*>(png_get_io_ptr(png));
  if (!job->read(job->io, buffer, length)) png_error(png, "Read Error");
}

bool CreateReader(ReadJob& job) {
  job.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (!job.png) return false;
  job.info = png_create_info_struct(job.png);
  if (!job.info) return false;
  png_set_read_fn(job.png, &job, ReadThroughJob);
  png_set_user_limits(job.png, kMaxPngSide, kMaxPngSide);
  return true;
}

bool ReadInfo(ReadJob& job) {
  if (setjmp(png_jmpbuf(job.png))) return false;
  png_read_info(job.png, job.info);
  job.width = png_get_image_width(job.png, job.info);
  job.height = png_get_image_height(job.png, job.info);
  job.interlaced = png_get_interlace_type(job.png, job.info) != PNG_INTERLACE_NONE;
  return job.width > 0 && job.height > 0;
}

// Every colour type and depth becomes 8-bit RGBA; libpng de-interlaces.
bool RequestRgba(ReadJob& job) {
  if (setjmp(png_jmpbuf(job.png))) return false;
  png_set_expand(job.png);
  png_set_scale_16(job.png);
  png_set_gray_to_rgb(job.png);
  png_set_filler(job.png, 0xFF, PNG_FILLER_AFTER);
  job.passes = png_set_interlace_handling(job.png);
  png_read_update_info(job.png, job.info);
  return png_get_rowbytes(job.png, job.info) == static_cast<size_t>(job.width) * 4;
}

// One row of the current pass into `row`, which holds what the earlier
// passes put there.
bool ReadRow(ReadJob& job, png_bytep row) {
  if (setjmp(png_jmpbuf(job.png))) return false;
  png_read_row(job.png, row, nullptr);
  return true;
}

bool ReadEnd(ReadJob& job) {
  if (setjmp(png_jmpbuf(job.png))) return false;
  png_read_end(job.png, nullptr);
  return true;
}

// The picture's rows, allocated only as far as the decoding has reached and
// doubled as it goes on, so that a file declaring a large picture but holding
// little of it never costs the whole picture.
class GrowingRows {
 public:
  GrowingRows(size_t stride, size_t height) : stride_(stride), height_(height) {}

  // Row y, zeroed when new; null when no memory is left for it.
  uint8_t* Row(size_t y) {
    if (y >= rows_ && !Grow(y + 1)) return nullptr;
    return bytes_.get() + stride_ * y;
  }

  // The whole picture, once its last row has been asked for.
  std::unique_ptr<uint8_t[]> Release() { return std::move(bytes_); }

 private:
  bool Grow(size_t atLeast) {
    const size_t rows = std::min(height_, std::max(atLeast, rows_ * 2));
    std::unique_ptr<uint8_t[]> grown(new (std::nothrow) uint8_t[stride_ * rows]());
    if (!grown) return false;
    if (bytes_) std::memcpy(grown.get(), bytes_.get(), stride_ * rows_);
    bytes_ = std::move(grown);
    rows_ = rows;
    return true;
  }

  size_t stride_;
  size_t height_;
  size_t rows_ = 0;
  std::unique_ptr<uint8_t[]> bytes_;
};

void MakeGrey(uint8_t* pixels, size_t count) {
  for (size_t i = 0; i < count; ++i, pixels += 4) {
    const auto mean = static_cast<uint8_t>((pixels[0] + pixels[1] + pixels[2]) / 3);
    pixels[0] = pixels[1] = pixels[2] = mean;
  }
}

struct WriteJob {
  png_structp png = nullptr;
  png_infop info = nullptr;

  WriteJob() = default;
  WriteJob(const WriteJob&) = delete;
  WriteJob& operator=(const WriteJob&) = delete;
  ~WriteJob() {
    if (png) png_destroy_write_struct(&png, info ? &info : nullptr);
  }
};

bool WriteRows(WriteJob& job, FILE* file, const uint8_t* pixels, int32_t width, int32_t height) {
  if (setjmp(png_jmpbuf(job.png))) return false;
  png_init_io(job.png, file);
  png_set_IHDR(job.png, job.info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height),
               8, PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_write_info(job.png, job.info);
  const size_t stride = static_cast<size_t>(width) * 4;
  for (int32_t y = 0; y < height; ++y) png_write_row(job.png, pixels + stride * y);
  png_write_end(job.png, nullptr);
  return true;
}

}  // namespace

bool PngReadFromMemory(void* io, uint8_t* buffer, size_t length) {
  auto* source = static_cast<PngMemorySource*>(io);
  if (!source || length > source->size - source->position) return false;
  std::memcpy(buffer, source->data + source->position, length);
  source->position += length;
  return true;
}

bool ReadPngHeader(PngReadFunction read, void* io, int32_t& width, int32_t& height) {
  width = height = 0;
  ReadJob job(read, io);
  if (!CreateReader(job) || !ReadInfo(job)) return false;
  width = static_cast<int32_t>(job.width);
  height = static_cast<int32_t>(job.height);
  return true;
}

bool DecodePng(PngReadFunction read, void* io, bool grey, PngImage& image) {
  image = PngImage{};
  ReadJob job(read, io);
  if (!CreateReader(job) || !ReadInfo(job)) return false;
  if (uint64_t{job.width} * job.height > kMaxPngPixels) {
    LogPrintf("PNG of %u x %u pixels refused: more than the %llu pixels allowed\n", job.width,
              job.height, static_cast<unsigned long long>(kMaxPngPixels));
    return false;
  }
  if (!RequestRgba(job)) return false;

  GrowingRows rows(static_cast<size_t>(job.width) * 4, job.height);
  for (int pass = 0; pass < job.passes; ++pass) {
    for (png_uint_32 y = 0; y < job.height; ++y) {
      uint8_t* row = rows.Row(y);
      if (!row || !ReadRow(job, row)) return false;
    }
  }
  if (!ReadEnd(job)) return false;
  std::unique_ptr<uint8_t[]> pixels = rows.Release();

  // The grey variant turns the rows of a plain file grey; an interlaced
  // file keeps its colours.
  if (grey && !job.interlaced) MakeGrey(pixels.get(), static_cast<size_t>(job.width) * job.height);
  image.width = static_cast<int32_t>(job.width);
  image.height = static_cast<int32_t>(job.height);
  image.pixels = std::move(pixels);
  return true;
}

int WritePng(const char* path, const uint8_t* pixels, int32_t width, int32_t height) {
  if (!pixels || width <= 0 || height <= 0) {
    LogErrorPrintf("No pixels to write to %s\n", path);
    return 1;
  }
  // Written beside the path and renamed over it when whole: a failed write
  // keeps the old picture, and a link or a FIFO at the path is replaced,
  // never written through (or waited on).
  ReplacingFile file(path);
  if (!file.Open()) {
    LogErrorPrintf("Could not open file %s for writing\n", path);
    return 1;
  }
  WriteJob job;
  job.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (!job.png) {
    LogErrorPrintf("Could not allocate write struct\n");
    return 1;
  }
  job.info = png_create_info_struct(job.png);
  if (!job.info) {
    LogErrorPrintf("Could not allocate info struct\n");
    return 1;
  }
  if (!WriteRows(job, file.File(), pixels, width, height) || !file.Commit()) {
    LogErrorPrintf("Error during png creation\n");
    return 1;
  }
  return 0;
}

}  // namespace GCore
