#pragma once
// The skeletal runtime's only ways out of itself: reading a whole file,
// finding the texture of an atlas page image, and printing a message. The
// engine installs its own services once at start-up (main thread only);
// until then files are read from disk, pages get no texture and messages go
// to standard error. The runtime never frees a texture it is given.
#include <cstdint>
#include <vector>

namespace GCore {

class Texture;

struct SpineHost {
  // The whole content of the file at `path`; false when it cannot be read.
  bool (*readFile)(const char* path, std::vector<char>& bytes);
  // The texture of the page image at `path` with its pixel size, or none.
  Texture* (*findPageTexture)(const char* path, int32_t& width, int32_t& height);
  // One line of text, without its line end.
  void (*print)(const char* line);
};

// Installs `host` (kept, not copied); none restores the defaults.
void SpineHost_install(const SpineHost* host);
const SpineHost& SpineHost_get();

}  // namespace GCore
