#include "display/WorldMatrix.h"

namespace GCore {

Matrix* WorldMatrix::ScriptObject(lua_State* L) {
  // A borrowed matrix is a script object already.
  if (current_ != &inline_) return current_;
  MatrixInit init;
  init.flag = inline_.flag;
  init.a = inline_.a, init.b = inline_.b, init.c = inline_.c, init.d = inline_.d;
  init.tx = inline_.tx, init.ty = inline_.ty;
  script_.Reset(NewMatrix(L, init));
  if (!script_) return nullptr;
  script_->flipX = inline_.flipX;
  script_->flipY = inline_.flipY;
  current_ = script_.Get();
  return current_;
}

}  // namespace GCore
