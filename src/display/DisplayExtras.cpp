#include "display/DisplayExtras.h"

#include "media/VideoDecoder.h"

namespace GCore {

DisplayExtras::DisplayExtras() = default;
DisplayExtras::~DisplayExtras() = default;

}  // namespace GCore
