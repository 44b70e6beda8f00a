// Every fixture cut at every length and with every byte flipped once: each
// read ends in a clear failure or in data that poses, animates and yields
// vertices, never in a crash, an overrun or a hang (the sanitizers and the
// test's timeout watch for those).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "spine/Atlas.h"
#include "spine/SpineFixtures.h"

namespace {

struct Outcome {
  int read = 0, refused = 0;
};

void ReadSkeleton(const std::vector<uint8_t>& bytes, const GCore::Atlas* atlas, Outcome& outcome) {
  const spinefix::ReadResult result = spinefix::Read(bytes, atlas);
  if (result.data) {
    EXPECT_TRUE(result.error.empty());
    spinefix::Exercise(result.data.get());
    ++outcome.read;
  } else {
    EXPECT_FALSE(result.error.empty()) << "a refusal says why";
    ++outcome.refused;
  }
}

template <class Read>
Outcome Sweep(const std::vector<uint8_t>& fixture, Read read) {
  Outcome outcome;
  for (size_t length = 0; length < fixture.size(); ++length) {
    read(std::vector<uint8_t>(fixture.begin(), fixture.begin() + static_cast<long>(length)), outcome);
  }
  std::vector<uint8_t> flipped = fixture;
  for (size_t i = 0; i < flipped.size(); ++i) {
    flipped[i] ^= 0xFF;
    read(flipped, outcome);
    flipped[i] ^= 0xFF;
  }
  return outcome;
}

class SpineMutation : public testing::Test {
 protected:
  spinefix::PrintCapture quiet_;  // missing regions are reported, not failures
  spinefix::AtlasPtr atlas_ = spinefix::FixtureAtlas();
};

TEST_F(SpineMutation, Skeletons) {
  skel::Skeleton withoutEditorData = spinefix::FullModel();
  withoutEditorData.nonessential = false;
  const struct {
    const char* name;
    skel::Skeleton model;
  } fixtures[] = {{"full", spinefix::FullModel()},
                  {"full without editor data", withoutEditorData},
                  {"benchmark", spinefix::BenchModel()}};
  for (const auto& fixture : fixtures) {
    SCOPED_TRACE(fixture.name);
    const std::vector<uint8_t> bytes = skel::Encode(fixture.model);
    const Outcome outcome = Sweep(bytes, [&](const std::vector<uint8_t>& mutated, Outcome& o) {
      ReadSkeleton(mutated, atlas_.get(), o);
    });
    EXPECT_GT(outcome.read, 0);
    EXPECT_GT(outcome.refused, static_cast<int>(bytes.size())) << "every cut is refused";
  }
}

TEST_F(SpineMutation, Atlas) {
  const std::string text = spinefix::kAtlasText;
  const std::vector<uint8_t> fixture(text.begin(), text.end());
  const std::vector<uint8_t> skeleton = skel::Encode(spinefix::FullModel());
  const Outcome outcome = Sweep(fixture, [&](const std::vector<uint8_t>& bytes, Outcome& o) {
    spinefix::AtlasPtr atlas(GCore::Atlas_create(reinterpret_cast<const char*>(bytes.data()),
                                                 bytes.size(), "folder"));
    if (!atlas) {
      ++o.refused;
      return;
    }
    ++o.read;
    // Whatever regions survived, the skeleton over them reads or says why.
    Outcome ignored;
    ReadSkeleton(skeleton, atlas.get(), ignored);
  });
  EXPECT_GT(outcome.read, 0);
  EXPECT_GT(outcome.refused, 0);
}

}  // namespace
