#pragma once
// The pixel size of a tileset image, read from the PNG file's header (its
// signature and IHDR chunk, the first 24 bytes) without decoding the image.
#include <string>

#include "tilemap/TmxTypes.h"

namespace tmx {

// False when the file cannot be read or does not begin as a PNG file does.
bool readPngSize(const std::string& path, Vector2u& size);

}  // namespace tmx
