#include "render/PngFixtures.h"

#include <png.h>
#include <zlib.h>

#include <csetjmp>
#include <stdexcept>
#include <string>

namespace testpng {

namespace {

void AppendBytes(png_structp png, png_bytep data, png_size_t length) {
  auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + length);
}

void NoFlush(png_structp) {}

int Channels(int colorType) {
  switch (colorType) {
    case PNG_COLOR_TYPE_GRAY: return 1;
    case PNG_COLOR_TYPE_GRAY_ALPHA: return 2;
    case PNG_COLOR_TYPE_RGB: return 3;
    case PNG_COLOR_TYPE_PALETTE: return 1;
    default: return 4;
  }
}

// Holds only trivial locals: libpng may jump back here.
bool WriteAll(png_structp png, png_infop info, const Spec& spec, const std::vector<uint8_t>& rows,
              std::vector<uint8_t>* out) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_write_fn(png, out, AppendBytes, NoFlush);
  png_set_IHDR(png, info, spec.width, spec.height, spec.bitDepth, spec.colorType,
               spec.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (!spec.palette.empty()) {
    png_set_PLTE(png, info, reinterpret_cast<png_const_colorp>(spec.palette.data()),
                 static_cast<int>(spec.palette.size() / 3));
  }
  if (!spec.trns.empty()) {
    png_set_tRNS(png, info, spec.trns.data(), static_cast<int>(spec.trns.size()), nullptr);
  }
  png_write_info(png, info);
  const size_t stride =
      (static_cast<size_t>(spec.width) * Channels(spec.colorType) * spec.bitDepth + 7) / 8;
  const int passes = spec.interlaced ? png_set_interlace_handling(png) : 1;
  for (int pass = 0; pass < passes; ++pass) {
    for (int y = 0; y < spec.height; ++y) png_write_row(png, rows.data() + stride * y);
  }
  png_write_end(png, nullptr);
  return true;
}

void AppendWord(std::vector<uint8_t>& out, uint32_t word) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(word >> shift));
}

void AppendChunk(std::vector<uint8_t>& out, const char* type, const std::vector<uint8_t>& data) {
  AppendWord(out, static_cast<uint32_t>(data.size()));
  const size_t start = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data.begin(), data.end());
  AppendWord(out, static_cast<uint32_t>(crc32(0, &out[start], static_cast<uInt>(out.size() - start))));
}

// Compressed and flushed, but not ended: the reader waits for more.
std::vector<uint8_t> DeflateUnended(const std::vector<uint8_t>& raw) {
  z_stream z{};
  if (deflateInit(&z, Z_DEFAULT_COMPRESSION) != Z_OK) throw std::runtime_error("deflateInit failed");
  std::vector<uint8_t> out(deflateBound(&z, raw.size()) + 16);
  z.next_in = const_cast<Bytef*>(raw.data());
  z.avail_in = static_cast<uInt>(raw.size());
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(out.size());
  const int result = deflate(&z, Z_SYNC_FLUSH);
  out.resize(out.size() - z.avail_out);
  deflateEnd(&z);
  if (result != Z_OK || z.avail_in != 0) throw std::runtime_error("deflate failed");
  return out;
}

}  // namespace

std::vector<uint8_t> CutShort(int width, int height, int rows, bool interlaced) {
  // The rows of the first Adam7 pass hold every eighth pixel.
  const size_t rowBytes = static_cast<size_t>(interlaced ? (width + 7) / 8 : width) * 4;
  std::vector<uint8_t> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<uint8_t> header;
  AppendWord(header, static_cast<uint32_t>(width));
  AppendWord(header, static_cast<uint32_t>(height));
  header.insert(header.end(), {8, PNG_COLOR_TYPE_RGB_ALPHA, 0, 0, static_cast<uint8_t>(interlaced ? 1 : 0)});
  AppendChunk(out, "IHDR", header);
  // Each row: filter type 0, then transparent black.
  const size_t rowCount = rows > 0 ? static_cast<size_t>(rows) : 0;
  AppendChunk(out, "IDAT", DeflateUnended(std::vector<uint8_t>((rowBytes + 1) * rowCount, 0)));
  return out;
}

std::vector<uint8_t> Encode(const Spec& spec, const std::vector<uint8_t>& rows) {
  std::vector<uint8_t> out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  const bool ok = WriteAll(png, info, spec, rows, &out);
  png_destroy_write_struct(&png, &info);
  if (!ok) throw std::runtime_error("test PNG could not be encoded");
  return out;
}

std::vector<uint8_t> EncodeRgba(int width, int height, const std::vector<uint8_t>& rgba,
                                bool interlaced) {
  Spec spec;
  spec.width = width;
  spec.height = height;
  spec.interlaced = interlaced;
  return Encode(spec, rgba);
}

std::vector<uint8_t> RedOverGreen(int size) {
  std::vector<uint8_t> rgba(static_cast<size_t>(size) * size * 4, 0);
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      uint8_t* p = &rgba[(static_cast<size_t>(y) * size + x) * 4];
      p[0] = y < size / 2 ? 255 : 0;
      p[1] = y < size / 2 ? 0 : 255;
      p[3] = 255;
    }
  }
  return rgba;
}

std::vector<uint8_t> Pattern(int width, int height) {
  std::vector<uint8_t> rgba(static_cast<size_t>(width) * height * 4);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      uint8_t* p = &rgba[(static_cast<size_t>(y) * width + x) * 4];
      p[0] = static_cast<uint8_t>(x * 37 + y * 11);
      p[1] = static_cast<uint8_t>(y * 53 + 7);
      p[2] = static_cast<uint8_t>((x ^ y) * 29);
      p[3] = static_cast<uint8_t>(255 - x * 5 - y * 3);
    }
  }
  return rgba;
}

}  // namespace testpng
