// Skeletal runtime figures: poses per second of a 60-bone, 40-slot character
// with two weighted meshes and an IK chain (animation update and apply, world
// transform, every attachment's world vertices), and the load time of a
// 1 MB skeleton file.
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "spine/Animation.h"
#include "spine/Attachment.h"
#include "spine/RegionAttachment.h"
#include "spine/Slot.h"
#include "spine/SpineFixtures.h"
#include "spine/VertexAttachment.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// World vertices of every shown attachment; returns the floats written.
size_t ComputeVertices(const GCore::Skeleton& skeleton, std::vector<float>& world) {
  size_t written = 0;
  for (int32_t i = 0; i < skeleton.slotCount; ++i) {
    const GCore::Slot& slot = *skeleton.drawOrder[i];
    const GCore::Attachment* attachment = slot.attachment;
    if (!attachment) continue;
    if (attachment->type == GCore::kAttachmentRegion) {
      GCore::RegionAttachment_computeWorldVertices(
          static_cast<const GCore::RegionAttachment*>(attachment), slot.bone, world.data());
      written += 8;
    } else if (attachment->type == GCore::kAttachmentMesh) {
      const auto* mesh = static_cast<const GCore::VertexAttachment*>(attachment);
      GCore::VertexAttachment_computeWorldVertices(mesh, 0, mesh->worldVerticesLength, &slot,
                                                   world.data(), 0);
      written += static_cast<size_t>(mesh->worldVerticesLength);
    }
  }
  return written;
}

void PosesPerSecond(const GCore::Atlas* atlas) {
  const spinefix::ReadResult read = spinefix::Read(skel::Encode(spinefix::BenchModel()), atlas);
  if (!read.data) {
    std::printf("bench fixture failed to read: %s\n", read.error.c_str());
    return;
  }
  spinefix::SkeletonPtr skeleton(GCore::Skeleton_create(read.data.get()));
  spinefix::StateDataPtr mixes(GCore::AnimationStateData_create(read.data.get()));
  spinefix::StatePtr state(GCore::AnimationState_create(mixes.get()));
  GCore::AnimationState_setAnimation(state.get(), read.data->animations[0], true);
  std::vector<float> world(4096);
  size_t poses = 0, floats = 0;
  const Clock::time_point start = Clock::now();
  Clock::duration elapsed{};
  while (elapsed < std::chrono::seconds(2)) {
    for (int i = 0; i < 1000; ++i) {
      GCore::AnimationState_update(state.get(), 1.0f / 60);
      GCore::AnimationState_apply(state.get(), skeleton.get());
      GCore::Skeleton_updateWorldTransform(skeleton.get());
      floats += ComputeVertices(*skeleton, world);
    }
    poses += 1000;
    elapsed = Clock::now() - start;
  }
  const double seconds = Seconds(elapsed);
  std::printf("pose 60 bones, 40 slots, 2 meshes, IK: %.0f poses/s (%.2f us each, %zu floats each)\n",
              static_cast<double>(poses) / seconds, seconds * 1e6 / static_cast<double>(poses),
              floats / poses);
}

void LoadTime(const GCore::Atlas* atlas) {
  skel::Skeleton model = spinefix::BenchModel();
  const skel::Animation run = model.animations[0];
  std::vector<uint8_t> bytes = skel::Encode(model);
  while (bytes.size() < (1u << 20)) {
    for (int i = 0; i < 32; ++i) {
      model.animations.push_back(run);
      model.animations.back().name = "run" + std::to_string(model.animations.size());
    }
    bytes = skel::Encode(model);
  }
  constexpr int kRuns = 20;
  Clock::duration total{};
  for (int i = 0; i < kRuns; ++i) {
    const Clock::time_point start = Clock::now();
    spinefix::ReadResult read = spinefix::Read(bytes, atlas);
    read.data.reset();
    total += Clock::now() - start;
    if (!read.error.empty()) {
      std::printf("load failed: %s\n", read.error.c_str());
      return;
    }
  }
  const double seconds = Seconds(total) / kRuns;
  std::printf("load and dispose %.2f MB skeleton (%zu animations): %.2f ms (%.0f MB/s)\n",
              static_cast<double>(bytes.size()) / (1 << 20), model.animations.size(), seconds * 1e3,
              static_cast<double>(bytes.size()) / (1 << 20) / seconds);
}

}  // namespace

int main() {
  const spinefix::AtlasPtr atlas = spinefix::FixtureAtlas();
  PosesPerSecond(atlas.get());
  LoadTime(atlas.get());
  return 0;
}
