// The script class "Stage": a stage has the members of entities and no keys
// of its own; scripts reach the current project's stage through "Stage"().
#include "display/MemberBinding.h"
#include "display/Stage.h"

namespace GCore {

void RegisterStageClass(lua_State* L) { RegisterDisplayClass<Stage>(L, EntityIndex, EntityNewIndex); }

int CurrentStageScript(lua_State* L) {
  PushObjectOrNil(L, CurrentStage());
  return 1;
}

}  // namespace GCore
