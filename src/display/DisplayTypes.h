#pragma once
// Small value records of the display list. GCore::Point (stage coordinates)
// lives with the game object, which keeps the mouse position in it.
#include <cstdint>

#include "core/GameIF.h"
#include "core/Object.h"

namespace GCore {

// 1/255 as the colour multiply has always used it.
constexpr float kChannelScale = 0.003921569f;

// Channel multipliers from 0 to 255; 255 leaves a channel unchanged.
struct ColorTransform {
  int32_t r = 255;
  int32_t g = 255;
  int32_t b = 255;
  int32_t a = 255;
};

// The four multipliers as floats from 0 to 1: r, g, b, a.
inline void ChannelFloats(const ColorTransform& c, float out[4]) {
  out[0] = static_cast<float>(c.r) * kChannelScale;
  out[1] = static_cast<float>(c.g) * kChannelScale;
  out[2] = static_cast<float>(c.b) * kChannelScale;
  out[3] = static_cast<float>(c.a) * kChannelScale;
}

struct Rectangle {
  float x = 0;
  float y = 0;
  float width = 0;
  float height = 0;
};

// Moves the rectangle's x and y so that a box of w by h sits inside it at
// the keypad position of the mode, the y axis taken as the Windows one
// (down): 1 to 3 at y + height - h, 4 to 6 centred, 7 to 9 at y; 1, 4, 7 at x,
// 2, 5, 8 centred, 3, 6, 9 at x + width - w. Mode 0 is 1; 7 and above 9 leave
// the rectangle. Centring rounds down. Width and height stay.
void AlignRect(Rectangle& rect, int32_t mode, float w, float h);

// Whether a held object is still of class T. When a Lua state closes, its
// collector destroys objects in no particular order and leaves each as a bare
// RefObject, so a destructor must test the objects it links to.
template <class T>
T* IfAlive(T* object) {
  return dynamic_cast<T*>(static_cast<RefObject*>(object));
}

}  // namespace GCore
