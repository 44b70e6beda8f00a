#include "spine/TransformConstraintData.h"

#include "spine/SpineUtil.h"

namespace GCore {

TransformConstraintData* TransformConstraintData_create(const char* name) {
  TransformConstraintData* data = new TransformConstraintData{};
  data->name = CopyText(name);
  return data;
}

void TransformConstraintData_dispose(TransformConstraintData* data) {
  if (!data) return;
  FreeText(data->name);
  FreeArray(data->bones);
  delete data;
}

}  // namespace GCore
