// The runtime's table of entry points for the engine core, and the disposal
// of the records made through it.
#include "spine/AnimationStateData.h"
#include "spine/SkeletonBinary.h"
#include "spine/SkeletonData.h"
#include "spine/SpineRecords.h"

namespace GCore {

namespace {

SkeletonData* ReadSkeletonDataFile(Atlas* atlas, const char* path, std::string& error) {
  SkeletonBinary* reader = SkeletonBinary_create(atlas);
  reader->scale = 1.0f;
  SkeletonData* data = SkeletonBinary_readSkeletonDataFile(reader, path);
  if (!data) error = reader->error ? reader->error : "";
  SkeletonBinary_dispose(reader);
  return data;
}

AnimationStateData* CreateAnimationStateData(SkeletonData* data) {
  return AnimationStateData_create(data);
}

void ComputeWorldVertices(const VertexAttachment* attachment, const Slot* slot, int32_t start,
                          int32_t count, float* out, int32_t offset) {
  VertexAttachment_computeWorldVertices(attachment, start, count, slot, out, offset);
}

}  // namespace

const SpineRuntime kSpineRuntime = {
    Atlas_createFromFile, ReadSkeletonDataFile, CreateAnimationStateData,
    SkeletonData_dispose, Atlas_dispose,        AnimationStateData_dispose,
    ComputeWorldVertices,
};

const SpineRuntime* g_spineRuntime = &kSpineRuntime;

std::string g_defaultAnimationName;

SpineRecord::~SpineRecord() {
  if (!runtime) return;
  // The skeleton data's attachments point into the atlas: data first.
  if (skeletonData) runtime->disposeSkeletonData(skeletonData);
  if (atlas) runtime->disposeAtlas(atlas);
  if (stateData) runtime->disposeAnimationStateData(stateData);
}

}  // namespace GCore
