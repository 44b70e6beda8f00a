#pragma once
// A count of the changes outside the display tree that can alter what a
// drawn object appends: an image made, removed or edited, a texture evicted
// or forgotten, the window resized. Whatever keeps built geometry from an
// earlier frame notes the count it was built under and builds anew when the
// count moved on. Main thread only.
#include <cstdint>

namespace GCore {

inline uint64_t g_drawEpoch = 1;

inline void DrawInputsChanged() { ++g_drawEpoch; }

}  // namespace GCore
