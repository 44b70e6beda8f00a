// Cached air action data of the resource manager.
#include "render/ResourceManager.h"

namespace GCore {

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

}  // namespace GCore
