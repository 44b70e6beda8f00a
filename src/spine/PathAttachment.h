#pragma once
// A chain of cubic Bezier curves that path constraints place bones along.
// Its vertices come in triples: control point, point, control point.
#include <cstdint>

#include "spine/VertexAttachment.h"

namespace GCore {

struct PathAttachment : VertexAttachment {
  int32_t lengthsCount = 0;
  float* lengths = nullptr;  // running length at the end of each curve
  bool closed = false;
  bool constantSpeed = false;
};

PathAttachment* PathAttachment_create(const char* name);

}  // namespace GCore
