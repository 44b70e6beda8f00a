// Fuzz target of the atlas reader: any text; an atlas that parses has its
// regions looked up by the fixture skeleton, which then reads or says why.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "spine/SpineFixtures.h"

namespace {

void Quiet(const char*) {}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::vector<uint8_t> skeleton = [] {
    static GCore::SpineHost host = GCore::SpineHost_get();
    host.print = Quiet;
    GCore::SpineHost_install(&host);
    return skel::Encode(spinefix::FullModel());
  }();
  spinefix::AtlasPtr atlas(GCore::Atlas_create(reinterpret_cast<const char*>(data), size, "pages"));
  if (!atlas) return 0;
  const spinefix::ReadResult read = spinefix::Read(skeleton, atlas.get());
  if (read.data) spinefix::Exercise(read.data.get());
  return 0;
}
