// Fuzz target of the skeleton binary reader: any bytes, read over the
// fixture atlas; whatever reads is posed, animated and turned into vertices.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "spine/SpineFixtures.h"

namespace {

void Quiet(const char*) {}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const spinefix::AtlasPtr atlas = [] {
    static GCore::SpineHost host = GCore::SpineHost_get();
    host.print = Quiet;
    GCore::SpineHost_install(&host);
    return spinefix::FixtureAtlas();
  }();
  const spinefix::ReadResult read = spinefix::Read(std::vector<uint8_t>(data, data + size), atlas.get());
  if (read.data) spinefix::Exercise(read.data.get());
  return 0;
}
