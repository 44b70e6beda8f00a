#include "spine/IkConstraintData.h"

#include "spine/SpineUtil.h"

namespace GCore {

IkConstraintData* IkConstraintData_create(const char* name) {
  IkConstraintData* data = new IkConstraintData{};
  data->name = CopyText(name);
  return data;
}

void IkConstraintData_dispose(IkConstraintData* data) {
  if (!data) return;
  FreeText(data->name);
  FreeArray(data->bones);
  delete data;
}

}  // namespace GCore
