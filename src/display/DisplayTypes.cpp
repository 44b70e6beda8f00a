#include "display/DisplayTypes.h"

#include <cmath>

namespace GCore {

void AlignRect(Rectangle& rect, int32_t mode, float w, float h) {
  const float centreX = std::floor((rect.width - w) / 2) + rect.x;
  const float right = rect.x + rect.width - w;
  const float centreY = std::floor((rect.height - h) / 2) + rect.y;
  const float low = rect.y + rect.height - h;
  switch (mode) {
    case 0:
    case 1: rect.y = low; break;
    case 2: rect.x = centreX, rect.y = low; break;
    case 3: rect.x = right, rect.y = low; break;
    case 4: rect.y = centreY; break;
    case 5: rect.x = centreX, rect.y = centreY; break;
    case 6: rect.x = right, rect.y = centreY; break;
    case 8: rect.x = centreX; break;
    case 9: rect.x = right; break;
    default: break;
  }
}

}  // namespace GCore
