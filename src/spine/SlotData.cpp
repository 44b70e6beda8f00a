#include "spine/SlotData.h"

#include "spine/SpineUtil.h"

namespace GCore {

SlotData* SlotData_create(int32_t index, const char* name, const BoneData* boneData) {
  SlotData* data = new SlotData{};
  data->index = index;
  data->name = CopyText(name);
  data->boneData = boneData;
  return data;
}

void SlotData_dispose(SlotData* data) {
  if (!data) return;
  FreeText(data->name);
  FreeText(data->attachmentName);
  delete data;
}

}  // namespace GCore
