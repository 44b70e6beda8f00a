#include "platform/HeapTuning.h"

#include <malloc.h>

namespace GCore {

namespace {

constexpr int kKeptHeapTop = 128 << 20;
// glibc's own upper bound for its adaptive mapping threshold.
constexpr int kLargestHeapBlock = 32 << 20;

}  // namespace

void KeepFrameMemory() {
  // Only speed depends on these: an allocator that takes no such settings
  // (a sanitizer's, for one) refuses them, and nothing is wrong then.
  mallopt(M_TRIM_THRESHOLD, kKeptHeapTop);
  mallopt(M_MMAP_THRESHOLD, kLargestHeapBlock);
}

}  // namespace GCore
