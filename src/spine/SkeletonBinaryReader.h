#pragma once
// Internal to the skeleton binary reader: the state of one read, shared by
// the files that read its sections. Each section reader returns false after
// setting the reader's error.
#include <cstdint>
#include <memory>

#include "spine/BinaryInput.h"
#include "spine/SkeletonBinary.h"
#include "spine/SkeletonData.h"

namespace GCore {

struct Animation;

// Floats (or ints) that a file may make the reader allocate beyond what its
// own bytes hold: deform keys, draw-order keys and linked-mesh coordinates.
constexpr uint64_t kMaxExpandedValues = uint64_t{64} << 20;

struct SkeletonReadContext {
  SkeletonBinary* reader;
  BinaryInput in;
  SkeletonData* data;
  bool nonessential = false;  // the file carries editor data
  uint64_t expanded = 0;

  // Sets the error and returns false; a truncated input reports that
  // instead, since whatever else went wrong followed from it.
  bool Fail(const char* message, const char* detail = nullptr);
  bool Truncated();
  // Reads a count and checks that so many items of at least `bytesEach`
  // bytes can follow.
  bool ReadCount(uint32_t& count, uint32_t bytesEach);
  // Charges `values` against the expansion budget.
  bool Expand(uint64_t values);
  float Scaled(float value) const { return value * reader->scale; }
};

bool ReadSkins(SkeletonReadContext& context);
Animation* ReadAnimation(SkeletonReadContext& context, const char* name);

}  // namespace GCore
