#pragma once
// A polygon for hit tests, carried by the skeleton but never drawn.
#include "spine/VertexAttachment.h"

namespace GCore {

struct BoundingBoxAttachment : VertexAttachment {};

BoundingBoxAttachment* BoundingBoxAttachment_create(const char* name);

}  // namespace GCore
