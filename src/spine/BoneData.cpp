#include "spine/BoneData.h"

#include "spine/SpineUtil.h"

namespace GCore {

BoneData* BoneData_create(int32_t index, const char* name, BoneData* parent) {
  BoneData* data = new BoneData{};
  data->index = index;
  data->name = CopyText(name);
  data->parent = parent;
  return data;
}

void BoneData_dispose(BoneData* data) {
  if (!data) return;
  FreeText(data->name);
  delete data;
}

}  // namespace GCore
