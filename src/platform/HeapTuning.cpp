#include "platform/HeapTuning.h"

#include <malloc.h>

#include "base/Log.h"

namespace GCore {

namespace {

constexpr int kKeptHeapTop = 128 << 20;
// glibc's own upper bound for its adaptive mapping threshold.
constexpr int kLargestHeapBlock = 32 << 20;

}  // namespace

void KeepFrameMemory() {
  if (mallopt(M_TRIM_THRESHOLD, kKeptHeapTop) != 1 ||
      mallopt(M_MMAP_THRESHOLD, kLargestHeapBlock) != 1) {
    LogWrite("heap settings refused: frames may return and refault their memory\n");
  }
}

}  // namespace GCore
