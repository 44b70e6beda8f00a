#include "spine/PathConstraintData.h"

#include "spine/SpineUtil.h"

namespace GCore {

PathConstraintData* PathConstraintData_create(const char* name) {
  PathConstraintData* data = new PathConstraintData{};
  data->name = CopyText(name);
  return data;
}

void PathConstraintData_dispose(PathConstraintData* data) {
  if (!data) return;
  FreeText(data->name);
  FreeArray(data->bones);
  delete data;
}

}  // namespace GCore
