#pragma once
// The heap bytes the process holds, for tests that bound what an operation
// allocates: the sanitizer's count in the sanitizer build, glibc's (mapped
// blocks included) otherwise.
#include <cstddef>

#include <malloc.h>

#if defined(__SANITIZE_ADDRESS__)
// From the sanitizer runtime (gcc ships no header for it).
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#endif

namespace testmemory {

inline size_t AllocatedBytes() {
#if defined(__SANITIZE_ADDRESS__)
  return __sanitizer_get_current_allocated_bytes();
#else
  const struct mallinfo2 info = mallinfo2();
  return info.uordblks + info.hblkhd;
#endif
}

}  // namespace testmemory
