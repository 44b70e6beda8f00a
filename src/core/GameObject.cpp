// The pointer through which every layer reaches the game object; the game
// folder makes the object, holds it and sets the pointer.
#include "core/GameIF.h"

namespace GCore {

GameBase* g_game = nullptr;

GameBase::~GameBase() = default;

}  // namespace GCore
