// The resource manager's skeletal-animation records (atlas, skeleton data,
// mix table) and the services the skeletal runtime reads them through:
// whole files through resource streams, atlas page textures by page name,
// and the log.
#include <string>

#include "base/Log.h"
#include "core/FileStream.h"
#include "core/MissingFiles.h"
#include "core/ResourcePath.h"
#include "render/Image.h"
#include "render/ResourceManager.h"
#include "render/Texture.h"

namespace GCore {

namespace {

// The resource's path with its extension (from the last "." of the file
// name) replaced; empty when the id has no path, the file name has no
// extension, or no such file exists.
std::string SiblingPath(uint32_t id, int project, const char* extension) {
  const char* found = FindResourceFile("skeleton", id, project);
  if (!found) return {};
  std::string path = found;
  const size_t dot = path.find_last_of('.');
  const size_t slash = path.find_last_of('/');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
    LogPrintf("skeleton resource %s has no extension to replace by %s\n", path.c_str(), extension);
    return {};
  }
  path.resize(dot);
  path += extension;
  return IsFileExist(path.c_str()) ? path : std::string();
}

// The whole file through a resource stream, or nothing. A stream does not
// say how many bytes a read delivered: the last byte, read on its own after
// the others, proves that they all came (a file that shrank since its size
// was taken, or one that holds less than it reports, fails there).
bool ReadResourceFile(const char* path, std::vector<char>& bytes) {
  bytes.clear();
  FileStream stream;
  if (!stream.Open(path, kStreamRead)) return false;
  const int32_t size = stream.Impl()->Size();
  if (size <= 0) return false;
  bytes.resize(static_cast<size_t>(size));
  const size_t last = bytes.size() - 1;
  if ((last > 0 && !stream.Read(bytes.data(), last)) || !stream.Read(bytes.data() + last, 1)) {
    LogPrintf("%s: fewer bytes than its size of %d\n", path, size);
    bytes.clear();
    return false;
  }
  return true;
}

Texture* FindPageTexture(const char* path, int32_t& width, int32_t& height) {
  Image* image = g_resourceManager ? g_resourceManager->GetImageByPageName(path) : nullptr;
  Texture* texture = image ? image->texture : nullptr;
  if (!texture) return nullptr;
  // Region texture coordinates need the page's real size.
  texture->EnsurePixels();
  if (texture->width <= 0 || texture->height <= 0) return nullptr;
  width = texture->width;
  height = texture->height;
  return texture;
}

void PrintLine(const char* line) { LogPrintf("%s\n", line); }

const SpineHost kEngineHost = {ReadResourceFile, FindPageTexture, PrintLine};

}  // namespace

const SpineHost& ResourceManager::EngineSpineHost() { return kEngineHost; }

std::shared_ptr<SpineRecord> ResourceManager::LoadSpine(OwnerPair atlas, uint32_t skeletonId) {
  atlas = Normalise(atlas);
  const SpineKey key{atlas.variant, atlas.id, skeletonId};
  if (auto found = spines_.find(key); found != spines_.end()) return found->second;
  const SpineRuntime* runtime = g_spineRuntime;
  if (!runtime) return nullptr;

  const int project = atlas.variant & 0xFF;
  auto record = std::make_shared<SpineRecord>();
  record->runtime = runtime;
  const std::string atlasPath = SiblingPath(atlas.id, project, ".atlas");
  loadingBase = atlas;
  if (!atlasPath.empty()) record->atlas = runtime->createAtlasFromFile(atlasPath.c_str());
  loadingBase = OwnerPair{};
  if (!record->atlas) return nullptr;

  const std::string skeletonPath = SiblingPath(skeletonId, project, ".skel");
  if (!skeletonPath.empty()) {
    std::string error;
    record->skeletonData =
        runtime->readSkeletonDataFile(record->atlas, skeletonPath.c_str(), error);
    if (!record->skeletonData) LogPrintf("%s\n", error.c_str());
  }
  // An atlas read without its skeleton is not cached, so not kept either.
  if (!record->skeletonData) return nullptr;
  record->stateData = runtime->createAnimationStateData(record->skeletonData);
  spines_.emplace(key, record);
  std::erase_if(spinesMade_, [](const std::weak_ptr<SpineRecord>& made) { return made.expired(); });
  spinesMade_.push_back(record);
  return record;
}

void ResourceManager::ForgetPageTextures(const std::unordered_set<const Texture*>& doomed) {
  for (const std::weak_ptr<SpineRecord>& made : spinesMade_) {
    const std::shared_ptr<SpineRecord> record = made.lock();
    if (!record || !record->atlas) continue;
    for (AtlasPage* page = record->atlas->pages; page; page = page->next) {
      if (!doomed.count(page->rendererObject)) continue;
      page->rendererObject = nullptr;
      std::erase_if(spines_, [&record](const auto& cached) { return cached.second == record; });
    }
  }
}

void ResourceManager::ReleaseSpine(int32_t variant, uint32_t atlasId, uint32_t skeletonId) {
  spines_.erase(SpineKey{variant, atlasId, skeletonId});
}

}  // namespace GCore
