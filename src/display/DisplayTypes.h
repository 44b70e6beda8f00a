#pragma once
// Small value records of the display list. GCore::Point (stage coordinates)
// lives with the game object, which keeps the mouse position in it.
#include <cstdint>

#include "core/GameIF.h"
#include "core/Object.h"

namespace GCore {

// Channel multipliers from 0 to 255; 255 leaves a channel unchanged.
struct ColorTransform {
  int32_t r = 255;
  int32_t g = 255;
  int32_t b = 255;
  int32_t a = 255;
};

struct Rectangle {
  float x = 0;
  float y = 0;
  float width = 0;
  float height = 0;
};

// Whether a held object is still of class T. When a Lua state closes, its
// collector destroys objects in no particular order and leaves each as a bare
// RefObject, so a destructor must test the objects it links to.
template <class T>
T* IfAlive(T* object) {
  return dynamic_cast<T*>(static_cast<RefObject*>(object));
}

}  // namespace GCore
