#pragma once
// Records of "air" action files: actions of frames, each frame an image id
// with a duration, an offset, a flip, an alpha and collision boxes. Boxes are
// stored with y up (the file's y axis points down). The resource manager
// caches one AirData per (project, resource id); drawables hand the current
// frame to the renderer as an AirFrameInfo.
#include <cstdint>
#include <vector>

namespace GCore {

struct AirBox {
  uint8_t type = 0;  // 1 for a "C1=" list, 2 for any other
  float left = 0;
  float bottom = 0;
  float right = 0;
  float top = 0;
};

struct AirFrame {
  uint32_t imageId = 0;
  uint16_t duration = 0;  // in units of the file's frameMs; 65535 holds for ever
  int16_t offsetX = 0;
  int16_t offsetY = 0;
  uint8_t flip = 0;
  uint8_t alpha = 0;
  std::vector<AirBox> boxes;
};

struct AirAction {
  int32_t id = 0;
  char name[16] = {};
  int32_t loopIndex = 0;
  std::vector<AirBox> defaultBoxes;
  std::vector<AirFrame> frames;
};

struct AirData {
  uint16_t frameMs = 167;
  uint32_t key[2] = {0, 0};  // project index, resource id
  float width = 0;
  float height = 0;
  std::vector<AirAction> actions;
};

// Flip bits of a frame.
constexpr uint8_t kFlipHorizontal = 1;
constexpr uint8_t kFlipVertical = 2;

// The current frame as drawables pass it to the renderer: the air data's
// reference size, the frame's offset, flip and alpha, and its collision boxes
// (the frame's own, else its action's defaults).
struct AirFrameInfo {
  float width = 0;
  float height = 0;
  int16_t offsetX = 0;
  int16_t offsetY = 0;
  uint8_t flip = 0;
  uint8_t alpha = 0;
  std::vector<AirBox> boxes;
};

}  // namespace GCore
