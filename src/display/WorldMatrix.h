#pragma once
// A display object's world transform. It is kept inline, since most objects
// never show it to a script; the first time a script asks for it, it moves
// into a script object, which from then on is the world transform itself, so
// that what the script holds follows the object and what it writes is drawn.
// For a while it can stand for another matrix (a skeleton draws its
// attachments through each bone's).
#include <lua.hpp>

#include "core/Matrix.h"
#include "core/Object.h"

namespace GCore {

class WorldMatrix {
 public:
  WorldMatrix() = default;
  WorldMatrix(const WorldMatrix&) = delete;
  WorldMatrix& operator=(const WorldMatrix&) = delete;

  Matrix* Get() const { return current_; }
  Matrix* operator->() const { return current_; }

  // The script object; made from the inline values on the first request.
  Matrix* ScriptObject(lua_State* L);

  // Stands for `other` until Restore.
  void Borrow(Matrix* other) { current_ = other; }
  void Restore() { current_ = script_ ? script_.Get() : &inline_; }

 private:
  Matrix inline_;
  Retained<Matrix> script_;
  Matrix* current_ = &inline_;
};

}  // namespace GCore
