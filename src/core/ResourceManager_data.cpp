// Cached data records of the resource manager: air action data and the
// skeletal-animation records (atlas, skeleton data, mix table).
#include <string>

#include "base/Log.h"
#include "core/ResourceManager.h"
#include "core/ResourcePath.h"

namespace GCore {

const SpineRuntime* g_spineRuntime = nullptr;

namespace {

// The resource's path with its extension (from the last ".") replaced; empty
// when the id has no path or no such file exists.
std::string SiblingPath(uint32_t id, int project, const char* extension) {
  const char* found = GetPath(id, project);
  if (!found) return {};
  std::string path = found;
  const size_t dot = path.find_last_of('.');
  const size_t slash = path.find_last_of('/');
  if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) path.resize(dot);
  path += extension;
  return IsFileExist(path.c_str()) ? path : std::string();
}

}  // namespace

AirData* ResourceManager::GetAirData(OwnerPair pair) {
  auto found = airData_.find(Normalise(pair));
  return found == airData_.end() ? nullptr : found->second.get();
}

AirData* ResourceManager::AddAirData(OwnerPair pair, std::unique_ptr<AirData> data) {
  pair = Normalise(pair);
  if (!data) return nullptr;
  data->key[0] = static_cast<uint32_t>(pair.variant & 0xFF);
  data->key[1] = pair.id;
  auto& slot = airData_[pair];
  slot = std::move(data);
  return slot.get();
}

void ResourceManager::RemoveAirData(OwnerPair pair) { airData_.erase(Normalise(pair)); }

SpineRecord* ResourceManager::LoadSpine(OwnerPair atlas, uint32_t skeletonId) {
  const SpineKey key{atlas.variant, atlas.id, skeletonId};
  if (auto found = spines_.find(key); found != spines_.end()) return &found->second;
  const SpineRuntime* runtime = g_spineRuntime;
  if (!runtime) return nullptr;

  const int project = atlas.variant & 0xFF;
  SpineRecord record;
  const std::string atlasPath = SiblingPath(atlas.id, project, ".atlas");
  loadingBase = atlas;
  if (!atlasPath.empty()) record.atlas = runtime->createAtlasFromFile(atlasPath.c_str());
  loadingBase = OwnerPair{};
  if (!record.atlas) return nullptr;

  const std::string skeletonPath = SiblingPath(skeletonId, project, ".skel");
  if (!skeletonPath.empty()) {
    std::string error;
    record.skeletonData = runtime->readSkeletonDataFile(record.atlas, skeletonPath.c_str(), error);
    if (!record.skeletonData) LogPrintf("%s\n", error.c_str());
  }
  if (!record.skeletonData) {
    // Not cached, so not kept either.
    runtime->disposeAtlas(record.atlas);
    return nullptr;
  }
  record.stateData = runtime->createAnimationStateData(record.skeletonData);
  return &spines_.emplace(key, record).first->second;
}

void ResourceManager::ReleaseSpine(int32_t variant, uint32_t atlasId, uint32_t skeletonId) {
  auto found = spines_.find(SpineKey{variant, atlasId, skeletonId});
  if (found == spines_.end()) return;
  DisposeSpine(found->second);
  spines_.erase(found);
}

void ResourceManager::DisposeSpine(SpineRecord& record) {
  const SpineRuntime* runtime = g_spineRuntime;
  if (!runtime) return;
  if (record.skeletonData) runtime->disposeSkeletonData(record.skeletonData);
  if (record.atlas) runtime->disposeAtlas(record.atlas);
  if (record.stateData) runtime->disposeAnimationStateData(record.stateData);
  record = SpineRecord{};
}

}  // namespace GCore
